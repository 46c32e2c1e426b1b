// Times darvolt-join against cat (and cat followed by openssl dgst) on the
// parts of one large file.
//
// The source is made and split once per part size with darvolt-split (the
// standard diskette size, and 100000 KB parts), the parts read once so the
// page cache is warm. Each comparison is timed in pairs, the two back to
// back, darvolt-join first in odd runs and the other first in even ones,
// each run into a fresh output after a sync: darvolt-join with the checksum
// file against cat of the parts followed by openssl dgst -sha256 of every
// part, since a checked join verifies each part against its line of the
// checksum file (what it takes to join and check the same way with the
// usual tools); and darvolt-join without a checksum file against cat
// alone. The machine's speed wanders from minute to minute, so a pair's two
// runs see the same machine and each pair gives a ratio: the bench prints
// the medians of each side with their CPU time (user: the hashing; system:
// the copying), the ratio of the medians, the median of the pair ratios and
// their spread, and the machine's load before and after.
//
// Last, a set split with recovery data loses one part, and darvolt-join
// checks, rebuilds and joins it: the bench prints how many bytes that reads
// through the kernel, as a multiple of the set's size (the part copied
// into the joined file by the kernel alone is not counted).

#include "benchrun.h"

using namespace bench;

int main(int argc, char** argv)
{
    const auto [size, runs, base, filesystem] = parseOptions(argc, argv, 5);
    const SteadyMemory memory;
    const Scratch scratch(base, "joinbench", filesystem, size);
    if (!scratch.ok(filesystem))
        return 1;
    const fs::path work = scratch.path();
    const fs::path source = makeScratchSource(scratch, "joinbench", size);
    if (source.empty())
        return 1;
    const std::string loadBefore = machineLoad();

    struct Case {
        const char* name;
        std::vector<std::string> split;
        PairedTiming checked, unchecked; // against cat + openssl dgst, and cat alone
    };
    std::vector<Case> cases = {
        {"standard size", {"--standard"}, {}, {}},
        {"100000 KB", {"--custom", "100000"}, {}, {}},
    };
    const fs::path parts = work / "SOURCE_PARTS";
    const fs::path joined = work / "joined.bin";
    const fs::path sums = parts / "source.bin.sha256";
    const fs::path sumsAside = work / "source.bin.sha256";
    for (Case& c : cases) {
        std::error_code ignored;
        fs::remove_all(parts, ignored);
        std::vector<std::string> split{DARVOLT_SPLIT_PROGRAM};
        split.insert(split.end(), c.split.begin(), c.split.end());
        split.push_back("source.bin");
        if (runProgram(split, work).status != 0) {
            std::fprintf(stderr, "joinbench: darvolt-split failed\n");
            return 1;
        }
        // The parts in their order, for cat and openssl dgst.
        Command cat{{"sh", "-c", "cat -- \"$@\" > ../joined.bin", "sh"}, parts};
        for (int n = 0;; ++n) {
            const std::string name = "source.bin.!" + std::string(n < 10 ? "0" : "") + std::to_string(n);
            if (!fs::exists(parts / name))
                break;
            cat.args.push_back(name);
            warm(parts / name);
        }
        // Every part hashed, as the checked join checks every part.
        Command catHashed = cat;
        catHashed.args[2] += " && openssl dgst -sha256 \"$@\" >/dev/null";
        const Command join{{DARVOLT_JOIN_PROGRAM, "--output", joined.string(), "."}, parts};

        for (int r = 0; r < runs; ++r) {
            if (!c.checked.timePair(r, join, catHashed, {joined}))
                return 1;
            // Without its checksum file darvolt-join has nothing to check.
            fs::rename(sums, sumsAside);
            const bool unchecked = c.unchecked.timePair(r, join, cat, {joined});
            fs::rename(sumsAside, sums);
            if (!unchecked)
                return 1;
            std::printf("run %d, %-13s (%s): darvolt-join %.3f s / cat + openssl dgst %.3f s = %.3f, "
                        "unchecked darvolt-join %.3f s / cat %.3f s = %.3f\n",
                        r + 1, c.name, PairedTiming::firstName(r), c.checked.ours.seconds.back(),
                        c.checked.theirs.seconds.back(), c.checked.ratios.back(), c.unchecked.ours.seconds.back(),
                        c.unchecked.theirs.seconds.back(), c.unchecked.ratios.back());
            std::fflush(stdout);
        }
        fs::remove(joined, ignored);
    }

    // A repair of one lost part: how often the set is read.
    std::error_code ignored;
    fs::remove_all(parts, ignored);
    if (runProgram({DARVOLT_SPLIT_PROGRAM, "--custom", "100000", "-r", "5", "source.bin"}, work).status != 0) {
        std::fprintf(stderr, "joinbench: darvolt-split -r 5 failed\n");
        return 1;
    }
    fs::remove(parts / "source.bin.!01");
    const Run repaired = runProgram({DARVOLT_JOIN_PROGRAM, "--output", joined.string(), "."}, parts);
    fs::remove(joined, ignored);
    fs::remove_all(parts, ignored);
    if (repaired.status != 0) {
        std::fprintf(stderr, "joinbench: the repair of one lost part failed (%d)\n", repaired.status);
        return 1;
    }

    std::printf("\nsource                 %llu bytes on %s, page cache warm\n",
                static_cast<unsigned long long>(size), filesystem.empty() ? base.c_str() : filesystem.c_str());
    std::printf("runs                   %d pairs per comparison, back to back, darvolt-join first in odd runs, "
                "the other first in even ones\n",
                runs);
    std::printf("machine                %s before, %s after\n", loadBefore.c_str(), machineLoad().c_str());
    std::printf("memory                 %s\n", memory.note().c_str());
    for (const Case& c : cases) {
        std::printf("\n%s parts (medians)\n", c.name);
        std::printf("  darvolt-join, checked           %s\n", c.checked.ours.describe().c_str());
        std::printf("  cat + openssl dgst of the parts %s\n", c.checked.theirs.describe().c_str());
        std::printf("%s\n", c.checked.describe("0.6").c_str());
        std::printf("  darvolt-join, no checksum file  %s\n", c.unchecked.ours.describe().c_str());
        std::printf("  cat                             %s\n", c.unchecked.theirs.describe().c_str());
        std::printf("%s\n", c.unchecked.describe("1.1").c_str());
    }
    std::printf("\nrepair of one lost part of 100000 KB, recovery data 5%%: %.2f s, read %.2f times the set "
                "(target at most 2)\n",
                repaired.seconds, double(repaired.readBytes) / double(size));
    return 0;
}
