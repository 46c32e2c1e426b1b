#include "parts/gf16.h"

extern "C" {
#include <gf_complete.h>
}

#include <array>
#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace darvolt {

namespace {

constexpr std::uint32_t Polynomial = 0x1100B;
constexpr std::uint32_t Order = 65535; // of the multiplicative group

struct Tables {
    std::array<std::uint16_t, 2 * Order> exp{};
    std::array<std::uint32_t, Order + 1> log{};
    // The logs of PAR2's input constants: the exponents n with no factor in
    // common with 65535 = 3 * 5 * 17 * 257, so that every constant
    // generates the whole group.
    std::vector<std::uint16_t> constantLogs;
    Tables()
    {
        std::uint32_t x = 1;
        for (std::uint32_t i = 0; i < Order; ++i) {
            exp[i] = exp[i + Order] = static_cast<std::uint16_t>(x);
            log[x] = i;
            x <<= 1;
            if ((x & 0x10000) != 0)
                x ^= Polynomial;
        }
        for (std::uint32_t n = 1; n < Order; ++n)
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0)
                constantLogs.push_back(static_cast<std::uint16_t>(n));
    }
};

const Tables& tables()
{
    static const Tables instance;
    return instance;
}

} // namespace

std::uint16_t GfMultiply(std::uint16_t a, std::uint16_t b)
{
    if (a == 0 || b == 0)
        return 0;
    const Tables& t = tables();
    return t.exp[t.log[a] + t.log[b]];
}

std::uint16_t GfInverse(std::uint16_t a)
{
    const Tables& t = tables();
    return t.exp[(Order - t.log[a]) % Order];
}

std::uint16_t GfPower(std::uint16_t base, std::uint32_t exponent)
{
    if (exponent == 0)
        return 1;
    if (base == 0)
        return 0;
    const Tables& t = tables();
    return t.exp[static_cast<std::uint64_t>(t.log[base]) * exponent % Order];
}

std::uint16_t Par2Coefficient(std::size_t index, std::uint32_t exponent)
{
    const Tables& t = tables();
    if (index >= t.constantLogs.size())
        throw std::out_of_range("PAR2 has no constant for so many input slices");
    return t.exp[static_cast<std::uint64_t>(t.constantLogs[index]) * exponent % Order];
}

namespace {

// The processor's bit-matrix products, 64 words (128 bytes: 64 high bytes,
// then 64 low bytes) at a time. Built for those instructions alone and
// called only where the processor has them.
#if defined(__x86_64__) && defined(__GNUC__)
#define DARVOLT_GFNI 1
__attribute__((target("avx512f,avx512bw,gfni"))) void gfniMultiplyAddMany(const std::byte* const* sources,
                                                                        const GfRegion::Factor* factors,
                                                                        std::size_t count, std::byte* target,
                                                                        std::size_t bytes, bool add)
{
    for (std::size_t at = 0; at < bytes; at += GfRegion::Unit) {
        __m512i high = add ? _mm512_load_si512(target + at) : _mm512_setzero_si512();
        __m512i low = add ? _mm512_load_si512(target + at + 64) : _mm512_setzero_si512();
        for (std::size_t i = 0; i < count; ++i) {
            const auto& m = factors[i].matrices;
            const __m512i inHigh = _mm512_load_si512(sources[i] + at);
            const __m512i inLow = _mm512_load_si512(sources[i] + at + 64);
            high = _mm512_ternarylogic_epi64(high,
                                             _mm512_gf2p8affine_epi64_epi8(inHigh, _mm512_set1_epi64(static_cast<long long>(m[0])), 0),
                                             _mm512_gf2p8affine_epi64_epi8(inLow, _mm512_set1_epi64(static_cast<long long>(m[1])), 0),
                                             0x96);
            low = _mm512_ternarylogic_epi64(low,
                                            _mm512_gf2p8affine_epi64_epi8(inHigh, _mm512_set1_epi64(static_cast<long long>(m[2])), 0),
                                            _mm512_gf2p8affine_epi64_epi8(inLow, _mm512_set1_epi64(static_cast<long long>(m[3])), 0),
                                            0x96);
        }
        _mm512_store_si512(target + at, high);
        _mm512_store_si512(target + at + 64, low);
    }
}
#endif

bool processorHasGfni()
{
#ifdef DARVOLT_GFNI
    __builtin_cpu_init();
    return __builtin_cpu_supports("gfni") && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
    return false;
#endif
}

} // namespace

GfRegion::Factor GfRegion::prepare(std::uint16_t value)
{
    Factor factor;
    factor.value = value;
    // Column j of the constant's matrix is the product with the j-th bit.
    std::array<std::uint16_t, 16> columns{};
    for (int j = 0; j < 16; ++j)
        columns[static_cast<std::size_t>(j)] = GfMultiply(value, static_cast<std::uint16_t>(1u << j));
    // Output bit i of a byte is the parity of the matrix's byte 7 - i with
    // the input byte.
    const auto quarter = [&](int outShift, int inShift) {
        std::uint64_t matrix = 0;
        for (int i = 0; i < 8; ++i) {
            std::uint64_t row = 0;
            for (int j = 0; j < 8; ++j)
                row |= static_cast<std::uint64_t>(columns[static_cast<std::size_t>(inShift + j)] >> (outShift + i) & 1) << j;
            matrix |= row << (8 * (7 - i));
        }
        return matrix;
    };
    factor.matrices = {quarter(8, 8), quarter(8, 0), quarter(0, 8), quarter(0, 0)};
    return factor;
}

struct GfRegion::Field {
    gf_t field{};
    bool ready = false;
    ~Field()
    {
        if (ready)
            gf_free(&field, 0);
    }
};

void AlignedFree::operator()(std::byte* bytes) const
{
    std::free(bytes);
}

AlignedBytes AllocateAligned(std::size_t bytes)
{
    const std::size_t rounded = (std::max<std::size_t>(bytes, 1) + GfRegion::Alignment - 1) / GfRegion::Alignment
                                * GfRegion::Alignment;
    auto* memory = static_cast<std::byte*>(std::aligned_alloc(GfRegion::Alignment, rounded));
    if (memory == nullptr)
        throw std::bad_alloc();
    std::memset(memory, 0, rounded);
    return AlignedBytes(memory);
}

GfRegion::GfRegion(bool mayUseGfni) : field_(std::make_unique<Field>())
{
    gfni_ = mayUseGfni && processorHasGfni();
    if (gfni_) {
        run_ = Unit / 2;
        return;
    }
    // The alternate layout is the library's SIMD one; should a build of it
    // lay the bytes out otherwise, plain words (slower) keep the results
    // right.
    field_->ready = gf_init_hard(&field_->field, 16, GF_MULT_SPLIT_TABLE, GF_REGION_ALTMAP, GF_DIVIDE_DEFAULT, 0,
                                 16, 4, nullptr, nullptr)
                    != 0;
    if (field_->ready) {
        alignas(Alignment) std::array<std::uint16_t, Unit / 2> words{};
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<std::uint16_t>(0x9E37 * (i + 1));
        alignas(Alignment) std::array<std::byte, Unit> worked{};
        alignas(Alignment) std::array<std::byte, Unit> product{};
        toWorking(std::as_bytes(std::span(words)), worked.data(), Unit);
        multiply(worked.data(), product.data(), 0x1234, Unit);
        std::array<std::uint16_t, Unit / 2> back{};
        fromWorking(product.data(), std::as_writable_bytes(std::span(back)));
        for (std::size_t i = 0; i < words.size() && alternate_; ++i)
            alternate_ = back[i] == GfMultiply(words[i], 0x1234);
        if (!alternate_) {
            gf_free(&field_->field, 0);
            field_->ready = false;
        }
    }
    if (!field_->ready) {
        field_->ready = gf_init_easy(&field_->field, 16) != 0;
        if (!field_->ready)
            throw std::runtime_error("gf-complete cannot work in GF(2^16)");
    }
}

GfRegion::~GfRegion() = default;

void GfRegion::multiplyAddMany(const std::byte* const* sources, const Factor* factors, std::size_t count,
                               std::byte* target, std::size_t bytes) const
{
#ifdef DARVOLT_GFNI
    if (gfni_) {
        gfniMultiplyAddMany(sources, factors, count, target, bytes, true);
        return;
    }
#endif
    for (std::size_t i = 0; i < count; ++i)
        if (factors[i].value != 0 && bytes != 0)
            field_->field.multiply_region.w32(&field_->field, const_cast<std::byte*>(sources[i]), target,
                                              factors[i].value, static_cast<int>(bytes), 1);
}

void GfRegion::multiplyAdd(const std::byte* source, std::byte* target, std::uint16_t factor, std::size_t bytes) const
{
    const Factor prepared = gfni_ ? prepare(factor) : Factor{factor, {}};
    multiplyAddMany(&source, &prepared, 1, target, bytes);
}

void GfRegion::multiply(const std::byte* source, std::byte* target, std::uint16_t factor, std::size_t bytes) const
{
    if (bytes == 0)
        return;
#ifdef DARVOLT_GFNI
    if (gfni_) {
        const Factor prepared = prepare(factor);
        gfniMultiplyAddMany(&source, &prepared, 1, target, bytes, false);
        return;
    }
#endif
    if (factor == 0)
        std::memset(target, 0, bytes);
    else
        field_->field.multiply_region.w32(&field_->field, const_cast<std::byte*>(source), target, factor,
                                          static_cast<int>(bytes), 0);
}

void GfRegion::toWorking(std::span<const std::byte> plain, std::byte* worked, std::size_t workedBytes) const
{
    const std::size_t whole = std::min(plain.size(), workedBytes) / Unit * Unit;
    if (!gfni_ && !alternate_) {
        std::memmove(worked, plain.data(), std::min(plain.size(), workedBytes));
        if (plain.size() < workedBytes)
            std::memset(worked + plain.size(), 0, workedBytes - plain.size());
        return;
    }
    const std::size_t run = run_;
    for (std::size_t at = 0; at < whole; at += Unit) {
        // Through a copy: a region may be turned in place.
        std::array<std::byte, Unit> in;
        std::memcpy(in.data(), plain.data() + at, Unit);
        std::byte* out = worked + at;
        for (std::size_t block = 0; block < Unit; block += 2 * run)
            for (std::size_t k = 0; k < run; ++k) {
                out[block + k] = in[block + 2 * k + 1];
                out[block + run + k] = in[block + 2 * k];
            }
    }
    if (whole < workedBytes) {
        alignas(Alignment) std::array<std::byte, Unit> last{};
        std::memcpy(last.data(), plain.data() + whole, std::min(plain.size() - whole, Unit));
        toWorking(last, worked + whole, Unit);
        if (whole + Unit < workedBytes)
            std::memset(worked + whole + Unit, 0, workedBytes - whole - Unit);
    }
}

void GfRegion::fromWorking(const std::byte* worked, std::span<std::byte> plain) const
{
    if (!gfni_ && !alternate_) {
        std::memmove(plain.data(), worked, plain.size());
        return;
    }
    const std::size_t run = run_;
    const std::size_t whole = plain.size() / Unit * Unit;
    for (std::size_t at = 0; at < whole; at += Unit) {
        std::array<std::byte, Unit> in;
        std::memcpy(in.data(), worked + at, Unit);
        std::byte* out = plain.data() + at;
        for (std::size_t block = 0; block < Unit; block += 2 * run)
            for (std::size_t k = 0; k < run; ++k) {
                out[block + 2 * k + 1] = in[block + k];
                out[block + 2 * k] = in[block + run + k];
            }
    }
    if (whole < plain.size()) {
        std::array<std::byte, Unit> last{};
        fromWorking(worked + whole, last);
        std::memcpy(plain.data() + whole, last.data(), plain.size() - whole);
    }
}

} // namespace darvolt
