#pragma once
// darvolt-split's command line and its run:
//   darvolt-split [--standard | --custom KB | --span] FILE
// The request is built exactly as the main window's Split button builds it,
// then SplitFile runs with the given view (the console one in the program).

#include "platform/platform.h"
#include "split/splitrequest.h"
#include "split/splitview.h"

#include <ostream>
#include <string>
#include <vector>

namespace darvolt {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailed = 1;    // the run or its checks failed
inline constexpr int ExitUsage = 2;     // the command line is wrong
inline constexpr int ExitCancelled = 3; // Cancel at a diskette prompt

struct SplitCommand {
    enum class Action { Split, Help, UsageError };
    Action action = Action::Split;
    SizeMode mode = SizeMode::StandardDiskette;
    std::string customSize; // the text after --custom, read as the custom-size field is
    std::string file;
    std::string problem;    // what is wrong, for UsageError
};

// args: the arguments after the program name.
SplitCommand ParseSplitCommand(const std::vector<std::string>& args);

std::string SplitCommandUsage();

// Runs the command and answers the exit status. The file manager is not
// started; help goes to `out`, command-line problems to `err`.
int RunSplitCommand(const SplitCommand& command, Platform& platform, SplitView& view, std::ostream& out,
                    std::ostream& err);

} // namespace darvolt
