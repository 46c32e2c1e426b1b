#pragma once
// Arithmetic in GF(2^16) with the polynomial x^16 + x^12 + x^3 + x + 1
// (0x1100B), the field of PAR2's Reed-Solomon code: single values through
// log tables, regions through gf-complete, whose SIMD region multiply is
// the speed limit of writing recovery data.
//
// Regions are kept in a working layout while they are worked on: the high
// bytes of a run of words, then their low bytes. Where the processor has
// GFNI and AVX-512, multiplying by a constant is then four 8x8 bit-matrix
// products per 64 words (the constant's 16x16 matrix over GF(2) cut in
// quarters), several times faster than table lookups; elsewhere the runs
// are gf-complete's alternate layout (16 words), where its SIMD multiply
// runs about twice as fast as on plain little-endian words. Data are turned
// into the layout once on the way in and back once on the way out.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace darvolt {

// Scalars.
std::uint16_t GfMultiply(std::uint16_t a, std::uint16_t b);
std::uint16_t GfInverse(std::uint16_t a); // a != 0
std::uint16_t GfPower(std::uint16_t base, std::uint32_t exponent);

// PAR2's constant for the input slice at `index` (in the main packet's
// order), raised to a recovery slice's exponent: that recovery slice's
// coefficient for the input slice.
std::uint16_t Par2Coefficient(std::size_t index, std::uint32_t exponent);

class GfRegion {
public:
    // Regions are worked in units of this many bytes, at this alignment.
    static constexpr std::size_t Unit = 128;
    static constexpr std::size_t Alignment = 64;

    // A constant made ready for multiplying regions by it.
    struct Factor {
        std::uint16_t value = 0;
        std::array<std::uint64_t, 4> matrices{}; // high from high, high from low, low from high, low from low
    };
    static Factor prepare(std::uint16_t value);

    // With mayUseGfni false, gf-complete does the work on every processor
    // (to measure one against the other, and to check one by the other).
    explicit GfRegion(bool mayUseGfni = true);
    ~GfRegion();
    GfRegion(const GfRegion&) = delete;
    GfRegion& operator=(const GfRegion&) = delete;

    // target ^= factor * source, both in the working layout, `bytes` a
    // multiple of Unit, both aligned.
    void multiplyAdd(const std::byte* source, std::byte* target, std::uint16_t factor, std::size_t bytes) const;
    // target = factor * source.
    void multiply(const std::byte* source, std::byte* target, std::uint16_t factor, std::size_t bytes) const;
    // target ^= the sum of factors[i] * sources[i].
    void multiplyAddMany(const std::byte* const* sources, const Factor* factors, std::size_t count, std::byte* target,
                         std::size_t bytes) const;
    // How it works, for the figures: "GFNI" or "gf-complete".
    const char* method() const { return gfni_ ? "GFNI" : "gf-complete"; }

    // Plain little-endian words to the working layout and back. `plain`
    // may be shorter than `worked` (a multiple of Unit): the rest is zero.
    // Either may work in place.
    void toWorking(std::span<const std::byte> plain, std::byte* worked, std::size_t workedBytes) const;
    void fromWorking(const std::byte* worked, std::span<std::byte> plain) const;

private:
    struct Field;
    std::unique_ptr<Field> field_;
    bool gfni_ = false;      // the processor's bit-matrix instructions
    bool alternate_ = true;  // the library's alternate layout checked out at start
    std::size_t run_ = 16;   // words per run of high and then low bytes
};

// Bytes rounded up to whole units.
constexpr std::size_t GfUnits(std::size_t bytes)
{
    return (bytes + GfRegion::Unit - 1) / GfRegion::Unit * GfRegion::Unit;
}

// A buffer aligned for GfRegion, zeroed.
struct AlignedFree {
    void operator()(std::byte* bytes) const;
};
using AlignedBytes = std::unique_ptr<std::byte[], AlignedFree>;
AlignedBytes AllocateAligned(std::size_t bytes);

} // namespace darvolt
