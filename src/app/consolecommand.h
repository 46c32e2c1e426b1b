#pragma once
// What darvolt-split and darvolt-join share around their runs: how they are
// started, how a usage error is told, and how a run ends once its messages
// are out.

#include <atomic>
#include <ostream>
#include <string>
#include <string_view>

namespace darvolt {

inline constexpr int ExitCommandUsage = 2; // the command line is wrong, for both programs

struct CommandContext {
    // Raised by Ctrl-C or SIGTERM: the run stops at its next step.
    const std::atomic<bool>* stop = nullptr;
    // Standard output is a terminal: a person reads it, so a run that
    // succeeded may say where its result is.
    bool outIsTerminal = false;
};

// "darvolt-split: <problem>" and the hint to --help, as GNU tools print
// them; answers ExitCommandUsage.
int ReportUsage(std::string_view program, std::string_view problem, std::ostream& err);

// The status the program ends with: a closing message, a progress line or
// a help text that never reached its reader (a full disk, a closed pipe)
// must not pass as success.
int FinishCommand(std::string_view program, int status, std::ostream& out, std::ostream& err);

// A message of the engine as one console line: the blanks that centre it
// in a dialog box are dropped.
std::string ConsoleLine(std::string_view text);

} // namespace darvolt
