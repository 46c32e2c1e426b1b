#include "split/partpipeline.h"

#include "split/splittexts.h"

#include <algorithm>

namespace darvolt {

PipelineEnd PartPipeline::run(PartList& parts, std::vector<std::string>& bareParts)
{
    parts_ = &parts;
    bareParts_ = &bareParts;
    // Declared after everything it uses, so it is joined first, also when a
    // view call throws.
    CopyWorker worker(s_.source, s_.copy, shared_);
    worker_ = &worker;
    struct Forget {
        CopyWorker*& worker;
        ~Forget() { worker = nullptr; }
    } forget{worker_};

    for (;;) {
        collectWorker(std::chrono::milliseconds(0));
        if (const auto over = settle())
            return *over;
        feedWorker();
        if (mayCreate()) {
            if (const Slot* mine = createPart(Where::Main))
                copyOnMain(mine->index);
            continue;
        }
        // Both parts are out, or this thread's part is done and waits for the
        // worker's earlier one. (With both threads idle, settle() has taken
        // every finished part, and then either the run is over or another
        // part may be created.)
        collectWorker(std::max(s_.pacer.interval(), std::chrono::milliseconds(1)));
        s_.pacer.pace();
        reportProgress();
    }
}

bool PartPipeline::mayCreate() const
{
    // Nothing past the source's size when the run began is copied, so the
    // part at plannedLast_ is the last one there can be.
    return window_.size() < 2 && nextIndex_ <= std::min(shared_.lastWanted(), plannedLast_)
           && !shared_.stopRequested();
}

void PartPipeline::feedWorker()
{
    if (!worker_->busy() && mayCreate())
        createPart(Where::Worker);
}

PartPipeline::Slot* PartPipeline::createPart(Where where)
{
    Slot part;
    part.index = nextIndex_++;
    part.bare = BarePartName(s_.sourceName, part.index);
    part.name = s_.prefix + part.bare;
    s_.pacer.pumpNow();

    auto created = s_.platform.createFile(part.name, s_.copy.permissions);
    if (!created.ok()) {
        // Folder mode ends the run here whatever the reason, so no text that
        // promises another try.
        part.failure = created.error == error::AlreadyExists ? texts::nameTakenMeanwhile(part.name)
                                                             : texts::cannotOpenOutput(part.name, s_.ignoresCase);
        shared_.wantNothingAfter(part.index);
        window_.push_back(std::move(part));
        return nullptr;
    }
    part.created = true;
    part.where = where;
    s_.view.setStatusText(texts::writing(part.bare));
    const PartJob job{part.index, part.index * s_.partSize, s_.partSize};
    window_.push_back(std::move(part));
    if (where == Where::Worker) {
        worker_->start(job, std::move(created.value));
        return nullptr;
    }
    mainPart_ = std::move(created.value);
    return &window_.back();
}

void PartPipeline::copyOnMain(std::int64_t index)
{
    mainBytes_.store(0, std::memory_order_relaxed);
    const PartJob job{index, index * s_.partSize, s_.partSize};
    const PartCopyResult result = CopyAndClosePart(s_.source, job, *mainPart_, s_.copy, buffer_, shared_,
                                                   mainBytes_, [this] { betweenMainSteps(); });
    mainPart_.reset();
    finish(index, result);
}

void PartPipeline::betweenMainSteps()
{
    s_.pacer.pace();
    // The worker's earlier part may be done: list it and hand the worker the
    // next one at once rather than when this part is done. settle() cannot
    // end the run here: this thread's part is still open.
    collectWorker(std::chrono::milliseconds(0));
    settle();
    feedWorker();
    reportProgress();
}

void PartPipeline::collectWorker(std::chrono::milliseconds wait)
{
    if (!worker_->busy())
        return;
    auto done = worker_->collect(wait);
    if (!done)
        return;
    if (done->exception)
        std::rethrow_exception(done->exception);
    finish(done->index, done->result);
}

void PartPipeline::finish(std::int64_t index, const PartCopyResult& result)
{
    Slot& part = slot(index);
    part.where = Where::Done;
    part.result = result;
    if (result.failure == PartCopyFailure::Read)
        part.failure = std::string(texts::ReadFailed);
    else if (result.failure == PartCopyFailure::Write)
        part.failure = std::string(texts::WriteFailed);
    else if (result.failure == PartCopyFailure::Changed)
        part.failure = std::string(texts::SourceChanged);
}

std::optional<PipelineEnd> PartPipeline::settle()
{
    while (!window_.empty() && window_.front().where == Where::Done) {
        Slot& front = window_.front();
        if (front.index > shared_.lastWanted()) {
            // An earlier part found the end of the source: this one is surplus.
            if (front.created)
                s_.platform.removeFile(front.name);
            window_.pop_front();
            continue;
        }
        if (front.result.failure == PartCopyFailure::Stopped)
            break; // interrupted: dealt with below once nothing runs
        if (!front.failure.empty()) {
            // The first failure in part order. The part after it stops at its
            // next step; once it has, it goes, and then the failure is shown.
            if (anyRunning())
                return std::nullopt;
            const std::string failure = front.failure;
            window_.pop_front();
            dropWindow();
            reportProgress();
            s_.view.showError(failure);
            return PipelineEnd::Failed;
        }
        parts_->push_back(front.name);
        bareParts_->push_back(front.bare);
        listedKb_ += front.result.written / 1024;
        window_.pop_front();
    }
    reportProgress();
    if (shared_.stopRequested() && !anyRunning()) {
        dropWindow();
        return PipelineEnd::Interrupted;
    }
    if (window_.empty() && nextIndex_ > std::min(shared_.lastWanted(), plannedLast_))
        return PipelineEnd::Done;
    return std::nullopt;
}

bool PartPipeline::anyRunning() const
{
    return std::any_of(window_.begin(), window_.end(), [](const Slot& p) { return p.where != Where::Done; });
}

void PartPipeline::dropWindow()
{
    for (const Slot& part : window_)
        if (part.created)
            s_.platform.removeFile(part.name);
    window_.clear();
}

void PartPipeline::reportProgress()
{
    // Whole KB per part, as the one-part loop counts them, so a finished run
    // ends on the same figure.
    std::int64_t kb = listedKb_;
    for (const Slot& part : window_) {
        if (part.where == Where::Done)
            kb += part.result.written / 1024;
        else if (part.where == Where::Worker)
            kb += worker_->bytes() / 1024;
        else
            kb += mainBytes_.load(std::memory_order_relaxed) / 1024;
    }
    // A discarded part takes its kilobytes along; the bar does not go back.
    if (kb <= shownKb_)
        return;
    s_.view.setProgressStep(kb - shownKb_);
    s_.view.stepProgress();
    shownKb_ = kb;
}

PartPipeline::Slot& PartPipeline::slot(std::int64_t index)
{
    return *std::find_if(window_.begin(), window_.end(), [index](const Slot& p) { return p.index == index; });
}

} // namespace darvolt
