#include "platform/posixprocess.h"

#include "platform/posixfile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <cstdlib>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace darvolt {

namespace {

class PosixProcess final : public Process {
public:
    PosixProcess(pid_t pid, int output) : pid_(pid), output_(output) {}
    ~PosixProcess() override
    {
        if (pid_ > 0)
            terminate();
        closeOutput();
    }

    bool readOutput(std::string& output, std::chrono::milliseconds wait) override
    {
        if (output_ < 0)
            return reap(true);
        pollfd watched{output_, POLLIN, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(wait.count()));
        if (ready <= 0)
            return true; // nothing yet, or a signal came first
        char buffer[16384];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got > 0) {
            output.append(buffer, static_cast<std::size_t>(got));
            return true;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return true;
        // The program closed its end: it has ended, or is about to.
        closeOutput();
        return reap(true);
    }

    int exitStatus() const override { return status_; }

    void terminate() override
    {
        closeOutput();
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        // A program that does not end when asked is ended.
        for (int i = 0; i < 200; ++i) {
            if (!reap(false))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        reap(true);
    }

private:
    // Collects the program's status; true while it is still running (only
    // possible without `block`).
    bool reap(bool block)
    {
        if (pid_ <= 0)
            return false;
        int status = 0;
        pid_t done = 0;
        while ((done = ::waitpid(pid_, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
        }
        if (done == 0)
            return true;
        if (done == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 255;
        pid_ = -1;
        return false;
    }

    void closeOutput()
    {
        if (output_ >= 0)
            ::close(output_);
        output_ = -1;
    }

    pid_t pid_;
    int output_;
    int status_ = 255;
};

// posix_spawn's own resources, released on every way out.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    bool ready = false;
    SpawnSetup() { ready = ::posix_spawn_file_actions_init(&actions) == 0; }
    ~SpawnSetup()
    {
        if (ready)
            ::posix_spawn_file_actions_destroy(&actions);
    }
};

std::vector<char*> environmentFor(const ProcessRequest& request)
{
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        environment.push_back(*entry);
    const std::size_t ours = environment.size();
    for (const std::string& added : request.environment) {
        const std::string_view name(added.data(), added.find('=') + 1);
        if (std::none_of(environment.begin(), environment.begin() + static_cast<std::ptrdiff_t>(ours),
                         [name](const char* entry) { return std::string_view(entry).starts_with(name); }))
            environment.push_back(const_cast<char*>(added.c_str()));
    }
    environment.push_back(nullptr);
    return environment;
}

} // namespace

std::string ProgramInPath(const std::string& name, const char* path)
{
    if (name.find('/') != std::string::npos)
        return name;
    std::string_view rest = path != nullptr ? path : "";
    while (true) {
        const auto colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        if (entry.starts_with('/')) {
            std::string candidate(entry);
            if (candidate.back() != '/')
                candidate += '/';
            candidate += name;
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos)
            return {};
        rest.remove_prefix(colon + 1);
    }
}

Result<std::unique_ptr<Process>> StartPosixProcess(const ProcessRequest& request, int folder)
{
    using R = Result<std::unique_ptr<Process>>;
    if (request.command.empty())
        return R::failure(error::InvalidParameter);
    // Found before the program's folder is entered, and only by absolute
    // entries of PATH; without PATH, where execvp would look.
    const char* path = std::getenv("PATH");
    const std::string program = ProgramInPath(request.command.front(), path != nullptr ? path : "/usr/bin:/bin");
    if (program.empty())
        return R::failure(error::FileNotFound);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return R::failure(errorFromErrno(errno));
    SpawnSetup setup;
    int failed = setup.ready ? 0 : ENOMEM;
    auto step = [&failed](int result) {
        if (failed == 0)
            failed = result;
    };
    step(::posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0));
    step(::posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], STDOUT_FILENO));
    step(::posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], STDERR_FILENO));
    if (folder >= 0)
        step(::posix_spawn_file_actions_addfchdir_np(&setup.actions, folder));
    else if (!request.folder.empty())
        step(::posix_spawn_file_actions_addchdir_np(&setup.actions, request.folder.c_str()));
    std::vector<char*> argv;
    for (const std::string& arg : request.command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> environment = environmentFor(request);
    pid_t pid = -1;
    if (failed == 0)
        failed = ::posix_spawn(&pid, program.c_str(), &setup.actions, nullptr, argv.data(), environment.data());
    ::close(pipeEnds[1]);
    if (failed != 0) {
        ::close(pipeEnds[0]);
        return R::failure(errorFromErrno(failed));
    }
    return R{std::make_unique<PosixProcess>(pid, pipeEnds[0]), error::None};
}

} // namespace darvolt
