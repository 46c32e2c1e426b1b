#include "platform/fakeplatform.h"

#include "platform/fakefile.h"

#include <algorithm>
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
    if (current_ < 0 || current_ >= static_cast<int>(media_.size()))
        return nullptr;
    Slot* slot = media_[static_cast<std::size_t>(current_)].get();
    return slot->medium.state == Medium::State::Missing ? nullptr : slot;
}

std::map<std::string, std::shared_ptr<FakePlatform::Node>>*
FakePlatform::filesFor(const std::string& path, std::string& key, ErrorCode& error) const
{
    error = error::None;
    if (parentOf(path) == drive_) {
        Slot* slot = current();
        if (slot == nullptr) {
            error = error::NotReady;
            return nullptr;
        }
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

std::int64_t FakePlatform::freeBytesOf(const Slot& slot)
{
    std::int64_t used = 0;
    for (const auto& [name, node] : slot.files)
        used += static_cast<std::int64_t>(node->data.size());
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

Result<std::unique_ptr<File>> FakePlatform::createFile(const std::string& path)
{
    return create(path, false);
}

Result<std::unique_ptr<File>> FakePlatform::createNewFile(const std::string& path)
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
    auto* files = filesFor(path, key, e);
    if (files == nullptr)
        return R::failure(e);
    const Slot* slot = files == &files_ ? nullptr : current();
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
    auto* files = filesFor(path, key, e);
    if (files == nullptr)
        return e;
    const auto it = files->find(key);
    if (it == files->end())
        return hasDirectory(path) ? error::AccessDenied : error::FileNotFound;
    const Slot* slot = files == &files_ ? nullptr : current();
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

ErrorCode FakePlatform::makeDirectory(const std::string& path)
{
    callHook(Operation::MakeDirectory, path);
    const Lock lock(mutex_);
    if (const ErrorCode e = faults_.enter(Operation::MakeDirectory); e != error::None)
        return e;
    const std::string p = trimmed(path);
    if (hasDirectory(p) || find(p))
        return error::AlreadyExists;
    if (parentOf(p) == drive_)
        return error::AccessDenied; // the fake's diskettes hold no folders
    if (!parentExists(p))
        return error::PathNotFound;
    directories_.insert(p);
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
    if (p == drive_) {
        if (Slot* slot = current())
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
    if (p == drive_) {
        for (const auto& [name, node] : current()->files)
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
    const Slot* slot = current();
    if (slot == nullptr)
        return Result<std::int64_t>::failure(error::NotReady);
    return {freeBytesOf(*slot), error::None};
}

ErrorCode FakePlatform::openFileManager(const std::string& folder)
{
    callHook(Operation::OpenFileManager, folder);
    const Lock lock(mutex_);
    launches_.push_back(folder);
    return faults_.enter(Operation::OpenFileManager);
}

} // namespace darvolt
