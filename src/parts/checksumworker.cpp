#include "parts/checksumworker.h"

#include <utility>

namespace darvolt {

void PartDigests::consume(int lane, std::int64_t, std::span<const std::byte> bytes)
{
    hashes_[lane].update(bytes);
}

void PartDigests::endPart(int lane, std::int64_t part)
{
    const Digest digest = hashes_[lane].finish();
    const std::lock_guard lock(mutex_);
    ready_.emplace(part, digest);
}

std::vector<Digest> PartDigests::takeReady()
{
    const std::lock_guard lock(mutex_);
    std::vector<Digest> digests;
    for (auto found = ready_.find(next_); found != ready_.end(); found = ready_.find(++next_)) {
        digests.push_back(found->second);
        ready_.erase(found);
    }
    return digests;
}

std::vector<BlockConsumer*> ChecksumWorker::listed(PartDigests* parts, WholeDigest* whole,
                                                   std::vector<BlockConsumer*> others)
{
    if (whole != nullptr)
        others.insert(others.begin(), whole);
    if (parts != nullptr)
        others.insert(others.begin(), parts);
    return others;
}

ChecksumWorker::ChecksumWorker(std::size_t blockSize, bool hashWhole, std::vector<BlockConsumer*> others)
    : ChecksumWorker(blockSize,
                     DigestKinds{DigestKind::Sha256, hashWhole ? std::optional(DigestKind::Sha256) : std::nullopt},
                     std::move(others))
{
}

ChecksumWorker::ChecksumWorker(std::size_t blockSize, DigestKinds kinds, std::vector<BlockConsumer*> others)
    : parts_(kinds.parts.value_or(DigestKind::Sha256)), whole_(kinds.whole.value_or(DigestKind::Sha256)),
      feed_(blockSize, listed(kinds.parts ? &parts_ : nullptr, kinds.whole ? &whole_ : nullptr, std::move(others)))
{
}

} // namespace darvolt
