#pragma once
// One parts folder, two sources: report.doc and report.pdf both split into
// REPORT_PARTS, and MERGE.BAT and merge.sh have one name for every set. A
// split there would replace the scripts of the set already in it, which
// then no longer joins by its own script. So a folder that holds the parts
// of another source is refused before anything is written; one that holds
// this source's earlier run, or files that are no set's parts at all, is
// taken as always (the earlier run's files are replaced, the others stay).

#include "platform/platform.h"
#include "split/splitview.h"

#include <optional>
#include <string>

namespace darvolt {

// The first (in name order) other source whose parts lie in `folder`;
// nothing when the folder holds none, or does not exist.
std::optional<std::string> OtherSourceInFolder(Platform& platform, const std::string& folder,
                                               const std::string& sourceName);

// True when the run may use the folder; otherwise the refusal has been
// shown through the view.
bool FolderTakesSource(Platform& platform, SplitView& view, const std::string& folder, const std::string& sourceName);

} // namespace darvolt
