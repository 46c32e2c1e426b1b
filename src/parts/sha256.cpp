#include "parts/sha256.h"

#include <openssl/evp.h>

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <stdexcept>

namespace darvolt {

namespace {

// Fetched once per algorithm: an implicit fetch on every new message costs
// a lookup in the provider tables. The programs use two.
const EVP_MD* method(const char* algorithm)
{
    static std::mutex mutex;
    static std::map<std::string, const EVP_MD*, std::less<>> fetched;
    const std::lock_guard lock(mutex);
    auto [at, added] = fetched.try_emplace(algorithm, nullptr);
    if (added)
        at->second = EVP_MD_fetch(nullptr, algorithm, nullptr);
    if (at->second == nullptr)
        throw std::runtime_error(std::string(algorithm) + " is not available from libcrypto");
    return at->second;
}

void start(EVP_MD_CTX* context, const EVP_MD* method)
{
    if (EVP_DigestInit_ex(context, method, nullptr) != 1)
        throw std::runtime_error("a digest could not be started in libcrypto");
}

EVP_MD_CTX* newContext()
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr)
        throw std::bad_alloc();
    return context;
}

} // namespace

void MessageDigest::Free::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

MessageDigest::MessageDigest(const char* algorithm) : method_(method(algorithm)), context_(newContext())
{
    start(context_.get(), method_);
}

MessageDigest::MessageDigest(const MessageDigest& other) : method_(other.method_), context_(newContext())
{
    if (EVP_MD_CTX_copy_ex(context_.get(), other.context_.get()) != 1)
        throw std::runtime_error("a digest could not be copied in libcrypto");
}

MessageDigest::~MessageDigest() = default;

void MessageDigest::update(std::span<const std::byte> data)
{
    if (!data.empty())
        EVP_DigestUpdate(context_.get(), data.data(), data.size());
}

void MessageDigest::finishInto(std::span<std::uint8_t> digest)
{
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_.get(), digest.data(), &length);
    start(context_.get(), method_);
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
