#pragma once
// The parts of a folder-mode run: every part in the parts folder, all of
// one size, so two can be written at once.

#include "split/parttarget.h"
#include "split/splitview.h"

namespace darvolt {

class FolderTarget : public PartTarget {
public:
    FolderTarget(Platform& platform, SplitView& view, std::string prefix, std::string sourceName,
                 std::int64_t partSize, std::uint32_t permissions)
        : platform_(platform), view_(view), prefix_(std::move(prefix)), sourceName_(std::move(sourceName)), partSize_(partSize),
          permissions_(permissions), ignoresCase_(platform.ignoresCase(prefix_))
    {
    }

    bool concurrent() const override { return true; }
    Step prepare(std::int64_t) override { return Step::Ready; }
    Step open(std::int64_t index, std::int64_t offset, Part& part, std::string& failure) override;
    Step written(const Part&, const PartCopyResult&) override { return Step::Ready; }

private:
    Platform& platform_;
    SplitView& view_;
    const std::string prefix_;
    const std::string sourceName_;
    const std::int64_t partSize_;
    const std::uint32_t permissions_;
    const bool ignoresCase_;
};

} // namespace darvolt
