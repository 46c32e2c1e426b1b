#pragma once
// darvolt-split's command line and its run:
//   darvolt-split [--standard | --custom KB | --span] [--flush] [--no-checksum]
//                 [--recovery PERCENT] [-d DIR] FILE
// The request is built exactly as the main window's Split button builds it,
// then SplitFile runs with the given view (the console one in the program).

#include "platform/platform.h"
#include "split/splitrequest.h"
#include "split/splitview.h"

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace darvolt {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailed = 1;    // the run or its checks failed
inline constexpr int ExitUsage = 2;     // the command line is wrong
inline constexpr int ExitCancelled = 3; // Cancel at a diskette prompt
// Stopped by a signal: 128 + its number, as shells expect (130 for Ctrl-C).
inline constexpr int ExitInterrupted = 130;

struct SplitCommand {
    enum class Action { Split, Help, Version, UsageError };
    Action action = Action::Split;
    SizeMode mode = SizeMode::StandardDiskette;
    std::string customSize; // the text after --custom, read as the custom-size field is
    bool flush = false;     // --flush: parts on the medium before success is told, also on fixed disks
    bool checksums = true;  // --no-checksum turns the checksum file and merge.sh's checks off
    int recoveryPercent = 0; // --recovery: recovery data beside the parts (folder mode)
    std::string directory;  // -d/--directory: where the parts go instead of NAME_PARTS
    std::string file;
    std::string problem;    // what is wrong, for UsageError
};

// args: the arguments after the program name.
SplitCommand ParseSplitCommand(const std::vector<std::string>& args);

std::string SplitCommandUsage();

// Runs the command and answers the exit status. The file manager is not
// started; help goes to `out`, command-line problems to `err`. `stop`, when
// given, interrupts the run (ExitInterrupted). A message that could not be
// written to either stream makes a run that succeeded fail.
int RunSplitCommand(const SplitCommand& command, Platform& platform, SplitView& view, std::ostream& out,
                    std::ostream& err, const std::atomic<bool>* stop = nullptr);

} // namespace darvolt
