// Times darvolt-split against GNU split on one large file.
//
// The file is made once and read once so the page cache is warm; then the two
// programs run alternately, each run into a fresh output folder, and the
// median wall times, their ratio and darvolt-split's peak resident memory
// (against an empty run of the same program) are printed.

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

} // namespace

int main(int argc, char** argv)
{
    std::uint64_t size = std::uint64_t(2) << 30;
    int runs = 5;
    fs::path base = fs::temp_directory_path();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--size")
            size = std::strtoull(argv[i + 1], nullptr, 10);
        else if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--dir")
            base = argv[i + 1];
    }

    const fs::path work = base / ("splitbench-" + std::to_string(::getpid()));
    fs::create_directories(work / "gnu");
    const fs::path source = work / "source.bin";
    std::printf("making a %llu-byte source in %s ...\n", static_cast<unsigned long long>(size), work.c_str());
    if (!makeSource(source, size)) {
        std::fprintf(stderr, "splitbench: cannot write %s\n", source.c_str());
        return 1;
    }
    warm(source);

    const Run empty = runProgram({DARVOLT_SPLIT_PROGRAM, "--help"}, work);
    std::vector<double> ours, gnu;
    long peak = 0;
    for (int r = 0; r < runs; ++r) {
        fs::remove_all(work / "SOURCE_PARTS");
        // Each run starts without the previous run's data waiting to be
        // written back, so neither program pays for the other's writes.
        ::sync();
        const Run a = runProgram({DARVOLT_SPLIT_PROGRAM, "--standard", "source.bin"}, work);
        if (a.status != 0) {
            std::fprintf(stderr, "splitbench: darvolt-split failed (%d)\n", a.status);
            return 1;
        }
        ours.push_back(a.seconds);
        peak = std::max(peak, a.peakKiB);

        fs::remove_all(work / "gnu");
        fs::create_directories(work / "gnu");
        ::sync();
        const Run b = runProgram({"split", "-b", "1457664", "../source.bin", "part."}, work / "gnu");
        if (b.status != 0) {
            std::fprintf(stderr, "splitbench: GNU split failed (%d)\n", b.status);
            return 1;
        }
        gnu.push_back(b.seconds);
        std::printf("run %d: darvolt-split %.3f s, GNU split %.3f s\n", r + 1, a.seconds, b.seconds);
    }

    const double ourMedian = median(ours);
    const double gnuMedian = median(gnu);
    std::printf("\nsource                 %llu bytes, %d runs each, page cache warm\n",
                static_cast<unsigned long long>(size), runs);
    std::printf("darvolt-split median   %.3f s\n", ourMedian);
    std::printf("GNU split median       %.3f s\n", gnuMedian);
    std::printf("ratio                  %.3f (target <= 0.8)\n", ourMedian / gnuMedian);
    std::printf("peak RSS, split run    %ld KiB\n", peak);
    std::printf("peak RSS, empty run    %ld KiB\n", empty.peakKiB);
    std::printf("peak RSS difference    %ld KiB (target < 16384)\n", peak - empty.peakKiB);

    std::error_code ignored;
    fs::remove_all(work, ignored);
    return 0;
}
