#pragma once
// Sets that other tools made (setnaming.h), found from what the user names:
// one of their parts, the folder of numbered volumes, the .crc file beside
// them, or a checksum list that names their parts.
//
// GNU split's parts carry no mark of their own (xab is a part of the set
// x?? or of xa?, of letters or of hex digits, with a suffix length of two or
// widened): the set is the reading of the named part's name that fits the
// names beside it best: the most parts found, less the gaps among them.
// Numbered volumes (name.001) count from .001, or from .000 where the
// set has one. The set's extent is what its checksum list names, else the
// highest part found: a gap is a missing part, and parts lost after the
// last one show only in a checksum, or in the size a .crc file gives.

#include "join/partset.h"
#include "join/setnaming.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

// The naming of the set that another tool's part belongs to, from its name
// and the names of the files beside it; nothing when it fits no convention.
std::optional<SetNaming> RecogniseNaming(std::string_view partName, const std::vector<std::string>& files);

struct ForeignLookup {
    std::string folder;             // of the parts; empty for the current one
    std::vector<std::string> files; // the bare names of the files in it (no folders)
    std::string input;              // what the user named, for messages
    std::string outputName;         // the joined file's bare name, when the user gave one
};

// The set of another tool that a file the user named belongs to or
// describes (a part, a .crc file, a checksum list); nothing when the file
// is none of these.
std::optional<FoundSet> ForeignSetOfFile(Platform& platform, const ForeignLookup& lookup, const std::string& name);

// The one set of numbered volumes in a folder; nothing when there is none,
// a problem when there are several.
std::optional<FoundSet> NumberedSetInFolder(Platform& platform, const ForeignLookup& lookup);
// The same for GNU split's parts, told by a first part (a name ending in
// "aa" or "00") that begins a set among the names beside it.
std::optional<FoundSet> GnuSplitSetInFolder(Platform& platform, const ForeignLookup& lookup);

} // namespace darvolt
