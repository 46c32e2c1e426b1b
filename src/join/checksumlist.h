#pragma once
// The lists of md5sum, sha1sum, sha256sum and sha512sum that people put
// beside the parts of another tool's set (x.md5, big.iso.sha256,
// SHA256SUMS, ...), read for what they say about one set: the digest of
// each part they name, and of the whole file when they name it.
//
// A list names the whole file when one of its entries is the name the set
// gives it (the .crc file's, the numbered volumes' stem) or the name the
// user gives the joined file; or, in a list that names parts of the set,
// when exactly one other entry is there besides them (as in our own
// checksum file, and in "sha256sum big.iso x* > SHA256SUMS"). Entries with
// a folder in their names, and lists of more entries than a set can have,
// are never read as digests of the set.

#include "join/setnaming.h"
#include "parts/checksumfile.h"
#include "platform/platform.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace darvolt {

// True for *.md5, *.sha1, *.sha256, *.sha512 (any case) and MD5SUMS,
// SHA1SUMS, SHA256SUMS, SHA512SUMS.
bool IsChecksumListName(std::string_view name);

struct ListedSums {
    std::string listName;
    std::map<std::int64_t, Digest> parts; // by index in the set
    std::optional<ChecksumEntry> whole;
    // How much the list says: each part it names, and the whole.
    std::size_t weight() const { return parts.size() + (whole ? 1 : 0); }
};

// What one list says of the set; nothing when it names neither a part of
// the set nor its whole.
std::optional<ListedSums> SumsForSet(const std::string& listName, const std::vector<ChecksumEntry>& entries,
                                     const SetNaming& naming, const std::vector<std::string>& wholeNames);

// The list among `files` (bare names in `folder`) that says the most of the
// set, the named one first; a stronger digest wins a tie. A list that is
// there but cannot be read may be the one that would have said the most:
// `unreadable` then tells which and why, and nothing is chosen.
struct ListLookup {
    std::optional<ListedSums> sums;
    std::string unreadable; // the message, when a list could not be read
};
ListLookup FindChecksumList(Platform& platform, const std::string& folder, const std::vector<std::string>& files,
                            const SetNaming& naming, const std::vector<std::string>& wholeNames,
                            const std::string& preferred = {});

// The entries of a list, or nothing when it is none; `error` tells why a
// file that is there could not be read.
std::optional<std::vector<ChecksumEntry>> ReadChecksumList(Platform& platform, const std::string& path,
                                                           ErrorCode* error = nullptr);

} // namespace darvolt
