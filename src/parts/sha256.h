#pragma once
// SHA-256, the digest of our own checksum file, as a Hasher of that kind.

#include "parts/hasher.h"

namespace darvolt {

class Sha256 {
public:
    void update(std::span<const std::byte> data) { hasher_.update(data); }
    // The digest of everything given since the last finish(); the object is
    // then ready for the next message.
    Sha256Digest finish();

    static Sha256Digest of(std::string_view data);

private:
    Hasher hasher_{DigestKind::Sha256};
};

// 64 lower-case hex digits, as sha256sum writes them.
std::string HexDigest(const Sha256Digest& digest);
// Upper-case digits are taken too; anything else is no digest.
std::optional<Sha256Digest> DigestFromHex(std::string_view hex);

} // namespace darvolt
