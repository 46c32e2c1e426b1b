#include "parts/hasher.h"

#include <zlib.h>

namespace darvolt {

namespace {

// libcrypto's name of each kind it computes.
const char* algorithm(DigestKind kind)
{
    switch (kind) {
    case DigestKind::Md5: return "MD5";
    case DigestKind::Sha1: return "SHA1";
    case DigestKind::Sha256: return "SHA256";
    case DigestKind::Sha512: return "SHA512";
    case DigestKind::Crc32: break;
    }
    return nullptr;
}

} // namespace

Hasher::Hasher(DigestKind kind) : kind_(kind)
{
    if (const char* name = algorithm(kind_))
        message_.emplace(name);
    crc_ = crc32_z(0, nullptr, 0);
}

Hasher::~Hasher() = default;

void Hasher::update(std::span<const std::byte> data)
{
    if (data.empty())
        return;
    if (message_)
        message_->update(data);
    else
        crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(data.data()), data.size());
}

Digest Hasher::finish()
{
    std::array<std::uint8_t, 64> bytes{};
    if (message_) {
        message_->finishInto(bytes);
    } else {
        // Most significant byte first, as the eight hex digits are written.
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc_ >> (24 - 8 * i));
        crc_ = crc32_z(0, nullptr, 0);
    }
    return Digest(kind_, bytes);
}

Digest Hasher::of(DigestKind kind, std::string_view data)
{
    Hasher hasher(kind);
    hasher.update(std::as_bytes(std::span(data.data(), data.size())));
    return hasher.finish();
}

} // namespace darvolt
