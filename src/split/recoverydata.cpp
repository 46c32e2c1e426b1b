#include "split/recoverydata.h"

#include "parts/par2tool.h"
#include "split/splittexts.h"

#include <algorithm>

namespace darvolt {

RecoveryPlan PlanRecovery(std::int64_t partSize, std::int64_t sourceSize, int percent)
{
    RecoveryPlan plan;
    if (partSize <= 0 || sourceSize <= 0 || percent <= 0)
        return plan;
    plan.blockSize = (partSize + 3) / 4 * 4;
    plan.dataParts = (sourceSize + partSize - 1) / partSize;
    if (plan.dataParts > MaxRecoveredParts)
        return plan;
    // percent of the source in bytes, rounded up, without overflow
    const std::int64_t amount = sourceSize / 100 * percent + (sourceSize % 100 * percent + 99) / 100;
    const std::int64_t blocks = (amount + plan.blockSize - 1) / plan.blockSize;
    plan.recoveryBlocks = std::clamp<std::int64_t>(blocks, 1, plan.dataParts);
    return plan;
}

std::vector<std::string> RecoveryAmountOptions(const RecoveryPlan& plan)
{
    return {"-s" + std::to_string(plan.blockSize), "-c" + std::to_string(plan.recoveryBlocks)};
}

std::vector<std::string> RecoveryCreateCommand(const RecoveryPlan& plan, std::string_view sourceName,
                                               const std::vector<std::string>& dataParts)
{
    std::vector<std::string> command{std::string(Par2Program), "create"};
    const auto amount = RecoveryAmountOptions(plan);
    command.insert(command.end(), amount.begin(), amount.end());
    // Names that start with "-" are names.
    command.insert(command.end(), {"--", RecoveryFileName(sourceName)});
    command.insert(command.end(), dataParts.begin(), dataParts.end());
    return command;
}

std::vector<std::string> RemoveRecoveryFiles(Platform& platform, const std::string& folder,
                                             const std::string& sourceName)
{
    std::vector<std::string> removed;
    const auto listing = platform.listDirectory(folder);
    if (!listing.ok())
        return removed;
    for (const auto& entry : listing.value)
        if (!entry.isDirectory && IsRecoveryFileOf(entry.name, sourceName)
            && platform.removeFile(folder + "/" + entry.name) == error::None)
            removed.push_back(entry.name);
    return removed;
}

namespace {

// Data and names of the set on the medium.
bool flushSet(Platform& platform, const std::string& folder, const std::string& sourceName)
{
    const auto listing = platform.listDirectory(folder);
    if (!listing.ok())
        return false;
    for (const auto& entry : listing.value) {
        if (entry.isDirectory || !IsRecoveryFileOf(entry.name, sourceName))
            continue;
        auto file = platform.openForReading(folder + "/" + entry.name);
        if (!file.ok() || file.value->flush() != error::None || file.value->close() != error::None)
            return false;
    }
    return platform.flushFolder(folder) == error::None;
}

} // namespace

RecoveryEnd WriteRecoveryData(const RecoveryJob& job)
{
    if (job.sourceName.find_first_of(NamesPar2CannotTake) != std::string::npos) {
        job.view.showMessage(std::string(texts::RecoveryNameUnsupported));
        return RecoveryEnd::Failed;
    }
    const RecoveryPlan plan = PlanRecovery(job.partSize, job.sourceSize, job.percent);
    if (!plan.possible()) {
        job.view.showMessage(texts::recoveryTooManyParts(plan.dataParts));
        return RecoveryEnd::Failed;
    }
    const std::vector<std::string> dataParts(
        job.bareParts.begin(),
        job.bareParts.begin() + std::min<std::int64_t>(plan.dataParts, static_cast<std::int64_t>(job.bareParts.size())));

    const std::int64_t maximum = std::max<std::int64_t>(job.sourceSize / 1024, 1);
    job.view.setStatusText(std::string(texts::WritingRecoveryData));
    job.view.setProgressMaximum(maximum);
    job.view.setProgressPosition(0);
    job.pacer.pumpNow();

    // par2 first reads and hashes every part, then works out the recovery
    // blocks: about a block's worth of arithmetic per recovery block for
    // every byte, several times faster per byte than the hashing.
    const double hashing = static_cast<double>(job.sourceSize);
    const double computing = static_cast<double>(job.sourceSize) * static_cast<double>(plan.recoveryBlocks) / 3.0;
    Par2Progress progress({{"Opening: ", static_cast<std::int64_t>(dataParts.size()), hashing},
                           {"Processing: ", 0, computing}});
    std::int64_t shown = 0;
    const ToolRun run = RunTool({job.platform, job.pacer, job.stop},
                                {RecoveryCreateCommand(plan, job.sourceName, dataParts), job.folder}, progress,
                                [&](double fraction) {
                                    const auto position = static_cast<std::int64_t>(fraction * static_cast<double>(maximum));
                                    if (position <= shown)
                                        return;
                                    job.view.setProgressStep(position - shown);
                                    job.view.stepProgress();
                                    shown = position;
                                });
    switch (run.end) {
    case ToolRun::End::NotInstalled:
        job.view.showMessage(std::string(texts::RecoveryToolMissing));
        return RecoveryEnd::Failed;
    case ToolRun::End::NotStarted:
        job.view.showMessage(texts::recoveryFailed("error " + std::to_string(run.error)));
        return RecoveryEnd::Failed;
    case ToolRun::End::Stopped:
        RemoveRecoveryFiles(job.platform, job.folder, job.sourceName);
        return RecoveryEnd::Interrupted;
    case ToolRun::End::Finished: break;
    }
    if (run.status != 0) {
        // Half a set would only mislead whoever later needs it.
        RemoveRecoveryFiles(job.platform, job.folder, job.sourceName);
        job.view.showMessage(texts::recoveryFailed(LastOutputLine(run.output)));
        return RecoveryEnd::Failed;
    }
    if (job.flush && !flushSet(job.platform, job.folder, job.sourceName)) {
        RemoveRecoveryFiles(job.platform, job.folder, job.sourceName);
        job.view.showMessage(texts::recoveryFailed("it could not be flushed to the disk"));
        return RecoveryEnd::Failed;
    }
    return RecoveryEnd::Written;
}

} // namespace darvolt
