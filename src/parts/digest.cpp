#include "parts/digest.h"

#include <algorithm>

namespace darvolt {

std::string_view DigestName(DigestKind kind)
{
    switch (kind) {
    case DigestKind::Crc32: return "CRC32";
    case DigestKind::Md5: return "MD5";
    case DigestKind::Sha1: return "SHA-1";
    case DigestKind::Sha256: return "SHA-256";
    case DigestKind::Sha512: return "SHA-512";
    }
    return {};
}

std::size_t DigestSize(DigestKind kind)
{
    switch (kind) {
    case DigestKind::Crc32: return 4;
    case DigestKind::Md5: return 16;
    case DigestKind::Sha1: return 20;
    case DigestKind::Sha256: return 32;
    case DigestKind::Sha512: return 64;
    }
    return 0;
}

std::optional<DigestKind> KindOfHexLength(std::size_t hexDigits)
{
    for (const DigestKind kind : {DigestKind::Md5, DigestKind::Sha1, DigestKind::Sha256, DigestKind::Sha512})
        if (2 * DigestSize(kind) == hexDigits)
            return kind;
    return std::nullopt;
}

Digest::Digest(const Sha256Digest& sha256) : Digest(DigestKind::Sha256, sha256) {}

Digest::Digest(DigestKind kind, std::span<const std::uint8_t> bytes) : kind_(kind)
{
    std::copy_n(bytes.begin(), std::min(bytes.size(), DigestSize(kind)), bytes_.begin());
}

std::string Digest::hex() const
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * DigestSize(kind_));
    for (const std::uint8_t byte : bytes()) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

std::optional<Digest> Digest::fromHex(DigestKind kind, std::string_view hex)
{
    if (hex.size() != 2 * DigestSize(kind))
        return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    Digest digest;
    digest.kind_ = kind;
    for (std::size_t i = 0; i < DigestSize(kind); ++i) {
        const int high = value(hex[2 * i]);
        const int low = value(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest.bytes_[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digest;
}

} // namespace darvolt
