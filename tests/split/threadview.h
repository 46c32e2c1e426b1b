#pragma once
// Helpers for runs that copy on two threads: a recording view that notes
// calls from any thread but the one that made it and every progress
// position, and a one-way signal for holding one thread until another has
// got somewhere.

#include "split/recordingview.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class ThreadView : public RecordingView {
public:
    const std::thread::id owner = std::this_thread::get_id();
    std::atomic<bool> foreignCall{false};
    std::atomic<int> pumpCount{0};      // readable from the other thread
    std::vector<std::int64_t> positions; // after every step

    void setProgressMaximum(std::int64_t kb) override { note(); RecordingView::setProgressMaximum(kb); }
    void setProgressPosition(std::int64_t kb) override { note(); RecordingView::setProgressPosition(kb); }
    void setProgressStep(std::int64_t kb) override { note(); RecordingView::setProgressStep(kb); }
    void stepProgress() override
    {
        note();
        RecordingView::stepProgress();
        positions.push_back(position);
    }
    void setStatusText(const std::string& text) override { note(); RecordingView::setStatusText(text); }
    void showError(const std::string& text) override { note(); RecordingView::showError(text); }
    void showInformation(const std::string& text) override { note(); RecordingView::showInformation(text); }
    void showMessage(const std::string& text) override { note(); RecordingView::showMessage(text); }
    bool askForDiskette(const std::string& text) override { note(); return RecordingView::askForDiskette(text); }
    void processPendingMessages() override
    {
        note();
        ++pumpCount;
        RecordingView::processPendingMessages();
    }

    bool positionsNeverFall() const
    {
        for (std::size_t i = 1; i < positions.size(); ++i)
            if (positions[i] < positions[i - 1])
                return false;
        return true;
    }

private:
    void note()
    {
        if (std::this_thread::get_id() != owner)
            foreignCall = true;
    }
};

// Raised once, waited for by anyone. A wait gives up after a long time so
// that a fault in the code under test fails the test instead of hanging it;
// `timedOut` tells.
class Signal {
public:
    void raise()
    {
        {
            const std::lock_guard lock(mutex_);
            raised_ = true;
        }
        changed_.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::seconds(30), [this] { return raised_; }))
            timedOut = true;
    }
    bool raised()
    {
        const std::lock_guard lock(mutex_);
        return raised_;
    }
    std::atomic<bool> timedOut{false};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};
