#include "parts/par2packets.h"

#include <algorithm>
#include <cstring>

namespace darvolt {

namespace {

constexpr std::string_view Magic{"PAR2\0PKT", 8};

void appendNumber(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

template <std::size_t N>
void appendBytes(std::string& out, const std::array<std::uint8_t, N>& bytes)
{
    out.append(reinterpret_cast<const char*>(bytes.data()), N);
}

std::span<const std::byte> bytesOf(std::string_view text)
{
    return std::as_bytes(std::span(text.data(), text.size()));
}

void padToFour(std::string& out)
{
    out.append((4 - out.size() % 4) % 4, '\0');
}

std::string packet(const Par2Id& setId, std::string_view type, std::string_view body)
{
    std::string tail;
    appendBytes(tail, setId);
    tail += type;
    tail += body;
    std::string out(Magic);
    appendNumber(out, 32 + tail.size(), 8); // magic, length and hash, then what the hash covers
    appendBytes(out, Md5::of(tail));
    return out + tail;
}

} // namespace

std::uint64_t Par2Number(const std::byte* at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | std::to_integer<std::uint64_t>(at[i]);
    return value;
}

Par2Id Par2IdAt(const std::byte* at)
{
    Par2Id id{};
    std::memcpy(id.data(), at, id.size());
    return id;
}

Par2Id Par2File::id() const
{
    Md5 hash;
    std::string tail;
    appendBytes(tail, md5First16k);
    appendNumber(tail, static_cast<std::uint64_t>(length), 8);
    tail += name;
    hash.update(bytesOf(tail));
    return hash.finish();
}

bool Par2IdBefore(const Par2Id& a, const Par2Id& b)
{
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

std::string Par2MainBody(std::int64_t sliceSize, const std::vector<Par2Id>& ids)
{
    std::string body;
    appendNumber(body, static_cast<std::uint64_t>(sliceSize), 8);
    appendNumber(body, ids.size(), 4);
    for (const Par2Id& id : ids)
        appendBytes(body, id);
    return body;
}

std::string Par2CriticalPackets(const Par2Id& setId, std::int64_t sliceSize, const std::vector<const Par2File*>& files)
{
    std::vector<Par2Id> ids;
    for (const Par2File* file : files)
        ids.push_back(file->id());
    std::string out = packet(setId, par2type::Main, Par2MainBody(sliceSize, ids));
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string description;
        appendBytes(description, ids[i]);
        appendBytes(description, files[i]->md5);
        appendBytes(description, files[i]->md5First16k);
        appendNumber(description, static_cast<std::uint64_t>(files[i]->length), 8);
        description += files[i]->name;
        padToFour(description);
        out += packet(setId, par2type::FileDescription, description);
        std::string checksums;
        appendBytes(checksums, ids[i]);
        for (const Par2SliceChecksum& slice : files[i]->slices) {
            appendBytes(checksums, slice.md5);
            appendNumber(checksums, slice.crc32, 4);
        }
        out += packet(setId, par2type::SliceChecksums, checksums);
    }
    return out;
}

std::string Par2CreatorPacket(const Par2Id& setId, std::string_view creator)
{
    std::string body(creator);
    padToFour(body);
    return packet(setId, par2type::Creator, body);
}

Md5 Par2RecoveryHashStart(const Par2Id& setId, std::uint32_t exponent)
{
    std::string head;
    appendBytes(head, setId);
    head += par2type::RecoverySlice;
    appendNumber(head, exponent, 4);
    Md5 hash;
    hash.update(bytesOf(head));
    return hash;
}

std::string Par2RecoveryPacketStart(const Par2Id& setId, std::uint32_t exponent, std::int64_t sliceSize,
                                    const Md5Digest& hash)
{
    std::string out(Magic);
    appendNumber(out, Par2RecoveryPrefix + static_cast<std::uint64_t>(sliceSize), 8);
    appendBytes(out, hash);
    appendBytes(out, setId);
    out += par2type::RecoverySlice;
    appendNumber(out, exponent, 4);
    return out;
}

} // namespace darvolt
