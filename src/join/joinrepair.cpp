// Rebuilding missing or damaged parts from the recovery data before a
// join: in the program where the set gives each part one slice
// (slicerepair.h), with par2 otherwise; and telling in a check whether that
// can be done.
#include "join/joinrun.h"

#include "join/jointexts.h"
#include "join/slicerepair.h"
#include "parts/hasher.h"
#include "parts/par2tool.h"

#include <algorithm>
#include <set>

namespace darvolt {

ToolRun JoinRun::runPar2(std::string_view action, Par2Progress& progress)
{
    const std::int64_t totalKb = std::max<std::int64_t>(total_ / 1024, 1);
    view_.setProgress(0, totalKb);
    return RunTool({platform_, pacer_, options_.stop},
                   {{std::string(Par2Program), std::string(action), "--", recovery_->index}, set_.folder}, progress,
                   [&](double fraction) {
                       view_.setProgress(static_cast<std::int64_t>(fraction * static_cast<double>(totalKb)), totalKb);
                   });
}

std::optional<JoinOutcome> JoinRun::repair(bool firstCheck)
{
    repaired_ = true;
    const std::vector<std::function<void()>> held = std::move(heldErrors_);
    heldErrors_.clear();
    auto showHeld = [&] {
        for (const auto& show : held)
            show();
    };
    // What the parts are now, to tell afterwards which ones par2 wrote anew.
    std::vector<std::optional<FileIdentity>> before;
    bool par2Needed = firstCheck;
    for (const SetPart& part : set_.parts) {
        const auto id = part.present ? platform_.identityOf(set_.path(part.name)) : Result<FileIdentity>{};
        before.push_back(part.present && id.ok() ? std::optional(id.value) : std::nullopt);
        // par2 leaves empty files out of its sets: an empty last part is
        // rebuilt here, when the checksum file says that it was empty.
        if (!part.present && part.expected && *part.expected == Hasher::of(part.expected->kind(), {})) {
            if (auto made = platform_.createNewFile(set_.path(part.name)); made.ok())
                made.value->close();
        } else if (!part.present) {
            par2Needed = true;
        }
    }
    par2Needed = par2Needed || partDamaged_;

    if (par2Needed) {
        // par2 follows links when it writes: one in the folder could send a
        // rebuilt part anywhere.
        if (const auto link = linkInFolder()) {
            showHeld();
            view_.showError(texts::join::linkBlocksRepair(recovery_->index, *link));
            return JoinOutcome::CheckFailed;
        }
        view_.setStatusText(texts::join::repairing(recovery_->index));
        pacer_.pumpNow();
        if (const auto own = repairFromSlices(held)) {
            if (*own != JoinOutcome::Joined)
                return own;
        } else {
            // What the folder holds before par2 writes, to tell its backups from
            // files that were there.
            const auto listed = platform_.listDirectory(set_.folder.empty() ? std::string(".") : set_.folder);
            const std::vector<DirectoryEntry> had = listed.ok() ? listed.value : std::vector<DirectoryEntry>{};
            // par2 checks every part, then rebuilds what it has to.
            Par2Progress progress({{"Target: ", static_cast<std::int64_t>(set_.parts.size()), 1.0},
                                   {"Repairing: ", 0, 1.0}});
            const ToolRun run = runPar2("repair", progress);
            switch (run.end) {
            case ToolRun::End::NotInstalled:
                if (firstCheck) {
                    view_.showWarning(texts::join::noPar2(recovery_->index));
                    return std::nullopt; // joined unchecked, as without recovery data
                }
                showHeld();
                view_.showError(texts::join::noPar2(recovery_->index));
                return JoinOutcome::CheckFailed;
            case ToolRun::End::NotStarted:
                showHeld();
                view_.showError(texts::join::repairFailed(recovery_->index, "error " + std::to_string(run.error)));
                return JoinOutcome::Failed;
            case ToolRun::End::Stopped:
                view_.showError(texts::join::interrupted(set_.title()));
                return JoinOutcome::Interrupted;
            case ToolRun::End::Finished: break;
            }
            if (listed.ok())
                backups_ = newBackups(had);
            if (run.status == 2) { // par2: repair is not possible
                Par2Findings findings = ReadPar2Findings(run.output);
                if (findings.missing.empty() && findings.damaged.empty())
                    findings.missing = set_.missing();
                view_.showError(texts::join::unrepairable(recovery_->index, findings.missing, findings.damaged,
                                                          findings.blocksNeeded));
                return JoinOutcome::CheckFailed;
            }
            if (run.status != 0) {
                showHeld();
                view_.showError(texts::join::repairFailed(recovery_->index, LastOutputLine(run.output)));
                return JoinOutcome::Failed;
            }
        }
        verifiedByRecovery_ = true;
    }

    // The digests that decide the join are the ones read before par2 ran:
    // no checksum file is read again. A set that a list of its parts does
    // not bound is found anew, for parts lost after its last one that par2
    // has rebuilt, and keeps the whole file's digest and size it had.
    if (set_.partKind()) {
        PartSet measured = std::move(set_);
        MeasureParts(platform_, measured);
        adopt(std::move(measured));
    } else {
        FoundSet found = FindPartSet(platform_, input_, outputName_);
        if (!found.set) {
            view_.showError(found.problem);
            return JoinOutcome::Failed;
        }
        found.set->whole = set_.whole;
        found.set->wholeSize = set_.wholeSize;
        adopt(std::move(*found.set));
    }
    for (std::size_t i = 0; i < set_.parts.size(); ++i) {
        const SetPart& part = set_.parts[i];
        if (!part.present)
            continue;
        const auto now = platform_.identityOf(set_.path(part.name));
        if (i >= before.size() || !before[i] || !now.ok() || !(now.value == *before[i]))
            rebuilt_.push_back(part.name);
    }
    if (!rebuilt_.empty())
        view_.showWarning(texts::join::rebuilt(rebuilt_, recovery_->index));
    return std::nullopt;
}

std::optional<JoinOutcome> JoinRun::repairFromSlices(const std::vector<std::function<void()>>& held)
{
    const std::int64_t totalKb = std::max<std::int64_t>(total_ / 1024, 1);
    view_.setProgress(0, totalKb);
    std::vector<std::string> whole;
    for (std::size_t i = 0; i < set_.parts.size() && i < found_.size(); ++i)
        if (set_.parts[i].present && set_.parts[i].expected && found_[i] == *set_.parts[i].expected)
            whole.push_back(set_.parts[i].name);
    const SliceRepairResult own = RepairFromSlices(
        {platform_, set_.folder, recovery_->index,
         [&](double fraction) {
             view_.setProgress(std::min(totalKb, static_cast<std::int64_t>(fraction * static_cast<double>(totalKb))), totalKb);
         },
         [this] { pacer_.pace(); }, options_.stop, 0, std::move(whole)});
    using End = SliceRepairResult::End;
    switch (own.end) {
    case End::NotForUs: return std::nullopt;
    case End::Whole:
    case End::Rebuilt: return JoinOutcome::Joined; // go on as after par2
    case End::Unrepairable:
        view_.showError(texts::join::unrepairable(recovery_->index, own.missing, own.damaged, own.moreNeeded));
        return JoinOutcome::CheckFailed;
    case End::Failed:
        for (const auto& show : held)
            show();
        view_.showError(texts::join::repairFailed(recovery_->index, own.why));
        return JoinOutcome::Failed;
    case End::Stopped:
        view_.showError(texts::join::interrupted(set_.sourceName));
        return JoinOutcome::Interrupted;
    }
    return std::nullopt;
}

std::vector<std::string> JoinRun::newBackups(const std::vector<DirectoryEntry>& before)
{
    std::set<std::string> had;
    for (const DirectoryEntry& entry : before)
        had.insert(entry.name);
    std::set<std::string> parts;
    for (const SetPart& part : set_.parts)
        parts.insert(part.name);
    // par2 renames a damaged file NAME.1 (NAME.2 when that is taken, ...).
    const auto isBackup = [&](const std::string& name) {
        const auto dot = name.rfind('.');
        if (dot == std::string::npos || dot + 1 == name.size() || name[dot + 1] == '0')
            return false;
        return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dot) + 1, name.end(),
                           [](char c) { return c >= '0' && c <= '9'; })
               && parts.contains(name.substr(0, dot));
    };
    std::vector<std::string> made;
    const auto listing = platform_.listDirectory(set_.folder.empty() ? std::string(".") : set_.folder);
    for (const DirectoryEntry& entry : listing.ok() ? listing.value : std::vector<DirectoryEntry>{})
        if (!entry.isDirectory && !entry.isLink && !had.contains(entry.name) && isBackup(entry.name))
            made.push_back(entry.name);
    std::sort(made.begin(), made.end());
    return made;
}

void JoinRun::removeBackups()
{
    std::vector<std::string> removed;
    for (const std::string& name : backups_)
        if (platform_.removeFile(set_.path(name)) == error::None)
            removed.push_back(name);
    backups_.clear();
    if (!removed.empty())
        view_.showWarning(texts::join::backupsRemoved(removed));
}

std::optional<std::string> JoinRun::linkInFolder()
{
    const auto listing = platform_.listDirectory(set_.folder.empty() ? std::string(".") : set_.folder);
    if (!listing.ok())
        return std::string(set_.folder.empty() ? "." : set_.folder);
    for (const DirectoryEntry& entry : listing.value)
        if (entry.isLink)
            return entry.name;
    return std::nullopt;
}

JoinOutcome JoinRun::checkAll()
{
    const JoinOutcome outcome = check();
    if (outcome != JoinOutcome::CheckFailed || !recovery_ || !set_.extra.empty())
        return outcome;
    return verifyForCheck();
}

JoinOutcome JoinRun::verifyForCheck()
{
    const std::size_t n = set_.parts.size();
    view_.setStatusText(texts::join::checking(recovery_->index));
    pacer_.pumpNow();
    Par2Progress progress({{"Target: ", static_cast<std::int64_t>(n), 1.0}});
    const ToolRun run = runPar2("verify", progress);
    switch (run.end) {
    case ToolRun::End::NotInstalled:
        if (!set_.checked())
            view_.showError(texts::join::checkSummary(set_.title(), n, n, false));
        view_.showError(texts::join::noPar2(recovery_->index));
        return JoinOutcome::CheckFailed;
    case ToolRun::End::NotStarted:
        view_.showError(texts::join::repairFailed(recovery_->index, "error " + std::to_string(run.error)));
        return JoinOutcome::Failed;
    case ToolRun::End::Stopped:
        view_.showError(texts::join::interrupted(set_.title()));
        return JoinOutcome::Interrupted;
    case ToolRun::End::Finished: break;
    }
    switch (run.status) {
    case 0: // par2 finds every part whole
        if (set_.checked())
            return JoinOutcome::CheckFailed; // yet the checksum file disagrees: it has said why
        view_.showInformation(texts::join::recoveryVouches(set_.title(), n, recovery_->index));
        return JoinOutcome::Checked;
    case 1:
        view_.showInformation(texts::join::repairable(recovery_->index));
        return JoinOutcome::Repairable;
    case 2: {
        const Par2Findings findings = ReadPar2Findings(run.output);
        view_.showError(texts::join::unrepairable(recovery_->index, findings.missing, findings.damaged,
                                                  findings.blocksNeeded));
        return JoinOutcome::CheckFailed;
    }
    default:
        view_.showError(texts::join::repairFailed(recovery_->index, LastOutputLine(run.output)));
        return JoinOutcome::Failed;
    }
}

} // namespace darvolt
