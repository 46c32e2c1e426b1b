#include "split/spantarget.h"

#include "parts/partnaming.h"
#include "split/splittexts.h"

namespace darvolt {

SpanTarget::SpanTarget(Platform& platform, SplitView& view, Setup setup)
    : platform_(platform), view_(view), setup_(std::move(setup)), drive_(platform, view),
      prefix_(PartPrefix(0, setup_.outputFolder, platform.driveFolder()))
{
}

PartTarget::Step SpanTarget::prepare(std::int64_t)
{
    if (sameMedium_)
        return Step::Ready;
    if (!view_.askForDiskette(texts::diskettePrompt(diskette_)))
        return stopped() ? Step::Interrupted : Step::Cancelled;
    // Whatever is in the drive now is drive A: for this part.
    if (drive_.take(diskette_) != SpanDrive::Taken::Ready)
        return stopped() ? Step::Interrupted : Step::Again;
    prefix_ = PartPrefix(0, setup_.outputFolder, platform_.driveFolder());
    return Step::Ready;
}

PartTarget::Step SpanTarget::open(std::int64_t index, std::int64_t offset, Part& part, std::string& failure)
{
    part.bare = BarePartName(setup_.sourceName, index);
    part.name = prefix_ + part.bare;
    if (setup_.isSource(part.name))
        return Step::Failed;
    auto created = platform_.createFile(part.name, setup_.permissions);
    if (!created.ok()) {
        // Back to the prompt, so the user can change the medium.
        const ErrorCode e = created.error;
        if (e == error::AlreadyExists) {
            failure = texts::nameTakenMeanwhile(part.name);
            return Step::Failed;
        }
        if (e == error::WriteProtected || e == error::NotReady || e == error::DiskFull) {
            // A medium without room for one more file (or one more entry in
            // its folder) is a full diskette.
            view_.showError(std::string(e == error::WriteProtected ? texts::WriteProtected
                                        : e == error::NotReady    ? texts::NotReady
                                                                  : texts::DisketteFull));
            return onAnotherMedium();
        }
        failure = texts::cannotOpenOutput(part.name, platform_.ignoresCase(part.name));
        return Step::Failed;
    }
    part.file = std::move(created.value);
    view_.setStatusText(texts::writing(part.bare));

    const auto free = platform_.driveFreeBytes();
    const SpanDrive::PartPlan plan =
        free.ok() && free.value > 0 ? planPart(free.value, index, offset) : SpanDrive::PartPlan{};
    if (plan.size <= 0) {
        view_.showError(std::string(texts::DisketteFull));
        part.file->close();
        part.file.reset();
        platform_.removeFile(part.name);
        return onAnotherMedium();
    }
    if (!sameMedium_)
        ++diskette_;
    belowFileLimit_ = plan.belowFileLimit;
    view_.setProgressMaximum(plan.size / 1024);
    view_.setProgressPosition(0);
    part.size = plan.size;
    part.ownProgress = true;
    return Step::Ready;
}

PartTarget::Step SpanTarget::written(const Part& part, const PartCopyResult& result)
{
    if (result.mediumFull && result.written == 0) {
        // Not even the first block fitted: as a diskette without free space.
        view_.showError(std::string(texts::DisketteFull));
        platform_.removeFile(part.name);
        if (!sameMedium_)
            --diskette_;
        return onAnotherMedium();
    }
    // The part's name must be on the medium as well as its data before the
    // user is asked to take the medium out.
    if (platform_.flushFolder(platform_.driveFolder()) != error::None) {
        view_.showError(std::string(texts::WriteFailed));
        return Step::Failed;
    }
    written_.push_back(part.bare);
    if (result.sourceEnded)
        return Step::Ready;
    // A part cut at the largest file of its file system leaves the rest of
    // the medium to the next part; otherwise the medium is done.
    sameMedium_ = false;
    if (belowFileLimit_ && result.written == part.size)
        if (const auto free = platform_.driveFreeBytes(); free.ok() && free.value > 0)
            sameMedium_ = planPart(free.value, static_cast<std::int64_t>(written_.size()),
                                   part.offset + result.written)
                              .size > 0;
    if (!sameMedium_)
        drive_.letGo();
    return Step::Ready;
}

PartTarget::Step SpanTarget::onAnotherMedium()
{
    // The user is about to take the medium out: one the program mounted, or
    // that was taking several parts, is unmounted first like any other.
    sameMedium_ = false;
    drive_.letGo();
    return Step::Again;
}

SpanDrive::PartPlan SpanTarget::planPart(std::int64_t free, std::int64_t index, std::int64_t offset)
{
    std::vector<std::string> names = written_;
    names.push_back(BarePartName(setup_.sourceName, index));
    const std::int64_t rest = setup_.sourceEnd >= 0 ? setup_.sourceEnd - offset : -1;
    return drive_.planPart(free, rest, names, setup_.sourceName, setup_.checksums);
}

} // namespace darvolt
