#pragma once
// Recovery data: a PAR2 set beside the parts, "<source name>.par2" and the
// volume files par2 writes with it ("<source name>.vol0+1.par2", ...), from
// which lost or damaged parts are rebuilt by darvolt-join, the window's
// Join parts..., merge.sh, or any program that reads PAR2 (par2cmdline,
// MultiPar, QuickPar) where Darvolt is not installed.
//
// The set's blocks are as large as a part, so each recovery block rebuilds
// any one part, missing or damaged, and par2's work (which grows with the
// number of blocks times the amount of recovery data) stays as small as it
// can for that amount. The amount is at least the percentage of the source
// that was asked for, rounded up to whole parts, and never less than one
// part: with 10 parts, 10% of a source whose last part is short would not
// rebuild a whole part.
//
// Written in folder mode only, in the split's own read of the source: the
// blocks that become parts feed the PAR2 encoder too (recoveryencoder.h),
// and the set is written after the parts and before the scripts, so a run
// stopped meanwhile leaves no MERGE.BAT and no half-written set. When the
// recovery slices being built do not fit the memory budget, the first
// range of every slice is built in the split's read and the others in
// passes over the parts just written. par2 (par2cmdline) is not needed to
// write the set; merge.sh uses it to repair. When the set cannot be made,
// the user is told and the split still completes, without recovery data.

#include "platform/platform.h"
#include "parts/blockconsumer.h"
#include "parts/messagepacer.h"
#include "parts/partnaming.h"
#include "split/splitview.h"

#include <atomic>
#include <memory>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

// What the window writes, and what the manual suggests on the command line.
inline constexpr int DefaultRecoveryPercent = 10;
// par2cmdline takes "*" and "?" in a name as wildcards and "\\" as a
// separator, and cannot find a file whose name holds a line break again.
inline constexpr std::string_view NamesPar2CannotTake = "*?\\\n\r";
// PAR2 gives every file at least one block and a set at most this many.
inline constexpr std::int64_t MaxRecoveredParts = 32768;

struct RecoveryPlan {
    std::int64_t blockSize = 0;      // bytes, a multiple of 4 (what PAR2 requires)
    std::int64_t dataParts = 0;      // parts that hold data (an empty last part has none)
    std::int64_t recoveryBlocks = 0; // 0: no recovery data can be made
    bool possible() const { return recoveryBlocks > 0; }
};

// The set for a source of sourceSize bytes cut into parts of partSize, with
// percent (1 to 100) of the source as recovery data.
RecoveryPlan PlanRecovery(std::int64_t partSize, std::int64_t sourceSize, int percent);

// par2 create's options that fix the set's block size and recovery amount.
std::vector<std::string> RecoveryAmountOptions(const RecoveryPlan& plan);

// Deletes this source's PAR2 files from the folder; the names it deleted.
std::vector<std::string> RemoveRecoveryFiles(Platform& platform, const std::string& folder,
                                             const std::string& sourceName);

struct RecoveryJob {
    Platform& platform;
    SplitView& view;
    MessagePacer& pacer;
    const std::atomic<bool>* stop = nullptr;
    std::string folder; // the parts' folder, without a trailing "/"
    std::string sourceName;
    std::int64_t partSize = 0;
    std::int64_t sourceSize = 0;
    int percent = DefaultRecoveryPercent;
    bool flush = false;        // the set must be on the medium before the run ends
    std::size_t memory = 0;    // for the recovery slices being built; 0: RecoveryMemoryBudget()
};

enum class RecoveryEnd {
    Written,     // the set is complete beside the parts
    Failed,      // none was written (the user was told why)
    Interrupted, // the stop flag was raised; what had been written is deleted
};

// The smaller of 1 GiB and a quarter of the machine's memory.
std::size_t RecoveryMemoryBudget();

// The volume files after NAME.par2: their first exponent and slice count,
// 1, 2, 4, ... slices each, the last one what is left.
struct RecoveryVolume {
    std::string name;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};
std::vector<RecoveryVolume> RecoveryVolumes(std::string_view sourceName, std::uint32_t slices);

class RecoveryEncoder;

// One recovery set in the making.
class RecoveryWriter {
public:
    // Before the parts: reads the first 16 KiB of every part's stretch of
    // the source and readies the encoder. A set that cannot be made is
    // told about by finish(), after the parts, as before.
    RecoveryWriter(const RecoveryJob& job, File& source);
    ~RecoveryWriter();

    // What the split's feed hands every block to; none when no set can be made.
    std::vector<BlockConsumer*> consumers();
    // After every part has been written and handed over: the rest of the
    // arithmetic and the files. Shows "Writing recovery data" meanwhile.
    RecoveryEnd finish();

private:
    struct SetFiles;
    bool stopped() const;
    // Builds the ranges after the first from the parts just written, each
    // written out when done; false when the run was stopped or failed.
    bool morePasses(SetFiles& files);
    // The pass's range of every recovery slice into its packet.
    bool writePass(SetFiles& files);
    RecoveryEnd written(SetFiles& files);
    // One step of the progress after the first pass; false once stopped.
    bool advance(SetFiles& files);

    RecoveryJob job_;
    RecoveryPlan plan_;
    std::string refusal_; // why no set can be made, shown by finish()
    std::unique_ptr<RecoveryEncoder> encoder_;
    std::vector<std::size_t> order_; // the parts in the set's order
};

} // namespace darvolt
