#pragma once
// A digest of one of the kinds that checksum files carry: SHA-256 in ours,
// MD5, SHA-1, SHA-256 and SHA-512 in the lists of md5sum and sha*sum, and
// CRC32 in the .crc file Windows file managers write beside their parts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace darvolt {

using Sha256Digest = std::array<std::uint8_t, 32>;

enum class DigestKind : std::uint8_t { Crc32, Md5, Sha1, Sha256, Sha512 };

// As people read it in a message: "CRC32", "MD5", "SHA-1", "SHA-256", "SHA-512".
std::string_view DigestName(DigestKind kind);
// Bytes of a digest of that kind.
std::size_t DigestSize(DigestKind kind);
// The kind whose digests take this many hex digits in a line of md5sum or
// sha*sum (32, 40, 64, 128); nothing for any other count.
std::optional<DigestKind> KindOfHexLength(std::size_t hexDigits);

class Digest {
public:
    Digest() = default;
    Digest(const Sha256Digest& sha256); // NOLINT: every SHA-256 of ours is a Digest
    Digest(DigestKind kind, std::span<const std::uint8_t> bytes);

    DigestKind kind() const { return kind_; }
    std::span<const std::uint8_t> bytes() const { return std::span(bytes_).first(DigestSize(kind_)); }
    // Lower-case hex digits, as the checksum programs write them.
    std::string hex() const;
    // Upper- or lower-case digits, exactly as many as the kind takes.
    static std::optional<Digest> fromHex(DigestKind kind, std::string_view hex);

    friend bool operator==(const Digest&, const Digest&) = default;

private:
    DigestKind kind_ = DigestKind::Sha256;
    std::array<std::uint8_t, 64> bytes_{};
};

inline std::string HexDigest(const Digest& digest) { return digest.hex(); }

} // namespace darvolt
