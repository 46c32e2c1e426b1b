// Rebuilding missing or damaged parts from the recovery data before a
// join: with the program's own decoder where the set gives each part one
// slice (recoverydecoder.h), with par2 otherwise; and telling in a check
// whether that can be done.
//
// Whichever rebuilds, it writes into a folder of the repair's own
// (repairfolder.h), and the join takes from there only the parts it found
// lost, each checked against the checksum list where that has its digest:
// a part the list vouches for is never replaced, and nothing but a part of
// the set ever takes a name in the parts' folder.
#include "join/joinrun.h"

#include "join/jointexts.h"
#include "join/repairfolder.h"
#include "parts/hasher.h"
#include "parts/par2tool.h"
#include "parts/recoverydecoder.h"
#include "platform/pathrules.h"

#include <algorithm>
#include <map>

namespace darvolt {

ToolRun JoinRun::runPar2(std::string_view action, Par2Progress& progress, const std::string& folder,
                         std::vector<std::string> arguments)
{
    const std::int64_t totalKb = std::max<std::int64_t>(total_ / 1024, 1);
    view_.setProgress(0, totalKb);
    std::vector<std::string> command{std::string(Par2Program), std::string(action)};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunTool({platform_, pacer_, options_.stop}, {command, folder}, progress, [&](double fraction) {
        view_.setProgress(static_cast<std::int64_t>(fraction * static_cast<double>(totalKb)), totalKb);
    });
}

bool JoinRun::onlyCrcChecks() const
{
    return !set_.partKind() && set_.whole && set_.whole->kind() == DigestKind::Crc32;
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
    // A CRC32 tells a part damaged by accident, not one made to match it:
    // rebuilt parts that only a CRC32 checks are taken on the user's word.
    if (onlyCrcChecks() && !options_.trustRecovery
        && !view_.trustRecovery(texts::join::onlyCrcQuestion(set_.title(), recovery_->index, set_.checksumName))) {
        showHeld();
        view_.showError(texts::join::onlyCrcAfterRepair(set_.title(), recovery_->index, set_.checksumName));
        return JoinOutcome::CheckFailed;
    }
    bool rebuildNeeded = firstCheck || partDamaged_;
    for (const SetPart& part : set_.parts) {
        // par2 leaves empty files out of its sets: an empty last part is
        // rebuilt here, when the checksum file says that it was empty.
        if (!part.present && part.expected && *part.expected == Hasher::of(part.expected->kind(), {})) {
            if (auto made = platform_.createNewFile(set_.path(part.name)); made.ok() && made.value->close() == error::None)
                rebuilt_.push_back(part.name);
        } else if (!part.present) {
            rebuildNeeded = true;
        }
    }
    if (rebuildNeeded) {
        // par2 follows links when it reads: one in the folder could bring in
        // anything.
        if (const auto link = linkInFolder()) {
            showHeld();
            view_.showError(texts::join::linkBlocksRepair(recovery_->index, *link));
            return JoinOutcome::CheckFailed;
        }
        if (const auto ended = rebuild(firstCheck, held))
            return ended;
        verifiedByRecovery_ = !par2Missing_;
    }
    takeRebuiltParts();
    return std::nullopt;
}

void JoinRun::takeRebuiltParts()
{
    // The set was found once, and its digests are the ones read before the
    // repair: only the parts put in place change, and a set that no list of
    // its parts bounds may grow by parts lost after its last one.
    std::sort(rebuilt_.begin(), rebuilt_.end(), [&](const std::string& a, const std::string& b) {
        return set_.naming.indexOf(a).value_or(0) < set_.naming.indexOf(b).value_or(0);
    });
    for (const std::string& name : rebuilt_) {
        const auto index = set_.naming.indexOf(name);
        if (!index)
            continue;
        while (set_.parts.size() <= static_cast<std::size_t>(*index)) {
            SetPart part;
            part.number = static_cast<std::int64_t>(set_.parts.size());
            part.name = set_.naming.name(part.number);
            set_.parts.push_back(std::move(part));
            found_.emplace_back();
            findings_.emplace_back();
            vouched_.emplace_back();
        }
        SetPart& part = set_.parts[static_cast<std::size_t>(*index)];
        const auto id = platform_.identityOf(set_.path(part.name));
        part.present = id.ok();
        part.size = id.ok() ? id.value.size : 0;
        // A rebuilt part with a digest in the list was put in place only
        // once it matched it: the join copies it without hashing it again.
        vouched_[static_cast<std::size_t>(*index)] = part.expected && id.ok() ? std::optional(id.value) : std::nullopt;
    }
    std::erase_if(set_.extra, [&](const std::string& name) {
        return std::find(rebuilt_.begin(), rebuilt_.end(), name) != rebuilt_.end();
    });
    total_ = set_.presentBytes();
    if (!rebuilt_.empty())
        view_.showWarning(texts::join::rebuilt(rebuilt_, recovery_->index));
}

std::vector<PartKnown> JoinRun::judgeParts()
{
    // Where a list vouches for the parts, every one is judged by it before
    // anything is rebuilt, not only those the join read before it stopped.
    std::vector<PartKnown> known(set_.parts.size(), PartKnown::Unknown);
    std::vector<std::byte> buffer(std::size_t{1} << 20);
    for (std::size_t i = 0; i < set_.parts.size() && !stopped(); ++i) {
        const SetPart& part = set_.parts[i];
        if (!part.expected)
            continue;
        if (!part.present) {
            known[i] = PartKnown::Lost;
            continue;
        }
        if (found_[i] == Digest{}) {
            view_.setStatusText(texts::join::checking(part.name));
            pacer_.pumpNow();
            const auto before = platform_.identityOf(set_.path(part.name));
            found_[i] = hashPart(part, buffer).value_or(Digest{});
            if (before.ok() && found_[i] == *part.expected)
                vouched_[i] = before.value;
        }
        known[i] = found_[i] == *part.expected ? PartKnown::Whole : PartKnown::Lost;
    }
    return known;
}

std::optional<Digest> JoinRun::hashPart(const SetPart& part, std::vector<std::byte>& buffer)
{
    auto opened = platform_.openForReading(set_.path(part.name));
    if (!opened.ok())
        return std::nullopt;
    Hasher hash(part.expected->kind());
    for (std::int64_t at = 0;;) {
        pacer_.pace();
        if (stopped())
            return std::nullopt;
        const auto got = opened.value->readAt(at, buffer);
        if (!got.ok())
            return std::nullopt;
        if (got.value == 0)
            break;
        hash.update(std::span<const std::byte>(buffer).first(got.value));
        at += static_cast<std::int64_t>(got.value);
    }
    return hash.finish();
}

std::optional<JoinOutcome> JoinRun::rebuild(bool firstCheck, const std::vector<std::function<void()>>& held)
{
    const auto showHeld = [&] {
        for (const auto& show : held)
            show();
    };
    const std::vector<PartKnown> known = judgeParts();
    if (stopped()) {
        view_.showError(texts::join::interrupted(set_.title()));
        return JoinOutcome::Interrupted;
    }
    RepairFolder folder(platform_, set_.folder);
    if (folder.error() != error::None) {
        showHeld();
        view_.showError(texts::join::noRepairFolder(recovery_->index, FolderShown(set_.folder),
                                                    SystemErrorText(folder.error())));
        return JoinOutcome::Failed;
    }
    view_.setStatusText(texts::join::repairing(recovery_->index));
    pacer_.pumpNow();
    std::vector<std::string> made;
    const auto ended = DecoderCanWork(recovery_->set) ? decode(folder, known, made, held)
                                                      : repairWithPar2(folder, known, made, firstCheck, held);
    if (ended)
        return ended;
    return placeRebuilt(folder, made, known);
}

std::optional<JoinOutcome> JoinRun::decode(RepairFolder& folder, const std::vector<PartKnown>& known,
                                           std::vector<std::string>& made,
                                           const std::vector<std::function<void()>>& held)
{
    const std::int64_t totalKb = std::max<std::int64_t>(total_ / 1024, 1);
    view_.setProgress(0, totalKb);
    std::map<std::string, std::size_t> place;
    for (std::size_t i = 0; i < set_.parts.size(); ++i)
        place.emplace(set_.parts[i].name, i);
    std::vector<PartKnown> byFile;
    for (const Par2SetFile& file : recovery_->set.files) {
        const auto at = place.find(file.description->name);
        byFile.push_back(at == place.end() ? PartKnown::Unknown : known[at->second]);
    }
    const RecoveryDecoded own = DecodeRecovery(
        {platform_, set_.folder, recovery_->files, recovery_->set, std::move(byFile), folder.path(),
         [&](double fraction) {
             view_.setProgress(std::min(totalKb, static_cast<std::int64_t>(fraction * static_cast<double>(totalKb))), totalKb);
         },
         [this] { pacer_.pace(); }, options_.stop, 0});
    using End = RecoveryDecoded::End;
    switch (own.end) {
    case End::Whole: return std::nullopt;
    case End::Rebuilt:
        made = own.rebuilt;
        return std::nullopt;
    case End::Unrepairable:
        view_.showError(texts::join::unrepairable(recovery_->index, own.missing, own.damaged, own.moreNeeded));
        return JoinOutcome::CheckFailed;
    case End::Stopped:
        view_.showError(texts::join::interrupted(set_.title()));
        return JoinOutcome::Interrupted;
    case End::Failed: break;
    }
    for (const auto& show : held)
        show();
    view_.showError(texts::join::decodeFailed(recovery_->index, own.failure, set_.checksumName));
    return own.failure.what == DecodeFailure::What::DescribedOtherwise
                   || own.failure.what == DecodeFailure::What::NotAsDescribed
               ? JoinOutcome::CheckFailed
               : JoinOutcome::Failed;
}

std::optional<JoinOutcome> JoinRun::repairWithPar2(RepairFolder& folder, const std::vector<PartKnown>& known,
                                                   std::vector<std::string>& made, bool firstCheck,
                                                   const std::vector<std::function<void()>>& held)
{
    const auto showHeld = [&] {
        for (const auto& show : held)
            show();
    };
    // par2 works on links to the parts in the repair's folder: whatever it
    // renames, rebuilds or creates stays there.
    std::vector<std::optional<FileIdentity>> staged(set_.parts.size());
    for (std::size_t i = 0; i < set_.parts.size(); ++i) {
        const SetPart& part = set_.parts[i];
        if (!part.present)
            continue;
        if (const ErrorCode error = folder.stage(set_.path(part.name), part.name, options_.stop); error != error::None) {
            showHeld();
            view_.showError(texts::join::repairStepFailed(recovery_->index, texts::join::cannotStage(part.name, SystemErrorText(error))));
            return JoinOutcome::Failed;
        }
        if (const auto id = platform_.identityOf(folder.pathOf(part.name)); id.ok())
            staged[i] = id.value;
    }
    // par2 checks every part, then rebuilds what it has to.
    Par2Progress progress({{"Target: ", static_cast<std::int64_t>(set_.parts.size()), 1.0}, {"Repairing: ", 0, 1.0}});
    const ToolRun run = runPar2("repair", progress, folder.path(), {"-B.", "--", "../" + recovery_->index});
    switch (run.end) {
    case ToolRun::End::NotInstalled:
        if (firstCheck) {
            view_.showWarning(texts::join::noPar2(recovery_->index));
            par2Missing_ = true;
            return std::nullopt; // joined unchecked, as without recovery data
        }
        showHeld();
        view_.showError(texts::join::noPar2(recovery_->index));
        return JoinOutcome::CheckFailed;
    default: break;
    }
    if (const auto ended = par2Ended(run, held))
        return ended;
    if (run.status != 0) { // a repair that says it could: not done
        showHeld();
        view_.showError(texts::join::repairFailed(recovery_->index, LastOutputLine(run.output)));
        return JoinOutcome::Failed;
    }
    // What par2 wrote: a part's name that is no longer the link put there.
    const auto listing = platform_.listDirectory(folder.path());
    for (const DirectoryEntry& entry : listing.ok() ? listing.value : std::vector<DirectoryEntry>{}) {
        if (entry.isDirectory || entry.isLink || !IsPartName(set_, entry.name))
            continue;
        const auto index = set_.naming.indexOf(entry.name);
        const auto i = static_cast<std::size_t>(*index);
        const auto now = platform_.identityOf(folder.pathOf(entry.name));
        if (i < staged.size() && staged[i] && now.ok() && now.value.sameFile(*staged[i]))
            continue;
        if (i < known.size() && known[i] == PartKnown::Whole)
            continue; // the recovery data thought otherwise of a part the list vouches for
        made.push_back(entry.name);
    }
    return std::nullopt;
}

std::optional<JoinOutcome> JoinRun::par2Ended(const ToolRun& run, const std::vector<std::function<void()>>& held)
{
    const auto showHeld = [&] {
        for (const auto& show : held)
            show();
    };
    switch (run.end) {
    case ToolRun::End::NotInstalled: return std::nullopt; // the caller's to tell
    case ToolRun::End::NotStarted:
        showHeld();
        view_.showError(texts::join::repairFailed(recovery_->index, SystemErrorText(run.error)));
        return JoinOutcome::Failed;
    case ToolRun::End::Stopped:
        view_.showError(texts::join::interrupted(set_.title()));
        return JoinOutcome::Interrupted;
    case ToolRun::End::Finished: break;
    }
    if (run.status == 2) { // par2: repair is not possible
        Par2Findings findings = ReadPar2Findings(run.output);
        if (findings.missing.empty() && findings.damaged.empty())
            findings.missing = set_.missing();
        view_.showError(texts::join::unrepairable(recovery_->index, findings.missing, findings.damaged,
                                                  findings.blocksNeeded));
        return JoinOutcome::CheckFailed;
    }
    if (run.status != 0 && run.status != 1) {
        showHeld();
        view_.showError(texts::join::repairFailed(recovery_->index, LastOutputLine(run.output)));
        return JoinOutcome::Failed;
    }
    return std::nullopt; // 0: whole or repaired; 1: repairable, for a check
}

std::optional<JoinOutcome> JoinRun::placeRebuilt(RepairFolder& folder, const std::vector<std::string>& made,
                                                 const std::vector<PartKnown>& known)
{
    std::vector<std::byte> buffer(std::size_t{1} << 20);
    std::vector<std::string> checked;
    for (const std::string& name : made) {
        if (!IsPartName(set_, name))
            continue;
        const auto i = static_cast<std::size_t>(*set_.naming.indexOf(name));
        if (i < known.size() && known[i] == PartKnown::Whole)
            continue;
        if (i < set_.parts.size() && set_.parts[i].expected) {
            SetPart staged = set_.parts[i];
            staged.name = folder.name() + "/" + name;
            const auto digest = hashPart(staged, buffer);
            if (stopped()) {
                view_.showError(texts::join::interrupted(set_.title()));
                return JoinOutcome::Interrupted;
            }
            if (digest != set_.parts[i].expected) {
                view_.showError(texts::join::rebuiltNotAsListed(name, recovery_->index,
                                                                set_.ours() ? std::string("the checksum file")
                                                                            : set_.checksumName));
                return JoinOutcome::CheckFailed;
            }
        }
        checked.push_back(name);
    }
    // Only once every rebuilt part has passed: none is put in place beside
    // another that turned out wrong.
    for (const std::string& name : checked) {
        if (const ErrorCode moved = platform_.renameFile(folder.pathOf(name), set_.path(name), true);
            moved != error::None) {
            view_.showError(texts::join::repairStepFailed(recovery_->index, texts::join::cannotReplace(name, SystemErrorText(moved))));
            return JoinOutcome::Failed;
        }
        rebuilt_.push_back(name);
    }
    return std::nullopt;
}

std::optional<std::string> JoinRun::linkInFolder()
{
    const auto listing = platform_.listDirectory(FolderShown(set_.folder));
    if (!listing.ok())
        return std::string(FolderShown(set_.folder));
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
    // par2 verify reads and writes nothing beside the parts.
    const ToolRun run = runPar2("verify", progress, set_.folder, {"--", recovery_->index});
    if (run.end == ToolRun::End::NotInstalled) {
        if (!set_.checked())
            view_.showError(texts::join::checkSummary(set_.title(), n, n, false));
        view_.showError(texts::join::noPar2(recovery_->index));
        return JoinOutcome::CheckFailed;
    }
    if (const auto ended = par2Ended(run, {}))
        return *ended;
    if (run.status == 1) {
        view_.showInformation(texts::join::repairable(recovery_->index));
        return JoinOutcome::Repairable;
    }
    // par2 finds every part whole
    if (set_.checked())
        return JoinOutcome::CheckFailed; // yet the checksum file disagrees: it has said why
    view_.showInformation(texts::join::recoveryVouches(set_.title(), n, recovery_->index));
    return JoinOutcome::Checked;
}

} // namespace darvolt
