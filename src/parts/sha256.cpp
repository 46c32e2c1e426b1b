#include "parts/sha256.h"

#include <openssl/evp.h>

#include <new>
#include <stdexcept>

namespace darvolt {

namespace {

// Fetched once: an implicit fetch on every new message costs a lookup in
// the provider tables.
const EVP_MD* sha256Method()
{
    static const EVP_MD* const method = [] {
        const EVP_MD* fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
        return fetched != nullptr ? fetched : EVP_sha256();
    }();
    return method;
}

void start(EVP_MD_CTX* context)
{
    if (EVP_DigestInit_ex(context, sha256Method(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available from libcrypto");
}

} // namespace

void Sha256::Free::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

Sha256::Sha256() : context_(EVP_MD_CTX_new())
{
    if (!context_)
        throw std::bad_alloc();
    start(context_.get());
}

Sha256::~Sha256() = default;

void Sha256::update(std::span<const std::byte> data)
{
    if (!data.empty())
        EVP_DigestUpdate(context_.get(), data.data(), data.size());
}

Sha256Digest Sha256::finish()
{
    Sha256Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_.get(), digest.data(), &length);
    start(context_.get());
    return digest;
}

Sha256Digest Sha256::of(std::string_view data)
{
    Sha256 hash;
    hash.update(std::as_bytes(std::span(data.data(), data.size())));
    return hash.finish();
}

std::string HexDigest(const Sha256Digest& digest)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (const std::uint8_t byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

std::optional<Sha256Digest> DigestFromHex(std::string_view hex)
{
    Sha256Digest digest{};
    if (hex.size() != digest.size() * 2)
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
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = value(hex[2 * i]);
        const int low = value(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digest;
}

} // namespace darvolt
