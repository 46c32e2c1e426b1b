#pragma once
// The checksum file a run writes beside MERGE.BAT: "<source name>.sha256",
// in the text format of GNU sha256sum, so that
//   sha256sum -c --ignore-missing report.doc.sha256
// checks the parts in their folder, and the joined file as well once it is
// there. One line per part in part order, then one for the whole file:
//   <64 lower-case hex digits><2 blanks><bare name><LF>
// A name holding a backslash or a line feed is written as sha256sum writes
// it: the line starts with a backslash, and the name has "\\" and "\n" in
// their place. The lists of md5sum, sha1sum and sha512sum are read the same
// way; the length of the digests tells which program wrote them.

#include "platform/platform.h"
#include "parts/partnaming.h"
#include "parts/digest.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

struct ChecksumEntry {
    std::string name; // bare
    Digest digest;

    friend bool operator==(const ChecksumEntry&, const ChecksumEntry&) = default;
};

inline constexpr std::string_view ChecksumSuffix = ChecksumFileSuffix;

inline std::string ChecksumFileName(std::string_view sourceName)
{
    return std::string(sourceName) + std::string(ChecksumSuffix);
}

// One line, LF included.
std::string ChecksumLine(const ChecksumEntry& entry);

// Reads what sha256sum (or md5sum, sha1sum, sha512sum) writes: text or
// binary mark, escaped names, every digest of one kind; skipping empty lines
// and "#" comments, and line ends of CR LF when every line has them.
// Nothing when any other line is not of that form.
std::optional<std::vector<ChecksumEntry>> ParseChecksumText(std::string_view text);

// The most entries a checksum file of a split can hold: parts and the
// whole file. A file with more is no checksum file of ours.
inline constexpr std::size_t MaxChecksumEntries = 100001;

// The most parts a split writes, so that every set it makes has a checksum
// file that a join reads: one entry is the whole file's.
inline constexpr std::int64_t MaxSplitParts = static_cast<std::int64_t>(MaxChecksumEntries) - 1;

// Reads a checksum file as ParseChecksumText does, a block at a time: what
// it costs in memory is bounded by its entries, whatever else (empty lines,
// comments) it holds. Nothing for a file that cannot be read, has a line of
// another form, a line longer than any entry can be, or more than
// maxEntries entries.
std::optional<std::vector<ChecksumEntry>> ReadChecksumFile(File& file, std::size_t maxEntries = MaxChecksumEntries);

} // namespace darvolt
