// A checked join of two parts at once. The parts are independent: each
// thread reads its own part, writes it at its place in the joined file and
// hashes it, so the hashing, which is most of the work, takes both cores
// whatever the parts' size. The digests are compared, and failures told,
// in part order, as a join one part at a time tells them.
#include "join/joinrun.h"

#include "join/jointexts.h"
#include "parts/jobthread.h"
#include "parts/partcopy.h"
#include "parts/hasher.h"

#include <algorithm>
#include <atomic>
#include <deque>

namespace darvolt {

using namespace std::chrono_literals;

struct JoinRun::PartInFlight {
    std::size_t index = 0;
    std::int64_t at = 0; // where it goes in the joined file
    std::unique_ptr<File> source;
    bool onWorker = false;
    bool done = false;
    Copy copied = Copy::Done;
    Digest digest;
    std::atomic<std::int64_t> bytes{0};
    std::vector<std::byte>* buffer = nullptr;
};

JoinRun::Copy JoinRun::copyPartAt(PartInFlight& part, const std::atomic<bool>& abandoned,
                                  const std::function<void()>& betweenSteps)
{
    File& source = *part.source;
    const auto before = source.identity();
    std::vector<std::byte>& buffer = *part.buffer;
    buffer.resize(hashBlock());
    const bool last = part.index + 1 == set_.parts.size();
    // A part the repair found to be the listed one, still that file, is not
    // hashed again.
    const bool vouched = alreadyVouched(part.index);
    Hasher hash(set_.parts[part.index].expected->kind());
    std::int64_t copied = 0;
    for (;;) {
        if (betweenSteps)
            betweenSteps();
        if (stopped() || abandoned.load(std::memory_order_relaxed))
            return Copy::Stopped;
        const auto got = source.read(buffer);
        if (!got.ok())
            return Copy::ReadFailed;
        const std::span<const std::byte> block = std::span<const std::byte>(buffer).first(got.value);
        // The joined file is new: a block of zeros left out stays a hole
        // that reads as zeros. The last part writes all of its blocks, so
        // the file ends where it should.
        if (!block.empty() && (last || !IsAllZero(block))) {
            const auto put = output_.file().writeAt(part.at + copied, block);
            if (!put.ok() || put.value != block.size())
                return put.error == error::DiskFull ? Copy::DiskFull : Copy::WriteFailed;
        }
        if (!vouched)
            hash.update(block);
        copied += static_cast<std::int64_t>(block.size());
        part.bytes.store(copied, std::memory_order_relaxed);
        if (block.size() < buffer.size())
            break;
    }
    const auto after = source.identity();
    if (!before.ok() || !after.ok() || !(before.value == after.value) || copied != before.value.size)
        return Copy::Changed;
    part.digest = vouched ? *set_.parts[part.index].expected : hash.finish();
    return Copy::Done;
}

JoinOutcome JoinRun::joinTwoAtOnce()
{
    const std::size_t n = set_.parts.size();
    std::deque<PartInFlight> window; // at most two, in part order
    std::vector<std::byte> buffers[2];
    std::atomic<bool> abandoned{false};
    std::size_t next = 0;
    std::int64_t at = 0;
    std::int64_t finished = 0; // bytes of the parts compared

    const auto progress = [&] {
        done_ = finished;
        for (const PartInFlight& part : window)
            done_ += part.bytes.load(std::memory_order_relaxed);
    };
    // Declared after everything its jobs use, so it is joined first, and
    // told first to give its part up, also when a view call throws.
    JobThread worker;
    struct GiveUp {
        std::atomic<bool>& abandoned;
        ~GiveUp() { abandoned = true; }
    } giveUp{abandoned};
    const auto collect = [&](std::chrono::milliseconds wait) {
        if (worker.busy() && worker.collect(wait))
            for (PartInFlight& part : window)
                if (part.onWorker)
                    part.done = true;
    };
    // Opens the next part and hands it out; false when it cannot be read.
    const auto startNext = [&](bool onWorker) -> PartInFlight* {
        const SetPart& part = set_.parts[next];
        view_.setStatusText(texts::join::joining(part.name));
        pacer_.pumpNow();
        PartInFlight& slot = window.emplace_back();
        slot.index = next++;
        slot.at = at;
        at += part.size;
        slot.onWorker = onWorker;
        slot.buffer = &buffers[onWorker ? 1 : 0];
        auto opened = platform_.openForReading(set_.path(part.name));
        if (!opened.ok()) {
            slot.done = true;
            slot.copied = Copy::ReadFailed;
            return nullptr;
        }
        slot.source = std::move(opened.value);
        if (onWorker) {
            worker.start([this, &slot, &abandoned] { slot.copied = copyPartAt(slot, abandoned, {}); });
            return nullptr;
        }
        return &slot;
    };

    for (;;) {
        collect(0ms);
        // The finished parts at the front, in order.
        while (!window.empty() && window.front().done) {
            PartInFlight& front = window.front();
            const bool good = front.copied == Copy::Done;
            if (good)
                found_[front.index] = front.digest;
            if (!good || front.digest != *set_.parts[front.index].expected) {
                // The part after it is not wanted: it stops at its next step.
                abandoned = true;
                while (worker.busy())
                    collect(pacer_.interval());
                progress();
                return good ? damaged(front.index) : failCopy(front.copied, set_.parts[front.index]);
            }
            finished += set_.parts[front.index].size;
            window.pop_front();
        }
        progress();
        betweenSteps();
        if (window.empty() && next == n)
            return JoinOutcome::Joined;
        if (stopped() && window.empty())
            return failCopy(Copy::Stopped, set_.parts.back());
        if (!worker.busy() && window.size() < 2 && next < n && !stopped()) {
            startNext(true);
            continue;
        }
        if (window.size() < 2 && next < n && !stopped()) {
            if (PartInFlight* mine = startNext(false)) {
                mine->copied = copyPartAt(*mine, abandoned, [&] {
                    collect(0ms);
                    // An earlier part that failed makes this one unwanted.
                    if (window.front().done && window.front().copied != Copy::Done)
                        abandoned = true;
                    progress();
                    betweenSteps();
                });
                mine->done = true;
            }
            continue;
        }
        collect(std::max(pacer_.interval(), 1ms));
    }
}

} // namespace darvolt
