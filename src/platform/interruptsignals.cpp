#include "platform/interruptsignals.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace darvolt {

namespace {

constexpr std::array<int, 3> Signals = {SIGINT, SIGTERM, SIGHUP};

std::atomic<bool> stopRequested{false};
std::atomic<int> caughtSignal{0};
std::atomic<int> wakeWriter{-1};
std::array<struct sigaction, Signals.size()> previous{};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

extern "C" void onInterrupt(int signal)
{
    const int savedErrno = errno;
    int expected = 0;
    caughtSignal.compare_exchange_strong(expected, signal);
    stopRequested.store(true);
    if (const int fd = wakeWriter.load(); fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto ignored = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

InterruptSignals::InterruptSignals()
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        pipe_[0] = pipe_[1] = -1;
    wakeWriter.store(pipe_[1]);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // no SA_RESTART: a read waiting for input returns
    for (std::size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &action, &previous[i]);
}

InterruptSignals::~InterruptSignals()
{
    for (std::size_t i = 0; i < Signals.size(); ++i)
        ::sigaction(Signals[i], &previous[i], nullptr);
    wakeWriter.store(-1);
    for (const int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

const std::atomic<bool>* InterruptSignals::stopFlag()
{
    return &stopRequested;
}

int InterruptSignals::caught()
{
    return caughtSignal.load();
}

int InterruptSignals::exitStatus()
{
    return 128 + caughtSignal.load();
}

} // namespace darvolt
