#pragma once
// A PAR2 set's input side taken from the blocks a split reads: for every
// part, the MD5 and CRC32 of its slice, the MD5 of the part and of its
// first 16 KiB, and the part's share of every recovery slice (the first
// pass of a RecoveryAccumulator). One read of the source serves the parts,
// the checksum file and the recovery data.
//
// The parts' order in the set, which fixes their Reed-Solomon constants,
// follows their file IDs, and those depend on each part's first 16 KiB: the
// split reads those ahead (a few KiB per part), and the encoder checks
// that the part it then sees begins with the same bytes.

#include "parts/blockconsumer.h"
#include "parts/par2packets.h"
#include "parts/recoveryaccumulator.h"

#include <array>
#include <atomic>

namespace darvolt {

// The encoder is two consumers of the feed: the digests of the parts,
// independent of each other and so on two lanes that either of the run's
// threads may work, and the gathering of the parts for the arithmetic, on
// one lane that may wait for it.
class RecoveryEncoder {
public:
    // `files`: the data parts in part order with their names, lengths and
    // the MD5 of their first 16 KiB; the shape's sliceIndex is theirs.
    RecoveryEncoder(RecoveryShape shape, std::vector<Par2File> files);

    std::vector<BlockConsumer*> consumers() { return {&digests_, &gathering_}; }
    RecoveryAccumulator& accumulator() { return accumulator_; }
    // Once every part has ended: the files with all their digests.
    const std::vector<Par2File>& files() const { return digests_.files; }
    // False when a part began otherwise than read ahead, or was not as long.
    bool asReadAhead() const { return digests_.asReadAhead; }

private:
    struct Digests : BlockConsumer {
        struct Current {
            Md5 whole;
            Md5 first16k;
            std::uint32_t crc = 0;
            std::int64_t length = 0;
        };
        std::vector<Par2File> files;
        std::int64_t sliceSize = 0;
        std::array<Current, 2> lanes_;
        std::atomic<bool> asReadAhead{true};

        int lanes() const override { return 2; }
        void consume(int lane, std::int64_t part, std::span<const std::byte> bytes) override;
        void endPart(int lane, std::int64_t part) override;
    };
    struct Gathering : BlockConsumer {
        RecoveryAccumulator* accumulator = nullptr;
        std::size_t parts = 0;
        std::int64_t at = 0; // in the current part
        bool waitsLong() const override { return true; }
        void consume(int lane, std::int64_t part, std::span<const std::byte> bytes) override;
        void endPart(int lane, std::int64_t part) override;
    };

    RecoveryAccumulator accumulator_;
    Digests digests_;
    Gathering gathering_;
};

// CRC32 (the one of zlib and PAR2) of `bytes` after `crc`.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::byte> bytes);
// Continues a digest and a CRC32 over `count` zero bytes.
void AddZeros(MessageDigest& digest, std::uint32_t& crc, std::int64_t count);
void AddZeros(std::uint32_t& crc, std::int64_t count);

} // namespace darvolt
