#pragma once
// Digests of every kind a checksum file can carry, taken a block at a
// time: MD5, SHA-1, SHA-256 and SHA-512 through OpenSSL's libcrypto (which
// uses the processor's SHA instructions where it has them), CRC32 through
// zlib.

#include "parts/digest.h"
#include "parts/sha256.h"

#include <optional>

namespace darvolt {

class Hasher {
public:
    explicit Hasher(DigestKind kind = DigestKind::Sha256);
    Hasher(Hasher&&) noexcept = default;
    Hasher& operator=(Hasher&&) noexcept = default;
    ~Hasher();

    DigestKind kind() const { return kind_; }
    void update(std::span<const std::byte> data);
    // The digest of everything given since the last finish(); the hasher is
    // then ready for the next message.
    Digest finish();

    static Digest of(DigestKind kind, std::string_view data);

private:
    DigestKind kind_;
    std::optional<MessageDigest> message_; // none for CRC32
    unsigned long crc_ = 0;
};

} // namespace darvolt
