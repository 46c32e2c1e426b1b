#include "join/joinrun.h"

#include "join/jointexts.h"
#include "parts/partcopy.h"
#include "parts/partnaming.h"
#include "platform/pathrules.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace darvolt {

using namespace std::chrono_literals;

std::string FolderOf(const std::string& path)
{
    return FolderShown(WithoutTrailingSlashes(SplitSourcePath(path).folder));
}

std::size_t JoinRun::hashBlock() const
{
    return std::clamp<std::size_t>(options_.blockSize, 4096, BlockFeed::CacheBlock);
}

JoinResult JoinRun::run()
{
    FoundSet found = FindPartSet(platform_, input_, outputName_);
    if (!found.set) {
        view_.showError(found.problem);
        return finish(found.refused ? JoinOutcome::CheckFailed : JoinOutcome::Failed);
    }
    adopt(std::move(*found.set));
    if (!options_.checkOnly && !outputKnown())
        return finish(JoinOutcome::OutputNeeded);
    tellConvention();
    // The parts' folder is resolved once, here: par2 runs in it and every
    // part is read from it through that handle.
    const HeldFolder partsFolder(platform_, FolderShown(set_.folder), true);
    RecoveryLookup lookup = FindRecoverySet(platform_, set_, options_.stop);
    for (const RecoverySet& refused : lookup.refused)
        view_.showWarning(refused.overfull ? texts::join::recoveryOverfull(refused.index)
                                           : texts::join::recoveryRefused(refused.index, set_.title(), refused.foreign));
    recovery_ = std::move(lookup.usable);
    if (options_.checkOnly)
        return finish(checkAll());
    // Without a checksum file, par2's own check of the parts is the only one.
    if (recovery_ && !set_.checked())
        if (const auto ended = repair(true))
            return finish(*ended);
    JoinOutcome outcome = joinSet();
    if (outcome == JoinOutcome::CheckFailed && repairWanted_) {
        if (const auto ended = repair(false))
            return finish(*ended);
        outcome = joinSet();
    }
    return finish(outcome);
}

void JoinRun::adopt(PartSet set)
{
    set_ = std::move(set);
    total_ = set_.presentBytes();
    found_.assign(set_.parts.size(), {});
    vouched_.assign(set_.parts.size(), std::nullopt);
    findings_.assign(set_.parts.size(), std::nullopt);
}

namespace {

std::string conventionOf(const PartSet& set)
{
    if (set.naming.convention() == SetConvention::GnuSplit)
        return texts::join::gnuSplitSet();
    return set.crcName.empty() ? texts::join::numberedSet() : texts::join::numberedSetWithCrc();
}

} // namespace

bool JoinRun::outputKnown()
{
    if (set_.nameTold || !options_.output.empty())
        return true;
    const std::string why = !set_.nameDoubt.empty() ? set_.nameDoubt
                                                    : texts::join::nameUnknown(set_.parts.front().name, conventionOf(set_));
    chosen_ = view_.chooseOutput(why, set_.path(set_.sourceName.empty() ? std::string("joined") : set_.sourceName));
    if (chosen_.empty())
        return false;
    // A checksum list beside the parts may name the file as it is now called.
    outputName_ = SplitSourcePath(chosen_).name;
    if (FoundSet found = FindPartSet(platform_, input_, outputName_); found.set)
        adopt(std::move(*found.set));
    return true;
}

std::string JoinRun::checkedWith() const
{
    const auto kind = set_.partsChecked() || !set_.whole ? set_.partKind() : set_.whole->kind();
    if (set_.checksumName.empty() || !kind)
        return texts::join::nothingToCheckWith();
    std::string source = set_.checksumName;
    if (!set_.crcName.empty() && set_.crcName != source)
        source += " and " + set_.crcName;
    return texts::join::checkedWith(source, DigestName(*kind), set_.partsChecked(), set_.whole.has_value(),
                                    set_.wholeSize.has_value() && !set_.crcName.empty());
}

void JoinRun::tellConvention()
{
    if (set_.ours())
        return;
    view_.showNote(texts::join::recognised(conventionOf(set_), set_.parts.front().name, set_.parts.back().name,
                                           set_.parts.size(), checkedWith()));
    if (set_.nameFromPrefix && options_.output.empty())
        view_.showNote(texts::join::nameFromPrefix(set_.sourceName));
}

JoinOutcome JoinRun::joinSet()
{
    repairWanted_ = false;
    heldErrors_.clear();
    feed_.reset();
    digests_.reset();
    done_ = 0;
    shown_.restart(-1); // the empty bar is shown too
    if (!setComplete())
        return JoinOutcome::CheckFailed;
    if (!set_.checked()) {
        // A list that names only some of the parts checks those.
        view_.showWarning(set_.partKind()       ? texts::join::partlyUnchecked(set_.unlisted(), set_.checksumName)
                          : verifiedByRecovery_ ? texts::join::checkedByRecovery(set_.title(), recovery_->index)
                                                : texts::join::unchecked(set_.title()));
        for (std::size_t i = 0; i < set_.parts.size(); ++i)
            if (const std::string remark = SizeRemark(set_, i); !remark.empty())
                view_.showWarning(texts::join::shapeWarning(set_.parts[i].name, remark));
        // Other tools may end a set in a part as large as the others, so it
        // stops nothing; but nothing else tells whether parts came after it.
        if (!set_.ours() && !set_.wholeSize && !set_.partKind() && LastPartAsLarge(set_))
            view_.showWarning(texts::join::lastAsLargeUntold(set_.parts.back().name, set_.parts.back().size));
    }
    if (!prepareOutput())
        return JoinOutcome::Failed;
    const JoinOutcome outcome = join();
    if (outcome != JoinOutcome::Joined)
        output_.cancel();
    return outcome;
}

JoinResult JoinRun::finish(JoinOutcome outcome)
{
    return {{outcome, output_.path(), set_.parts.size(), set_.checked()}, rebuilt_};
}

void JoinRun::holdOrShow(const std::string& error)
{
    holdOrShow([this, error] { view_.showError(error); });
}

void JoinRun::holdOrShow(std::function<void()> show)
{
    if (repairable()) {
        repairWanted_ = true;
        heldErrors_.push_back(std::move(show));
    } else {
        show();
    }
}

void JoinRun::betweenSteps()
{
    pacer_.pace();
    if (shown_.advance(done_ / 1024) > 0)
        view_.setProgress(shown_.shown(), total_ / 1024);
}

bool JoinRun::setComplete()
{
    const std::vector<std::string> missing = set_.missing();
    // Recovery data cannot stand in for parts of another split.
    if (!missing.empty() && set_.extra.empty())
        holdOrShow(texts::join::missing(missing));
    else if (!missing.empty())
        view_.showError(texts::join::missing(missing));
    if (!set_.extra.empty())
        view_.showError(texts::join::extra(set_.extra, set_.checksumName));
    if (!missing.empty() || !set_.extra.empty())
        return false;
    // A .crc file or a 7-Zip start header gives the whole file's size:
    // parts lost after the last one, or cut short, show here before a byte
    // is copied.
    if (const std::string disagreement = SizeDisagreement(set_); !disagreement.empty()) {
        partDamaged_ = partDamaged_ || repairable();
        holdOrShow(disagreement);
        return false;
    }
    // Other tools' last parts may be as large as the others, and they
    // write no scripts.
    if (set_.checked() || !set_.ours())
        return true;
    // Without a checksum file, parts lost at the end of the set leave no
    // gap in the numbering; the last part's size and the scripts tell.
    const SetPart& last = set_.parts.back();
    if (LastPartAsLarge(set_)) {
        holdOrShow(texts::join::missingAfterLast(last.name, last.size));
        return false;
    }
    if (const auto disagreement = ScriptDisagreement(platform_, set_)) {
        holdOrShow(*disagreement);
        return false;
    }
    return true;
}

bool JoinRun::prepareOutput()
{
    const std::string path =
        !options_.output.empty() ? options_.output : !chosen_.empty() ? chosen_ : set_.path(set_.sourceName);
    std::vector<std::string> inputs;
    for (const SetPart& part : set_.parts)
        inputs.push_back(set_.path(part.name));
    for (const std::string* described : {&set_.checksumName, &set_.crcName})
        if (!described->empty())
            inputs.push_back(set_.path(*described));
    // Agreed once, before a repair, is agreed for the join after it.
    using Failure = JoinOutput::Failure;
    const Failure opened = output_.open(path, inputs, options_.replace,
                                        [this](const std::string& existing) { return view_.confirmReplace(existing); });
    switch (opened) {
    case Failure::None: return true;
    case Failure::IsFolder: view_.showError(texts::join::isFolder(path)); break;
    case Failure::NotAFile: view_.showError(texts::join::notAFile(path)); break;
    case Failure::WouldReplaceInput: view_.showError(texts::join::wouldReplaceInput(path)); break;
    case Failure::KeptExisting: break; // the view has said why
    default: view_.showError(texts::join::cannotCreate(path)); break;
    }
    return false;
}

JoinOutcome JoinRun::join()
{
    // Checked parts take both cores where the platform lets two threads
    // fill one file.
    if (set_.partsChecked() && set_.parts.size() > 1 && platform_.allowsConcurrentCopies()) {
        if (const JoinOutcome outcome = joinTwoAtOnce(); outcome != JoinOutcome::Joined)
            return outcome;
        return joined();
    }
    // Digests the parts do not have are not taken; the whole's is, when
    // nothing else checks the join. A part the repair found to be the
    // listed one, still that file, is not hashed again.
    std::vector<bool> known(set_.parts.size());
    for (std::size_t i = 0; i < known.size(); ++i)
        known[i] = alreadyVouched(i);
    startFeed({set_.partKind(), wholeOnly() ? std::optional(set_.whole->kind()) : std::nullopt, std::move(known)});
    for (const SetPart& part : set_.parts) {
        view_.setStatusText(texts::join::joining(part.name));
        pacer_.pumpNow();
        const CopyStepResult copied = copyPart(part);
        if (copied.failure != CopyFailure::None) {
            // A part before it may yet fail its check: the first failure in
            // part order is the one told, as when two parts are joined at once.
            if (feed_ && copied.failure != CopyFailure::Stopped) {
                while (!feed_->finished(std::max(pacer_.interval(), 1ms)))
                    betweenSteps();
                if (const auto bad = compareDigests())
                    return damaged(*bad);
            }
            return failCopy(copied, part);
        }
        if (const auto bad = compareDigests())
            return damaged(*bad);
    }
    betweenSteps(); // the bar reaches its end
    if (feed_) {
        while (!feed_->finished(std::max(pacer_.interval(), 1ms)))
            betweenSteps();
        if (const auto bad = compareDigests())
            return damaged(*bad);
    }
    if (wholeOnly() && !wholeMatches())
        return JoinOutcome::CheckFailed;
    return joined();
}

bool JoinRun::wholeMatches()
{
    const Digest whole = digests_->whole();
    if (whole == *set_.whole)
        return true;
    partDamaged_ = partDamaged_ || repairable();
    holdOrShow(texts::join::wholeMismatch(DigestName(whole.kind()), whole.hex(), set_.checksumName,
                                          set_.whole->hex(), set_.title()));
    return false;
}

JoinOutcome JoinRun::joined()
{
    if (stopped())
        return failCopy({0, CopyFailure::Stopped}, set_.parts.back());
    return putInPlace() ? JoinOutcome::Joined : JoinOutcome::Failed;
}

JoinOutcome JoinRun::damaged(std::size_t index)
{
    const SetPart& part = set_.parts[index];
    partDamaged_ = partDamaged_ || repairable();
    DamagedPart damage{part.name,          std::string(DigestName(part.expected->kind())),
                       part.expected->hex(), found_[index].hex(),
                       SizeRemark(set_, index), set_.ours() ? std::string("the checksum file") : set_.checksumName};
    holdOrShow([this, damage = std::move(damage)] { view_.showDamaged(damage); });
    return JoinOutcome::CheckFailed;
}

JoinOutcome JoinRun::failCopy(const CopyStepResult& failed, const SetPart& part)
{
    switch (failed.failure) {
    case CopyFailure::None: break;
    case CopyFailure::Read: view_.showError(texts::join::cannotReadPart(part.name)); break;
    case CopyFailure::Changed: view_.showError(texts::join::partChanged(part.name)); break;
    case CopyFailure::Write:
        view_.showError(texts::join::writeFailed(output_.path(), failed.error == error::DiskFull));
        break;
    case CopyFailure::Stopped:
        view_.showError(texts::join::interrupted(output_.path()));
        return JoinOutcome::Interrupted;
    }
    return JoinOutcome::Failed;
}

bool JoinRun::putInPlace()
{
    using Failure = JoinOutput::Failure;
    const std::string& path = output_.path();
    if (const Failure committed = output_.commit(); committed != Failure::None) {
        view_.showError(committed == Failure::Exists ? texts::join::exists(path)
                                                      : texts::join::writeFailed(path, output_.error() == error::DiskFull));
        return false;
    }
    if (output_.entryNotFlushed()) {
        view_.showError(texts::join::writeFailed(path, false));
        return true; // the file is complete under its name; only its entry may not be on the medium
    }
    // One closing box: where no file manager could be started, it also
    // says where the file is.
    std::string done = wholeOnly() ? texts::join::joinedMatching(path, set_.parts.size(), checkedWith())
                                   : texts::join::joined(path, set_.parts.size(), set_.checked());
    if (options_.openFileManager && platform_.openFileManager(output_.folder()) != error::None)
        done += ". " + texts::join::noFileManager(output_.folder());
    view_.showInformation(done);
    return true;
}

void JoinRun::startFeed(DigestKinds kinds)
{
    feed_.reset();
    fed_.clear();
    compared_ = 0;
    unhashed_ = kinds.known;
    digests_ = std::make_unique<RunDigests>(std::move(kinds));
    std::vector<BlockConsumer*> consumers = digests_->consumers();
    consumers.insert(consumers.end(), options_.consumers.begin(), options_.consumers.end());
    if (!consumers.empty())
        feed_ = std::make_unique<BlockFeed>(hashBlock(), std::move(consumers));
}

std::int64_t JoinRun::beginFed()
{
    fed_.push_back(Unread);
    return static_cast<std::int64_t>(fed_.size()) - 1;
}

void JoinRun::endFed(std::int64_t number, std::size_t index, bool read)
{
    // A part not read to its end is ended all the same, so that the
    // consumers go on to the parts after it; its digest is ignored.
    if (read)
        fed_[static_cast<std::size_t>(number)] = index;
    feed_->endPart(number);
}

bool JoinRun::alreadyVouched(std::size_t index)
{
    if (wholeOnly() || index >= vouched_.size() || !vouched_[index])
        return false;
    const auto now = platform_.identityOf(set_.path(set_.parts[index].name));
    return now.ok() && now.value == *vouched_[index];
}

CopyStepResult JoinRun::copyPart(const SetPart& part)
{
    const std::size_t index = static_cast<std::size_t>(&part - set_.parts.data());
    const std::int64_t number = feed_ ? beginFed() : 0;
    CopyStepResult copied;
    auto opened = platform_.openForReading(set_.path(part.name));
    if (!opened.ok())
        copied = {0, CopyFailure::Read, opened.error};
    else
        copied = copyFrom(*opened.value, number);
    if (feed_)
        endFed(number, index, copied.failure == CopyFailure::None);
    return copied;
}

CopyStepResult JoinRun::copyFrom(File& source, std::int64_t number)
{
    const auto before = source.identity();
    const StepFeed feed{feed_.get(), number, [this] {
                            betweenSteps();
                            return !stopped();
                        }};
    const std::uint64_t block = feed_ ? feed_->blockSize() : std::max<std::size_t>(options_.blockSize, 4096);
    const StepTarget target{output_.isOpen() ? &output_.file() : nullptr};
    std::uint64_t copied = 0;
    for (;;) {
        betweenSteps();
        if (stopped())
            return {copied, CopyFailure::Stopped};
        const CopyStepResult step = CopyStep(source, static_cast<std::int64_t>(copied), block, target, feed, buffer_);
        if (step.failure != CopyFailure::None)
            return {copied, step.failure, step.error};
        if (step.count == 0)
            break;
        copied += step.count;
        done_ += static_cast<std::int64_t>(step.count);
    }
    // A part that grew, shrank or was rewritten while it was read is not the
    // part that was measured (nor, when unchecked, one to trust).
    const auto after = source.identity();
    if (!before.ok() || !after.ok() || !(before.value == after.value)
        || static_cast<std::int64_t>(copied) != before.value.size)
        return {copied, CopyFailure::Changed};
    return {copied};
}

std::optional<std::size_t> JoinRun::compareDigests()
{
    if (!digests_)
        return std::nullopt;
    std::optional<std::size_t> firstBad;
    for (Digest digest : digests_->takeReady()) {
        const std::size_t number = compared_++;
        const std::size_t index = fed_[number];
        if (index == Unread)
            continue; // a part not read to its end
        const SetPart& part = set_.parts[index];
        if (number < unhashed_.size() && unhashed_[number])
            digest = *part.expected;
        found_[index] = digest;
        const bool good = !part.expected || digest == *part.expected;
        if (!good && !firstBad)
            firstBad = index;
        // A part no list names passes a check only when the whole file's
        // digest vouches for it.
        if (options_.checkOnly && !part.expected)
            findings_[index] = {set_.checked() ? texts::join::checkRead(part.name, part.size)
                                               : texts::join::checkUnchecked(part.name, part.size),
                                set_.checked()};
        else if (options_.checkOnly)
            findings_[index] = {good ? texts::join::checkOk(part.name, part.size)
                                     : texts::join::checkFailed(part.name, DigestName(digest.kind()),
                                                                part.expected->hex(), digest.hex(),
                                                                SizeRemark(set_, index)),
                                good};
    }
    return firstBad;
}

JoinResult JoinParts(Platform& platform, JoinView& view, const std::string& input, const JoinOptions& options)
{
    static thread_local bool running = false;
    if (running)
        return JoinResult{{JoinOutcome::Busy, {}, 0, false}, {}};
    running = true;
    struct Reset {
        ~Reset() { running = false; }
    } reset;
    // What a digest or a consumer of the blocks throws (memory, most
    // likely) ends the run as a failure it tells, not the program.
    try {
        return JoinRun(platform, view, input, options).run();
    } catch (const std::exception& e) {
        view.showError(texts::join::failedWith(e.what()));
        return JoinResult{{JoinOutcome::Failed, {}, 0, false}, {}};
    }
}

} // namespace darvolt
