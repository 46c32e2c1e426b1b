#include "join/repairfolder.h"

#include "platform/pathrules.h"

#include <random>
#include <vector>

namespace darvolt {

namespace {

std::string randomSuffix()
{
    static constexpr std::string_view Symbols = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix += Symbols[device() % Symbols.size()];
    return suffix;
}

// par2 never makes folders deeper than the names it was handed; this is a
// bound, not a measure.
constexpr int DeepestFolder = 64;

} // namespace

RepairFolder::RepairFolder(Platform& platform, std::string partsFolder)
    : platform_(platform), parts_(std::move(partsFolder))
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name_ = ".darvolt-repair-" + randomSuffix();
        path_ = InFolder(parts_, name_);
        error_ = platform_.makeDirectory(path_, PrivateFolderPermissions);
        if (error_ != error::AlreadyExists)
            break;
    }
    if (error_ != error::None)
        return;
    // Everything in it goes through this handle from now on: the folder
    // swapped for a link cannot send a rebuilt part elsewhere.
    error_ = platform_.holdFolder(path_, false);
    held_ = error_ == error::None;
    if (!held_)
        platform_.removeDirectory(path_);
}

RepairFolder::~RepairFolder()
{
    if (!held_)
        return;
    removeAll(path_, 0);
    platform_.releaseFolder(path_);
    platform_.removeDirectory(path_);
}

void RepairFolder::removeAll(const std::string& folder, int depth)
{
    const auto listing = platform_.listDirectory(folder);
    if (!listing.ok())
        return;
    for (const DirectoryEntry& entry : listing.value) {
        const std::string path = folder + "/" + entry.name;
        if (entry.isDirectory && !entry.isLink && depth < DeepestFolder) {
            removeAll(path, depth + 1);
            platform_.removeDirectory(path);
        } else {
            platform_.removeFile(path);
        }
    }
}

ErrorCode RepairFolder::stage(const std::string& partPath, const std::string& bareName, const std::atomic<bool>* stop)
{
    const std::string target = pathOf(bareName);
    if (platform_.linkFile(partPath, target) == error::None)
        return error::None;
    auto source = platform_.openForReading(partPath);
    if (!source.ok())
        return source.error;
    auto copy = platform_.createNewFile(target, PrivatePermissions);
    if (!copy.ok())
        return copy.error;
    std::vector<std::byte> buffer(std::size_t{1} << 20);
    for (std::int64_t at = 0;;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed))
            return error::None; // the run ends as stopped; the copy goes with the folder
        const auto got = source.value->readAt(at, buffer);
        if (!got.ok())
            return got.error;
        if (got.value == 0)
            break;
        const auto put = copy.value->writeAt(at, std::span<const std::byte>(buffer).first(got.value));
        if (!put.ok() || put.value != got.value)
            return put.ok() ? error::DiskFull : put.error;
        at += static_cast<std::int64_t>(got.value);
    }
    return copy.value->close();
}

} // namespace darvolt
