// Times darvolt-split against GNU split (and cat) on one large file.
//
// The file is made once and read once so the page cache is warm; then the
// programs run in turn, each run into a fresh output folder, and the median
// wall times, their ratios and darvolt-split's peak resident memory (against
// an empty run of the same program) are printed. Two part sizes: the
// standard diskette size, and 100000 KB parts (where the copy itself
// dominates). darvolt-split runs as it is used, with its checksums, against
// GNU split followed by openssl dgst -sha256 over the source and over every
// part (what it takes to get the same checksums with the usual tools); it
// also runs with --no-checksum, against GNU split alone, and with --flush,
// to show what waiting for the disk costs. Every figure carries its CPU
// time, user (the hashing, mostly) and system (the copying), which is where
// the time goes; the machine's load is printed before and after, since a
// busy machine has no idle core for the hashing to use. --filesystem mounts
// a tmpfs (or a loop image of xfs, btrfs, ext4) to run on, as root.

#include "benchrun.h"

using namespace bench;

int main(int argc, char** argv)
{
    const auto [size, runs, base, filesystem] = parseOptions(argc, argv, 5);
    const SteadyMemory memory;
    const Scratch scratch(base, "splitbench", filesystem, size);
    if (!scratch.ok(filesystem))
        return 1;
    const fs::path work = scratch.path();
    const fs::path source = makeScratchSource(scratch, "splitbench", size);
    if (source.empty())
        return 1;
    warm(source);
    const std::string loadBefore = machineLoad();

    const Run empty = runProgram({DARVOLT_SPLIT_PROGRAM, "--help"}, work);
    const fs::path ours = work / "SOURCE_PARTS";
    const fs::path gnuDir = work / "gnu";
    // Every run starts with nothing of an earlier one left: on a virtual
    // machine a program that must take fresh memory for its page cache,
    // where another found the memory of the last run's files just freed,
    // was seen to take five times as long.
    const std::vector<fs::path> outputs{ours, gnuDir};
    struct Case {
        const char* name;
        std::vector<std::string> darvolt;
        std::string bytes;
        Timing checked, unchecked, flushed, gnu, gnuHashed;
    };
    std::vector<Case> cases = {
        {"standard size", {"--standard"}, "1457664", {}, {}, {}, {}, {}},
        {"100000 KB", {"--custom", "100000"}, "102400000", {}, {}, {}, {}, {}},
    };
    Timing cat;
    for (int r = 0; r < runs; ++r) {
        for (Case& c : cases) {
            std::vector<std::string> args{DARVOLT_SPLIT_PROGRAM};
            args.insert(args.end(), c.darvolt.begin(), c.darvolt.end());
            args.push_back("source.bin");
            std::vector<std::string> unchecked = args;
            unchecked.insert(unchecked.begin() + 1, "--no-checksum");
            std::vector<std::string> flushed = args;
            flushed.insert(flushed.begin() + 1, "--flush");
            const std::vector<std::string> gnu{"split", "-b", c.bytes, "../source.bin", "part."};
            const std::vector<std::string> gnuHashed{
                "sh", "-c", "split -b " + c.bytes + " ../source.bin part. && openssl dgst -sha256 ../source.bin part.* >/dev/null"};
            if (!timeRun(c.checked, args, work, outputs) || !timeRun(c.unchecked, unchecked, work, outputs)
                || !timeRun(c.flushed, flushed, work, outputs) || !timeRun(c.gnu, gnu, gnuDir, outputs)
                || !timeRun(c.gnuHashed, gnuHashed, gnuDir, outputs))
                return 1;
            std::printf("run %d, %-13s: darvolt-split %.3f s, --no-checksum %.3f s, --flush %.3f s, "
                        "GNU split %.3f s, GNU split + openssl dgst %.3f s\n",
                        r + 1, c.name, c.checked.seconds.back(), c.unchecked.seconds.back(),
                        c.flushed.seconds.back(), c.gnu.seconds.back(), c.gnuHashed.seconds.back());
        }
        if (!timeRun(cat, {"sh", "-c", "cat ../source.bin > joined"}, gnuDir, outputs))
            return 1;
    }
    std::error_code ignored;
    fs::remove_all(gnuDir, ignored);

    std::printf("\nsource                 %llu bytes on %s, %d runs each, page cache warm\n",
                static_cast<unsigned long long>(size), filesystem.empty() ? base.c_str() : filesystem.c_str(), runs);
    std::printf("machine                %s before, %s after\n", loadBefore.c_str(), machineLoad().c_str());
    std::printf("memory                 %s\n", memory.note().c_str());
    long peak = 0;
    for (const Case& c : cases) {
        std::printf("\n%s parts (medians)\n", c.name);
        std::printf("  darvolt-split                   %s\n", c.checked.describe().c_str());
        std::printf("  GNU split + openssl dgst        %s\n", c.gnuHashed.describe().c_str());
        std::printf("    ratio %.3f (target <= 0.6)\n", c.checked.wall() / c.gnuHashed.wall());
        std::printf("  darvolt-split --no-checksum     %s\n", c.unchecked.describe().c_str());
        std::printf("    checksums cost %.2f times the split without them\n", c.checked.wall() / c.unchecked.wall());
        std::printf("  GNU split                       %s\n", c.gnu.describe().c_str());
        std::printf("    ratio of --no-checksum %.3f (target <= %s)\n", c.unchecked.wall() / c.gnu.wall(),
                    filesystem == "tmpfs" ? "1.0" : "0.8");
        std::printf("  darvolt-split --flush           %s, %.2f times without\n", c.flushed.describe().c_str(),
                    c.flushed.wall() / c.checked.wall());
        peak = std::max(peak, c.checked.peakKiB);
    }
    std::printf("\ncat of the source     %s\n", cat.describe().c_str());
    std::printf("peak RSS, split run    %ld KiB\n", peak);
    std::printf("peak RSS, empty run    %ld KiB\n", empty.peakKiB);
    std::printf("peak RSS difference    %ld KiB (target < 16384)\n", peak - empty.peakKiB);
    return 0;
}
