#pragma once
// Ctrl-C, SIGTERM and SIGHUP as a request to stop, not a sudden death.
//
// While an InterruptSignals object lives, the first such signal raises
// stopFlag() and remembers which signal it was; the run polls the flag and
// ends at its next step as a cancel does (the unfinished part deleted, no
// merge script). The handler is then reset, so a second Ctrl-C ends the
// program at once for someone who cannot wait. System calls are not
// restarted after the signal, so a program waiting for a line of input
// (the diskette prompt) gets control back. wakeDescriptor() becomes
// readable when a signal came, for an event loop that sleeps.

#include <atomic>
#include <optional>
#include <string>

namespace darvolt {

class InterruptSignals {
public:
    InterruptSignals();
    ~InterruptSignals();
    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

    // Writable: a window that offers Stop raises the same flag, so that one
    // flag is all its runs look at.
    static std::atomic<bool>* stopFlag();
    // The signal that raised the flag, 0 while none has.
    static int caught();
    // The exit status shells expect after that signal: 128 + its number.
    static int exitStatus();
    // Readable once a signal has come; -1 when no pipe could be made.
    int wakeDescriptor() const { return pipe_[0]; }

    // One line from the descriptor, without its newline; nothing at the end
    // of input, on an error, or once a signal has come, also one that came
    // just before the wait began (which a plain read would sleep through).
    std::optional<std::string> readLine(int fd);

private:
    int pipe_[2] = {-1, -1};
    std::string pending_; // read past the last line handed out
};

} // namespace darvolt
