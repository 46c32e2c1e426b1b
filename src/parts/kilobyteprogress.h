#pragma once
// Progress in whole kilobytes, as every run shows it: the view hears of a
// figure only when it has grown, so a bar never goes back and a run of
// small steps costs no repaints.

#include <cstdint>

namespace darvolt {

class KilobyteProgress {
public:
    explicit KilobyteProgress(std::int64_t shown = 0) : shown_(shown) {}

    // How far `kb` is ahead of what is shown (0: nothing to show), and it
    // is then what is shown.
    std::int64_t advance(std::int64_t kb)
    {
        if (kb <= shown_)
            return 0;
        const std::int64_t step = kb - shown_;
        shown_ = kb;
        return step;
    }
    std::int64_t shown() const { return shown_; }
    // A new bar (a new medium, a join started again).
    void restart(std::int64_t shown = 0) { shown_ = shown; }

private:
    std::int64_t shown_;
};

} // namespace darvolt
