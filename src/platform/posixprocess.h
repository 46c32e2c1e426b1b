#pragma once
// Process (process.h) on POSIX: posix_spawnp with the program's output on a
// pipe that poll() waits on.

#include "platform/platform.h"

#include <memory>

namespace darvolt {

Result<std::unique_ptr<Process>> StartPosixProcess(const ProcessRequest& request);

} // namespace darvolt
