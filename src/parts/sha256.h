#pragma once
// SHA-256 through OpenSSL's libcrypto, which uses the processor's SHA
// instructions where it has them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace darvolt {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    Sha256(Sha256&&) noexcept = default;
    Sha256& operator=(Sha256&&) noexcept = default;
    ~Sha256();

    void update(std::span<const std::byte> data);
    // The digest of everything given since the last finish(); the object is
    // then ready for the next message.
    Sha256Digest finish();

    static Sha256Digest of(std::string_view data);

private:
    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> context_;
};

// 64 lower-case hex digits, as sha256sum writes them.
std::string HexDigest(const Sha256Digest& digest);
// Upper-case digits are taken too; anything else is no digest.
std::optional<Sha256Digest> DigestFromHex(std::string_view hex);

} // namespace darvolt
