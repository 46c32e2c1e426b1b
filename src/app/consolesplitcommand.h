#pragma once
// darvolt-split's command line and its run:
//   darvolt-split [OPTION]... FILE
// The request is built as the main window's Split button builds it, with
// the part size the options give, then SplitFile runs with the given view
// (the console one in the program).

#include "app/consolecommand.h"
#include "platform/platform.h"
#include "split/splitrequest.h"
#include "split/splitview.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace darvolt {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailed = 1;    // the run or its checks failed
inline constexpr int ExitUsage = ExitCommandUsage;
inline constexpr int ExitCancelled = 3; // Cancel at a diskette prompt
// Stopped by a signal: 128 + its number, as shells expect (130 for Ctrl-C).
inline constexpr int ExitInterrupted = 130;

struct SplitCommand {
    enum class Action { Split, Help, Version, UsageError };
    Action action = Action::Split;
    // CustomSize for every size the user gave: --custom, --bytes, --number.
    SizeMode mode = SizeMode::StandardDiskette;
    std::int64_t partSize = StandardPartSize; // bytes; from --standard, --custom or --bytes
    std::int64_t partCount = 0; // --number: the part size follows from the file's size
    // --bytes and --number, as GNU split takes them: a file not larger than a
    // part gives one part instead of being refused.
    bool wholeFileFits = false;
    bool flush = false;     // --flush: parts on the medium before success is told, also on fixed disks
    bool checksums = true;  // --no-checksum turns the checksum file and merge.sh's checks off
    bool quiet = false;     // --quiet: no progress, no closing line
    int recoveryPercent = 0; // --recovery: recovery data beside the parts (folder mode)
    std::string directory;  // -d/--directory: where the parts go instead of NAME_PARTS
    std::string file;
    std::string problem;    // what is wrong, for UsageError
};

// args: the arguments after the program name.
SplitCommand ParseSplitCommand(const std::vector<std::string>& args);

std::string SplitCommandUsage();

// Runs the command and answers the exit status. The file manager is not
// started; help goes to `out`, command-line problems to `err`. A run that
// succeeded in folder mode ends with a line on `out` naming the folder and
// the part count when `out` is a terminal (and the command is not quiet).
// A message that could not be written to either stream makes a run that
// succeeded fail.
int RunSplitCommand(const SplitCommand& command, Platform& platform, SplitView& view, std::ostream& out,
                    std::ostream& err, const CommandContext& context = {});

} // namespace darvolt
