// The test-facing half of the fake platform: building its file tree and
// media, scripting faults, and reading back what a run did. Every call takes
// the fake's lock, so a test may look while a worker thread is copying.

#include "platform/fakefile.h"

namespace darvolt {

using fakepath::bareName;
using fakepath::parentOf;
using fakepath::trimmed;

void FakePlatform::addDirectory(const std::string& path)
{
    const Lock lock(mutex_);
    for (std::string p = trimmed(path); !p.empty() && p != "/"; p = parentOf(p))
        directories_.insert(p);
}

void FakePlatform::addFile(const std::string& path, const std::string& contents)
{
    const Lock lock(mutex_);
    addDirectory(parentOf(path));
    auto node = std::make_shared<Node>();
    node->data = contents;
    files_[path] = std::move(node);
}

void FakePlatform::addSpecialFile(const std::string& path)
{
    const Lock lock(mutex_);
    addFile(path, std::string());
    files_[path]->special = true;
}

void FakePlatform::setLocked(const std::string& path)
{
    const Lock lock(mutex_);
    files_.at(path)->locked = true;
}

void FakePlatform::setReadOnly(const std::string& path)
{
    const Lock lock(mutex_);
    files_.at(path)->readOnly = true;
}

void FakePlatform::setSizeUnknown(const std::string& path)
{
    const Lock lock(mutex_);
    files_.at(path)->sizeUnknown = true;
}

bool FakePlatform::hasFile(const std::string& path) const
{
    const Lock lock(mutex_);
    return find(path) != nullptr;
}

bool FakePlatform::hasDirectory(const std::string& path) const
{
    const Lock lock(mutex_);
    const std::string p = trimmed(path);
    return p.empty() || p == "/" || directories_.count(p) > 0 || (p == drive_ && current() != nullptr)
           || mediumAt(p) != nullptr;
}

std::string FakePlatform::contents(const std::string& path) const
{
    const Lock lock(mutex_);
    const auto node = find(path);
    return node ? node->data : std::string();
}

std::uint64_t FakePlatform::changeCount(const std::string& path) const
{
    const Lock lock(mutex_);
    const auto node = find(path);
    return node ? node->changes : 0;
}

void FakePlatform::rewriteFile(const std::string& path, const std::string& contents)
{
    const Lock lock(mutex_);
    const auto node = find(path);
    node->data = contents;
    ++node->changes;
}

bool FakePlatform::isDurable(const std::string& path) const
{
    const Lock lock(mutex_);
    const auto node = find(path);
    return node && node->dataFlushed && node->entryFlushed;
}

void FakePlatform::setRemovable(const std::string& folder)
{
    const Lock lock(mutex_);
    removable_.insert(trimmed(folder));
}

std::vector<std::string> FakePlatform::directoryPaths() const
{
    const Lock lock(mutex_);
    return {directories_.begin(), directories_.end()};
}

void FakePlatform::insertMedia(std::vector<Medium> media)
{
    const Lock lock(mutex_);
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
    const Lock lock(mutex_);
    if (const std::vector<int> now = present(); !now.empty())
        current_ = now.back() + 1; // every medium inserted with it goes too
    else if (current_ >= 0)
        ++current_;
    inUse_ = -1;
}

int FakePlatform::disketteIndex() const
{
    const Lock lock(mutex_);
    return current() != nullptr ? (inUse_ >= 0 ? inUse_ : current_) : -1;
}

int FakePlatform::unmounts(int index) const
{
    const Lock lock(mutex_);
    return media_.at(static_cast<std::size_t>(index))->unmounts;
}

bool FakePlatform::durableWhenUnmounted(int index) const
{
    const Lock lock(mutex_);
    return media_.at(static_cast<std::size_t>(index))->durableWhenUnmounted;
}

bool FakePlatform::mounted(int index) const
{
    const Lock lock(mutex_);
    return media_.at(static_cast<std::size_t>(index))->medium.mounted;
}

void FakePlatform::setFileSystemLimits(const std::string& folder, FileSystemLimits limits)
{
    const Lock lock(mutex_);
    limits_[trimmed(folder)] = limits;
}

std::map<std::string, std::string> FakePlatform::diskette(int index) const
{
    const Lock lock(mutex_);
    std::map<std::string, std::string> result;
    if (index >= 0 && index < static_cast<int>(media_.size()))
        for (const auto& [name, node] : media_[static_cast<std::size_t>(index)]->files)
            result[name] = node->data;
    return result;
}

// The scripting and the records, each under the lock.
void FakePlatform::failCall(Operation op, int nth, ErrorCode code)
{
    const Lock lock(mutex_);
    faults_.failCall(op, nth, code);
}

void FakePlatform::storeShortWrite(int nth, std::size_t stored)
{
    const Lock lock(mutex_);
    faults_.storeShortWrite(nth, stored);
}

void FakePlatform::failFileCall(const std::string& path, Operation op, int nth, ErrorCode code)
{
    const Lock lock(mutex_);
    faults_.failFileCall(path, op, nth, code);
}

void FakePlatform::storeShortWriteTo(const std::string& path, int nth, std::size_t stored)
{
    const Lock lock(mutex_);
    faults_.storeShortWriteTo(path, nth, stored);
}

void FakePlatform::failReadAt(const std::string& path, std::int64_t offset, ErrorCode code)
{
    const Lock lock(mutex_);
    faults_.failReadAt(path, offset, code);
}

int FakePlatform::calls(Operation op) const
{
    const Lock lock(mutex_);
    return faults_.calls(op);
}

int FakePlatform::fileCalls(const std::string& path, Operation op) const
{
    const Lock lock(mutex_);
    return faults_.fileCalls(path, op);
}

std::vector<std::string> FakePlatform::fileManagerLaunches() const
{
    const Lock lock(mutex_);
    return launches_;
}

int FakePlatform::openFiles() const
{
    const Lock lock(mutex_);
    return openFiles_;
}

} // namespace darvolt
