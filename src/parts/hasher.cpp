#include "parts/hasher.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <new>
#include <stdexcept>

namespace darvolt {

namespace {

// Fetched once per kind: an implicit fetch on every new message costs a
// lookup in the provider tables.
const EVP_MD* fetched(const char* name, const EVP_MD* fallback)
{
    const EVP_MD* method = EVP_MD_fetch(nullptr, name, nullptr);
    return method != nullptr ? method : fallback;
}

const EVP_MD* method(DigestKind kind)
{
    static const EVP_MD* const md5 = fetched("MD5", EVP_md5());
    static const EVP_MD* const sha1 = fetched("SHA1", EVP_sha1());
    static const EVP_MD* const sha256 = fetched("SHA256", EVP_sha256());
    static const EVP_MD* const sha512 = fetched("SHA512", EVP_sha512());
    switch (kind) {
    case DigestKind::Md5: return md5;
    case DigestKind::Sha1: return sha1;
    case DigestKind::Sha256: return sha256;
    case DigestKind::Sha512: return sha512;
    case DigestKind::Crc32: break;
    }
    return nullptr;
}

} // namespace

void Hasher::Free::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

Hasher::Hasher(DigestKind kind) : kind_(kind)
{
    if (kind_ != DigestKind::Crc32) {
        context_.reset(EVP_MD_CTX_new());
        if (!context_)
            throw std::bad_alloc();
    }
    start();
}

Hasher::~Hasher() = default;

void Hasher::start()
{
    crc_ = crc32_z(0, nullptr, 0);
    if (context_ && EVP_DigestInit_ex(context_.get(), method(kind_), nullptr) != 1)
        throw std::runtime_error(std::string(DigestName(kind_)) + " is not available from libcrypto");
}

void Hasher::update(std::span<const std::byte> data)
{
    if (data.empty())
        return;
    if (context_)
        EVP_DigestUpdate(context_.get(), data.data(), data.size());
    else
        crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(data.data()), data.size());
}

Digest Hasher::finish()
{
    std::array<std::uint8_t, 64> bytes{};
    if (context_) {
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_.get(), bytes.data(), &length);
    } else {
        // Most significant byte first, as the eight hex digits are written.
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc_ >> (24 - 8 * i));
    }
    start();
    return Digest(kind_, bytes);
}

Digest Hasher::of(DigestKind kind, std::string_view data)
{
    Hasher hasher(kind);
    hasher.update(std::as_bytes(std::span(data.data(), data.size())));
    return hasher.finish();
}

} // namespace darvolt
