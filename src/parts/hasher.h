#pragma once
// Digests of every kind a checksum file can carry, taken a block at a
// time: MD5, SHA-1, SHA-256 and SHA-512 through OpenSSL's libcrypto (which
// uses the processor's SHA instructions where it has them), CRC32 through
// zlib.

#include "parts/digest.h"

#include <memory>

struct evp_md_ctx_st;

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
    void start();

    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    DigestKind kind_;
    std::unique_ptr<evp_md_ctx_st, Free> context_; // none for CRC32
    unsigned long crc_ = 0;
};

} // namespace darvolt
