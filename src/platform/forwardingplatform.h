#pragma once
// A Platform, and a File, that hand every call to another one. Wrappers that
// change or watch a few calls (tests that hide the in-kernel copy, record
// the file manager or note which thread wrote where) derive from these and
// override only those calls.

#include "platform/platform.h"

#include <memory>
#include <utility>

namespace darvolt {

class ForwardingFile : public File {
public:
    explicit ForwardingFile(std::unique_ptr<File> inner) : inner_(std::move(inner)) {}

    Result<std::size_t> read(std::span<std::byte> buffer) override { return inner_->read(buffer); }
    Result<std::size_t> write(std::span<const std::byte> data) override { return inner_->write(data); }
    Result<std::int64_t> size() override { return inner_->size(); }
    Result<FileIdentity> identity() override { return inner_->identity(); }
    ErrorCode flush() override { return inner_->flush(); }
    ErrorCode setPermissions(std::uint32_t permissions) override { return inner_->setPermissions(permissions); }
    std::uint32_t permissions() override { return inner_->permissions(); }
    ErrorCode close() override { return inner_->close(); }
    CopyResult copyTo(File& target, std::uint64_t maxBytes) override
    {
        return inner_->copyTo(unwrapped(target), maxBytes);
    }
    Result<std::size_t> readAt(std::int64_t offset, std::span<std::byte> buffer) override
    {
        return inner_->readAt(offset, buffer);
    }
    Result<std::size_t> writeAt(std::int64_t offset, std::span<const std::byte> data) override
    {
        return inner_->writeAt(offset, data);
    }
    CopyResult copyRangeTo(std::int64_t offset, File& target, std::uint64_t maxBytes) override
    {
        return inner_->copyRangeTo(offset, unwrapped(target), maxBytes);
    }

    // The file an in-kernel copy has to see: wrappers are peeled off.
    static File& unwrapped(File& file)
    {
        auto* wrapper = dynamic_cast<ForwardingFile*>(&file);
        return wrapper != nullptr ? unwrapped(*wrapper->inner_) : file;
    }

protected:
    File& inner() { return *inner_; }

private:
    std::unique_ptr<File> inner_;
};

class ForwardingPlatform : public Platform {
public:
    explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

    Result<std::unique_ptr<File>> openForReading(const std::string& path) override
    {
        return inner_.openForReading(path);
    }
    Result<std::unique_ptr<File>> createFile(const std::string& path,
                                             std::uint32_t permissions = DefaultPermissions) override
    {
        return inner_.createFile(path, permissions);
    }
    Result<std::unique_ptr<File>> createNewFile(const std::string& path,
                                                std::uint32_t permissions = DefaultPermissions) override
    {
        return inner_.createNewFile(path, permissions);
    }
    ErrorCode holdFolder(const std::string& folder, bool mayBeLink) override
    {
        return inner_.holdFolder(folder, mayBeLink);
    }
    void releaseFolder(const std::string& folder) override { inner_.releaseFolder(folder); }
    ErrorCode removeFile(const std::string& path) override { return inner_.removeFile(path); }
    ErrorCode renameFile(const std::string& from, const std::string& to, bool replace) override
    {
        return inner_.renameFile(from, to, replace);
    }
    Result<std::uint32_t> attributes(const std::string& path) override { return inner_.attributes(path); }
    ErrorCode makeDirectory(const std::string& path, std::uint32_t permissions = FolderPermissions) override
    {
        return inner_.makeDirectory(path, permissions);
    }
    ErrorCode removeDirectory(const std::string& path) override { return inner_.removeDirectory(path); }
    ErrorCode linkFile(const std::string& from, const std::string& to) override { return inner_.linkFile(from, to); }
    bool isDirectory(const std::string& path) override { return inner_.isDirectory(path); }
    Result<FileIdentity> identityOf(const std::string& path) override { return inner_.identityOf(path); }
    ErrorCode flushFolder(const std::string& folder) override { return inner_.flushFolder(folder); }
    bool isRemovable(const std::string& folder) override { return inner_.isRemovable(folder); }
    bool ignoresCase(const std::string& path) override { return inner_.ignoresCase(path); }
    Result<std::vector<DirectoryEntry>> listDirectory(const std::string& path) override
    {
        return inner_.listDirectory(path);
    }
    FileSystemLimits fileSystemLimits(const std::string& path) override { return inner_.fileSystemLimits(path); }
    std::string driveFolder() const override { return inner_.driveFolder(); }
    Result<std::int64_t> driveFreeBytes() override { return inner_.driveFreeBytes(); }
    std::vector<RemovableMedium> findMedia() override { return inner_.findMedia(); }
    ErrorCode useMedium(const RemovableMedium& medium) override { return inner_.useMedium(medium); }
    MediumRelease releaseMedium() override { return inner_.releaseMedium(); }
    ErrorCode openFileManager(const std::string& folder) override { return inner_.openFileManager(folder); }
    bool allowsConcurrentCopies() const override { return inner_.allowsConcurrentCopies(); }
    Result<std::unique_ptr<Process>> startProcess(const ProcessRequest& request) override
    {
        return inner_.startProcess(request);
    }

protected:
    Platform& inner() { return inner_; }

private:
    Platform& inner_;
};

} // namespace darvolt
