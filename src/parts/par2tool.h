#pragma once
// Driving par2 (par2cmdline), the program that writes and uses the recovery
// data: starting it through the platform, keeping the window alive while it
// works, reading how far it has got from what it prints, and ending it when
// the run is stopped.
//
// par2 prints its stages as lines ("Opening: report.doc.!03") and its
// percentages as "Processing: 42.5%" rewritten after a carriage return. A
// stage is followed either by counting its lines against a known number
// (the files it opens) or by its percentage; the stages share the bar by
// the weights they are given.

#include "platform/platform.h"
#include "parts/messagepacer.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

// The program, as looked up in PATH.
inline constexpr std::string_view Par2Program = "par2";
// par2's arithmetic runs through a hundred megabytes and more of recovery
// blocks for every block it reads, and on small pages much of that first
// misses the processor's address cache. Asked, glibc puts them on huge
// pages: 2 GiB in diskette parts then took 62 to 67 s where it took 65 to
// 71 s (runs taking turns).
inline constexpr std::string_view Par2Tuning = "GLIBC_TUNABLES=glibc.malloc.hugetlb=1";

class Par2Progress {
public:
    struct Stage {
        std::string label;  // what its lines start with, "Opening: " or "Processing: "
        std::int64_t lines; // > 0: the stage is done after this many lines; 0: read its percentage
        double weight;
    };
    explicit Par2Progress(std::vector<Stage> stages);

    // Takes the next piece of par2's output.
    void feed(std::string_view output);
    // 0 to 1; it never goes back.
    double fraction() const { return fraction_; }

private:
    void line(std::string_view text);

    std::vector<Stage> stages_;
    double total_ = 0;
    std::vector<double> done_; // per stage, 0 to 1
    std::vector<std::int64_t> counted_;
    std::string pending_; // a line not yet ended
    double fraction_ = 0;
};

struct ToolRun {
    enum class End {
        Finished,     // the program ran and ended: see status
        NotInstalled, // there is no such program
        NotStarted,   // it could not be started (error)
        Stopped,      // the stop flag was raised; the program was ended
    };
    End end = End::NotStarted;
    int status = -1;
    ErrorCode error = error::None;
    std::string output; // all it printed (the last 16 MiB)
};

struct ToolSession {
    Platform& platform;
    MessagePacer& pacer;
    const std::atomic<bool>* stop = nullptr;
};

// Runs the program, Par2Tuning added to its environment, and waits for it,
// pumping the pacer and calling onProgress with the progress's fraction
// whenever it grows.
ToolRun RunTool(ToolSession session, ProcessRequest request, Par2Progress& progress,
                const std::function<void(double)>& onProgress);

// The last line of par2's output that is not empty (what it said when it
// failed), without carriage-return rewrites.
std::string LastOutputLine(std::string_view output);

} // namespace darvolt
