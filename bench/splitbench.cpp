// Times darvolt-split against GNU split (and cat) on one large file.
//
// The file is made once and read once so the page cache is warm. Two part
// sizes: the standard diskette size, and 100000 KB parts (where the copy
// itself dominates). Each comparison is timed in pairs, the two programs
// back to back, darvolt-split first in odd runs and the other first in even
// ones, each run into a fresh output folder: darvolt-split as it is used,
// with its checksums, against GNU split followed by openssl dgst -sha256
// over the source and over every part (what it takes to get the same
// checksums with the usual tools); and darvolt-split --no-checksum against
// GNU split alone. The machine's speed wanders from minute to minute, so a
// pair's two runs see the same machine and each pair gives a ratio: the
// bench prints the medians of each side, the ratio of the medians, the
// median of the pair ratios and their spread. darvolt-split --flush (what
// waiting for the disk costs) and cat of the source are timed once a run
// beside the pairs, for their medians alone; darvolt-split's peak resident
// memory is set against an empty run of the same program. Every figure
// carries its CPU time, user (the hashing, mostly) and system (the
// copying), which is where the time goes; the machine's load is printed
// before and after, since a busy machine has no idle core for the hashing
// to use. --filesystem mounts a tmpfs (or a loop image of xfs, btrfs, ext4)
// to run on, as root.

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
        PairedTiming checked, unchecked; // against GNU split + openssl dgst, and GNU split alone
        Timing flushed;
    };
    std::vector<Case> cases = {
        {"standard size", {"--standard"}, "1457664", {}, {}, {}},
        {"100000 KB", {"--custom", "100000"}, "102400000", {}, {}, {}},
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
            const Command gnu{{"split", "-b", c.bytes, "../source.bin", "part."}, gnuDir};
            const Command gnuHashed{
                {"sh", "-c", "split -b " + c.bytes + " ../source.bin part. && openssl dgst -sha256 ../source.bin part.* >/dev/null"},
                gnuDir};
            if (!c.checked.timePair(r, {args, work}, gnuHashed, outputs)
                || !c.unchecked.timePair(r, {unchecked, work}, gnu, outputs)
                || !timeRun(c.flushed, flushed, work, outputs))
                return 1;
            std::printf("run %d, %-13s (%s): darvolt-split %.3f s / GNU split + openssl dgst %.3f s = %.3f, "
                        "--no-checksum %.3f s / GNU split %.3f s = %.3f; --flush %.3f s\n",
                        r + 1, c.name, PairedTiming::firstName(r), c.checked.ours.seconds.back(),
                        c.checked.theirs.seconds.back(), c.checked.ratios.back(), c.unchecked.ours.seconds.back(),
                        c.unchecked.theirs.seconds.back(), c.unchecked.ratios.back(), c.flushed.seconds.back());
            std::fflush(stdout);
        }
        if (!timeRun(cat, {"sh", "-c", "cat ../source.bin > joined"}, gnuDir, outputs))
            return 1;
    }
    std::error_code ignored;
    fs::remove_all(gnuDir, ignored);

    std::printf("\nsource                 %llu bytes on %s, page cache warm\n",
                static_cast<unsigned long long>(size), filesystem.empty() ? base.c_str() : filesystem.c_str());
    std::printf("runs                   %d pairs per comparison, back to back, darvolt-split first in odd runs, "
                "the other first in even ones\n",
                runs);
    std::printf("machine                %s before, %s after\n", loadBefore.c_str(), machineLoad().c_str());
    std::printf("memory                 %s\n", memory.note().c_str());
    long peak = 0;
    for (const Case& c : cases) {
        std::printf("\n%s parts (medians)\n", c.name);
        std::printf("  darvolt-split                   %s\n", c.checked.ours.describe().c_str());
        std::printf("  GNU split + openssl dgst        %s\n", c.checked.theirs.describe().c_str());
        std::printf("%s\n", c.checked.describe("0.6").c_str());
        std::printf("  darvolt-split --no-checksum     %s\n", c.unchecked.ours.describe().c_str());
        std::printf("  GNU split                       %s\n", c.unchecked.theirs.describe().c_str());
        std::printf("%s\n", c.unchecked.describe(filesystem == "tmpfs" ? "1.0" : "0.8").c_str());
        std::printf("  checksums cost %.2f times the split without them\n",
                    c.checked.ours.wall() / c.unchecked.ours.wall());
        std::printf("  darvolt-split --flush           %s, %.2f times without\n", c.flushed.describe().c_str(),
                    c.flushed.wall() / c.checked.ours.wall());
        peak = std::max(peak, c.checked.ours.peakKiB);
    }
    std::printf("\ncat of the source      %s, medians of %d runs\n", cat.describe().c_str(), runs);
    std::printf("peak RSS, split run    %ld KiB\n", peak);
    std::printf("peak RSS, empty run    %ld KiB\n", empty.peakKiB);
    std::printf("peak RSS difference    %ld KiB (target < 16384)\n", peak - empty.peakKiB);
    return 0;
}
