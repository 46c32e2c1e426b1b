#include "platform/fakeplatform.h"

#include "platform/fakefile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace darvolt {

using fakepath::bareName;
using fakepath::parentOf;
using fakepath::trimmed;

FakePlatform::FakePlatform(std::string driveFolder) : drive_(trimmed(std::move(driveFolder))) {}

FakePlatform::~FakePlatform() = default;

void FakePlatform::callHook(Operation op, const std::string& path) const
{
    if (hook_)
        hook_(op, path);
}

FakePlatform::Slot* FakePlatform::current() const
{
    const int index = inUse_ >= 0 ? inUse_ : current_;
    if (index < 0 || index >= static_cast<int>(media_.size()))
        return nullptr;
    Slot* slot = media_[static_cast<std::size_t>(index)].get();
    return slot->medium.state == Medium::State::Missing ? nullptr : slot;
}

std::vector<int> FakePlatform::present() const
{
    std::vector<int> indices;
    for (int i = std::max(current_, 0); current_ >= 0 && i < static_cast<int>(media_.size()); ++i) {
        indices.push_back(i);
        if (!media_[static_cast<std::size_t>(i)]->medium.withNext)
            break;
    }
    return indices;
}

std::string FakePlatform::folderOf(const Slot& slot) const
{
    return slot.medium.folder.empty() ? drive_ : trimmed(slot.medium.folder);
}

FakePlatform::Slot* FakePlatform::mediumAt(const std::string& folder) const
{
    const auto usable = [&](int i) {
        const Slot& slot = *media_[static_cast<std::size_t>(i)];
        return slot.medium.state != Medium::State::Missing && slot.medium.mounted && folderOf(slot) == folder;
    };
    const std::vector<int> now = present();
    if (std::find(now.begin(), now.end(), inUse_) != now.end() && usable(inUse_))
        return media_[static_cast<std::size_t>(inUse_)].get();
    for (const int i : now)
        if (usable(i))
            return media_[static_cast<std::size_t>(i)].get();
    return nullptr;
}

bool FakePlatform::isMediumFolder(const std::string& folder) const
{
    if (folder == drive_)
        return true;
    return std::any_of(media_.begin(), media_.end(), [&](const auto& slot) { return folderOf(*slot) == folder; });
}

std::map<std::string, std::shared_ptr<FakePlatform::Node>>*
FakePlatform::filesFor(const std::string& path, std::string& key, ErrorCode& error, Slot** onMedium) const
{
    error = error::None;
    if (onMedium != nullptr)
        *onMedium = nullptr;
    if (isMediumFolder(parentOf(path))) {
        // A folder that no medium is mounted on now is an empty mount point.
        Slot* slot = mediumAt(parentOf(path));
        if (slot == nullptr) {
            error = error::NotReady;
            return nullptr;
        }
        if (onMedium != nullptr)
            *onMedium = slot;
        key = bareName(path);
        return &slot->files;
    }
    key = path;
    return const_cast<std::map<std::string, std::shared_ptr<Node>>*>(&files_);
}

std::shared_ptr<FakePlatform::Node> FakePlatform::find(const std::string& path) const
{
    std::string key;
    ErrorCode e;
    auto* files = filesFor(path, key, e);
    if (files == nullptr)
        return nullptr;
    const auto it = files->find(key);
    return it == files->end() ? nullptr : it->second;
}

bool FakePlatform::parentExists(const std::string& path) const
{
    return hasDirectory(parentOf(path));
}

std::int64_t FakePlatform::roomOf(const Slot& slot, std::int64_t bytes)
{
    const std::int64_t unit = std::max<std::int64_t>(slot.medium.allocationUnit, 1);
    return (bytes + unit - 1) / unit * unit;
}

std::int64_t FakePlatform::freeBytesOf(const Slot& slot, const Node* except)
{
    std::int64_t used = 0;
    for (const auto& [name, node] : slot.files)
        if (node.get() != except)
            used += roomOf(slot, static_cast<std::int64_t>(node->data.size()));
    return slot.medium.capacity - used;
}

Result<std::unique_ptr<File>> FakePlatform::openForReading(const std::string& path)
{
    callHook(Operation::OpenForReading, path);
    const Lock lock(mutex_);
    using R = Result<std::unique_ptr<File>>;
    if (const ErrorCode e = faults_.enter(Operation::OpenForReading); e != error::None)
        return R::failure(e);
    std::string key;
    ErrorCode e;
    auto* files = filesFor(path, key, e);
    if (files == nullptr)
        return R::failure(e);
    const auto it = files->find(key);
    if (it == files->end())
        return R::failure(hasDirectory(path) ? error::AccessDenied : error::FileNotFound);
    if (it->second->special)
        return R::failure(error::FileNotFound);
    if (it->second->locked)
        return R::failure(error::SharingViolation);
    return R{std::make_unique<FakeFile>(*this, path, it->second, false), error::None};
}

Result<std::unique_ptr<File>> FakePlatform::createFile(const std::string& path, std::uint32_t)
{
    return create(path, false);
}

Result<std::unique_ptr<File>> FakePlatform::createNewFile(const std::string& path, std::uint32_t)
{
    return create(path, true);
}

Result<std::unique_ptr<File>> FakePlatform::create(const std::string& path, bool exclusive)
{
    callHook(Operation::CreateFile, path);
    const Lock lock(mutex_);
    using R = Result<std::unique_ptr<File>>;
    if (const ErrorCode e = faults_.enter(Operation::CreateFile); e != error::None)
        return R::failure(e);
    std::string key;
    ErrorCode e;
    Slot* slot = nullptr;
    auto* files = filesFor(path, key, e, &slot);
    if (files == nullptr)
        return R::failure(e);
    if (slot != nullptr && slot->medium.state == Medium::State::WriteProtected)
        return R::failure(error::WriteProtected);
    if (hasDirectory(path))
        return R::failure(exclusive ? error::AlreadyExists : error::AccessDenied);
    if (slot == nullptr && !parentExists(path))
        return R::failure(error::PathNotFound);
    const auto existing = files->find(key);
    if (exclusive && existing != files->end())
        return R::failure(error::AlreadyExists);
    if (existing == files->end() && slot != nullptr && slot->medium.maxFiles >= 0
        && static_cast<int>(slot->files.size()) >= slot->medium.maxFiles)
        return R::failure(error::DiskFull); // no directory entry left
    auto& node = (*files)[key];
    if (node) {
        if (node->locked)
            return R::failure(error::SharingViolation);
        if (node->readOnly || node->special)
            return R::failure(error::AccessDenied);
        node->data.clear();
        ++node->changes;
        node->dataFlushed = false;
    } else {
        node = std::make_shared<Node>();
        node->slot = slot;
        node->entryFlushed = false;
    }
    return R{std::make_unique<FakeFile>(*this, path, node, true), error::None};
}

ErrorCode FakePlatform::removeFile(const std::string& path)
{
    callHook(Operation::RemoveFile, path);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::RemoveFile); e != error::None)
        return e;
    std::string key;
    ErrorCode e;
    Slot* slot = nullptr;
    auto* files = filesFor(path, key, e, &slot);
    if (files == nullptr)
        return e;
    const auto it = files->find(key);
    if (it == files->end())
        return hasDirectory(path) ? error::AccessDenied : error::FileNotFound;
    if (slot != nullptr && slot->medium.state == Medium::State::WriteProtected)
        return error::WriteProtected;
    if (it->second->locked)
        return error::SharingViolation;
    if (it->second->readOnly)
        return error::AccessDenied;
    files->erase(it);
    return error::None;
}

ErrorCode FakePlatform::renameFile(const std::string& from, const std::string& to, bool replace)
{
    callHook(Operation::Rename, from);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::Rename); e != error::None)
        return e;
    std::string fromKey;
    std::string toKey;
    ErrorCode e;
    auto* files = filesFor(from, fromKey, e);
    if (files == nullptr)
        return e;
    if (filesFor(to, toKey, e) != files)
        return files == nullptr ? e : error::NotSameDevice;
    const auto it = files->find(fromKey);
    if (it == files->end())
        return hasDirectory(from) ? error::AccessDenied : error::FileNotFound;
    if (hasDirectory(to))
        return error::AccessDenied;
    if (files == &files_ && !parentExists(to))
        return error::PathNotFound;
    const Slot* slot = files == &files_ ? nullptr : current();
    if (slot != nullptr && slot->medium.state == Medium::State::WriteProtected)
        return error::WriteProtected;
    if (fromKey == toKey)
        return error::None;
    if (const auto target = files->find(toKey); target != files->end()) {
        if (!replace)
            return error::AlreadyExists;
        if (target->second->locked)
            return error::SharingViolation;
        files->erase(target);
    }
    auto node = it->second;
    files->erase(files->find(fromKey));
    node->entryFlushed = false;
    (*files)[toKey] = std::move(node);
    return error::None;
}

Result<std::uint32_t> FakePlatform::attributes(const std::string& path)
{
    callHook(Operation::Attributes, path);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::Attributes); e != error::None)
        return Result<std::uint32_t>::failure(e);
    if (hasDirectory(path))
        return {attribute::Directory, error::None};
    const auto node = find(path);
    if (!node)
        return Result<std::uint32_t>::failure(error::FileNotFound);
    if (node->special)
        return {attribute::Device, error::None};
    std::uint32_t bits = attribute::Archive;
    if (node->readOnly)
        bits |= attribute::ReadOnly;
    if (bareName(path).starts_with('.'))
        bits |= attribute::Hidden;
    return {bits, error::None};
}

ErrorCode FakePlatform::makeDirectory(const std::string& path, std::uint32_t)
{
    callHook(Operation::MakeDirectory, path);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::MakeDirectory); e != error::None)
        return e;
    const std::string p = trimmed(path);
    if (hasDirectory(p) || find(p))
        return error::AlreadyExists;
    if (isMediumFolder(parentOf(p)))
        return error::AccessDenied; // the fake's diskettes hold no folders
    if (!parentExists(p))
        return error::PathNotFound;
    directories_.insert(p);
    return error::None;
}

ErrorCode FakePlatform::removeDirectory(const std::string& path)
{
    callHook(Operation::RemoveDirectory, path);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::RemoveDirectory); e != error::None)
        return e;
    const std::string p = trimmed(path);
    if (!hasDirectory(p))
        return find(p) ? error::PathNotFound : error::FileNotFound;
    for (const auto& dir : directories_)
        if (parentOf(dir) == p)
            return error::DirectoryNotEmpty;
    for (const auto& [file, node] : files_)
        if (parentOf(file) == p)
            return error::DirectoryNotEmpty;
    directories_.erase(p);
    return error::None;
}

ErrorCode FakePlatform::linkFile(const std::string& from, const std::string& to)
{
    callHook(Operation::LinkFile, to);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::LinkFile); e != error::None)
        return e;
    const std::string a = trimmed(from);
    const std::string b = trimmed(to);
    if (isMediumFolder(parentOf(a)) || isMediumFolder(parentOf(b)))
        return error::AccessDenied; // the fake's media are FAT: no links
    const auto node = find(a);
    if (!node)
        return error::FileNotFound;
    if (find(b) || hasDirectory(b))
        return error::AlreadyExists;
    if (!parentExists(b))
        return error::PathNotFound;
    files_[b] = node;
    return error::None;
}

bool FakePlatform::isDirectory(const std::string& path)
{
    callHook(Operation::IsDirectory, path);
    const Lock lock(mutex_);
    faults_.enter(Operation::IsDirectory);
    return hasDirectory(path);
}

FileIdentity FakePlatform::identityOfNode(const Node& node) const
{
    FileIdentity id;
    id.device = node.slot != nullptr ? 2 : 1;
    id.inode = reinterpret_cast<std::uintptr_t>(&node);
    id.size = static_cast<std::int64_t>(node.data.size());
    id.modified = static_cast<std::int64_t>(node.changes);
    return id;
}

Result<FileIdentity> FakePlatform::identityOf(const std::string& path)
{
    const Lock lock(mutex_);
    const auto node = find(path);
    if (!node)
        return Result<FileIdentity>::failure(hasDirectory(path) ? error::AccessDenied : error::FileNotFound);
    return {identityOfNode(*node), error::None};
}

ErrorCode FakePlatform::flushFolder(const std::string& folder)
{
    callHook(Operation::FlushFolder, folder);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::FlushFolder); e != error::None)
        return e;
    const std::string p = trimmed(folder);
    if (isMediumFolder(p)) {
        if (Slot* slot = mediumAt(p))
            for (auto& [name, node] : slot->files)
                node->entryFlushed = true;
        return error::None;
    }
    for (auto& [path, node] : files_)
        if (parentOf(path) == p)
            node->entryFlushed = true;
    return error::None;
}

bool FakePlatform::isRemovable(const std::string& folder)
{
    const Lock lock(mutex_);
    const std::string p = trimmed(folder);
    for (const auto& root : removable_)
        if (p == root || p.starts_with(root + "/"))
            return true;
    return false;
}

Result<std::vector<DirectoryEntry>> FakePlatform::listDirectory(const std::string& path)
{
    callHook(Operation::ListDirectory, path);
    const Lock lock(mutex_);
    using R = Result<std::vector<DirectoryEntry>>;
    if (const ErrorCode e = faults_.enter(Operation::ListDirectory); e != error::None)
        return R::failure(e);
    const std::string p = trimmed(path);
    if (!hasDirectory(p))
        return R::failure(error::PathNotFound);
    std::vector<DirectoryEntry> entries;
    if (const Slot* slot = mediumAt(p)) {
        for (const auto& [name, node] : slot->files)
            entries.push_back({name, false});
        return {std::move(entries), error::None};
    }
    for (const auto& dir : directories_)
        if (parentOf(dir) == p)
            entries.push_back({bareName(dir), true});
    for (const auto& [file, node] : files_)
        if (parentOf(file) == p)
            entries.push_back({bareName(file), false});
    return {std::move(entries), error::None};
}

Result<std::int64_t> FakePlatform::driveFreeBytes()
{
    callHook(Operation::DriveFreeBytes, drive_);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::DriveFreeBytes); e != error::None)
        return Result<std::int64_t>::failure(e);
    const Slot* slot = mediumAt(driveFolder());
    if (slot == nullptr)
        return Result<std::int64_t>::failure(error::NotReady);
    return {freeBytesOf(*slot), error::None};
}

std::string FakePlatform::driveFolder() const
{
    const Lock lock(mutex_);
    return inUse_ >= 0 ? folderOf(*media_[static_cast<std::size_t>(inUse_)]) : drive_;
}

FileSystemLimits FakePlatform::fileSystemLimits(const std::string& path)
{
    const Lock lock(mutex_);
    const std::string p = trimmed(path);
    for (const std::string& folder : {p, parentOf(p)})
        if (const Slot* slot = mediumAt(folder)) {
            FileSystemLimits limits;
            if (slot->medium.largestFile >= 0)
                limits.largestFile = slot->medium.largestFile;
            limits.allocationUnit = std::max<std::int64_t>(slot->medium.allocationUnit, 1);
            return limits;
        }
    FileSystemLimits found;
    std::size_t longest = 0;
    for (const auto& [folder, limits] : limits_)
        if ((p == folder || p.starts_with(folder + "/")) && folder.size() >= longest) {
            found = limits;
            longest = folder.size();
        }
    return found;
}

std::int64_t FakePlatform::largestFileAt(const std::string& path, const Slot* slot)
{
    if (slot != nullptr)
        return slot->medium.largestFile;
    const FileSystemLimits limits = fileSystemLimits(path);
    return limits.largestFile == INT64_MAX ? -1 : limits.largestFile;
}

std::vector<RemovableMedium> FakePlatform::findMedia()
{
    callHook(Operation::FindMedia, drive_);
    const Lock lock(mutex_);
    std::vector<RemovableMedium> media;
    if (faults_.enter(Operation::FindMedia) != error::None)
        return media;
    for (const int i : present()) {
        const Slot& slot = *media_[static_cast<std::size_t>(i)];
        // Only the disk service knows a medium that is not mounted.
        if (slot.medium.state == Medium::State::Missing || (!slot.medium.mounted && !slot.medium.ejectable))
            continue;
        RemovableMedium medium;
        medium.id = std::to_string(i);
        medium.label = slot.medium.label;
        medium.device = "/dev/fake" + std::to_string(i);
        medium.folder = slot.medium.mounted ? folderOf(slot) : std::string();
        medium.size = slot.medium.capacity;
        medium.ejectable = slot.medium.ejectable;
        media.push_back(std::move(medium));
    }
    return media;
}

ErrorCode FakePlatform::useMedium(const RemovableMedium& medium)
{
    callHook(Operation::UseMedium, medium.id);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::UseMedium); e != error::None)
        return e;
    const std::vector<int> now = present();
    const int index = medium.id.empty() ? -1 : std::atoi(medium.id.c_str());
    if (std::find(now.begin(), now.end(), index) == now.end())
        return error::NotReady; // taken out since it was found
    Slot& slot = *media_[static_cast<std::size_t>(index)];
    if (slot.medium.state == Medium::State::Missing || (!slot.medium.mounted && !slot.medium.ejectable))
        return error::NotReady;
    slot.medium.mounted = true;
    inUse_ = index;
    return error::None;
}

MediumRelease FakePlatform::releaseMedium()
{
    callHook(Operation::ReleaseMedium, drive_);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::ReleaseMedium); e != error::None)
        return {e, false, "scripted failure"};
    if (inUse_ < 0)
        return {};
    Slot& slot = *media_[static_cast<std::size_t>(inUse_)];
    if (slot.medium.ejectable) {
        if (slot.medium.busyUnmounts > 0) {
            --slot.medium.busyUnmounts;
            return {error::SharingViolation, false, "target is busy"};
        }
        for (const auto& [name, node] : slot.files)
            if (!node->dataFlushed || !node->entryFlushed)
                slot.durableWhenUnmounted = false;
        ++slot.unmounts;
        slot.medium.mounted = false;
    }
    inUse_ = -1;
    return {error::None, slot.medium.ejectable, std::string()};
}

ErrorCode FakePlatform::openFileManager(const std::string& folder)
{
    callHook(Operation::OpenFileManager, folder);
    const Lock lock(mutex_);
    launches_.push_back(folder);
    return faults_.enter(Operation::OpenFileManager);
}

} // namespace darvolt
