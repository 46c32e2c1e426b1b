#pragma once
// A helper program the engines drive (par2 for the recovery data), started
// by the platform and read while it works.

#include "platform/errorcode.h"

#include <chrono>
#include <string>
#include <vector>

namespace darvolt {

// What starting a program needs: the program (looked up in PATH) and its
// arguments, the folder it runs in, and what its environment adds to ours.
struct ProcessRequest {
    std::vector<std::string> command;
    std::string folder; // empty: the current folder
    // "NAME=value", each only where our environment has no NAME: what the
    // user set stays as they set it.
    std::vector<std::string> environment{};
};

// A running program. Its standard input is empty; what it writes to its
// standard output and error arrives, in one stream, through readOutput().
// Destroying it while the program still runs ends the program (terminate())
// and waits for it, so no program outlives its owner and no zombie is left.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    virtual ~Process() = default;

    // Waits at most `wait` for output and appends what came to `output`.
    // False once the program has ended and everything it wrote was read;
    // exitStatus() then tells how it ended.
    virtual bool readOutput(std::string& output, std::chrono::milliseconds wait) = 0;

    // The exit status once readOutput() has answered false: 0 to 255 for a
    // program that exited, 128 + the signal for one that a signal ended.
    virtual int exitStatus() const = 0;

    // Asks the program to end (SIGTERM), waits for it and drops what it
    // still had to say; exitStatus() then tells how it ended.
    virtual void terminate() = 0;
};

} // namespace darvolt
