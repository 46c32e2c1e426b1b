#pragma once
// The digests of what a run reads: of every part, in part order, and of
// everything together (SHA-256 for a split; for a join, the kinds its
// checksum files carry), taken as consumers of the run's BlockFeed
// (blockfeed.h), which it owns. Other consumers (the recovery encoder) may
// be listed beside the digests and see the same blocks.
//
// The parts are independent, so their digests take two lanes: two parts
// are hashed at once when the run is ahead of the hashing, one on each
// core. The digest of the whole takes every byte in order. A join needs it
// only when it checks a complete set.

#include "parts/blockfeed.h"
#include "parts/hasher.h"

#include <map>
#include <optional>
#include <mutex>
#include <vector>

namespace darvolt {

// A digest of every part, on two lanes.
class PartDigests : public BlockConsumer {
public:
    explicit PartDigests(DigestKind kind) : hashes_{Hasher(kind), Hasher(kind)} {}
    int lanes() const override { return 2; }
    void consume(int lane, std::int64_t part, std::span<const std::byte> bytes) override;
    void endPart(int lane, std::int64_t part) override;
    // The digests of the parts that are ready, from the first not yet taken
    // on, in part order; each handed out once.
    std::vector<Digest> takeReady();

private:
    Hasher hashes_[2];
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
};

class ChecksumWorker {
public:
    static constexpr std::size_t CacheBlock = BlockFeed::CacheBlock;

    // SHA-256 of every part, and of the whole when asked.
    ChecksumWorker(std::size_t blockSize, bool hashWhole, std::vector<BlockConsumer*> others = {});
    ChecksumWorker(std::size_t blockSize, DigestKinds kinds, std::vector<BlockConsumer*> others = {});

    BlockFeed& feed() { return feed_; }
    std::size_t blockSize() const { return feed_.blockSize(); }
    std::span<std::byte> acquire(std::chrono::milliseconds wait) { return feed_.acquire(wait); }
    void submit(std::span<std::byte> buffer, std::size_t count) { feed_.submit(buffer, count); }
    void endPart() { feed_.endPart(); }
    bool finished(std::chrono::milliseconds wait) { return feed_.finished(wait); }

    // The digests of the parts ended so far that are ready, in part order,
    // each handed out once.
    // None unless the parts are hashed.
    std::vector<Digest> takeReadyDigests() { return parts_.takeReady(); }
    // After finished(): the digest of all bytes handed over.
    Digest wholeDigest() { return whole_.finish(); }

private:
    static std::vector<BlockConsumer*> listed(PartDigests* parts, WholeDigest* whole,
                                              std::vector<BlockConsumer*> others);

    PartDigests parts_;
    WholeDigest whole_;
    BlockFeed feed_; // last: its thread uses the consumers above
};

} // namespace darvolt
