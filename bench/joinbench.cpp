// Times darvolt-join against cat (and cat followed by openssl dgst) on the
// parts of one large file.
//
// The source is made and split once per part size with darvolt-split (the
// standard diskette size, and 100000 KB parts), the parts read once so the
// page cache is warm; then in turn, each run into a fresh output after a
// sync: darvolt-join with the checksum file, which checks every part as it
// copies, against cat of the parts followed by openssl dgst -sha256 of the
// result (what it takes to join and hash with the usual tools); and
// darvolt-join without a checksum file against cat alone. Medians of the
// wall times, their ratios, and the CPU time of each (user: the hashing;
// system: the copying) are printed, with the machine's load before and
// after.

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
        Timing checked, catHashed, unchecked, cat;
    };
    std::vector<Case> cases = {
        {"standard size", {"--standard"}, {}, {}, {}, {}},
        {"100000 KB", {"--custom", "100000"}, {}, {}, {}, {}},
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
        // The parts in their order, for cat.
        std::vector<std::string> cat{"sh", "-c", "cat -- \"$@\" > ../joined.bin", "sh"};
        for (int n = 0;; ++n) {
            const std::string name = "source.bin.!" + std::string(n < 10 ? "0" : "") + std::to_string(n);
            if (!fs::exists(parts / name))
                break;
            cat.push_back(name);
            warm(parts / name);
        }
        std::vector<std::string> catHashed = cat;
        catHashed[2] += " && openssl dgst -sha256 ../joined.bin >/dev/null";
        const std::vector<std::string> join{DARVOLT_JOIN_PROGRAM, "--output", joined.string(), "."};

        for (int r = 0; r < runs; ++r) {
            if (!timeRun(c.checked, join, parts, {joined}) || !timeRun(c.catHashed, catHashed, parts, {joined}))
                return 1;
            fs::rename(sums, sumsAside);
            const bool unchecked = timeRun(c.unchecked, join, parts, {joined}) && timeRun(c.cat, cat, parts, {joined});
            fs::rename(sumsAside, sums);
            if (!unchecked)
                return 1;
            std::printf("run %d, %-13s: darvolt-join %.3f s, cat + openssl dgst %.3f s, unchecked darvolt-join "
                        "%.3f s, cat %.3f s\n",
                        r + 1, c.name, c.checked.seconds.back(), c.catHashed.seconds.back(),
                        c.unchecked.seconds.back(), c.cat.seconds.back());
        }
        fs::remove(joined, ignored);
    }

    std::printf("\nsource                 %llu bytes on %s, %d runs each, page cache warm\n",
                static_cast<unsigned long long>(size), filesystem.empty() ? base.c_str() : filesystem.c_str(), runs);
    std::printf("machine                %s before, %s after\n", loadBefore.c_str(), machineLoad().c_str());
    std::printf("memory                 %s\n", memory.note().c_str());
    for (const Case& c : cases) {
        std::printf("\n%s parts (medians)\n", c.name);
        std::printf("  darvolt-join, checked           %s\n", c.checked.describe().c_str());
        std::printf("  cat + openssl dgst              %s\n", c.catHashed.describe().c_str());
        std::printf("    ratio %.3f (target <= 0.7)\n", c.checked.wall() / c.catHashed.wall());
        std::printf("  darvolt-join, no checksum file  %s\n", c.unchecked.describe().c_str());
        std::printf("  cat                             %s\n", c.cat.describe().c_str());
        std::printf("    ratio %.3f (target <= 1.1)\n", c.unchecked.wall() / c.cat.wall());
    }
    return 0;
}
