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
    return std::clamp<std::size_t>(options_.blockSize, 4096, ChecksumWorker::CacheBlock);
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
    checksums_.reset();
    hashed_.clear();
    compared_ = 0;
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
    // nothing else checks the join.
    if (set_.partKind() || wholeOnly())
        checksums_ = std::make_unique<ChecksumWorker>(
            hashBlock(), DigestKinds{set_.partKind(), wholeOnly() ? std::optional(set_.whole->kind()) : std::nullopt});
    for (const SetPart& part : set_.parts) {
        view_.setStatusText(texts::join::joining(part.name));
        pacer_.pumpNow();
        const Copy copied = copyPart(part);
        if (copied != Copy::Done) {
            // A part before it may yet fail its check: the first failure in
            // part order is the one told, as when two parts are joined at once.
            if (checksums_ && copied != Copy::Stopped) {
                while (!checksums_->finished(std::max(pacer_.interval(), 1ms)))
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
    if (checksums_) {
        while (!checksums_->finished(std::max(pacer_.interval(), 1ms)))
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
    const Digest whole = checksums_->wholeDigest();
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
        return failCopy(Copy::Stopped, set_.parts.back());
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

JoinOutcome JoinRun::failCopy(Copy failure, const SetPart& part)
{
    switch (failure) {
    case Copy::Done: break;
    case Copy::ReadFailed: view_.showError(texts::join::cannotReadPart(part.name)); break;
    case Copy::Changed: view_.showError(texts::join::partChanged(part.name)); break;
    case Copy::WriteFailed:
    case Copy::DiskFull: view_.showError(texts::join::writeFailed(output_.path(), failure == Copy::DiskFull)); break;
    case Copy::Stopped:
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

std::span<std::byte> JoinRun::takeBuffer(bool feeding)
{
    if (feeding) {
        std::span<std::byte> block;
        while ((block = checksums_->acquire(10ms)).empty() && !stopped())
            betweenSteps();
        return block;
    }
    if (buffer_.empty())
        buffer_.resize(std::max<std::size_t>(options_.blockSize, 4096));
    return buffer_;
}

bool JoinRun::alreadyVouched(std::size_t index)
{
    if (wholeOnly() || index >= vouched_.size() || !vouched_[index])
        return false;
    const auto now = platform_.identityOf(set_.path(set_.parts[index].name));
    return now.ok() && now.value == *vouched_[index];
}

JoinRun::Copy JoinRun::copyPart(const SetPart& part)
{
    auto opened = platform_.openForReading(set_.path(part.name));
    if (!opened.ok())
        return Copy::ReadFailed;
    File& source = *opened.value;
    const auto before = source.identity();
    const std::size_t index = static_cast<std::size_t>(&part - set_.parts.data());
    // A part the repair found to be the listed one, still that file, is
    // copied without being hashed again.
    const bool feeding = checksums_ && !alreadyVouched(index);
    std::int64_t copied = 0;
    for (;;) {
        betweenSteps();
        if (stopped())
            return Copy::Stopped;
        if (!feeding && output_.isOpen()) {
            const CopyResult moved = source.copyTo(output_.file(), options_.blockSize);
            if (!moved.fallBack) {
                copied += static_cast<std::int64_t>(moved.bytes);
                done_ += static_cast<std::int64_t>(moved.bytes);
                if (moved.bytes == 0)
                    break;
                continue;
            }
        }
        const std::span<std::byte> block = takeBuffer(feeding);
        if (block.empty())
            return Copy::Stopped;
        const auto got = source.readAt(copied, block);
        const std::size_t count = got.ok() ? got.value : 0;
        Copy failure = got.ok() ? Copy::Done : Copy::ReadFailed;
        if (failure == Copy::Done && count > 0 && output_.isOpen()) {
            const auto put = StoreReadBlock(source, copied, std::span<const std::byte>(block).first(count), output_.file());
            if (!put.ok() || put.value != count)
                failure = put.error == error::DiskFull ? Copy::DiskFull : Copy::WriteFailed;
        }
        if (feeding)
            checksums_->submit(block, failure == Copy::Done ? count : 0);
        if (failure != Copy::Done)
            return failure;
        copied += static_cast<std::int64_t>(count);
        done_ += static_cast<std::int64_t>(count);
        if (count < block.size())
            break;
    }
    // A part that grew, shrank or was rewritten while it was read is not the
    // part that was measured (nor, when unchecked, one to trust).
    const auto after = source.identity();
    if (!before.ok() || !after.ok() || !(before.value == after.value) || copied != before.value.size)
        return Copy::Changed;
    if (feeding) {
        checksums_->endPart();
        hashed_.push_back(static_cast<std::size_t>(&part - set_.parts.data()));
    }
    return Copy::Done;
}

std::optional<std::size_t> JoinRun::compareDigests()
{
    if (!checksums_)
        return std::nullopt;
    std::optional<std::size_t> firstBad;
    for (const Digest& digest : checksums_->takeReadyDigests()) {
        const std::size_t index = hashed_[compared_++];
        if (index == Unread)
            continue; // a part a check could not read to its end
        found_[index] = digest;
        const SetPart& part = set_.parts[index];
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
