#include "parts/sha256.h"

#include <openssl/evp.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <stdexcept>

namespace darvolt {

namespace {

// Fetched once per algorithm: an implicit fetch on every new message costs
// a lookup in the provider tables. The programs use a few; each is let go
// at exit (a digest in progress holds its own reference).
class FetchedMethods {
public:
    ~FetchedMethods()
    {
        for (const auto& [name, method] : fetched_)
            EVP_MD_free(method);
    }
    const EVP_MD* get(const char* algorithm)
    {
        const std::lock_guard lock(mutex_);
        auto [at, added] = fetched_.try_emplace(algorithm, nullptr);
        if (added)
            at->second = EVP_MD_fetch(nullptr, algorithm, nullptr);
        if (at->second == nullptr)
            throw std::runtime_error(std::string(algorithm) + " is not available from libcrypto");
        return at->second;
    }

private:
    std::mutex mutex_;
    std::map<std::string, EVP_MD*, std::less<>> fetched_;
};

const EVP_MD* method(const char* algorithm)
{
    static FetchedMethods methods;
    return methods.get(algorithm);
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
    return Digest(digest).hex();
}

} // namespace darvolt
