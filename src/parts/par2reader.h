#pragma once
// Reading PAR2 files, the one reader the program has: the set finder, the
// look at what par2 would rebuild, the check and the repair all read
// recovery data through it. A downloaded set's recovery data are as much
// someone else's as its parts, so nothing here trusts a packet before its
// hash holds, and nothing a file claims can make reading it cost more than
// reading it once:
//
// - a packet's length is checked against what its type can hold before a
//   byte of it is read (a recovery slice's against the slice size, once the
//   main packet has told it);
// - the small packets (main, file descriptions, slice checksums) are read
//   whole and hashed; one whose hash fails is passed over by the length it
//   claims, as is every other packet, so no byte is hashed twice;
// - recovery slices are only found here; their hash is checked when the
//   repair chooses them, before anything is done with them;
// - where no packet starts, the next one is looked for from the following
//   byte, as par2 does.
//
// A set is what its main packet says: its ID and its list of files decide
// which packets count. A packet of another set, or about a file the main
// packet does not list, is not part of it.

#include "parts/par2packets.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

// What PAR2's arithmetic allows: constants for 32768 input slices, and
// exponents below the order of the field's multiplicative group.
inline constexpr std::size_t Par2MaxInputSlices = 32768;
inline constexpr std::uint32_t Par2ExponentLimit = 65535;
// par2 takes no file name longer than this from a description; no file
// system names a file with more than the second.
inline constexpr std::size_t Par2LongestName = 100000;
inline constexpr std::size_t LongestFileName = 255;

struct Par2MainPacket {
    Par2Id setId{};
    std::int64_t sliceSize = 0;
    std::vector<Par2Id> files; // the recoverable ones, in the set's order
};

struct Par2Description {
    Par2Id setId{};
    Par2Id fileId{};
    Md5Digest md5{};
    Md5Digest md5First16k{};
    std::uint64_t length = 0;
    // Up to its first NUL, as par2 takes it; of a longer name than any
    // file's, only the first LongestFileName + 1 bytes.
    std::string name;
};

struct Par2SliceHashes {
    Par2Id setId{};
    Par2Id fileId{};
    std::vector<Par2SliceChecksum> slices;
};

// A recovery slice where it lies, as its header tells it.
struct Par2RecoverySlice {
    std::size_t file = 0;     // which of the files read it is in
    std::int64_t offset = 0;  // of its packet
    std::uint64_t length = 0; // of its packet
    std::uint32_t exponent = 0;
    Par2Id setId{};
    Md5Digest hash{}; // of the packet, as claimed
    std::int64_t dataOffset() const { return offset + static_cast<std::int64_t>(Par2RecoveryPrefix); }
};

// What the packets of one file say, every set's alike.
// What is kept of them is bounded whatever a file holds: a set's main
// packet once, names no longer than any file's, and no more descriptions,
// slice checksums or recovery slices than PAR2's limits allow a set, twice
// over; a file that holds more is `overfull`, and none of it is to be used.
struct Par2Contents {
    std::vector<Par2MainPacket> mains; // the first of each set
    std::vector<Par2Description> descriptions;
    std::vector<Par2SliceHashes> sliceHashes;
    std::vector<Par2RecoverySlice> recovery;
    bool complete = true; // false when reading stopped (the stop flag, a read failure)
    bool overfull = false;
};

// The one rule for telling PAR2 files by their names: ".par2" in any case,
// as par2 takes them.
bool IsPar2FileName(std::string_view name);
// Whether par2, handed `index`, reads `name` too: besides the index, par2
// reads every file named "<stem>.*.par2" beside it, the stem being the
// index's name without ".par2" and a ".volN+M" (or "-") before it.
bool Par2ReadsWith(std::string_view index, std::string_view name);

// Reads every packet of a file; `index` goes into its recovery slices.
Par2Contents ReadPar2(File& file, std::size_t index = 0, const std::atomic<bool>* stop = nullptr);
// The same for bytes in memory.
Par2Contents ReadPar2(std::span<const std::byte> bytes);

// One file of a set: its ID from the main packet, and what the set's
// packets tell of it.
struct Par2SetFile {
    Par2Id id{};
    std::optional<Par2Description> description;
    std::optional<std::vector<Par2SliceChecksum>> slices;
};

struct Par2Set {
    Par2Id id{};
    std::int64_t sliceSize = 0;
    std::vector<Par2SetFile> files; // in the main packet's order
    // The set's recovery slices of the right length, by exponent (those of
    // one exponent in the order found: a damaged one may have a whole twin).
    std::vector<Par2RecoverySlice> recovery;

    // Every file has its description.
    bool described() const;
    // The input slice each file's first slice is (files without bytes have
    // none), and how many there are; nothing beyond PAR2's constants.
    std::optional<std::vector<std::size_t>> firstSlices() const;
};

// The packets of every file read, found by the set and the file they are
// of: the first of each, in the files' order, as par2 takes them.
class Par2Catalogue {
public:
    explicit Par2Catalogue(std::span<const Par2Contents> contents);
    const Par2Description* description(const Par2Id& set, const Par2Id& file) const;
    const std::vector<Par2SliceChecksum>* slices(const Par2Id& set, const Par2Id& file) const;
    // A set's recovery slices, in the order found.
    const std::vector<Par2RecoverySlice>* recovery(const Par2Id& set) const;

private:
    using Key = std::pair<Par2Id, Par2Id>;
    std::map<Key, const Par2Description*> descriptions_;
    std::map<Key, const std::vector<Par2SliceChecksum>*> slices_;
    std::map<Par2Id, std::vector<Par2RecoverySlice>> recovery_;
};

// The set `main` names, from the packets of every file read; what it costs
// goes with the main packet's own size, not with everything read.
Par2Set Par2SetOf(const Par2MainPacket& main, const Par2Catalogue& catalogue);
Par2Set Par2SetOf(const Par2MainPacket& main, std::span<const Par2Contents> contents);

// Whether a recovery slice's packet hash holds: its data are read once, a
// buffer at a time, the stop flag looked at between them.
bool Par2SliceHolds(File& file, const Par2RecoverySlice& slice, std::span<std::byte> buffer,
                    const std::atomic<bool>* stop = nullptr);

} // namespace darvolt
