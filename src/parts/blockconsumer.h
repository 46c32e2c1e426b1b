#pragma once
// Something that wants every block a run reads: the part and whole-file
// digests today, the recovery encoder next. A BlockFeed (blockfeed.h) hands
// each block to every consumer, on whichever of the run's threads is free,
// so a consumer never sees the loop that reads.

#include <cstddef>
#include <cstdint>
#include <span>

namespace darvolt {

class BlockConsumer {
public:
    virtual ~BlockConsumer() = default;

    // How many parts the consumer can take at the same time. With one, it
    // sees every block of every part in order. With more, the parts are
    // dealt out by number (part % lanes()) and each lane sees its parts'
    // blocks in order; two lanes may run at once on two threads, so
    // whatever they share must be guarded.
    virtual int lanes() const { return 1; }
    // True when consume() or endPart() may wait long (for arithmetic on
    // other threads): such a consumer is worked only by the feed's own
    // thread, never by a run's thread that must keep a window alive.
    virtual bool waitsLong() const { return false; }
    // The next bytes of `part`.
    virtual void consume(int lane, std::int64_t part, std::span<const std::byte> bytes) = 0;
    // `part` has no more bytes.
    virtual void endPart(int lane, std::int64_t part) = 0;
};

} // namespace darvolt
