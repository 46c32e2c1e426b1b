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

// The parts in flight, at most two, in part order: one copied by this
// thread, one by the worker. A part leaves the front once it is copied and
// its digest compared; the first failure in part order ends the join once
// the other part has given up.
class JoinRun::TwoAtOnce {
public:
    explicit TwoAtOnce(JoinRun& run) : run_(run) {}
    // Told first to give its part up, however the join ends, before the
    // worker is joined.
    ~TwoAtOnce() { abandoned_ = true; }
    TwoAtOnce(const TwoAtOnce&) = delete;
    TwoAtOnce& operator=(const TwoAtOnce&) = delete;

    JoinOutcome join();

private:
    bool roomForAnother() const { return window_.size() < 2 && next_ < run_.set_.parts.size() && !run_.stopped(); }
    // The settled parts leave the front; the outcome once the front failed.
    std::optional<JoinOutcome> settle();
    // Opens the next part and hands it out; the part for this thread, if it
    // is to copy it.
    PartInFlight* startNext(bool onWorker);
    void copy(PartInFlight& part, const std::function<void()>& betweenSteps);
    void copyHere(PartInFlight& part);
    void collect(std::chrono::milliseconds wait);
    void progress();
    // Gives up the part still running, once the front has failed.
    void giveUpRest();

    JoinRun& run_;
    std::deque<PartInFlight> window_;
    std::vector<std::byte> buffers_[2];
    std::atomic<bool> abandoned_{false};
    std::size_t next_ = 0;
    std::int64_t at_ = 0;
    std::int64_t settled_ = 0; // bytes of the parts that left the window
    std::optional<std::size_t> firstBad_;
    JobThread worker_; // last: its jobs use everything above
};

CopyStepResult JoinRun::copyPartAt(PartInFlight& part, const std::atomic<bool>& abandoned,
                                   const std::function<void()>& betweenSteps)
{
    File& source = *part.source;
    const auto before = source.identity();
    const auto wanted = [&] { return !stopped() && !abandoned.load(std::memory_order_relaxed); };
    // Both threads copy: each hashes the block it just read where it can,
    // while the block is in its core's cache.
    const StepFeed feed{feed_.get(), static_cast<std::int64_t>(part.index),
                        [&] {
                            if (betweenSteps)
                                betweenSteps();
                            return wanted();
                        },
                        true};
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
    return TwoAtOnce(*this).join();
}

JoinOutcome JoinRun::TwoAtOnce::join()
{
    for (;;) {
        collect(0ms);
        if (const auto ended = settle())
            return *ended;
        progress();
        run_.betweenSteps();
        if (window_.empty() && next_ == run_.set_.parts.size()) {
            // Every consumer has had every block before the file is joined.
            while (!run_.feed_->finished(std::max(run_.pacer_.interval(), 1ms)))
                run_.betweenSteps();
            return JoinOutcome::Joined;
        }
        if (run_.stopped() && window_.empty())
            return run_.failCopy({0, CopyFailure::Stopped}, run_.set_.parts.back());
        if (!worker_.busy() && roomForAnother()) {
            startNext(true);
        } else if (roomForAnother()) {
            if (PartInFlight* mine = startNext(false))
                copyHere(*mine);
        } else if (window_.front().done) {
            // The front waits for its digest, which this thread helps make.
            run_.feed_->help(std::max(run_.pacer_.interval(), 1ms));
        } else {
            collect(std::max(run_.pacer_.interval(), 1ms));
        }
    }
}

std::optional<JoinOutcome> JoinRun::TwoAtOnce::settle()
{
    if (const auto bad = run_.compareDigests(); bad && !firstBad_)
        firstBad_ = bad;
    while (!window_.empty() && window_.front().done) {
        PartInFlight& front = window_.front();
        if (front.copied.failure != CopyFailure::None) {
            giveUpRest();
            return run_.failCopy(front.copied, run_.set_.parts[front.index]);
        }
        if (firstBad_ == front.index) {
            giveUpRest();
            return run_.damaged(front.index);
        }
        if (run_.compared_ <= front.index)
            break; // its digest is still being made
        settled_ += run_.set_.parts[front.index].size;
        window_.pop_front();
    }
    return std::nullopt;
}

JoinRun::PartInFlight* JoinRun::TwoAtOnce::startNext(bool onWorker)
{
    const SetPart& part = run_.set_.parts[next_];
    run_.view_.setStatusText(texts::join::joining(part.name));
    run_.pacer_.pumpNow();
    PartInFlight& slot = window_.emplace_back();
    slot.index = next_++;
    slot.at = at_;
    at_ += part.size;
    slot.onWorker = onWorker;
    slot.buffer = &buffers_[onWorker ? 1 : 0];
    auto opened = run_.platform_.openForReading(run_.set_.path(part.name));
    if (!opened.ok()) {
        slot.done = true;
        slot.copied = {0, CopyFailure::Read, opened.error};
        run_.feed_->endPart(static_cast<std::int64_t>(slot.index));
        return nullptr;
    }
    slot.source = std::move(opened.value);
    if (onWorker) {
        worker_.start([this, &slot] { copy(slot, {}); });
        return nullptr;
    }
    return &slot;
}

void JoinRun::TwoAtOnce::copy(PartInFlight& part, const std::function<void()>& betweenSteps)
{
    part.copied = run_.copyPartAt(part, abandoned_, betweenSteps);
    // Read or not, the part is ended in the feed, so that its consumers go on.
    run_.feed_->endPart(static_cast<std::int64_t>(part.index));
}

void JoinRun::TwoAtOnce::copyHere(PartInFlight& part)
{
    copy(part, [this] {
        collect(0ms);
        // An earlier part that failed makes this one unwanted.
        if (window_.front().done && window_.front().copied.failure != CopyFailure::None)
            abandoned_ = true;
        progress();
        run_.betweenSteps();
    });
    part.done = true;
}

void JoinRun::TwoAtOnce::collect(std::chrono::milliseconds wait)
{
    if (worker_.busy() && worker_.collect(wait))
        for (PartInFlight& part : window_)
            if (part.onWorker)
                part.done = true;
}

void JoinRun::TwoAtOnce::progress()
{
    run_.done_ = settled_;
    for (const PartInFlight& part : window_)
        run_.done_ += part.bytes.load(std::memory_order_relaxed);
}

void JoinRun::TwoAtOnce::giveUpRest()
{
    abandoned_ = true;
    while (worker_.busy())
        collect(run_.pacer_.interval());
    progress();
}

} // namespace darvolt
