#include "split/copyworker.h"

namespace darvolt {

void CopyWorker::start(const PartJob& job, std::unique_ptr<File> part)
{
    bytes_.store(0, std::memory_order_relaxed);
    part_ = std::move(part);
    finished_ = {job.index, {}};
    thread_.start([this, job] {
        const std::unique_ptr<File> part = std::move(part_);
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
