#pragma once
// What the benches share: their common options, running a program and timing it
// (wall clock and the CPU time of it and everything it waited for), timing two
// programs in interleaved pairs, making and warming a large source, medians
// and quartiles, the machine's load, and a scratch folder that may be a file
// system of its own.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

struct Run {
    double seconds = 0;
    double user = 0;  // CPU seconds in the program, all its threads and waited-for children
    double system = 0; // CPU seconds in the kernel on its behalf
    long peakKiB = 0;
    long long readBytes = -1; // what it and its children read through the kernel (rchar), -1 unknown
    int status = -1;
};

// The bytes an exited child, not yet reaped, and its reaped children read
// through read() and its kin, cached or not.
inline long long bytesReadBy(pid_t pid)
{
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return -1;
}

inline double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

inline Run runProgram(const std::vector<std::string>& args, const fs::path& workingDirectory)
{
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    int status = 0;
    rusage usage {};
    // Exited but not reaped, its counts are still there to read.
    siginfo_t exited {};
    while (::waitid(P_PID, static_cast<id_t>(pid), &exited, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    run.readBytes = bytesReadBy(pid);
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.user = seconds(usage.ru_utime);
    run.system = seconds(usage.ru_stime);
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

inline bool makeSource(const fs::path& path, std::uint64_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    std::vector<std::uint64_t> block(1 << 17); // 1 MiB
    std::mt19937_64 rng(20240601);
    for (auto& w : block)
        w = rng();
    for (std::uint64_t done = 0; done < size;) {
        block[done / sizeof(block) % block.size()] ^= done; // no two MiB alike
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, block.size() * 8));
        if (std::fwrite(block.data(), 1, n, f) != n) {
            std::fclose(f);
            return false;
        }
        done += n;
    }
    return std::fclose(f) == 0;
}

inline void warm(const fs::path& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<char> buffer(1 << 20);
    while (f != nullptr && std::fread(buffer.data(), 1, buffer.size(), f) > 0) {
    }
    if (f != nullptr)
        std::fclose(f);
}

// The value a share q (0 to 1) of v lies at or below, between the two
// nearest values when it falls between them; q = 0.5 is the median.
inline double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const double at = std::clamp(q, 0.0, 1.0) * double(v.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(at));
    const std::size_t above = std::min(below + 1, v.size() - 1);
    return v[below] + (v[above] - v[below]) * (at - double(below));
}

inline double median(std::vector<double> v) { return quantile(std::move(v), 0.5); }

// The runs of one program: wall and CPU times.
struct Timing {
    std::vector<double> seconds, user, system;
    long peakKiB = 0;

    void add(const Run& run)
    {
        seconds.push_back(run.seconds);
        user.push_back(run.user);
        system.push_back(run.system);
        peakKiB = std::max(peakKiB, run.peakKiB);
    }
    double wall() const { return median(seconds); }
    // "2.345 s (user 1.20 s, system 0.90 s)", medians each.
    std::string describe() const
    {
        char text[96];
        std::snprintf(text, sizeof text, "%.3f s (user %.2f s, system %.2f s)", wall(), median(user),
                      median(system));
        return text;
    }
};

// On a virtual machine that hands free memory back to its host (virtio-balloon
// free page reporting), a program's page cache comes partly from memory the
// host must fault in again, page by page: the same copy was seen to take
// from 0.6 s to 6 s, for cat as much as for darvolt, by the luck of which
// memory it got. The bench measures the machine as users have it and
// changes none of its settings; instead, right before every timed run, a
// child of its own touches a few GiB and exits, so the run that follows
// finds memory the host has just backed, as the runs before it did.
class SteadyMemory {
public:
    SteadyMemory()
    {
        const std::size_t bytes = primeBytes();
        note_ = bytes == 0 ? std::string("as the machine has it (too little free memory to prime)")
                           : "as the machine has it; " + std::to_string(bytes >> 20)
                                 + " MiB touched by a child before every timed run";
    }

    const std::string& note() const { return note_; }

    // Touches the memory in a child that exits at once: the programs the
    // bench starts would inherit the bench's own peak resident size.
    static void prime()
    {
        const std::size_t bytes = primeBytes();
        if (bytes == 0)
            return;
        const pid_t toucher = ::fork();
        if (toucher == 0) {
            void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (memory != MAP_FAILED)
                for (std::size_t at = 0; at < bytes; at += 4096)
                    static_cast<volatile char*>(memory)[at] = 1;
            ::_exit(0);
        }
        int status = 0;
        while (toucher > 0 && ::waitpid(toucher, &status, 0) < 0 && errno == EINTR) {
        }
    }

private:
    // 4 GiB, or all but a GiB of what is free, whichever is less.
    static std::size_t primeBytes()
    {
        long freeKiB = 0;
        std::ifstream meminfo("/proc/meminfo");
        for (std::string key; meminfo >> key;) {
            long value = 0;
            meminfo >> value;
            meminfo.ignore(64, '\n');
            if (key == "MemAvailable:")
                freeKiB = value;
        }
        const long spare = freeKiB - (1L << 20);
        return spare > 0 ? std::min(std::size_t(spare) << 10, std::size_t(4) << 30) : 0;
    }

    std::string note_;
};

// Removes what the last run left, makes `in`, lets the write-back of
// earlier runs finish (so no program pays for another's), runs, and notes
// the times. False (after saying why) when the program failed.
inline bool timeRun(Timing& timing, const std::vector<std::string>& args, const fs::path& in,
                    const std::vector<fs::path>& clear)
{
    std::error_code ignored;
    for (const auto& path : clear)
        fs::remove_all(path, ignored);
    fs::create_directories(in);
    ::sync();
    SteadyMemory::prime();
    const Run run = runProgram(args, in);
    if (run.status != 0) {
        std::fprintf(stderr, "bench: %s failed (%d)\n", args[0].c_str(), run.status);
        return false;
    }
    timing.add(run);
    return true;
}

// A program and the folder it runs in.
struct Command {
    std::vector<std::string> args;
    fs::path in;
};

// Darvolt's program against what it takes with the usual tools, timed in
// pairs. The two runs of a pair follow each other, so both find the machine
// in the same state, and they take turns at going first, so that neither is
// always the one that finds the cache, the write-back or a drifting machine
// as the other left it. Each pair gives a ratio; their median and spread say
// how far a single ratio of medians can be trusted on a machine whose speed
// wanders from minute to minute.
class PairedTiming {
public:
    Timing ours;                // darvolt's side
    Timing theirs;              // the usual tools' side
    std::vector<double> ratios; // ours / theirs, pair by pair

    // Darvolt goes first in the first, third, ... run; `run` counts from 0.
    static bool oursFirst(int run) { return run % 2 == 0; }
    static const char* firstName(int run) { return oursFirst(run) ? "darvolt first" : "other first"; }

    // Runs one pair: each side is given its Timing to add its run to, and
    // says whether it succeeded. False as soon as one side fails.
    bool timePair(int run, const std::function<bool(Timing&)>& runOurs,
                  const std::function<bool(Timing&)>& runTheirs)
    {
        const bool ok = oursFirst(run) ? runOurs(ours) && runTheirs(theirs) : runTheirs(theirs) && runOurs(ours);
        if (!ok)
            return false;
        ratios.push_back(ours.seconds.back() / theirs.seconds.back());
        return true;
    }

    // The same for two plain programs, each run by timeRun after `clear`
    // is removed.
    bool timePair(int run, const Command& ourCommand, const Command& theirCommand, const std::vector<fs::path>& clear)
    {
        return timePair(
            run, [&](Timing& timing) { return timeRun(timing, ourCommand.args, ourCommand.in, clear); },
            [&](Timing& timing) { return timeRun(timing, theirCommand.args, theirCommand.in, clear); });
    }

    double ratioOfMedians() const { return ours.wall() / theirs.wall(); }
    double medianRatio() const { return median(ratios); }

    // Two lines, each starting with `indent`: the ratio of the medians and
    // the median of the pair ratios against the target, then the spread of
    // the pair ratios (lowest to highest, and the middle half of them).
    std::string describe(const std::string& target, const std::string& indent = "    ") const
    {
        char text[320];
        std::snprintf(text, sizeof text,
                      "%sratio %.3f of the medians, %.3f the median of %zu pair%s (target <= %s)\n"
                      "%spairs from %.3f to %.3f, middle half %.3f to %.3f",
                      indent.c_str(), ratioOfMedians(), medianRatio(), ratios.size(), ratios.size() == 1 ? "" : "s",
                      target.c_str(), indent.c_str(), quantile(ratios, 0), quantile(ratios, 1),
                      quantile(ratios, 0.25), quantile(ratios, 0.75));
        return text;
    }
};

// The load average over the last minute, and how many processors there are,
// so that figures taken on a busy machine say so.
inline std::string machineLoad()
{
    std::ifstream in("/proc/loadavg");
    std::string oneMinute;
    in >> oneMinute;
    return "load average " + (oneMinute.empty() ? std::string("?") : oneMinute) + " on "
           + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " processors";
}

// Mounts what the runs take place on (tmpfs, or a loop image of xfs, btrfs,
// ext4) as root, and unmounts it at the end; or just a folder of base.
class Scratch {
public:
    Scratch(const fs::path& base, const std::string& name, const std::string& filesystem, std::uint64_t size)
        : where_(base / (name + "-" + std::to_string(::getpid())))
    {
        fs::create_directories(where_);
        if (filesystem.empty())
            return;
        const std::string room = std::to_string(size * 3 + (std::uint64_t(512) << 20));
        std::string command;
        if (filesystem == "tmpfs") {
            command = "mount -t tmpfs -o size=" + room + " tmpfs " + where_.string();
        } else {
            image_ = base / (name + "-" + std::to_string(::getpid()) + ".img");
            command = "truncate -s " + room + " " + image_.string() + " && mkfs." + filesystem + " -q " +
                      (filesystem == "xfs" || filesystem == "btrfs" ? "-f " : "-F ") + image_.string() +
                      " >/dev/null && mount -o loop " + image_.string() + " " + where_.string();
        }
        mounted_ = std::system(command.c_str()) == 0;
        if (!mounted_)
            std::fprintf(stderr, "bench: cannot mount %s (%s)\n", filesystem.c_str(), command.c_str());
    }
    ~Scratch()
    {
        std::error_code ignored;
        if (mounted_ && std::system(("umount " + where_.string()).c_str()) != 0) {
            // Still mounted, and its image still in use: removing them would
            // empty a file system that is still there and leave its image
            // unreachable, so both stay for whoever looks.
            std::fprintf(stderr, "bench: cannot unmount %s; it is left as it is\n", where_.c_str());
            return;
        }
        fs::remove_all(where_, ignored);
        if (!image_.empty())
            fs::remove(image_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool ok(const std::string& filesystem) const { return filesystem.empty() || mounted_; }
    const fs::path& path() const { return where_; }

private:
    fs::path where_;
    fs::path image_;
    bool mounted_ = false;
};

// The options every bench takes (--size, --runs, --dir, --filesystem);
// `other` is offered the rest as option and value, and says whether it took
// them.
struct Options {
    std::uint64_t size = std::uint64_t(2) << 30;
    int runs = 5;
    fs::path base = fs::temp_directory_path();
    std::string filesystem;
};

inline Options parseOptions(int argc, char** argv, int runs,
                            const std::function<void(const std::string&, const char*)>& other = {})
{
    Options options;
    options.runs = runs;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--size")
            options.size = std::strtoull(argv[i + 1], nullptr, 10);
        else if (option == "--runs")
            options.runs = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--dir")
            options.base = argv[i + 1];
        else if (option == "--filesystem")
            options.filesystem = argv[i + 1];
        else if (other)
            other(option, argv[i + 1]);
    }
    return options;
}

// Makes the bench's source file in its scratch folder and says so; an empty
// path when it cannot be written.
inline fs::path makeScratchSource(const Scratch& scratch, const char* bench, std::uint64_t size)
{
    const fs::path source = scratch.path() / "source.bin";
    std::printf("making a %llu-byte source in %s ...\n", static_cast<unsigned long long>(size),
                scratch.path().c_str());
    if (!makeSource(source, size)) {
        std::fprintf(stderr, "%s: cannot write %s\n", bench, source.c_str());
        return {};
    }
    return source;
}

} // namespace bench
