#include "join/sevenzipheader.h"

#include "parts/par2packets.h"
#include "parts/recoveryencoder.h"

#include <array>
#include <cstring>

namespace darvolt {

std::optional<std::int64_t> SevenZipArchiveSize(File& firstVolume)
{
    static constexpr std::array<unsigned char, 6> Signature{'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    std::array<std::byte, 32> header{};
    const auto got = firstVolume.readAt(0, header);
    if (!got.ok() || got.value != header.size() || std::memcmp(header.data(), Signature.data(), Signature.size()) != 0)
        return std::nullopt;
    const auto fields = std::span<const std::byte>(header).subspan(12, 20);
    if (Crc32(0, fields) != static_cast<std::uint32_t>(Par2Number(header.data() + 8, 4)))
        return std::nullopt;
    const std::uint64_t offset = Par2Number(header.data() + 12, 8);
    const std::uint64_t length = Par2Number(header.data() + 20, 8);
    constexpr std::uint64_t largest = static_cast<std::uint64_t>(INT64_MAX) - header.size();
    if (offset > largest || length > largest - offset)
        return std::nullopt;
    return static_cast<std::int64_t>(header.size() + offset + length);
}

} // namespace darvolt
