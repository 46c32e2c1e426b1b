#include "platform/detachedlaunch.h"

#include "platform/posixfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace darvolt {

namespace {

// What the watcher reports through the pipe: nothing at all (the pipe just
// closes) when the program ended well.
constexpr unsigned char couldNotExecute = 127;
constexpr unsigned char gaveUp = 1;

void closeQuietly(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

// Runs in the forked watcher, a process of its own: only calls that are
// safe after fork() in a threaded program.
[[noreturn]] void watch(char* const* argv, int report)
{
    const pid_t program = ::fork();
    if (program == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0)
            ::dup2(null, STDIN_FILENO);
        ::execvp(argv[0], argv);
        ::_exit(couldNotExecute);
    }
    unsigned char verdict = gaveUp;
    if (program > 0) {
        int status = 0;
        while (::waitpid(program, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            ::_exit(0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == couldNotExecute)
            verdict = couldNotExecute;
    }
    // Nobody may be reading any more: the program was long past its verdict.
    [[maybe_unused]] const auto written = ::write(report, &verdict, 1);
    ::_exit(0);
}

// Waits for the watcher's word: a byte, or the pipe closing.
ErrorCode awaitVerdict(int report, std::chrono::milliseconds verdictWait)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + verdictWait;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd wait{report, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return error::None; // still at work: it has found what to run
        unsigned char verdict = 0;
        const auto got = ::read(report, &verdict, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return error::None;
        return verdict == couldNotExecute ? error::FileNotFound : error::AccessDenied;
    }
}

} // namespace

ErrorCode LaunchDetached(const std::vector<std::string>& command, std::chrono::milliseconds verdictWait)
{
    if (command.empty())
        return error::FileNotFound;
    // Built before forking: the children only call into the kernel and exec.
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int report[2] = {-1, -1};
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errorFromErrno(errno);
    // Forked twice, so that the program and its watcher belong to no one
    // here; the watcher waits for the program and tells how it ended.
    const pid_t child = ::fork();
    if (child < 0) {
        const int cause = errno;
        closeQuietly(report[0]);
        closeQuietly(report[1]);
        return errorFromErrno(cause);
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t watcher = ::fork();
        if (watcher == 0)
            watch(argv.data(), report[1]);
        if (watcher < 0) {
            const unsigned char verdict = gaveUp;
            [[maybe_unused]] const auto written = ::write(report[1], &verdict, 1);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const ErrorCode verdict = awaitVerdict(report[0], verdictWait);
    ::close(report[0]);
    return verdict;
}

} // namespace darvolt
