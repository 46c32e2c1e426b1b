#include "parts/recoveryencoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace darvolt {

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::byte> bytes)
{
    return static_cast<std::uint32_t>(
        crc32_z(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<z_size_t>(bytes.size())));
}

namespace {

void addZeros(MessageDigest* digest, std::uint32_t& crc, std::int64_t count)
{
    static const std::array<std::byte, 64 * 1024> zeros{};
    while (count > 0) {
        const auto piece = std::span<const std::byte>(zeros).first(
            static_cast<std::size_t>(std::min<std::int64_t>(count, zeros.size())));
        if (digest != nullptr)
            digest->update(piece);
        crc = Crc32(crc, piece);
        count -= static_cast<std::int64_t>(piece.size());
    }
}

} // namespace

void AddZeros(MessageDigest& digest, std::uint32_t& crc, std::int64_t count)
{
    addZeros(&digest, crc, count);
}

void AddZeros(std::uint32_t& crc, std::int64_t count)
{
    addZeros(nullptr, crc, count);
}

RecoveryEncoder::RecoveryEncoder(RecoveryShape shape, std::vector<Par2File> files) : accumulator_(std::move(shape))
{
    accumulator_.beginPass(0, accumulator_.shape().rangeBytes);
    digests_.sliceSize = accumulator_.shape().sliceSize;
    digests_.files = std::move(files);
    gathering_.accumulator = &accumulator_;
    gathering_.parts = digests_.files.size();
}

void RecoveryEncoder::Digests::consume(int lane, std::int64_t part, std::span<const std::byte> bytes)
{
    if (part < 0 || static_cast<std::size_t>(part) >= files.size())
        return;
    Current& now = lanes_[static_cast<std::size_t>(lane)];
    if (now.length < static_cast<std::int64_t>(Par2First16k))
        now.first16k.update(bytes.first(std::min<std::size_t>(bytes.size(), Par2First16k - static_cast<std::size_t>(now.length))));
    now.whole.update(bytes);
    now.crc = Crc32(now.crc, bytes);
    now.length += static_cast<std::int64_t>(bytes.size());
}

void RecoveryEncoder::Digests::endPart(int lane, std::int64_t part)
{
    if (part < 0 || static_cast<std::size_t>(part) >= files.size())
        return;
    Current& now = lanes_[static_cast<std::size_t>(lane)];
    Par2File& file = files[static_cast<std::size_t>(part)];
    if (now.length != file.length || now.first16k.finish() != file.md5First16k)
        asReadAhead = false;
    // The slice is the part padded with zeros to the slice size.
    Md5 slice(now.whole);
    file.md5 = now.whole.finish();
    std::uint32_t crc = now.crc;
    AddZeros(slice, crc, sliceSize - now.length);
    file.slices.assign(1, {slice.finish(), crc});
    now.crc = 0;
    now.length = 0;
}

void RecoveryEncoder::Gathering::consume(int, std::int64_t part, std::span<const std::byte> bytes)
{
    if (part < 0 || static_cast<std::size_t>(part) >= parts)
        return;
    accumulator->add(static_cast<std::size_t>(part), static_cast<std::size_t>(at), bytes);
    at += static_cast<std::int64_t>(bytes.size());
}

void RecoveryEncoder::Gathering::endPart(int, std::int64_t part)
{
    at = 0;
    if (part >= 0 && static_cast<std::size_t>(part) < parts)
        accumulator->endPart(static_cast<std::size_t>(part));
}

} // namespace darvolt
