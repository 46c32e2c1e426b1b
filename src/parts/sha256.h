#pragma once
// Message digests through OpenSSL's libcrypto, which uses the processor's
// SHA instructions where it has them: SHA-256 for the checksum file, MD5
// for the PAR2 recovery set, and beneath the Hasher (hasher.h) every kind
// that other tools' checksum lists carry.

#include "parts/digest.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct evp_md_ctx_st;
struct evp_md_st;

namespace darvolt {

// One digest in progress; `algorithm` names it as libcrypto does ("SHA256").
class MessageDigest {
public:
    explicit MessageDigest(const char* algorithm);
    MessageDigest(const MessageDigest& other); // the same state, going on separately
    MessageDigest& operator=(const MessageDigest&) = delete;
    MessageDigest(MessageDigest&&) noexcept = default;
    MessageDigest& operator=(MessageDigest&&) noexcept = default;
    ~MessageDigest();

    void update(std::span<const std::byte> data);


    // The digest of everything given since the last finish into `digest`
    // (as many bytes as the algorithm gives); the object is then ready for
    // the next message.
    void finishInto(std::span<std::uint8_t> digest);

private:
    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    const evp_md_st* method_;
    std::unique_ptr<evp_md_ctx_st, Free> context_;
};

template <std::size_t Size, const char* Algorithm>
class FixedDigest : public MessageDigest {
public:
    using Digest = std::array<std::uint8_t, Size>;
    FixedDigest() : MessageDigest(Algorithm) {}
    Digest finish()
    {
        Digest digest{};
        finishInto(digest);
        return digest;
    }
    static Digest of(std::span<const std::byte> data)
    {
        FixedDigest hash;
        hash.update(data);
        return hash.finish();
    }
    static Digest of(std::string_view data) { return of(std::as_bytes(std::span(data.data(), data.size()))); }
};

inline constexpr char Sha256Name[] = "SHA256";
inline constexpr char Md5Name[] = "MD5";
using Sha256 = FixedDigest<32, Sha256Name>;
using Md5 = FixedDigest<16, Md5Name>;
using Md5Digest = Md5::Digest;

// 64 lower-case hex digits, as sha256sum writes them.
std::string HexDigest(const Sha256Digest& digest);

} // namespace darvolt
