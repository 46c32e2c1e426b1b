// A check: every part read and hashed, nothing written.
#include "join/joinrun.h"

#include "join/jointexts.h"

#include <algorithm>

namespace darvolt {

using namespace std::chrono_literals;

JoinOutcome JoinRun::check()
{
    const std::size_t n = set_.parts.size();
    if (!set_.checked() && !set_.partKind()) {
        // Nothing to hash against: the numbering and the sizes are all
        // there is to tell, and that is not a check that can pass.
        for (std::size_t i = 0; i < n; ++i) {
            const SetPart& part = set_.parts[i];
            std::string line = part.present ? texts::join::checkUnchecked(part.name, part.size)
                                            : texts::join::checkMissing(part.name);
            if (const std::string remark = SizeRemark(set_, i); !remark.empty())
                line += " (" + remark + ")";
            view_.showCheck(line, false);
        }
        // Recovery data can check them instead (checkAll).
        if (!recovery_)
            view_.showError(texts::join::checkSummary(set_.title(), n, n, false));
        return JoinOutcome::CheckFailed;
    }

    // The whole file's digest means something only for a complete set.
    const bool complete = set_.missing().empty() && set_.extra.empty();
    const bool partsHashed = set_.partKind().has_value();
    startFeed({set_.partKind(), complete && set_.whole ? std::optional(set_.whole->kind()) : std::nullopt, {}});
    bool allRead = true;
    for (std::size_t i = 0; i < n; ++i) {
        const SetPart& part = set_.parts[i];
        if (!part.present) {
            findings_[i] = {texts::join::checkMissing(part.name), false};
            showFindings();
            continue;
        }
        view_.setStatusText(texts::join::checking(part.name));
        pacer_.pumpNow();
        const CopyFailure read = copyPart(part).failure;
        if (read == CopyFailure::Stopped) {
            view_.showError(texts::join::interrupted(set_.title()));
            return JoinOutcome::Interrupted;
        }
        if (read != CopyFailure::None) {
            allRead = false;
            findings_[i] = {read == CopyFailure::Changed ? texts::join::partChanged(part.name)
                                                  : texts::join::cannotReadPart(part.name),
                            false};
        } else if (!partsHashed) {
            // Only the whole has a digest: this part is as good as the whole.
            findings_[i] = {texts::join::checkRead(part.name, part.size), true};
        }
        compareDigests();
        showFindings();
    }
    while (feed_ && !feed_->finished(std::max(pacer_.interval(), 1ms)))
        betweenSteps();
    compareDigests();
    showFindings();
    betweenSteps();

    std::size_t bad = static_cast<std::size_t>(
        std::count_if(findings_.begin(), findings_.end(), [](const auto& finding) { return !finding->second; }));
    for (const std::string& name : set_.extra)
        view_.showCheck(texts::join::checkExtra(name), false);
    if (complete && allRead && bad == 0 && set_.whole && !checkWhole())
        return JoinOutcome::CheckFailed;
    bad += set_.extra.size();
    if (bad > 0) {
        view_.showError(texts::join::checkSummary(set_.title(), n, bad, true));
        return JoinOutcome::CheckFailed;
    }
    view_.showInformation(set_.partsChecked() ? texts::join::checkSummary(set_.title(), n, bad, true)
                                              : texts::join::checkWholeSummary(set_.title(), n, checkedWith()));
    return JoinOutcome::Checked;
}

bool JoinRun::checkWhole()
{
    const Digest whole = digests_->whole();
    const bool sized = !set_.wholeSize || set_.presentBytes() == *set_.wholeSize;
    const bool good = sized && whole == *set_.whole;
    view_.showCheck(texts::join::checkWhole(set_.title(), good), good);
    if (!sized)
        view_.showError(SizeDisagreement(set_));
    else if (!good && set_.partsChecked())
        view_.showError(texts::join::wholeDamaged(set_.title(), set_.whole->hex(), whole.hex(), DigestName(whole.kind()),
                                                  set_.ours() ? std::string("the checksum file") : set_.checksumName));
    else if (!good)
        view_.showError(texts::join::wholeMismatch(DigestName(whole.kind()), whole.hex(), set_.checksumName,
                                                   set_.whole->hex(), set_.title()));
    return good;
}

void JoinRun::showFindings()
{
    while (shownFindings_ < findings_.size() && findings_[shownFindings_]) {
        const auto& [line, good] = *findings_[shownFindings_++];
        view_.showCheck(line, good);
    }
}

} // namespace darvolt
