#pragma once
// Starting a desktop program that must outlive this one, while still learning
// whether it could be started at all.

#include "platform/errorcode.h"

#include <chrono>
#include <string>
#include <vector>

namespace darvolt {

// Runs command (program and arguments, the program looked up in PATH) in a
// session of its own, with standard input from /dev/null, and never as a
// child of this process: nothing has to wait for it and no zombie is left.
// Returns once the verdict is known or verdictWait has passed:
// - None when the program ended successfully, or is still running after
//   verdictWait (a launcher that runs what it found in the foreground);
// - FileNotFound when the program could not be executed;
// - AccessDenied when it ended with a failure status or by a signal;
// - the system's code when no process could be made.
ErrorCode LaunchDetached(const std::vector<std::string>& command, std::chrono::milliseconds verdictWait);

} // namespace darvolt
