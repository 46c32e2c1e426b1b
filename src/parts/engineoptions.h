#pragma once
// What both engines, the split and the join, take from their caller (the
// command line or the window) and what they answer, so a caller sets up
// and reads either run the same way. Each engine's options add their own
// fields to these.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace darvolt {

struct EngineOptions {
    // Start the file manager on the output's folder at the end.
    bool openFileManager = false;
    // Bytes moved per step of the copy loop.
    std::size_t blockSize = std::size_t{1} << 20;
    // Longest time between two calls of processPendingMessages while copying.
    std::chrono::milliseconds pumpInterval{25};
    // The clock that paces those calls (tests drive their own).
    std::function<std::chrono::steady_clock::time_point()> clock;
    // Raised from outside (a signal handler, the desktop session ending) to
    // stop the run at its next step.
    const std::atomic<bool>* stop = nullptr;
};

template <class Outcome>
struct EngineResult {
    Outcome outcome{};
    std::string output;    // the parts' folder of a split, the joined file of a join, once known
    std::size_t parts = 0; // written, or in the set
    bool checked = false;  // a checksum file was written, or vouched for the parts
};

} // namespace darvolt
