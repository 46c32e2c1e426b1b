#include "platform/interruptsignals.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>

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

std::atomic<bool>* InterruptSignals::stopFlag()
{
    return &stopRequested;
}

std::optional<std::string> InterruptSignals::readLine(int fd)
{
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        if (stopRequested.load())
            return std::nullopt;
        pollfd waits[2] = {{fd, POLLIN, 0}, {pipe_[0], POLLIN, 0}};
        if (::poll(waits, pipe_[0] >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if ((waits[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue; // the wake pipe: the flag is up
        char chunk[256];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (pending_.empty())
                return std::nullopt;
            return std::exchange(pending_, std::string()); // a last line without its newline
        }
        pending_.append(chunk, static_cast<std::size_t>(n));
    }
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
