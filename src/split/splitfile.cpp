#include "split/splitfile.h"

#include "split/mergescript.h"
#include "split/messagepacer.h"
#include "split/partnaming.h"
#include "split/partpipeline.h"
#include "split/splittexts.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

using namespace darvolt;

namespace {

using Clock = std::chrono::steady_clock;

class SplitRun {
public:
    SplitRun(Platform& platform, SplitView& view, const std::string& sourceName,
             const std::string& sourceFolder, std::int64_t partSize, const SplitOptions& options)
        : platform_(platform), view_(view), options_(options), sourceName_(sourceName),
          sourcePath_(sourceFolder + sourceName), partSize_(partSize), spanning_(partSize == 0),
          outputFolder_(OutputFolder(sourceFolder, sourceName)),
          prefix_(PartPrefix(partSize, outputFolder_, platform.driveFolder())),
          pacer_(view, options.clock ? options.clock : [] { return Clock::now(); }, options.pumpInterval)
    {
        options_.blockSize = std::max<std::size_t>(options_.blockSize, 1024);
    }

    SplitOutcome run();

private:
    enum class Attempt { NextPart, SourceDone, Again, Fatal, Cancelled };

    bool openSource();
    bool prepareOutputFolder();
    Attempt attemptPart();
    // Writes every part; the outcome when the run stops before that.
    std::optional<SplitOutcome> copyParts(const Result<std::int64_t>& sourceSize);
    bool copyInto(File& part, std::int64_t size);

    Platform& platform_;
    SplitView& view_;
    SplitOptions options_;
    const std::string sourceName_;
    const std::string sourcePath_;
    const std::int64_t partSize_;
    const bool spanning_;
    const std::string outputFolder_;
    const std::string prefix_;
    MessagePacer pacer_;

    std::unique_ptr<File> source_;
    PartList parts_;
    std::vector<std::string> bareParts_;
    std::int64_t counter_ = 0;
    std::int64_t diskette_ = 1;
    std::uint64_t lastCount_ = 0;
    std::vector<std::byte> buffer_;
};

SplitOutcome SplitRun::run()
{
    // The source is opened before the output folder is touched, so that a
    // vanished source never costs the parts of an earlier run.
    if (!openSource())
        return SplitOutcome::Failed;
    if (!spanning_ && !prepareOutputFolder())
        return SplitOutcome::Failed;

    const auto size = source_->size();
    view_.setProgressMaximum(size.ok() ? std::max<std::int64_t>(size.value, 0) / 1024 : 0);
    view_.setProgressPosition(0);

    if (const auto stopped = copyParts(size); stopped)
        return *stopped;

    const bool scriptWritten = WriteMergeScript(platform_, view_, prefix_ + std::string(MergeScriptName),
                                                bareParts_, sourceName_);
    source_->close();
    if (spanning_)
        view_.showInformation(texts::spanned(sourceName_));
    else if (options_.openFileManager)
        platform_.openFileManager(outputFolder_);
    return scriptWritten ? SplitOutcome::Done : SplitOutcome::ScriptFailed;
}

std::optional<SplitOutcome> SplitRun::copyParts(const Result<std::int64_t>& sourceSize)
{
    // Spanning stays one part at a time: each part's size comes from the
    // diskette in the drive, after a prompt.
    if (!spanning_ && options_.concurrentCopies && platform_.allowsConcurrentCopies() && sourceSize.ok()
        && PartPipeline::worthwhile(sourceSize.value, partSize_)) {
        PartPipeline pipeline(PipelineSetup{platform_, view_, pacer_, *source_, sourceName_, prefix_,
                                            sourceSize.value, partSize_, options_.blockSize});
        if (!pipeline.run(parts_, bareParts_))
            return SplitOutcome::Failed;
        return std::nullopt;
    }
    for (;;) {
        switch (attemptPart()) {
        case Attempt::Fatal: return SplitOutcome::Failed;
        case Attempt::Cancelled: return SplitOutcome::Cancelled;
        case Attempt::SourceDone: return std::nullopt;
        case Attempt::NextPart:
        case Attempt::Again: break;
        }
    }
}

bool SplitRun::openSource()
{
    auto opened = platform_.openForReading(sourcePath_);
    if (!opened.ok()) {
        view_.showError(texts::sourceNotFound(sourcePath_));
        return false;
    }
    source_ = std::move(opened.value);
    return true;
}

bool SplitRun::prepareOutputFolder()
{
    if (platform_.makeDirectory(outputFolder_) == error::None)
        return true;
    if (platform_.isDirectory(outputFolder_)) {
        ClearFolder(platform_, outputFolder_, sourceName_);
        return true;
    }
    view_.showError(std::string(texts::OutputFolderFailed));
    return false;
}

SplitRun::Attempt SplitRun::attemptPart()
{
    const std::string bare = BarePartName(sourceName_, counter_);
    const std::string name = prefix_ + bare;
    if (spanning_ && !view_.askForDiskette(texts::diskettePrompt(diskette_)))
        return Attempt::Cancelled;
    pacer_.pumpNow();

    platform_.removeFile(name);
    auto created = platform_.createFile(name);
    if (!created.ok()) {
        // Spanning goes back to the prompt so the user can change the
        // diskette; in folder mode nothing would change between two tries.
        view_.showError(texts::partNotCreated(created.error, name));
        const bool disketteTrouble = created.error == error::WriteProtected || created.error == error::NotReady;
        return spanning_ && disketteTrouble ? Attempt::Again : Attempt::Fatal;
    }
    std::unique_ptr<File> part = std::move(created.value);
    view_.setStatusText(texts::writing(bare));

    std::int64_t size = partSize_;
    if (spanning_) {
        const auto free = platform_.driveFreeBytes();
        if (!free.ok() || free.value <= 0) {
            view_.showError(std::string(texts::DisketteFull));
            part->close();
            platform_.removeFile(name);
            return Attempt::Again;
        }
        ++diskette_;
        view_.setProgressMaximum(free.value / 1024);
        view_.setProgressPosition(0);
        size = free.value;
    }

    if (!copyInto(*part, size))
        return Attempt::Fatal;
    // A close that fails may have lost data the write calls accepted.
    if (part->close() != error::None) {
        view_.showError(std::string(texts::WriteFailed));
        return Attempt::Fatal;
    }
    parts_.push_back(name);
    bareParts_.push_back(bare);
    ++counter_;
    return lastCount_ != 0 ? Attempt::NextPart : Attempt::SourceDone;
}

bool SplitRun::copyInto(File& part, std::int64_t size)
{
    std::int64_t written = 0;
    std::int64_t shownKb = 0;
    do {
        pacer_.pace();
        const auto want = static_cast<std::uint64_t>(
            std::min<std::int64_t>(size - written, static_cast<std::int64_t>(options_.blockSize)));
        std::uint64_t count = 0;
        const CopyResult moved = source_->copyTo(part, want);
        if (!moved.fallBack) {
            count = moved.bytes;
        } else {
            if (buffer_.empty())
                buffer_.resize(options_.blockSize);
            const auto got = source_->read(std::span(buffer_).first(static_cast<std::size_t>(want)));
            if (!got.ok()) {
                view_.showError(std::string(texts::ReadFailed));
                return false;
            }
            count = got.value;
            if (count > 0) {
                const auto put = part.write(std::span<const std::byte>(buffer_).first(got.value));
                // Bytes read but not stored would be missing from the parts.
                if (!put.ok() || put.value != got.value) {
                    view_.showError(std::string(texts::WriteFailed));
                    return false;
                }
            }
        }
        written += static_cast<std::int64_t>(count);
        lastCount_ = count;
        const std::int64_t kb = written / 1024;
        view_.setProgressStep(kb - shownKb);
        view_.stepProgress();
        shownKb = kb;
    } while (lastCount_ != 0 && written < size);
    return true;
}

// Set while a run is going on in this thread.
thread_local bool running = false;

} // namespace

SplitOutcome SplitFile(Platform& platform, SplitView& view, const std::string& sourceName,
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
