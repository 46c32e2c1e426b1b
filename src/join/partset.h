#pragma once
// Finding the parts of one split from what the user names: any one part
// (report.doc.!03), the folder that holds them, or the checksum file
// (report.doc.sha256).
//
// With a checksum file the set is what it lists, parts in number order
// from 00 on, then the whole file; a part it lists that is not there is
// missing, and a part of the same file beyond the list is extra. Without
// one the set runs from part 00 to the highest number present, and a gap is
// a missing part. Names from a checksum file must be bare names of one set,
// so that no file outside the parts' folder can be read or written through
// a crafted checksum file.

#include "platform/platform.h"
#include "parts/checksumfile.h"
#include "parts/sha256.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace darvolt {

struct SetPart {
    std::int64_t number = 0;
    std::string name; // bare
    bool present = false;
    std::int64_t size = 0; // when present
    std::optional<Sha256Digest> expected;
};

struct PartSet {
    std::string folder; // empty for the current folder
    std::string sourceName;
    std::vector<SetPart> parts;     // what the set holds, in number order
    std::vector<std::string> extra; // parts of this source that it does not hold
    std::string checksumName;       // bare; empty when there is none
    std::optional<Sha256Digest> whole;

    bool checked() const { return !checksumName.empty(); }
    std::string path(const std::string& bareName) const;
    std::vector<std::string> missing() const;
    std::int64_t presentBytes() const;
};

struct FoundSet {
    std::optional<PartSet> set;
    std::string problem; // what the user is told when there is no set
};

FoundSet FindPartSet(Platform& platform, const std::string& input);

// Tells anew which parts are there and how large, keeping the digests the
// set was found with: what a repair changed is judged against those.
void MeasureParts(Platform& platform, PartSet& set);

// Without a checksum file the numbering is all that tells a set apart: a
// merge.sh or MERGE.BAT beside the parts, written for this file, that joins
// another number of parts than were found says that parts are missing (or
// stray ones were added). The message, when one does.
std::optional<std::string> ScriptDisagreement(Platform& platform, const PartSet& set);

// The parts and the whole as a checksum file lists them; nothing unless the
// entries are parts 00, 01, ... of one file in order and then that file,
// every name bare.
struct ChecksumSet {
    std::string sourceName;
    std::vector<Sha256Digest> parts;
    Sha256Digest whole{};
};
std::optional<ChecksumSet> ChecksumSetOf(const std::vector<ChecksumEntry>& entries);

// The size the parts before the last share, when most of them do: the
// part size of a split into equal parts.
std::optional<std::int64_t> UsualPartSize(const PartSet& set);
// The last part is as large as that, which a split's last part never is:
// parts after it are missing.
bool LastPartAsLarge(const PartSet& set);

// A line a size check adds to a part's finding, when the set has the shape
// of a split into equal parts and this part breaks it; empty otherwise.
std::string SizeRemark(const PartSet& set, std::size_t index);

} // namespace darvolt
