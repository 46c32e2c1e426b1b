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
//
// Then the arithmetic on its own, in this process: the recovery slices of
// the same shape built from data in memory on both cores (its share of the
// split's time, and its speed in region products per second), beside
// gf-complete's own region multiply on one core in the cache, the speed the
// library can give at best, measured in the same run. Last, repairing one
// and ten lost parts of the split's set with the program's own decoder
// against par2 repair, in pairs taking turns.

#include "benchrun.h"

#include "join/partset.h"
#include "join/recoveryset.h"
#include "parts/recoverydecoder.h"
#include "parts/gf16.h"
#include "parts/par2tool.h"
#include "parts/recoveryaccumulator.h"
#include "platform/posixplatform.h"
#include "split/recoverydata.h"

#include <cstring>

#include <sys/resource.h>

using namespace bench;

namespace {

// The program's own repair as a join without a checksum file makes it: the
// set and its recovery data found, the lost parts rebuilt in a folder of
// their own and put in place.
bool ourRepairOf(darvolt::Platform& platform, const fs::path& folder)
{
    const darvolt::FoundSet found = darvolt::FindPartSet(platform, folder.string());
    if (!found.set)
        return false;
    const darvolt::RecoveryLookup lookup = darvolt::FindRecoverySet(platform, *found.set);
    const fs::path into = folder / ".rebuilt";
    std::error_code ignored;
    fs::create_directory(into, ignored);
    const bool rebuilt = lookup.usable
                         && darvolt::DecodeRecovery({platform, folder.string(), lookup.usable->files, lookup.usable->set,
                                                     {}, into.string()})
                                    .end
                                == darvolt::RecoveryDecoded::End::Rebuilt;
    for (const auto& made : fs::directory_iterator(into, ignored))
        fs::rename(made.path(), folder / made.path().filename(), ignored);
    fs::remove(into, ignored);
    return rebuilt;
}

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

// A run of this process's own work, timed as a program's is.
Run timeHere(const std::function<bool()>& work)
{
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = work();
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    run.user = seconds(after.ru_utime) - seconds(before.ru_utime);
    run.system = seconds(after.ru_stime) - seconds(before.ru_stime);
    run.status = ok ? 0 : 1;
    return run;
}

// gf-complete's region multiply-add on one core over a region that stays
// in the cache: bytes per second.
double libraryRegionSpeed()
{
    const darvolt::GfRegion region(false);
    constexpr std::size_t bytes = 256 << 10;
    const auto source = darvolt::AllocateAligned(bytes);
    const auto target = darvolt::AllocateAligned(bytes);
    std::memset(source.get(), 0x5A, bytes);
    int rounds = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    while (elapsed < 1.0) {
        for (int i = 0; i < 256; ++i)
            region.multiplyAdd(source.get(), target.get(), static_cast<std::uint16_t>(0x1234 + rounds + i), bytes);
        rounds += 256;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    return static_cast<double>(bytes) * rounds / elapsed;
}

// The recovery slices of the split's shape from parts in memory, both
// cores working as in a split: seconds.
double arithmeticSeconds(const darvolt::RecoveryPlan& plan, std::int64_t sourceSize)
{
    darvolt::RecoveryShape shape = darvolt::ShapeRecovery(plan.blockSize, static_cast<std::size_t>(plan.dataParts),
                                                          static_cast<std::uint32_t>(plan.recoveryBlocks),
                                                          darvolt::RecoveryMemoryBudget());
    for (std::int64_t i = 0; i < plan.dataParts; ++i)
        shape.sliceIndex.push_back(static_cast<std::size_t>(i));
    darvolt::RecoveryAccumulator work(shape);
    std::vector<std::byte> part(static_cast<std::size_t>(plan.blockSize), std::byte{0x6B});
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t offset = 0; offset < plan.blockSize; offset += static_cast<std::int64_t>(shape.rangeBytes)) {
        const auto width = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(shape.rangeBytes), plan.blockSize - offset));
        work.beginPass(offset, width);
        for (std::int64_t i = 0; i < plan.dataParts; ++i) {
            const std::int64_t length = std::min(plan.blockSize, sourceSize - i * plan.blockSize) - offset;
            if (length > 0)
                work.add(static_cast<std::size_t>(i), 0, std::span(part).subspan(static_cast<std::size_t>(offset), std::min<std::size_t>(width, static_cast<std::size_t>(length))));
            work.endPart(static_cast<std::size_t>(i));
        }
        work.endPass();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    int percent = 10;
    bool repairsOnly = false; // --only repairs: the repairs, without the splits' pairs
    std::string custom; // KB; the standard diskette size when empty
    // par2 takes a minute or more on 2 GiB: two pairs, each side going first once,
    // unless asked for more.
    const Options options = parseOptions(argc, argv, 2, [&](const std::string& option, const char* value) {
        if (option == "--percent")
            percent = std::clamp(std::atoi(value), 1, 100);
        else if (option == "--only")
            repairsOnly = std::string(value) == "repairs";
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
    for (int r = 0; r < runs && !repairsOnly; ++r) {
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
    std::uint64_t shareAmount = 0;
    double arithmetic = 0, library = 0;
    const double products = static_cast<double>(size) * static_cast<double>(plan.recoveryBlocks);
    const char* method = darvolt::GfRegion().method();
    if (!repairsOnly) {
        if (!timeRun(gnuShare, gnuWith("-r" + share), gnuDir, {ours, gnuDir}))
            return 1;
        shareAmount = par2Bytes(gnuDir);
        if (!timeRun(splitOnly, split, work, {ours, gnuDir}))
            return 1;
        // par2 create over darvolt-split's parts, with the same blocks.
        std::vector<std::string> create{std::string(darvolt::Par2Program), "create"};
        const auto amount = darvolt::RecoveryAmountOptions(plan);
        create.insert(create.end(), amount.begin(), amount.end());
        create.insert(create.end(), {"--", "source.bin.par2"});
        const auto dataParts = partsIn(ours, "source.bin.!");
        create.insert(create.end(), dataParts.begin(), dataParts.end());
        create.insert(create.begin(), {"env", std::string(darvolt::Par2Tuning)});
        if (!timeRun(par2OnOurParts, create, ours, {}))
            return 1;
        if (!timeRun(gnuSplit, {"split", "-b", partBytes, "../source.bin", "part."}, gnuDir, {ours, gnuDir}))
            return 1;
        // The arithmetic alone, and the library's best.
        arithmetic = arithmeticSeconds(plan, static_cast<std::int64_t>(size));
        library = libraryRegionSpeed();
    }

    // Repairs of one and of ten lost parts, ours and par2's in turns, on
    // the set of one more split.
    Timing unused;
    if (!ourRun(unused))
        return 1;
    const auto parts = partsIn(ours, "source.bin.!");
    darvolt::PosixPlatform platform;
    std::vector<PairedTiming> repairs(2);
    const std::vector<std::size_t> losses{1, std::min<std::size_t>(10, static_cast<std::size_t>(plan.recoveryBlocks))};
    const auto lose = [&](std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            fs::remove(ours / parts[(i * 7919) % parts.size()]);
        ::sync();
        SteadyMemory::prime();
    };
    for (std::size_t which = 0; which < losses.size(); ++which)
        for (int r = 0; r < runs; ++r) {
            const auto ourRepair = [&](Timing& timing) {
                lose(losses[which]);
                const Run run = timeHere([&] { return ourRepairOf(platform, ours); });
                timing.add(run);
                return run.status == 0;
            };
            const auto par2Repair = [&](Timing& timing) {
                lose(losses[which]);
                const Run run = runProgram({"par2", "repair", "-q", "--", "source.bin.par2"}, ours);
                timing.add(run);
                return run.status == 0;
            };
            if (!repairs[which].timePair(r, ourRepair, par2Repair))
                return 1;
            std::printf("repair of %zu lost part(s), run %d (%s): darvolt %.2f s / par2 repair %.2f s = %.3f\n",
                        losses[which], r + 1, PairedTiming::firstName(r), repairs[which].ours.seconds.back(),
                        repairs[which].theirs.seconds.back(), repairs[which].ratios.back());
            std::fflush(stdout);
        }
    std::error_code ignored;
    fs::remove_all(gnuDir, ignored);
    fs::remove_all(ours, ignored);

    std::printf("\nsource                 %llu bytes in parts of %s bytes, %d pair(s), page cache warm\n",
                static_cast<unsigned long long>(size), partBytes.c_str(), runs);
    std::printf("machine                %s before, %s after\n", loadBefore.c_str(), machineLoad().c_str());
    std::printf("memory                 %s\n", memory.note().c_str());
    for (std::size_t which = 0; which < losses.size(); ++which) {
        std::printf("\nRepairing %zu lost part(s) (medians)\n", losses[which]);
        std::printf("  darvolt's own decoder     %s\n", repairs[which].ours.describe().c_str());
        std::printf("  par2 repair               %s\n", repairs[which].theirs.describe().c_str());
        std::printf("%s\n", repairs[which].describe("0.25").c_str());
    }
    if (repairsOnly)
        return 0;
    std::printf("\nrecovery data          %llu bytes from darvolt-split, %llu from par2 create %s, "
                "%llu from par2 create -r%s\n",
                static_cast<unsigned long long>(ourAmount), static_cast<unsigned long long>(gnuAmount),
                sameAmount.c_str(), static_cast<unsigned long long>(shareAmount), share.c_str());
    std::printf("\nSplit to finished, with recovery data (medians)\n");
    std::printf("  darvolt-split --recovery %-3s        %s\n", share.c_str(), pairs.ours.describe().c_str());
    std::printf("  GNU split + par2 create %-12s %s\n", sameAmount.c_str(), pairs.theirs.describe().c_str());
    std::printf("%s\n", pairs.describe("0.35").c_str());
    std::printf("\nwhere the time goes (one run each)\n");
    std::printf("  darvolt-split, no recovery data  %s\n", splitOnly.describe().c_str());
    std::printf("  par2 create, a block per part    %s\n", par2OnOurParts.describe().c_str());
    std::printf("  GNU split                        %s\n", gnuSplit.describe().c_str());
    std::printf("  GNU split + par2 create -r%-3s    %s (its own choice of blocks)\n", share.c_str(), gnuShare.describe().c_str());
    std::printf("  the recovery stage is %.0f%% of darvolt-split's time\n",
                100.0 * par2OnOurParts.wall() / (splitOnly.wall() + par2OnOurParts.wall()));
    std::printf("\nthe arithmetic (%s, both cores, slices built from memory)\n", method);
    std::printf("  %.2f s for %.0f GB of region products: %.1f GB/s, %.0f%% of darvolt-split's median time\n",
                arithmetic, products / 1e9, products / arithmetic / 1e9, 100.0 * arithmetic / pairs.ours.wall());
    std::printf("  gf-complete's region multiply, one core, in the cache: %.1f GB/s (two cores at best: %.1f GB/s);"
                " the encoder runs at %.1f times that\n",
                library / 1e9, 2 * library / 1e9, products / arithmetic / (2 * library));
    std::printf("  peak memory of darvolt-split --recovery: %ld KiB\n", pairs.ours.peakKiB);
    return 0;
}
