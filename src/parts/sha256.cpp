#include "parts/sha256.h"

#include <algorithm>

namespace darvolt {

namespace {

Sha256Digest asSha256(const Digest& digest)
{
    Sha256Digest bytes{};
    std::copy_n(digest.bytes().begin(), bytes.size(), bytes.begin());
    return bytes;
}

} // namespace

Sha256Digest Sha256::finish()
{
    return asSha256(hasher_.finish());
}

Sha256Digest Sha256::of(std::string_view data)
{
    return asSha256(Hasher::of(DigestKind::Sha256, data));
}

std::string HexDigest(const Sha256Digest& digest)
{
    return Digest(digest).hex();
}

std::optional<Sha256Digest> DigestFromHex(std::string_view hex)
{
    const auto digest = Digest::fromHex(DigestKind::Sha256, hex);
    return digest ? std::optional(asSha256(*digest)) : std::nullopt;
}

} // namespace darvolt
