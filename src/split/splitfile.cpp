#include "split/splitfile.h"

#include "parts/checksumfile.h"
#include "parts/checksumworker.h"
#include "parts/mergescript.h"
#include "parts/mergeshell.h"
#include "split/runfile.h"
#include "parts/messagepacer.h"
#include "parts/partnaming.h"
#include "split/partpipeline.h"
#include "split/recoverydata.h"
#include "split/spandrive.h"
#include "split/splittexts.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

using namespace darvolt;

namespace {

using Clock = std::chrono::steady_clock;

class SplitRun {
public:
    SplitRun(Platform& platform, SplitView& view, const std::string& sourceName, const std::string& sourceFolder,
             std::int64_t partSize, const SplitOptions& options)
        : platform_(platform), view_(view), options_(options), sourceName_(sourceName),
          sourcePath_(sourceFolder + sourceName), partSize_(partSize), spanning_(partSize == 0),
          outputFolder_(OutputFolder(sourceFolder, sourceName)),
          prefix_(PartPrefix(partSize, outputFolder_, platform.driveFolder())),
          pacer_([&view] { view.processPendingMessages(); }, options.clock ? options.clock : [] { return Clock::now(); }, options.pumpInterval),
          shared_(options.stop), drive_(platform, view)
    {
        copy_.blockSize = std::max<std::size_t>(options_.blockSize, 1024);
        copy_.endAtFullMedium = spanning_;
    }

    SplitOutcome run();

private:
    enum class Attempt { NextPart, SourceDone, Again, Fatal, Cancelled, Interrupted };

    bool openSource();
    // Refuses, before anything is written, a source whose name the run
    // cannot use: one named like a script, or one whose parts, checksum file
    // or recovery data would have names too long for the output folder.
    bool namesUsable();
    bool partFitsFileSystem();
    bool prepareOutputFolder();
    Attempt attemptPart();
    Attempt copyPart(File& part, const std::string& name, std::int64_t size);
    // The same part again after a new prompt; the medium in the drive is let
    // go first.
    Attempt onAnotherMedium();
    // The part's size on the medium in the drive, from its free space.
    SpanDrive::PartPlan planPart(std::int64_t free);
    // Writes every part; the outcome when the run stops before that.
    std::optional<SplitOutcome> copyParts();
    bool stopped() const { return shared_.stopRequested(); }
    SplitOutcome interrupted();
    // True (after telling the user) when path names the source itself.
    bool isSource(const std::string& path);
    bool sourceUnchanged();
    // Waits, keeping the window alive, for the last digests.
    std::vector<ChecksumEntry> checksumEntries();
    // MERGE.BAT, the checksum file and merge.sh; false when one failed
    // (reported). nullopt when one of them would be the source.
    std::optional<bool> writeRunFiles();
    RecoveryEnd writeRecoveryData();
    bool namesIgnoreCase(const std::string& path) { return platform_.ignoresCase(path); }
    void stepProgress(std::int64_t bytes);

    Platform& platform_;
    SplitView& view_;
    SplitOptions options_;
    const std::string sourceName_;
    const std::string sourcePath_;
    const std::int64_t partSize_;
    const bool spanning_;
    const std::string outputFolder_;
    std::string prefix_; // spanning: the folder of the medium taken at the last prompt
    MessagePacer pacer_;
    SharedCopyState shared_;
    PartCopySettings copy_;
    SpanDrive drive_;
    bool sameMedium_ = false;   // the next part goes on the medium in the drive, without a prompt
    bool belowFileLimit_ = false; // the current part ends at its file system's largest file

    std::unique_ptr<ChecksumWorker> checksums_;
    std::unique_ptr<File> source_;
    std::optional<FileIdentity> sourceId_;
    PartList parts_;
    std::vector<std::string> bareParts_;
    std::int64_t counter_ = 0;
    std::int64_t offset_ = 0; // where the next part starts in the source
    std::int64_t diskette_ = 1;
    std::int64_t shownKb_ = 0; // of the current part
    std::vector<std::byte> buffer_;
    std::string recoveryName_; // the PAR2 set written beside the parts, if any
    // The parts folder, resolved once: a folder swapped for a link during
    // the run cannot send a part or a script elsewhere.
    std::optional<HeldFolder> heldOutput_;
};

SplitOutcome SplitRun::run()
{
    // The source is opened before the output folder is touched, so that a
    // vanished source never costs the parts of an earlier run.
    if (!openSource() || !namesUsable())
        return SplitOutcome::Failed;
    if (!spanning_ && (!partFitsFileSystem() || !prepareOutputFolder()))
        return SplitOutcome::Failed;

    view_.setProgressMaximum(std::max<std::int64_t>(copy_.sourceEnd, 0) / 1024);
    view_.setProgressPosition(0);
    if (options_.checksums) {
        checksums_ = std::make_unique<ChecksumWorker>(std::min(copy_.blockSize, ChecksumWorker::CacheBlock), true);
        copy_.checksums = checksums_.get();
    }

    if (const auto stoppedWith = copyParts(); stoppedWith)
        return *stoppedWith;
    if (stopped())
        return interrupted();
    if (!sourceUnchanged()) {
        view_.showError(std::string(texts::SourceChanged));
        return SplitOutcome::Failed;
    }
    if (copy_.flush && !spanning_ && platform_.flushFolder(outputFolder_) != error::None) {
        view_.showError(std::string(texts::WriteFailed));
        return SplitOutcome::Failed;
    }

    // Before the scripts, so a run stopped while par2 works leaves no
    // MERGE.BAT, and merge.sh knows whether there is a set to repair from.
    const bool recovery = !spanning_ && options_.recoveryPercent > 0;
    const RecoveryEnd recovered = recovery ? writeRecoveryData() : RecoveryEnd::Written;
    if (recovered == RecoveryEnd::Interrupted)
        return interrupted();
    recoveryName_ = recovery && recovered == RecoveryEnd::Written ? RecoveryFileName(sourceName_) : std::string();

    const auto scriptsWritten = writeRunFiles();
    if (!scriptsWritten)
        return SplitOutcome::Failed;
    source_->close();
    if (spanning_) {
        drive_.letGo(); // its part and the scripts are flushed
        view_.showInformation(texts::spanned(sourceName_, namesIgnoreCase(sourcePath_)));
    } else if (options_.openFileManager && platform_.openFileManager(outputFolder_) != error::None) {
        view_.showInformation(texts::fileManagerFailed(outputFolder_));
    }
    if (!*scriptsWritten)
        return SplitOutcome::ScriptFailed;
    return recovered == RecoveryEnd::Written ? SplitOutcome::Done : SplitOutcome::RecoveryFailed;
}

RecoveryEnd SplitRun::writeRecoveryData()
{
    std::string folder = prefix_;
    folder.pop_back(); // the prefix ends in "/"
    // The two-part pipeline does not count offset_; a source of unknown
    // size was copied by this thread, which does.
    const std::int64_t size = copy_.sourceEnd >= 0 ? copy_.sourceEnd : offset_;
    return WriteRecoveryData({platform_, view_, pacer_, options_.stop, folder, sourceName_, bareParts_, partSize_,
                              size, options_.recoveryPercent, copy_.flush});
}

std::vector<ChecksumEntry> SplitRun::checksumEntries()
{
    while (!checksums_->finished(std::max(pacer_.interval(), std::chrono::milliseconds(1))))
        pacer_.pace();
    const std::vector<Sha256Digest> digests = checksums_->takeReadyDigests();
    std::vector<ChecksumEntry> entries;
    for (std::size_t i = 0; i < bareParts_.size() && i < digests.size(); ++i)
        entries.push_back({bareParts_[i], digests[i]});
    entries.push_back({sourceName_, checksums_->wholeDigest()});
    return entries;
}

std::optional<bool> SplitRun::writeRunFiles()
{
    const std::string script = prefix_ + std::string(MergeScriptName);
    const std::string sums = prefix_ + ChecksumFileName(sourceName_);
    const std::string shell = prefix_ + std::string(MergeShellName);
    for (const std::string* path : {&script, &sums, &shell})
        if ((checksums_ || path != &sums) && isSource(*path))
            return std::nullopt;
    const std::vector<ChecksumEntry> entries = checksums_ ? checksumEntries() : std::vector<ChecksumEntry>{};
    // MERGE.BAT first: on a last diskette with little room it is the one
    // that must be there.
    bool complete = WriteMergeScript(platform_, view_, script, bareParts_, sourceName_, copy_.flush);
    if (checksums_)
        complete = WriteChecksumFile(platform_, view_, sums, entries, copy_.flush) && complete;
    const std::string text = MergeShellText(sourceName_, bareParts_, entries, recoveryName_);
    complete = WriteRunFile(platform_, view_, shell, {text}, copy_.flush) && complete;
    return complete;
}

std::optional<SplitOutcome> SplitRun::copyParts()
{
    // Spanning stays one part at a time: each part's size comes from the
    // diskette in the drive, after a prompt.
    // Hashing keeps the parts in source order on this thread, so that one
    // digest of the whole can follow them; the second core hashes.
    if (!spanning_ && !checksums_ && options_.concurrentCopies && platform_.allowsConcurrentCopies()
        && copy_.sourceEnd >= 0
        && PartPipeline::worthwhile(copy_.sourceEnd, partSize_)) {
        PartPipeline pipeline(PipelineSetup{platform_, view_, pacer_, *source_, sourceName_, prefix_,
                                            copy_.sourceEnd, partSize_, copy_, namesIgnoreCase(prefix_),
                                            options_.stop});
        switch (pipeline.run(parts_, bareParts_)) {
        case PipelineEnd::Done: return std::nullopt;
        case PipelineEnd::Failed: return SplitOutcome::Failed;
        case PipelineEnd::Interrupted: return interrupted();
        }
    }
    for (;;) {
        switch (attemptPart()) {
        case Attempt::Fatal: return SplitOutcome::Failed;
        case Attempt::Cancelled: return SplitOutcome::Cancelled;
        case Attempt::Interrupted: return interrupted();
        case Attempt::SourceDone: return std::nullopt;
        case Attempt::NextPart:
        case Attempt::Again: break;
        }
    }
}

SplitOutcome SplitRun::interrupted()
{
    view_.showError(std::string(texts::Interrupted));
    return SplitOutcome::Interrupted;
}

bool SplitRun::openSource()
{
    auto opened = platform_.openForReading(sourcePath_);
    if (!opened.ok()) {
        view_.showError(texts::sourceNotFound(sourcePath_, namesIgnoreCase(sourcePath_)));
        return false;
    }
    source_ = std::move(opened.value);
    // What the source is now is what the run splits: it is checked again
    // after the last part, and nothing past this size is read.
    if (const auto id = source_->identity(); id.ok())
        sourceId_ = id.value;
    const auto size = source_->size();
    copy_.sourceEnd = size.ok() && size.value >= 0 ? size.value : -1;
    copy_.flush = spanning_ || options_.alwaysFlush;
    copy_.permissions = source_->permissions() & DefaultPermissions;
    return true;
}

bool SplitRun::namesUsable()
{
    for (const std::string_view script : {MergeScriptName, MergeShellFileName})
        if (UpperCaseAscii(sourceName_) == UpperCaseAscii(script)) {
            view_.showError(texts::sourceNamedLikeScript(sourceName_));
            return false;
        }
    // Every name the run may create, at its longest: the last part (the
    // count of a spanned run is not known; two digits at least), the
    // checksum file and the largest recovery volume.
    const std::int64_t parts =
        !spanning_ && copy_.sourceEnd >= 0 && partSize_ > 0 ? copy_.sourceEnd / partSize_ + 1 : 1;
    const std::string count = PartNumber(parts);
    std::vector<std::string> names{BarePartName(sourceName_, parts - 1), ChecksumFileName(sourceName_)};
    if (!spanning_ && options_.recoveryPercent > 0)
        names.push_back(sourceName_ + ".vol" + count + "+" + count + std::string(RecoverySuffix));
    const std::string folder = spanning_ ? platform_.driveFolder() : outputFolder_;
    const std::int64_t longest = platform_.fileSystemLimits(folder).longestName;
    for (const std::string& name : names)
        if (static_cast<std::int64_t>(name.size()) > longest) {
            view_.showError(texts::nameTooLong(name, folder, longest));
            return false;
        }
    return true;
}

bool SplitRun::partFitsFileSystem()
{
    // Refused before anything is written: a FAT folder would end every part
    // at 4 GiB - 1 and the run would fail half-way.
    const std::int64_t largest = platform_.fileSystemLimits(outputFolder_).largestFile;
    if (partSize_ <= largest)
        return true;
    view_.showError(texts::partTooLargeForFileSystem(largest));
    return false;
}

bool SplitRun::prepareOutputFolder()
{
    const bool made = platform_.makeDirectory(outputFolder_) == error::None;
    // From here on the folder is reached only through its handle; a link
    // planted in its place (in a folder others can write to) is refused.
    const ErrorCode held = heldOutput_.emplace(platform_, outputFolder_, false).error();
    if (held != error::None) {
        heldOutput_.reset();
        view_.showError(held == error::IsLink ? texts::outputFolderIsLink(outputFolder_)
                                              : std::string(texts::OutputFolderFailed));
        return false;
    }
    if (!made) {
        if (!platform_.isDirectory(outputFolder_)) {
            view_.showError(std::string(texts::OutputFolderFailed));
            return false;
        }
        // Nothing is deleted when one of the old run's files is the source
        // itself (a link to it, say): that would destroy what is split.
        for (const auto& name : EarlierRunFiles(platform_, outputFolder_, sourceName_))
            if (isSource(outputFolder_ + "/" + name))
                return false;
        ClearFolder(platform_, outputFolder_, sourceName_);
    }
    copy_.flush = copy_.flush || platform_.isRemovable(outputFolder_);
    return true;
}

bool SplitRun::isSource(const std::string& path)
{
    if (!sourceId_)
        return false;
    const auto id = platform_.identityOf(path);
    if (!id.ok() || !id.value.sameFile(*sourceId_))
        return false;
    view_.showError(texts::wouldOverwriteSource(path, namesIgnoreCase(path)));
    return true;
}

bool SplitRun::sourceUnchanged()
{
    if (!sourceId_)
        return true;
    const auto now = source_->identity();
    return now.ok() && now.value == *sourceId_;
}

SplitRun::Attempt SplitRun::attemptPart()
{
    const std::string bare = BarePartName(sourceName_, counter_);
    if (stopped())
        return Attempt::Interrupted;
    if (spanning_ && !sameMedium_) {
        if (!view_.askForDiskette(texts::diskettePrompt(diskette_)))
            return stopped() ? Attempt::Interrupted : Attempt::Cancelled;
        // Whatever is in the drive now is drive A: for this part.
        if (drive_.take(diskette_) != SpanDrive::Taken::Ready)
            return stopped() ? Attempt::Interrupted : Attempt::Again;
        prefix_ = PartPrefix(0, outputFolder_, platform_.driveFolder());
    }
    pacer_.pumpNow();
    if (stopped())
        return Attempt::Interrupted;
    const std::string name = prefix_ + bare;
    if (spanning_ && isSource(name))
        return Attempt::Fatal;

    auto created = platform_.createFile(name, copy_.permissions);
    if (!created.ok()) {
        // Spanning goes back to the prompt so the user can change the
        // diskette; in folder mode nothing would change between two tries.
        const ErrorCode e = created.error;
        if (e == error::AlreadyExists) {
            view_.showError(texts::nameTakenMeanwhile(name));
            return Attempt::Fatal;
        }
        if (!spanning_) {
            view_.showError(texts::cannotOpenOutput(name, namesIgnoreCase(name)));
            return Attempt::Fatal;
        }
        if (e == error::WriteProtected || e == error::NotReady || e == error::DiskFull) {
            // A medium without room for one more file (or one more entry in
            // its folder) is a full diskette.
            view_.showError(std::string(e == error::WriteProtected ? texts::WriteProtected
                                        : e == error::NotReady    ? texts::NotReady
                                                                  : texts::DisketteFull));
            return onAnotherMedium();
        }
        view_.showError(texts::cannotOpenOutput(name, namesIgnoreCase(name)));
        return Attempt::Fatal;
    }
    std::unique_ptr<File> part = std::move(created.value);
    view_.setStatusText(texts::writing(bare));

    std::int64_t size = partSize_;
    if (spanning_) {
        const auto free = platform_.driveFreeBytes();
        const SpanDrive::PartPlan plan = free.ok() && free.value > 0 ? planPart(free.value) : SpanDrive::PartPlan{};
        if (plan.size <= 0) {
            view_.showError(std::string(texts::DisketteFull));
            part->close();
            platform_.removeFile(name);
            return onAnotherMedium();
        }
        if (!sameMedium_)
            ++diskette_;
        belowFileLimit_ = plan.belowFileLimit;
        view_.setProgressMaximum(plan.size / 1024);
        view_.setProgressPosition(0);
        size = plan.size;
    }
    return copyPart(*part, name, size);
}

SpanDrive::PartPlan SplitRun::planPart(std::int64_t free)
{
    std::vector<std::string> names = bareParts_;
    names.push_back(BarePartName(sourceName_, counter_));
    const std::int64_t rest = copy_.sourceEnd >= 0 ? copy_.sourceEnd - offset_ : -1;
    return drive_.planPart(free, rest, names, sourceName_, checksums_ != nullptr);
}

SplitRun::Attempt SplitRun::onAnotherMedium()
{
    // The user is about to take the medium out: one the program mounted, or
    // that was taking several parts, is unmounted first like any other.
    sameMedium_ = false;
    drive_.letGo();
    return Attempt::Again;
}

SplitRun::Attempt SplitRun::copyPart(File& part, const std::string& name, std::int64_t size)
{
    shownKb_ = 0;
    std::atomic<std::int64_t> bytes{0};
    const PartCopyResult result =
        CopyAndClosePart(*source_, PartJob{counter_, offset_, size}, part, copy_, buffer_, shared_, bytes, [&] {
            pacer_.pace();
            stepProgress(bytes.load(std::memory_order_relaxed));
        });
    stepProgress(result.written);

    switch (result.failure) {
    case PartCopyFailure::None: break;
    case PartCopyFailure::Stopped:
        platform_.removeFile(name);
        return Attempt::Interrupted;
    case PartCopyFailure::Read: view_.showError(std::string(texts::ReadFailed)); return Attempt::Fatal;
    case PartCopyFailure::Write: view_.showError(std::string(texts::WriteFailed)); return Attempt::Fatal;
    case PartCopyFailure::Changed: view_.showError(std::string(texts::SourceChanged)); return Attempt::Fatal;
    }
    if (result.mediumFull && result.written == 0) {
        // Not even the first block fitted: as a diskette without free space.
        view_.showError(std::string(texts::DisketteFull));
        platform_.removeFile(name);
        if (!sameMedium_)
            --diskette_;
        return onAnotherMedium();
    }
    // The part's name must be on the medium as well as its data before the
    // user is asked to take the medium out.
    if (spanning_ && platform_.flushFolder(platform_.driveFolder()) != error::None) {
        view_.showError(std::string(texts::WriteFailed));
        return Attempt::Fatal;
    }
    parts_.push_back(name);
    bareParts_.push_back(BarePartName(sourceName_, counter_));
    if (checksums_)
        checksums_->endPart();
    ++counter_;
    offset_ += result.written;
    if (result.sourceEnded)
        return Attempt::SourceDone;
    if (spanning_) {
        // A part cut at the largest file of its file system leaves the rest
        // of the medium to the next part; otherwise the medium is done.
        sameMedium_ = false;
        if (belowFileLimit_ && result.written == size)
            if (const auto free = platform_.driveFreeBytes(); free.ok() && free.value > 0)
                sameMedium_ = planPart(free.value).size > 0;
        if (!sameMedium_)
            drive_.letGo();
    }
    return Attempt::NextPart;
}

void SplitRun::stepProgress(std::int64_t bytes)
{
    const std::int64_t kb = bytes / 1024;
    if (kb == shownKb_)
        return;
    view_.setProgressStep(kb - shownKb_);
    view_.stepProgress();
    shownKb_ = kb;
}

// Set while a run is going on in this thread.
thread_local bool running = false;

} // namespace

SplitOutcome darvolt::SplitFile(Platform& platform, SplitView& view, const std::string& sourceName,
                       const std::string& sourceFolder, std::int64_t partSize, const SplitOptions& options)
{
    if (running || partSize < 0)
        return running ? SplitOutcome::Busy : SplitOutcome::Failed;
    running = true;
    struct Reset {
        ~Reset() { running = false; }
    } reset;
    return SplitRun(platform, view, sourceName, sourceFolder, partSize, options).run();
}
