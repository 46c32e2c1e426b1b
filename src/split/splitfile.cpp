#include "split/splitfile.h"

#include "parts/checksumfile.h"
#include "parts/rundigests.h"
#include "parts/mergescript.h"
#include "parts/mergeshell.h"
#include "split/runfile.h"
#include "parts/messagepacer.h"
#include "parts/partnaming.h"
#include "platform/pathrules.h"
#include "split/partpipeline.h"
#include "split/recoverydata.h"
#include "split/sharedfolder.h"
#include "split/foldertarget.h"
#include "split/spantarget.h"
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
    SplitRun(Platform& platform, SplitView& view, const SplitRequest& request, const SplitOptions& options)
        : platform_(platform), view_(view), options_(options), sourceName_(request.sourceName),
          sourcePath_(request.sourceFolder + request.sourceName), partSize_(request.partSize),
          spanning_(request.partSize == 0), outputFolder_(outputFolder(request)),
          prefix_(PartPrefix(request.partSize, outputFolder_, platform.driveFolder())),
          pacer_([&view] { view.processPendingMessages(); }, options.clock ? options.clock : [] { return Clock::now(); }, options.pumpInterval)
    {
        copy_.blockSize = std::max<std::size_t>(options_.blockSize, 1024);
        copy_.endAtFullMedium = spanning_;
    }

    SplitOutcome run();
    static std::string outputFolder(const SplitRequest& request)
    {
        if (request.outputFolder.empty())
            return OutputFolder(request.sourceFolder, request.sourceName);
        return WithoutTrailingSlashes(request.outputFolder);
    }
    SplitResult result(SplitOutcome outcome) const
    {
        return {outcome, WithoutTrailingSlashes(prefix_), bareParts_.size(), sumsWritten_};
    }

private:
    bool openSource();
    // Refuses, before anything is written, a source whose name the run
    // cannot use: one named like a script, or one whose parts, checksum file
    // or recovery data would have names too long for the output folder.
    bool namesUsable();
    bool partFitsFileSystem();
    bool partCountJoinable();
    bool prepareOutputFolder();
    // Writes every part; the outcome when the run stops before that.
    std::optional<SplitOutcome> copyParts();
    bool stopped() const { return options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed); }
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
    // MERGE.BAT is written for every name, but cmd.exe cannot join every
    // name: the user hears it at the end of the run, when the set is there
    // and the other ways to join it are named.
    void tellWhereMergeScriptFails();
    bool namesIgnoreCase(const std::string& path) { return platform_.ignoresCase(path); }

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
    PartCopySettings copy_;
    std::unique_ptr<SpanTarget> span_;

    // The feed's consumers come before it: its threads hand them blocks.
    std::unique_ptr<RecoveryWriter> recovery_;
    std::unique_ptr<RunDigests> digests_;
    std::unique_ptr<BlockFeed> feed_; // when anything wants the blocks
    std::unique_ptr<File> source_;
    std::optional<FileIdentity> sourceId_;
    PartList parts_;
    std::vector<std::string> bareParts_;
    std::int64_t written_ = 0; // bytes in the parts
    bool sumsWritten_ = false;
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
    if (!spanning_
        && (!partFitsFileSystem() || !partCountJoinable()
            || !FolderTakesSource(platform_, view_, outputFolder_, sourceName_) || !prepareOutputFolder()))
        return SplitOutcome::Failed;

    view_.setProgressMaximum(std::max<std::int64_t>(copy_.sourceEnd, 0) / 1024);
    view_.setProgressPosition(0);
    // The recovery encoder reads the parts' first bytes ahead, before the
    // copy, and then takes every block the copy reads.
    const bool recovery = !spanning_ && options_.recoveryPercent > 0;
    std::vector<BlockConsumer*> others;
    if (recovery) {
        const std::string folder = WithoutTrailingSlashes(prefix_);
        recovery_ = std::make_unique<RecoveryWriter>(
            RecoveryJob{platform_, view_, pacer_, options_.stop, folder, sourceName_, partSize_,
                        std::max<std::int64_t>(copy_.sourceEnd, 0), options_.recoveryPercent, copy_.flush,
                        options_.recoveryMemory},
            *source_);
        others = recovery_->consumers();
    }
    if (options_.checksums) {
        digests_ = std::make_unique<RunDigests>(DigestKinds{DigestKind::Sha256, DigestKind::Sha256, {}});
        const std::vector<BlockConsumer*> digests = digests_->consumers();
        others.insert(others.begin(), digests.begin(), digests.end());
    }
    if (!others.empty()) {
        feed_ = std::make_unique<BlockFeed>(std::min(copy_.blockSize, BlockFeed::CacheBlock), others);
        copy_.feed = feed_.get();
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
    const RecoveryEnd recovered = recovery ? writeRecoveryData() : RecoveryEnd::Written;
    if (recovered == RecoveryEnd::Interrupted)
        return interrupted();
    recoveryName_ = recovery && recovered == RecoveryEnd::Written ? RecoveryFileName(sourceName_) : std::string();

    const auto scriptsWritten = writeRunFiles();
    if (!scriptsWritten)
        return SplitOutcome::Failed;
    source_->close();
    tellWhereMergeScriptFails();
    if (spanning_) {
        span_->letGo(); // its part and the scripts are flushed
        view_.showInformation(texts::spanned(sourceName_, namesIgnoreCase(sourcePath_)));
    } else if (options_.openFileManager && platform_.openFileManager(outputFolder_) != error::None) {
        view_.showInformation(texts::fileManagerFailed(outputFolder_));
    }
    if (!*scriptsWritten)
        return SplitOutcome::ScriptFailed;
    return recovered == RecoveryEnd::Written ? SplitOutcome::Done : SplitOutcome::RecoveryFailed;
}

void SplitRun::tellWhereMergeScriptFails()
{
    switch (MergeScriptReachOf(sourceName_)) {
    case MergeScriptReach::Joins: break;
    case MergeScriptReach::NameNotOnWindows: view_.showMessage(texts::mergeScriptNameNotOnWindows(sourceName_)); break;
    case MergeScriptReach::NameUnreadable: view_.showMessage(texts::mergeScriptNameUnreadable(sourceName_)); break;
    }
}

RecoveryEnd SplitRun::writeRecoveryData()
{
    // Every block the copy read is with the encoder first.
    while (!copy_.feed->finished(std::max(pacer_.interval(), std::chrono::milliseconds(1))))
        pacer_.pace();
    return recovery_->finish();
}

std::vector<ChecksumEntry> SplitRun::checksumEntries()
{
    while (!feed_->finished(std::max(pacer_.interval(), std::chrono::milliseconds(1))))
        pacer_.pace();
    const std::vector<Digest> digests = digests_->takeReady();
    std::vector<ChecksumEntry> entries;
    for (std::size_t i = 0; i < bareParts_.size() && i < digests.size(); ++i)
        entries.push_back({bareParts_[i], digests[i]});
    entries.push_back({sourceName_, digests_->whole()});
    return entries;
}

std::optional<bool> SplitRun::writeRunFiles()
{
    const std::string script = prefix_ + std::string(MergeScriptName);
    const std::string sums = prefix_ + ChecksumFileName(sourceName_);
    const std::string shell = prefix_ + std::string(MergeShellName);
    for (const std::string* path : {&script, &sums, &shell})
        if ((digests_ || path != &sums) && isSource(*path))
            return std::nullopt;
    const std::vector<ChecksumEntry> entries = digests_ ? checksumEntries() : std::vector<ChecksumEntry>{};
    // MERGE.BAT first: on a last diskette with little room it is the one
    // that must be there.
    bool complete = WriteMergeScript(platform_, view_, script, bareParts_, sourceName_, copy_.flush);
    sumsWritten_ = digests_ && WriteChecksumFile(platform_, view_, sums, entries, copy_.flush);
    complete = (!digests_ || sumsWritten_) && complete;
    const std::string text = MergeShellText(sourceName_, bareParts_, entries, recoveryName_);
    complete = WriteRunFile(platform_, view_, shell, {text}, copy_.flush) && complete;
    return complete;
}

std::optional<SplitOutcome> SplitRun::copyParts()
{
    std::unique_ptr<PartTarget> folder;
    if (spanning_)
        span_ = std::make_unique<SpanTarget>(
            platform_, view_,
            SpanTarget::Setup{outputFolder_, sourceName_, copy_.sourceEnd, copy_.permissions, digests_ != nullptr,
                              options_.stop, [this](const std::string& path) { return isSource(path); }});
    else
        folder = std::make_unique<FolderTarget>(platform_, view_, prefix_, sourceName_, partSize_, copy_.permissions);
    PartTarget& target = spanning_ ? static_cast<PartTarget&>(*span_) : *folder;
    // Two parts at once where the target knows their sizes ahead. The
    // digest of the whole and the recovery encoder want the blocks in
    // source order, so such a run copies one part at a time on this thread
    // while the other core hashes.
    const bool concurrent = target.concurrent() && copy_.feed == nullptr
                            && platform_.allowsConcurrentCopies() && PartPipeline::worthwhile(copy_.sourceEnd, partSize_);
    PipelineSetup setup{platform_, view_, pacer_, target, *source_, copy_, concurrent};
    if (copy_.sourceEnd >= 0 && partSize_ > 0)
        setup.lastPart = copy_.sourceEnd / partSize_;
    setup.stop = options_.stop;
    PartPipeline pipeline(setup);
    const PipelineEnd end = pipeline.run(parts_, bareParts_);
    written_ = pipeline.written();
    if (spanning_)
        prefix_ = span_->prefix();
    switch (end) {
    case PipelineEnd::Done: return std::nullopt;
    case PipelineEnd::Failed: return SplitOutcome::Failed;
    case PipelineEnd::Cancelled: return SplitOutcome::Cancelled;
    case PipelineEnd::Interrupted: return interrupted();
    }
    return SplitOutcome::Failed;
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

bool SplitRun::partCountJoinable()
{
    // Refused before anything is written: a join reads the set through its
    // checksum file, which holds no more entries than that.
    if (copy_.sourceEnd < 0)
        return true;
    const std::int64_t parts = copy_.sourceEnd / partSize_ + 1;
    if (parts <= MaxSplitParts)
        return true;
    view_.showError(texts::tooManyParts(parts, MaxSplitParts));
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

// Set while a run is going on in this thread.
thread_local bool running = false;

} // namespace

SplitResult darvolt::SplitFile(Platform& platform, SplitView& view, const SplitRequest& request,
                               const SplitOptions& options)
{
    if (running || request.partSize < 0)
        return {running ? SplitOutcome::Busy : SplitOutcome::Failed, {}, 0, false};
    running = true;
    struct Reset {
        ~Reset() { running = false; }
    } reset;
    SplitRun run(platform, view, request, options);
    const SplitOutcome outcome = run.run();
    return run.result(outcome);
}
