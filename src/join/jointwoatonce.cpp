// A checked join of two parts at once. The parts are independent: each
// thread reads its own part and writes it at its place in the joined file,
// and hands its blocks to the run's feed as blocks of that part, so the
// copying takes both cores whatever the parts' size and the digests take
// both cores too. The digests are compared, and failures told, in part
// order, as a join one part at a time tells them.
#include "join/joinrun.h"

#include "join/jointexts.h"
#include "parts/jobthread.h"

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
    CopyStepResult copied;
    std::atomic<std::int64_t> bytes{0};
    std::vector<std::byte>* buffer = nullptr;
};

CopyStepResult JoinRun::copyPartAt(PartInFlight& part, const std::atomic<bool>& abandoned,
                                   const std::function<void()>& betweenSteps)
{
    File& source = *part.source;
    const auto before = source.identity();
    const auto number = static_cast<std::int64_t>(part.index);
    const auto wanted = [&] { return !stopped() && !abandoned.load(std::memory_order_relaxed); };
    const StepFeed feed{feed_.get(), number, [&] {
                            if (betweenSteps)
                                betweenSteps();
                            return wanted();
                        }};
    // The joined file is new: a block of zeros left out stays a hole that
    // reads as zeros. The last part writes all of its blocks, so the file
    // ends where it should.
    const bool last = part.index + 1 == set_.parts.size();
    std::uint64_t copied = 0;
    for (;;) {
        if (betweenSteps)
            betweenSteps();
        if (!wanted())
            return {copied, CopyFailure::Stopped};
        const StepTarget target{&output_.file(), part.at + static_cast<std::int64_t>(copied), !last};
        const CopyStepResult step =
            CopyStep(source, static_cast<std::int64_t>(copied), feed_->blockSize(), target, feed, *part.buffer);
        if (step.failure != CopyFailure::None)
            return {copied, step.failure, step.error};
        if (step.count == 0)
            break;
        copied += step.count;
        part.bytes.store(static_cast<std::int64_t>(copied), std::memory_order_relaxed);
    }
    const auto after = source.identity();
    if (!before.ok() || !after.ok() || !(before.value == after.value)
        || static_cast<std::int64_t>(copied) != before.value.size)
        return {copied, CopyFailure::Changed};
    return {copied};
}

JoinOutcome JoinRun::joinTwoAtOnce()
{
    const std::size_t n = set_.parts.size();
    std::vector<bool> known(n);
    for (std::size_t i = 0; i < n; ++i)
        known[i] = alreadyVouched(i);
    startFeed({set_.partKind(), std::nullopt, std::move(known)});
    // Every part is handed to the feed, in order, by its own number. A part
    // that fails is told before its digest could count.
    for (std::size_t i = 0; i < n; ++i)
        fed_.push_back(i);
    std::deque<PartInFlight> window; // at most two, in part order
    std::vector<std::byte> buffers[2];
    std::atomic<bool> abandoned{false};
    std::size_t next = 0;
    std::int64_t at = 0;
    std::int64_t finished = 0; // bytes of the parts compared
    std::optional<std::size_t> firstBad;

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
    // Every part begun is ended in the feed, read or not, so that its
    // consumers go on.
    const auto copy = [this, &abandoned](PartInFlight& slot, const std::function<void()>& between) {
        slot.copied = copyPartAt(slot, abandoned, between);
        feed_->endPart(static_cast<std::int64_t>(slot.index));
    };
    // Opens the next part and hands it out; the part for this thread, if
    // it is to copy it.
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
            slot.copied = {0, CopyFailure::Read, opened.error};
            feed_->endPart(static_cast<std::int64_t>(slot.index));
            return nullptr;
        }
        slot.source = std::move(opened.value);
        if (onWorker) {
            worker.start([copy, &slot] { copy(slot, {}); });
            return nullptr;
        }
        return &slot;
    };
    // Gives up the part still running, once the front has failed.
    const auto giveUpRest = [&] {
        abandoned = true;
        while (worker.busy())
            collect(pacer_.interval());
        progress();
    };

    for (;;) {
        collect(0ms);
        if (const auto bad = compareDigests(); bad && !firstBad)
            firstBad = bad;
        // The settled parts at the front, in order: copied, and their
        // digests compared.
        while (!window.empty() && window.front().done) {
            PartInFlight& front = window.front();
            if (front.copied.failure != CopyFailure::None) {
                giveUpRest();
                return failCopy(front.copied, set_.parts[front.index]);
            }
            if (firstBad == front.index) {
                giveUpRest();
                return damaged(front.index);
            }
            if (compared_ <= front.index)
                break;
            finished += set_.parts[front.index].size;
            window.pop_front();
        }
        progress();
        betweenSteps();
        if (window.empty() && next == n) {
            // Every consumer has had every block before the file is joined.
            while (!feed_->finished(std::max(pacer_.interval(), 1ms)))
                betweenSteps();
            return JoinOutcome::Joined;
        }
        if (stopped() && window.empty())
            return failCopy({0, CopyFailure::Stopped}, set_.parts.back());
        if (!worker.busy() && window.size() < 2 && next < n && !stopped()) {
            startNext(true);
            continue;
        }
        if (window.size() < 2 && next < n && !stopped()) {
            if (PartInFlight* mine = startNext(false)) {
                copy(*mine, [&] {
                    collect(0ms);
                    // An earlier part that failed makes this one unwanted.
                    if (window.front().done && window.front().copied.failure != CopyFailure::None)
                        abandoned = true;
                    progress();
                    betweenSteps();
                });
                mine->done = true;
            }
            continue;
        }
        // The front waits for its digest, which this thread helps make, or
        // for the other thread's copy.
        if (window.front().done)
            feed_->help(std::max(pacer_.interval(), 1ms));
        else
            collect(std::max(pacer_.interval(), 1ms));
    }
}

} // namespace darvolt
