#pragma once
// merge.sh: the POSIX sh twin of MERGE.BAT, written beside it. Run in the
// folder that holds the parts (sh merge.sh), it checks the parts with
// sha256sum -c where that command exists (and says so where it does not),
// joins them in order into the source's name without ever replacing an
// existing file, removes its output again on any failure or interruption,
// checks the result, and asks whether to erase the parts (no by default).
// It runs programs from the absolute folders of PATH only, never one that
// came with the parts. Recovery data are used only while no entry of the
// folder is a symbolic link and the set describes nothing but the parts (by
// name, as par2 verify lists them); otherwise the script says which link or
// which other files stand in the way, and rebuilds nothing.
//
// It runs under dash and BusyBox sh alike. Every name appears only between
// single quotes (a quote in a name as '\''), never in a comment, in an
// unquoted word, in a format or in an eval, so no name can run a command or
// reach another file; the sums go to sha256sum through a quoted here-document
// in the lines of the checksum file, where nothing is expanded either. The
// parts become the positional parameters, so a thousand of them cost one
// cat and one rm.

#include "parts/checksumfile.h"
#include "parts/partnaming.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

inline constexpr std::string_view MergeShellName = MergeShellFileName;

// A word for sh that stands for exactly these bytes.
std::string ShellQuoted(std::string_view bytes);

// The script. sums: the checksum file's entries (parts, then the whole
// file), or empty for a run without checksums. recoveryName: the PAR2 set
// beside the parts, if one was written: where parts are missing or fail
// their check (or, without sums, fail par2's own), the script runs
// par2 repair on it when par2 is installed, and checks again.
std::string MergeShellText(std::string_view sourceName, const std::vector<std::string>& bareParts,
                           const std::vector<ChecksumEntry>& sums, std::string_view recoveryName = {});

// How many parts a merge.sh written for this source joins: the quoted
// names after its "set --"; nothing for a script of another source or
// another shape.
std::optional<std::size_t> MergeShellPartCount(std::string_view text, std::string_view sourceName);

} // namespace darvolt
