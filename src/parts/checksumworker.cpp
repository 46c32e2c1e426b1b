#include "parts/checksumworker.h"

#include <utility>

namespace darvolt {

void PartDigests::consume(int lane, std::int64_t, std::span<const std::byte> bytes)
{
    hashes_[lane].update(bytes);
}

void PartDigests::endPart(int lane, std::int64_t part)
{
    const Sha256Digest digest = hashes_[lane].finish();
    const std::lock_guard lock(mutex_);
    ready_.emplace(part, digest);
}

std::vector<Sha256Digest> PartDigests::takeReady()
{
    const std::lock_guard lock(mutex_);
    std::vector<Sha256Digest> digests;
    for (auto found = ready_.find(next_); found != ready_.end(); found = ready_.find(++next_)) {
        digests.push_back(found->second);
        ready_.erase(found);
    }
    return digests;
}

std::vector<BlockConsumer*> ChecksumWorker::listed(PartDigests& parts, WholeDigest* whole,
                                                   std::vector<BlockConsumer*> others)
{
    others.insert(others.begin(), &parts);
    if (whole != nullptr)
        others.insert(others.begin() + 1, whole);
    return others;
}

ChecksumWorker::ChecksumWorker(std::size_t blockSize, bool hashWhole, std::vector<BlockConsumer*> others)
    : feed_(blockSize, listed(parts_, hashWhole ? &whole_ : nullptr, std::move(others)))
{
}

} // namespace darvolt
