// Times a split with recovery data against what it takes with the usual
// tools: GNU split, then par2 create writing the same amount of recovery data.
//
// darvolt-split runs the engine the window's Split button runs, with the
// same options the window passes when "Write recovery data" is on, so its
// time is the time from pressing Split to a finished split with recovery
// data. The source is made once and read once so the page cache is warm;
// the two take turns, each into a fresh folder after a sync, and each pair
// gives a ratio. The same amount means the same blocks: par2 create -r10
// rounds down and writes less than a tenth (147 blocks of a part where a
// tenth of 2 GiB takes 148), so it is told the block size and count Darvolt
// writes, and -r is timed once beside it for the record. To show where the
// time goes, the split without recovery data and par2 create over the parts
// it made are timed on their own once, as is GNU split alone; every figure
// carries its CPU time, user and system, and the machine's load is printed.

#include "benchrun.h"

#include "parts/par2tool.h"
#include "split/recoverydata.h"

using namespace bench;

namespace {

std::vector<std::string> partsIn(const fs::path& folder, const std::string& prefix)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(prefix) && fs::file_size(entry.path()) > 0)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

std::uint64_t par2Bytes(const fs::path& folder)
{
    std::uint64_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".par2")
            bytes += fs::file_size(entry.path());
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    int percent = 10;
    std::string custom; // KB; the standard diskette size when empty
    // par2 takes a minute or more on 2 GiB: two pairs, each side going first once,
    // unless asked for more.
    const Options options = parseOptions(argc, argv, 2, [&](const std::string& option, const char* value) {
        if (option == "--percent")
            percent = std::clamp(std::atoi(value), 1, 100);
        else if (option == "--custom")
            custom = value;
    });
    const std::uint64_t size = options.size;
    const int runs = options.runs;
    const std::string partBytes = custom.empty() ? "1457664" : std::to_string(std::stoll(custom) * 1024);
    const std::vector<std::string> sizeOption =
        custom.empty() ? std::vector<std::string>{"--standard"} : std::vector<std::string>{"--custom", custom};

    const SteadyMemory memory;
    const Scratch scratch(options.base, "recoverybench", options.filesystem, size);
    if (!scratch.ok(options.filesystem))
        return 1;
    const fs::path work = scratch.path();
    const fs::path source = makeScratchSource(scratch, "recoverybench", size);
    if (source.empty())
        return 1;
    warm(source);
    const std::string loadBefore = machineLoad();
    const fs::path ours = work / "SOURCE_PARTS";
    const fs::path gnuDir = work / "gnu";
    const std::string share = std::to_string(percent);

    PairedTiming pairs; // darvolt-split --recovery against GNU split + par2 create
    Timing splitOnly, par2OnOurParts, gnuSplit;
    std::uint64_t ourAmount = 0, gnuAmount = 0;
    std::vector<std::string> split{DARVOLT_SPLIT_PROGRAM};
    split.insert(split.end(), sizeOption.begin(), sizeOption.end());
    std::vector<std::string> recovered = split;
    recovered.insert(recovered.end(), {"--recovery", share});
    split.push_back("source.bin");
    recovered.push_back("source.bin");
    const auto plan = darvolt::PlanRecovery(std::stoll(partBytes), static_cast<std::int64_t>(size), percent);
    std::string sameAmount;
    for (const auto& option : darvolt::RecoveryAmountOptions(plan))
        sameAmount += (sameAmount.empty() ? "" : " ") + option;
    const auto gnuWith = [&](const std::string& par2Options) {
        return std::vector<std::string>{"sh", "-c",
                                        "split -b " + partBytes + " ../source.bin part. && par2 create -q " + par2Options
                                            + " parts.par2 part.*"};
    };
    const std::vector<std::string> gnu = gnuWith(sameAmount);
    const auto ourRun = [&](Timing& timing) {
        const bool ok = timeRun(timing, recovered, work, {ours, gnuDir});
        ourAmount = ok ? par2Bytes(ours) : 0;
        return ok;
    };
    const auto gnuRun = [&](Timing& timing) {
        const bool ok = timeRun(timing, gnu, gnuDir, {ours, gnuDir});
        gnuAmount = ok ? par2Bytes(gnuDir) : 0;
        return ok;
    };
    // par2's speed drifts by a fifth within minutes on a shared machine.
    for (int r = 0; r < runs; ++r) {
        if (!pairs.timePair(r, ourRun, gnuRun))
            return 1;
        std::printf("run %d (%s): darvolt-split --recovery %s %.1f s / GNU split + par2 create %s %.1f s = %.3f\n",
                    r + 1, PairedTiming::firstName(r), share.c_str(), pairs.ours.seconds.back(), sameAmount.c_str(),
                    pairs.theirs.seconds.back(), pairs.ratios.back());
        std::fflush(stdout);
    }
    // Where the time goes, once: the split alone, then par2 over its parts as
    // darvolt-split runs it, GNU split alone, and GNU split with -r.
    Timing gnuShare;
    if (!timeRun(gnuShare, gnuWith("-r" + share), gnuDir, {ours, gnuDir}))
        return 1;
    const std::uint64_t shareAmount = par2Bytes(gnuDir);
    if (!timeRun(splitOnly, split, work, {ours, gnuDir}))
        return 1;
    auto create = darvolt::RecoveryCreateCommand(plan, "source.bin", partsIn(ours, "source.bin.!"));
    create.insert(create.begin(), {"env", std::string(darvolt::Par2Tuning)});
    if (!timeRun(par2OnOurParts, create, ours, {}))
        return 1;
    if (!timeRun(gnuSplit, {"split", "-b", partBytes, "../source.bin", "part."}, gnuDir, {ours, gnuDir}))
        return 1;
    std::error_code ignored;
    fs::remove_all(gnuDir, ignored);
    fs::remove_all(ours, ignored);

    std::printf("\nsource                 %llu bytes in parts of %s bytes, %d pair(s), page cache warm\n",
                static_cast<unsigned long long>(size), partBytes.c_str(), runs);
    std::printf("machine                %s before, %s after\n", loadBefore.c_str(), machineLoad().c_str());
    std::printf("memory                 %s\n", memory.note().c_str());
    std::printf("recovery data          %llu bytes from darvolt-split, %llu from par2 create %s, "
                "%llu from par2 create -r%s\n",
                static_cast<unsigned long long>(ourAmount), static_cast<unsigned long long>(gnuAmount),
                sameAmount.c_str(), static_cast<unsigned long long>(shareAmount), share.c_str());
    std::printf("\nSplit to finished, with recovery data (medians)\n");
    std::printf("  darvolt-split --recovery %-3s        %s\n", share.c_str(), pairs.ours.describe().c_str());
    std::printf("  GNU split + par2 create %-12s %s\n", sameAmount.c_str(), pairs.theirs.describe().c_str());
    std::printf("%s\n", pairs.describe("1.0").c_str());
    std::printf("\nwhere the time goes (one run each)\n");
    std::printf("  darvolt-split, no recovery data  %s\n", splitOnly.describe().c_str());
    std::printf("  par2 create, a block per part    %s\n", par2OnOurParts.describe().c_str());
    std::printf("  GNU split                        %s\n", gnuSplit.describe().c_str());
    std::printf("  GNU split + par2 create -r%-3s    %s (its own choice of blocks)\n", share.c_str(), gnuShare.describe().c_str());
    std::printf("  the recovery stage is %.0f%% of darvolt-split's time\n",
                100.0 * par2OnOurParts.wall() / (splitOnly.wall() + par2OnOurParts.wall()));
    return 0;
}
