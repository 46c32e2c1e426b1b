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
    std::optional<CopyWorker> worker;
    if (s_.concurrent)
        worker.emplace(s_.source, s_.copy, shared_);
    worker_ = worker ? &*worker : nullptr;
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
            if (Slot* mine = createPart(Where::Main))
                copyOnMain(*mine);
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
    // part at lastPart is the last one there can be. One part at a time
    // unless the run copies two at once.
    return window_.size() < (worker_ ? 2U : 1U) && nextIndex_ <= std::min(shared_.lastWanted(), s_.lastPart)
           && !shared_.stopRequested() && !endedBy_;
}

void PartPipeline::feedWorker()
{
    if (worker_ && !worker_->busy() && mayCreate())
        createPart(Where::Worker);
}

PartPipeline::Slot* PartPipeline::createPart(Where where)
{
    const std::int64_t index = nextIndex_;
    switch (s_.target.prepare(index)) {
    case PartTarget::Step::Ready: break;
    case PartTarget::Step::Failed: endedBy_ = PipelineEnd::Failed; return nullptr;
    case PartTarget::Step::Cancelled: endedBy_ = PipelineEnd::Cancelled; return nullptr;
    case PartTarget::Step::Again:
    case PartTarget::Step::Interrupted: return nullptr; // the loop asks again, or sees the stop flag
    }
    s_.pacer.pumpNow();
    if (shared_.stopRequested())
        return nullptr;

    Slot slot;
    slot.index = index;
    slot.part.offset = nextOffset_;
    std::string failure;
    switch (s_.target.open(index, nextOffset_, slot.part, failure)) {
    case PartTarget::Step::Ready: break;
    case PartTarget::Step::Failed:
        // Told once the parts before it are settled.
        ++nextIndex_;
        slot.failure = failure;
        shared_.wantNothingAfter(index);
        window_.push_back(std::move(slot));
        return nullptr;
    case PartTarget::Step::Again: return nullptr;
    case PartTarget::Step::Cancelled: endedBy_ = PipelineEnd::Cancelled; return nullptr;
    case PartTarget::Step::Interrupted: return nullptr;
    }
    ++nextIndex_;
    nextOffset_ += slot.part.size;
    slot.created = true;
    slot.where = where;
    if (slot.part.ownProgress) {
        listedKb_ = 0;
        shown_.restart();
    }
    const PartJob job{index, slot.part.offset, slot.part.size};
    std::unique_ptr<File> file = std::move(slot.part.file);
    window_.push_back(std::move(slot));
    if (where == Where::Worker) {
        worker_->start(job, std::move(file));
        return nullptr;
    }
    window_.back().part.file = std::move(file);
    return &window_.back();
}

void PartPipeline::copyOnMain(Slot& slot)
{
    mainBytes_.store(0, std::memory_order_relaxed);
    const std::int64_t index = slot.index;
    const PartJob job{index, slot.part.offset, slot.part.size};
    const std::unique_ptr<File> file = std::move(slot.part.file);
    const PartCopyResult result =
        CopyAndClosePart(s_.source, job, *file, s_.copy, buffer_, shared_, mainBytes_, [this] { betweenMainSteps(); });
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
    if (!worker_ || !worker_->busy())
        return;
    if (const auto done = worker_->collect(wait))
        finish(done->index, done->result);
}

void PartPipeline::finish(std::int64_t index, const PartCopyResult& result)
{
    Slot& part = slot(index);
    part.where = Where::Done;
    part.result = result;
    if (result.failure == CopyFailure::Read)
        part.failure = std::string(texts::ReadFailed);
    else if (result.failure == CopyFailure::Write)
        part.failure = std::string(texts::WriteFailed);
    else if (result.failure == CopyFailure::Changed)
        part.failure = std::string(texts::SourceChanged);
}

std::optional<PipelineEnd> PartPipeline::settle()
{
    while (!window_.empty() && window_.front().where == Where::Done) {
        Slot& front = window_.front();
        if (front.index > shared_.lastWanted()) {
            // An earlier part found the end of the source: this one is surplus.
            if (front.created)
                s_.platform.removeFile(front.part.name);
            window_.pop_front();
            continue;
        }
        if (front.result.failure == CopyFailure::Stopped)
            break; // interrupted: dealt with below once nothing runs
        if (front.failure) {
            // The first failure in part order. The part after it stops at its
            // next step; once it has, it goes, and then the failure is shown.
            if (anyRunning())
                return std::nullopt;
            const std::string failure = *front.failure;
            window_.pop_front();
            dropWindow();
            reportProgress();
            if (!failure.empty())
                s_.view.showError(failure);
            return PipelineEnd::Failed;
        }
        switch (s_.target.written(front.part, front.result)) {
        case PartTarget::Step::Ready: break;
        case PartTarget::Step::Again:
            // The target has removed it; the same part goes elsewhere.
            nextIndex_ = front.index;
            nextOffset_ = front.part.offset;
            window_.pop_front();
            continue;
        default:
            window_.pop_front();
            dropWindow();
            return PipelineEnd::Failed;
        }
        parts_->push_back(front.part.name);
        bareParts_->push_back(front.part.bare);
        if (s_.copy.feed != nullptr)
            s_.copy.feed->endPart(front.index);
        listedKb_ += front.result.written / 1024;
        writtenBytes_ += front.result.written;
        if (!worker_) // parts of the size the medium took, one after another
            nextOffset_ = front.part.offset + front.result.written;
        window_.pop_front();
    }
    reportProgress();
    if (shared_.stopRequested() && !anyRunning()) {
        dropWindow();
        return PipelineEnd::Interrupted;
    }
    if (endedBy_ && !anyRunning()) {
        dropWindow();
        return endedBy_;
    }
    if (window_.empty() && nextIndex_ > std::min(shared_.lastWanted(), s_.lastPart))
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
            s_.platform.removeFile(part.part.name);
    window_.clear();
}

void PartPipeline::reportProgress()
{
    // Whole KB per part, so a run ends on the same figure however many
    // parts were in flight.
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
    if (const std::int64_t step = shown_.advance(kb); step > 0) {
        s_.view.setProgressStep(step);
        s_.view.stepProgress();
    }
}

PartPipeline::Slot& PartPipeline::slot(std::int64_t index)
{
    return *std::find_if(window_.begin(), window_.end(), [index](const Slot& p) { return p.index == index; });
}

} // namespace darvolt
