#pragma once
// The digests of what a run reads: of every part, in part order, and of
// everything together (SHA-256 for a split; for a join, the kinds its
// checksum files carry). They are consumers of the run's BlockFeed
// (blockfeed.h), listed there beside any other (the recovery encoder).
//
// The parts are independent, so their digests take two lanes: two parts
// are hashed at once when the run is ahead of the hashing, one on each
// core. The digest of the whole takes every byte in order. A join needs it
// only when it checks a complete set.

#include "parts/blockconsumer.h"
#include "parts/hasher.h"

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace darvolt {

// A digest of every part, on two lanes.
class PartDigests : public BlockConsumer {
public:
    // Parts flagged in `known` are not hashed: their digest is known already.
    PartDigests(DigestKind kind, std::vector<bool> known = {})
        : hashes_{Hasher(kind), Hasher(kind)}, known_(std::move(known))
    {
    }
    int lanes() const override { return 2; }
    void consume(int lane, std::int64_t part, std::span<const std::byte> bytes) override;
    void endPart(int lane, std::int64_t part) override;
    // The digests of the parts that are ready, from the first not yet taken
    // on, in part order; each handed out once. A known part's is empty.
    std::vector<Digest> takeReady();

private:
    bool known(std::int64_t part) const
    {
        return part >= 0 && static_cast<std::size_t>(part) < known_.size() && known_[static_cast<std::size_t>(part)];
    }

    Hasher hashes_[2];
    const std::vector<bool> known_;
    std::mutex mutex_;
    std::map<std::int64_t, Digest> ready_;
    std::int64_t next_ = 0; // the first part not handed out
};

// A digest of everything.
class WholeDigest : public BlockConsumer {
public:
    explicit WholeDigest(DigestKind kind) : hash_(kind) {}
    void consume(int, std::int64_t, std::span<const std::byte> bytes) override { hash_.update(bytes); }
    void endPart(int, std::int64_t) override {}
    Digest finish() { return hash_.finish(); }

private:
    Hasher hash_;
};

// What a run hashes: each part, everything together, or both.
struct DigestKinds {
    std::optional<DigestKind> parts = DigestKind::Sha256;
    std::optional<DigestKind> whole;
    // Per part: its digest is known, it is not hashed.
    std::vector<bool> known;
};

class RunDigests {
public:
    explicit RunDigests(DigestKinds kinds);
    RunDigests(const RunDigests&) = delete;
    RunDigests& operator=(const RunDigests&) = delete;

    // What the run's feed lists, before its other consumers.
    std::vector<BlockConsumer*> consumers();
    // The digests of the parts ended so far that are ready, in part order,
    // each handed out once. None unless the parts are hashed.
    std::vector<Digest> takeReady() { return parts_.takeReady(); }
    // Once the feed has finished: the digest of all bytes handed over.
    Digest whole() { return whole_.finish(); }

private:
    const bool hashesParts_;
    const bool hashesWhole_;
    PartDigests parts_;
    WholeDigest whole_;
};

} // namespace darvolt
