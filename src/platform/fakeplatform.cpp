#include "platform/fakeplatform.h"

#include "platform/fakefile.h"

#include <algorithm>
#include <cstring>

namespace darvolt {

namespace {

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return std::string(); // the current directory
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string trimmed(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string bareName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

FakePlatform::FakePlatform(std::string driveFolder) : drive_(trimmed(std::move(driveFolder))) {}

FakePlatform::~FakePlatform() = default;

void FakePlatform::addDirectory(const std::string& path)
{
    for (std::string p = trimmed(path); !p.empty() && p != "/"; p = parentOf(p))
        directories_.insert(p);
}

void FakePlatform::addFile(const std::string& path, const std::string& contents)
{
    addDirectory(parentOf(path));
    auto node = std::make_shared<Node>();
    node->data = contents;
    files_[path] = std::move(node);
}

void FakePlatform::addSpecialFile(const std::string& path)
{
    addFile(path, std::string());
    files_[path]->special = true;
}

void FakePlatform::setLocked(const std::string& path) { files_.at(path)->locked = true; }
void FakePlatform::setReadOnly(const std::string& path) { files_.at(path)->readOnly = true; }
void FakePlatform::setSizeUnknown(const std::string& path) { files_.at(path)->sizeUnknown = true; }

bool FakePlatform::hasFile(const std::string& path) const { return find(path) != nullptr; }

bool FakePlatform::hasDirectory(const std::string& path) const
{
    const std::string p = trimmed(path);
    return p.empty() || p == "/" || directories_.count(p) > 0 || (p == drive_ && current() != nullptr);
}

std::string FakePlatform::contents(const std::string& path) const
{
    const auto node = find(path);
    return node ? node->data : std::string();
}

std::uint64_t FakePlatform::changeCount(const std::string& path) const
{
    const auto node = find(path);
    return node ? node->changes : 0;
}

std::vector<std::string> FakePlatform::directoryPaths() const
{
    return {directories_.begin(), directories_.end()};
}

void FakePlatform::insertMedia(std::vector<Medium> media)
{
    for (auto& m : media) {
        auto slot = std::make_unique<Slot>();
        slot->medium = std::move(m);
        for (const auto& [name, data] : slot->medium.files) {
            auto node = std::make_shared<Node>();
            node->data = data;
            node->slot = slot.get();
            slot->files[name] = std::move(node);
        }
        media_.push_back(std::move(slot));
    }
    if (current_ < 0 && !media_.empty())
        current_ = 0;
}

void FakePlatform::changeDiskette()
{
    if (current_ >= 0)
        ++current_;
}

int FakePlatform::disketteIndex() const
{
    return current() != nullptr ? current_ : -1;
}

std::map<std::string, std::string> FakePlatform::diskette(int index) const
{
    std::map<std::string, std::string> result;
    if (index >= 0 && index < static_cast<int>(media_.size()))
        for (const auto& [name, node] : media_[static_cast<std::size_t>(index)]->files)
            result[name] = node->data;
    return result;
}

void FakePlatform::failCall(Operation op, int nth, ErrorCode code) { faults_[{op, nth}] = code; }
void FakePlatform::storeShortWrite(int nth, std::size_t stored) { shortWrites_[nth] = stored; }

ErrorCode FakePlatform::enter(Operation op)
{
    const int n = ++counts_[static_cast<std::size_t>(op)];
    const auto it = faults_.find({op, n});
    return it == faults_.end() ? error::None : it->second;
}

std::optional<std::size_t> FakePlatform::shortWriteFor(int writeCall) const
{
    const auto it = shortWrites_.find(writeCall);
    if (it == shortWrites_.end())
        return std::nullopt;
    return it->second;
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
    using R = Result<std::unique_ptr<File>>;
    if (const ErrorCode e = enter(Operation::OpenForReading); e != error::None)
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
    return R{std::make_unique<FakeFile>(*this, it->second, false), error::None};
}

Result<std::unique_ptr<File>> FakePlatform::createFile(const std::string& path)
{
    using R = Result<std::unique_ptr<File>>;
    if (const ErrorCode e = enter(Operation::CreateFile); e != error::None)
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
        return R::failure(error::AccessDenied);
    if (slot == nullptr && !parentExists(path))
        return R::failure(error::PathNotFound);
    auto& node = (*files)[key];
    if (node) {
        if (node->locked)
            return R::failure(error::SharingViolation);
        if (node->readOnly || node->special)
            return R::failure(error::AccessDenied);
        node->data.clear();
        ++node->changes;
    } else {
        node = std::make_shared<Node>();
        node->slot = slot;
    }
    return R{std::make_unique<FakeFile>(*this, node, true), error::None};
}

ErrorCode FakePlatform::removeFile(const std::string& path)
{
    if (const ErrorCode e = enter(Operation::RemoveFile); e != error::None)
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

Result<std::uint32_t> FakePlatform::attributes(const std::string& path)
{
    if (const ErrorCode e = enter(Operation::Attributes); e != error::None)
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
    if (const ErrorCode e = enter(Operation::MakeDirectory); e != error::None)
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
    enter(Operation::IsDirectory);
    return hasDirectory(path);
}

Result<std::vector<DirectoryEntry>> FakePlatform::listDirectory(const std::string& path)
{
    using R = Result<std::vector<DirectoryEntry>>;
    if (const ErrorCode e = enter(Operation::ListDirectory); e != error::None)
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
    if (const ErrorCode e = enter(Operation::DriveFreeBytes); e != error::None)
        return Result<std::int64_t>::failure(e);
    const Slot* slot = current();
    if (slot == nullptr)
        return Result<std::int64_t>::failure(error::NotReady);
    return {freeBytesOf(*slot), error::None};
}

void FakePlatform::openFileManager(const std::string& folder)
{
    enter(Operation::OpenFileManager);
    launches_.push_back(folder);
}

} // namespace darvolt
