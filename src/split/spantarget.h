#pragma once
// The parts of a spanned run: one medium after another in the drive, each
// part as large as the medium in the drive can take, after a prompt for
// every medium. A medium that fills up early ends its part there; one that
// could not take a byte is asked for again.

#include "split/parttarget.h"
#include "split/spandrive.h"

#include <functional>
#include <vector>

namespace darvolt {

class SpanTarget : public PartTarget {
public:
    struct Setup {
        std::string outputFolder;
        std::string sourceName;
        std::int64_t sourceEnd = -1; // -1: unknown
        std::uint32_t permissions = DefaultPermissions;
        bool checksums = false; // the run writes its checksum file
        const std::atomic<bool>* stop = nullptr;
        // True (after telling the user) when a path names the source.
        std::function<bool(const std::string&)> isSource;
    };
    SpanTarget(Platform& platform, SplitView& view, Setup setup);

    bool concurrent() const override { return false; }
    Step prepare(std::int64_t index) override;
    Step open(std::int64_t index, std::int64_t offset, Part& part, std::string& failure) override;
    Step written(const Part& part, const PartCopyResult& result) override;

    // The folder of the medium taken at the last prompt, ending in "/".
    const std::string& prefix() const { return prefix_; }
    // Once its part and the scripts are on the medium in the drive.
    void letGo() { drive_.letGo(); }

private:
    bool stopped() const { return setup_.stop != nullptr && setup_.stop->load(std::memory_order_relaxed); }
    // The same part again after a new prompt; the medium in the drive is
    // let go first.
    Step onAnotherMedium();
    // The part's size on the medium in the drive, from its free space.
    SpanDrive::PartPlan planPart(std::int64_t free, std::int64_t index, std::int64_t offset);

    Platform& platform_;
    SplitView& view_;
    const Setup setup_;
    SpanDrive drive_;
    std::string prefix_;
    std::vector<std::string> written_; // bare names of the parts on media
    std::int64_t diskette_ = 1;
    bool sameMedium_ = false;     // the next part goes on the medium in the drive, without a prompt
    bool belowFileLimit_ = false; // the current part ends at its file system's largest file
};

} // namespace darvolt
