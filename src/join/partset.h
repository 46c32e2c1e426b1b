#pragma once
// Finding the parts of one split from what the user names: any one part
// (report.doc.!03), the folder that holds them, or the checksum file
// (report.doc.sha256). Sets that other tools made (setnaming.h) are found
// from one of their parts, the folder of numbered volumes, their .crc file
// or a checksum list that names their parts (foreignset.h).
//
// With a checksum file the set is what it lists, parts in number order
// from 00 on, then the whole file; a part it lists that is not there is
// missing, and a part of the same file beyond the list is extra. Without
// one the set runs from part 00 to the highest number present, and a gap is
// a missing part. Names from a checksum file must be bare names of one set,
// so that no file outside the parts' folder can be read or written through
// a crafted checksum file.

#include "join/setnaming.h"
#include "platform/platform.h"
#include "parts/checksumfile.h"
#include "parts/digest.h"

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
    std::optional<Digest> expected;
};

struct PartSet {
    std::string folder; // empty for the current folder
    // The name of the file the parts were cut from; for a set that does not
    // tell it, the joined file's name the user gave, or a guess, or nothing.
    std::string sourceName;
    bool nameTold = true; // sourceName comes from the set itself, and the joined file may take it
    bool nameFromPrefix = false; // ... from the prefix of GNU split's parts
    // Why the joined file's name needs the user's word, when the set gives
    // one that is not sure (a guess, a hidden file's name); empty otherwise.
    std::string nameDoubt;
    SetNaming naming;
    std::vector<SetPart> parts;     // what the set holds, in number order
    std::vector<std::string> extra; // parts of this source that it does not hold
    std::string checksumName;       // bare; the file whose digests decide, empty when there is none
    std::optional<Digest> whole;
    // Another tool's .crc file beside the parts (bare name), and the size
    // it gives the whole file, or a 7-Zip archive's size from the start
    // header of its first volume (sizeSource names the file that gave it).
    std::string crcName;
    std::optional<std::int64_t> wholeSize;
    std::string sizeSource;

    bool ours() const { return naming.convention() == SetConvention::Darvolt; }
    // Every part has a digest to be checked against.
    bool partsChecked() const;
    // Every byte is vouched for: by the parts' digests or the whole's.
    bool checked() const { return partsChecked() || whole.has_value(); }
    // The kind of the parts' digests, when any part has one.
    std::optional<DigestKind> partKind() const;
    // The name messages give the set: the source's, else its first part's.
    std::string title() const;
    std::string path(const std::string& bareName) const;
    std::vector<std::string> missing() const;
    // Parts that have no digest of their own, by name.
    std::vector<std::string> unlisted() const;
    std::int64_t presentBytes() const;
};

struct FoundSet {
    std::optional<PartSet> set;
    std::string problem; // what the user is told when there is no set
    // The set was found but cannot be joined as it stands (a part is a
    // symbolic link): a failed check, not a failed search.
    bool refused = false;
};

// outputName: the bare name the user gave the joined file, if any; a
// checksum list that names it holds the whole file's digest.
FoundSet FindPartSet(Platform& platform, const std::string& input, const std::string& outputName = {});

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
// every name bare, every digest SHA-256.
struct ChecksumSet {
    std::string sourceName;
    std::vector<Digest> parts;
    Digest whole;
};
std::optional<ChecksumSet> ChecksumSetOf(const std::vector<ChecksumEntry>& entries);

// The most parts a set can have: as many as a checksum file of ours can
// list. A number beyond it is no part of any set.
inline constexpr std::int64_t MaxSetParts = static_cast<std::int64_t>(MaxChecksumEntries) - 1;

// A name without a folder in it, that names no folder.
bool IsBareName(std::string_view name);

// The size the parts before the last share, when most of them do: the
// part size of a split into equal parts.
std::optional<std::int64_t> UsualPartSize(const PartSet& set);
// The last part is as large as that, which a split's last part never is:
// parts after it are missing.
bool LastPartAsLarge(const PartSet& set);

// When the parts do not hold what the set's .crc file or 7-Zip start header
// gives the whole file, the message that says so; else empty.
std::string SizeDisagreement(const PartSet& set);

// A line a size check adds to a part's finding, when the set is ours and
// has the shape of a split into equal parts and this part breaks it; empty
// otherwise (other tools cut parts of any size: by lines, into N chunks).
std::string SizeRemark(const PartSet& set, std::size_t index);

} // namespace darvolt
