// Times darvolt-split against GNU split (and cat) on one large file.
//
// The file is made once and read once so the page cache is warm; then the
// programs run in turn, each run into a fresh output folder, and the median
// wall times, their ratios and darvolt-split's peak resident memory (against
// an empty run of the same program) are printed. Two part sizes: the
// standard diskette size, and 100000 KB parts (where the copy itself
// dominates); darvolt-split also runs with --flush, to show what waiting
// for the disk costs. --filesystem mounts a tmpfs (or a loop image of
// xfs, btrfs, ext4) to run on, as root.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

Run runProgram(const std::vector<std::string>& args, const fs::path& workingDirectory)
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
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

bool makeSource(const fs::path& path, std::uint64_t size)
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

void warm(const fs::path& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<char> buffer(1 << 20);
    while (f != nullptr && std::fread(buffer.data(), 1, buffer.size(), f) > 0) {
    }
    if (f != nullptr)
        std::fclose(f);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Timing {
    std::vector<double> seconds;
    long peakKiB = 0;
};

// Mounts what the run takes place on, and unmounts it at the end.
class Scratch {
public:
    Scratch(const fs::path& base, const std::string& filesystem, std::uint64_t size)
        : where_(base / ("splitbench-" + std::to_string(::getpid())))
    {
        fs::create_directories(where_);
        if (filesystem.empty())
            return;
        const std::string room = std::to_string(size * 3 + (std::uint64_t(512) << 20));
        std::string command;
        if (filesystem == "tmpfs") {
            command = "mount -t tmpfs -o size=" + room + " tmpfs " + where_.string();
        } else {
            image_ = base / ("splitbench-" + std::to_string(::getpid()) + ".img");
            command = "truncate -s " + room + " " + image_.string() + " && mkfs." + filesystem + " -q " +
                      (filesystem == "xfs" || filesystem == "btrfs" ? "-f " : "-F ") + image_.string() +
                      " >/dev/null && mount -o loop " + image_.string() + " " + where_.string();
        }
        mounted_ = std::system(command.c_str()) == 0;
        if (!mounted_)
            std::fprintf(stderr, "splitbench: cannot mount %s (%s)\n", filesystem.c_str(), command.c_str());
    }
    ~Scratch()
    {
        std::error_code ignored;
        if (mounted_)
            std::system(("umount " + where_.string()).c_str());
        fs::remove_all(where_, ignored);
        if (!image_.empty())
            fs::remove(image_, ignored);
    }
    bool ok(const std::string& filesystem) const { return filesystem.empty() || mounted_; }
    const fs::path& path() const { return where_; }

private:
    fs::path where_;
    fs::path image_;
    bool mounted_ = false;
};

bool timeRun(Timing& timing, const std::vector<std::string>& args, const fs::path& in, const fs::path& clear)
{
    std::error_code ignored;
    fs::remove_all(clear, ignored);
    fs::create_directories(in);
    // Each run starts without the previous run's data waiting to be
    // written back, so no program pays for another's writes.
    ::sync();
    const Run run = runProgram(args, in);
    if (run.status != 0) {
        std::fprintf(stderr, "splitbench: %s failed (%d)\n", args[0].c_str(), run.status);
        return false;
    }
    timing.seconds.push_back(run.seconds);
    timing.peakKiB = std::max(timing.peakKiB, run.peakKiB);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::uint64_t size = std::uint64_t(2) << 30;
    int runs = 5;
    fs::path base = fs::temp_directory_path();
    std::string filesystem;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--size")
            size = std::strtoull(argv[i + 1], nullptr, 10);
        else if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--dir")
            base = argv[i + 1];
        else if (option == "--filesystem")
            filesystem = argv[i + 1];
    }

    const Scratch scratch(base, filesystem, size);
    if (!scratch.ok(filesystem))
        return 1;
    const fs::path work = scratch.path();
    const fs::path source = work / "source.bin";
    std::printf("making a %llu-byte source in %s ...\n", static_cast<unsigned long long>(size), work.c_str());
    if (!makeSource(source, size)) {
        std::fprintf(stderr, "splitbench: cannot write %s\n", source.c_str());
        return 1;
    }
    warm(source);

    const Run empty = runProgram({DARVOLT_SPLIT_PROGRAM, "--help"}, work);
    const fs::path ours = work / "SOURCE_PARTS";
    const fs::path gnuDir = work / "gnu";
    struct Case {
        const char* name;
        std::vector<std::string> darvolt;
        std::vector<std::string> gnu;
        Timing a, flushed, b;
    };
    std::vector<Case> cases = {
        {"standard size", {"--standard"}, {"split", "-b", "1457664", "../source.bin", "part."}, {}, {}, {}},
        {"100000 KB", {"--custom", "100000"}, {"split", "-b", "102400000", "../source.bin", "part."}, {}, {}, {}},
    };
    Timing cat;
    for (int r = 0; r < runs; ++r) {
        for (Case& c : cases) {
            std::vector<std::string> args{DARVOLT_SPLIT_PROGRAM};
            args.insert(args.end(), c.darvolt.begin(), c.darvolt.end());
            args.push_back("source.bin");
            std::vector<std::string> withFlush = args;
            withFlush.insert(withFlush.begin() + 1, "--flush");
            if (!timeRun(c.a, args, work, ours) || !timeRun(c.flushed, withFlush, work, ours)
                || !timeRun(c.b, c.gnu, gnuDir, gnuDir))
                return 1;
            std::printf("run %d, %-13s: darvolt-split %.3f s, with --flush %.3f s, GNU split %.3f s\n", r + 1,
                        c.name, c.a.seconds.back(), c.flushed.seconds.back(), c.b.seconds.back());
        }
        fs::remove_all(ours);
        if (!timeRun(cat, {"sh", "-c", "cat ../source.bin > joined"}, gnuDir, gnuDir))
            return 1;
    }
    std::error_code ignored;
    fs::remove_all(gnuDir, ignored);

    std::printf("\nsource                 %llu bytes on %s, %d runs each, page cache warm\n",
                static_cast<unsigned long long>(size), filesystem.empty() ? base.c_str() : filesystem.c_str(), runs);
    long peak = 0;
    for (const Case& c : cases) {
        const double ourMedian = median(c.a.seconds);
        const double gnuMedian = median(c.b.seconds);
        std::printf("%-13s  darvolt-split %.3f s, GNU split %.3f s, ratio %.3f (target <= %s)\n", c.name, ourMedian,
                    gnuMedian, ourMedian / gnuMedian, filesystem == "tmpfs" ? "1.0" : "0.8");
        std::printf("%-13s  with --flush %.3f s: %.2f times without\n", "", median(c.flushed.seconds),
                    median(c.flushed.seconds) / ourMedian);
        peak = std::max(peak, c.a.peakKiB);
    }
    std::printf("cat of the source     %.3f s\n", median(cat.seconds));
    std::printf("peak RSS, split run    %ld KiB\n", peak);
    std::printf("peak RSS, empty run    %ld KiB\n", empty.peakKiB);
    std::printf("peak RSS difference    %ld KiB (target < 16384)\n", peak - empty.peakKiB);
    return 0;
}
