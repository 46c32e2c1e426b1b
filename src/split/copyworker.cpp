#include "split/copyworker.h"

namespace darvolt {

void CopyWorker::start(const PartJob& job, std::unique_ptr<File> part)
{
    bytes_.store(0, std::memory_order_relaxed);
    finished_ = {job.index, {}};
    // The job holds the part, so it goes once the result is out.
    thread_.start([this, job, part = std::shared_ptr<File>(std::move(part))] {
        finished_.result = CopyAndClosePart(source_, job, *part, settings_, buffer_, shared_, bytes_, {});
    });
}

std::optional<CopyWorker::Finished> CopyWorker::collect(std::chrono::milliseconds wait)
{
    if (!thread_.collect(wait))
        return std::nullopt;
    return finished_;
}

} // namespace darvolt
