#pragma once
// darvolt-join's command line and its run:
//   darvolt-join [OPTION]... PART | FOLDER | CHECKSUM-FILE

#include "app/consolecommand.h"
#include "join/joinview.h"
#include "platform/platform.h"

#include <ostream>
#include <string>
#include <vector>

namespace darvolt {

inline constexpr int JoinExitSuccess = 0;
inline constexpr int JoinExitFailed = 1;      // an error: I/O, an existing file, no set found
inline constexpr int JoinExitUsage = ExitCommandUsage;
inline constexpr int JoinExitRepairable = 3;  // --check: damage that the recovery data can rebuild
inline constexpr int JoinExitCheckFailed = 4; // a part is missing, extra or damaged beyond repair
inline constexpr int JoinExitInterrupted = 130;

struct JoinCommand {
    enum class Action { Join, Help, Version, UsageError };
    Action action = Action::Join;
    bool check = false;
    bool force = false;
    bool trustRecovery = false;
    bool quiet = false; // --quiet: only what went wrong
    std::string output;
    std::string input;
    std::string problem; // what is wrong, for UsageError
};

// args: the arguments after the program name.
JoinCommand ParseJoinCommand(const std::vector<std::string>& args);

std::string JoinCommandUsage();

// Runs the command and answers the exit status; help goes to `out`,
// command-line problems to `err`. A message that could not be written makes
// a run that succeeded fail.
int RunJoinCommand(const JoinCommand& command, Platform& platform, JoinView& view, std::ostream& out,
                   std::ostream& err, const CommandContext& context = {});

} // namespace darvolt
