#pragma once
// Process (process.h) on POSIX: posix_spawn with the program's output on a
// pipe that poll() waits on.

#include "platform/platform.h"

#include <memory>

namespace darvolt {

// folder: a descriptor of the folder to run in, which stands in for
// request.folder; -1 to go by the path.
Result<std::unique_ptr<Process>> StartPosixProcess(const ProcessRequest& request, int folder = -1);

// The program a bare name runs: the first executable file of that name in
// the absolute entries of `path` (a PATH value). Empty and relative entries
// are passed over: they mean a folder that depends on where the program
// runs, the parts' folder among them, and a "par2" that came with a
// download must never run in place of the one installed. Empty when there
// is none. A name with a "/" is taken as it is.
std::string ProgramInPath(const std::string& name, const char* path);

} // namespace darvolt
