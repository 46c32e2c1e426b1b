#include "parts/rundigests.h"

#include <utility>

namespace darvolt {

void PartDigests::consume(int lane, std::int64_t part, std::span<const std::byte> bytes)
{
    if (!known(part))
        hashes_[lane].update(bytes);
}

void PartDigests::endPart(int lane, std::int64_t part)
{
    const Digest digest = known(part) ? Digest{} : hashes_[lane].finish();
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

RunDigests::RunDigests(DigestKinds kinds)
    : hashesParts_(kinds.parts.has_value()), hashesWhole_(kinds.whole.has_value()), parts_(kinds.parts.value_or(DigestKind::Sha256), std::move(kinds.known)),
      whole_(kinds.whole.value_or(DigestKind::Sha256))
{
}

std::vector<BlockConsumer*> RunDigests::consumers()
{
    std::vector<BlockConsumer*> listed;
    if (hashesParts_)
        listed.push_back(&parts_);
    if (hashesWhole_)
        listed.push_back(&whole_);
    return listed;
}

} // namespace darvolt
