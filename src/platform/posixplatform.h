#pragma once
// The Platform on Linux and other POSIX systems.

#include "platform/platform.h"

#include <chrono>
#include <string>
#include <vector>

namespace darvolt {

struct PosixPlatformOptions {
    // The folder that stands for drive A:.
    std::string driveFolder = "/media/floppy0";
    // When set, the drive counts as ready only while something is mounted on
    // the folder, so that parts never land on the disk beneath an empty mount
    // point. Off for a folder the user named explicitly.
    bool driveMustBeMountPoint = true;
    // The program and leading arguments that open a folder in the file
    // manager; the folder is appended.
    std::vector<std::string> fileManagerCommand{"xdg-open"};
    // Where the kernel tells about mounts and devices; tests hand in their own.
    std::string mountInfoPath = "/proc/self/mountinfo";
    std::string sysRoot = "/sys";
    // How long a launcher that is still at work counts as undecided. One
    // that runs past it has found a file manager: it runs it itself, in the
    // foreground. Launchers that find none give up well within it.
    std::chrono::milliseconds fileManagerVerdictWait{1000};

    // Drive A: from DARVOLT_DRIVE_A when set (taken as given, mounted or
    // not), else /media/floppy0 (which must be a mount point).
    static PosixPlatformOptions fromEnvironment();
};

class PosixPlatform final : public Platform {
public:
    explicit PosixPlatform(PosixPlatformOptions options = PosixPlatformOptions::fromEnvironment());

    Result<std::unique_ptr<File>> openForReading(const std::string& path) override;
    Result<std::unique_ptr<File>> createFile(const std::string& path) override;
    Result<std::unique_ptr<File>> createNewFile(const std::string& path) override;
    ErrorCode removeFile(const std::string& path) override;
    ErrorCode renameFile(const std::string& from, const std::string& to, bool replace) override;
    Result<std::uint32_t> attributes(const std::string& path) override;
    ErrorCode makeDirectory(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    Result<FileIdentity> identityOf(const std::string& path) override;
    ErrorCode flushFolder(const std::string& folder) override;
    bool isRemovable(const std::string& folder) override;
    bool ignoresCase(const std::string& path) override;
    Result<std::vector<DirectoryEntry>> listDirectory(const std::string& path) override;
    std::string driveFolder() const override;
    Result<std::int64_t> driveFreeBytes() override;
    ErrorCode openFileManager(const std::string& folder) override;
    // Descriptors are shared between threads and every copy from the source
    // names its offset (pread, copy_file_range with an offset).
    bool allowsConcurrentCopies() const override { return true; }
    Result<std::unique_ptr<Process>> startProcess(const ProcessRequest& request) override;

private:
    // NotReady when the drive folder is missing or (if required) unmounted.
    ErrorCode driveState() const;
    bool onDrive(const std::string& path) const;

    PosixPlatformOptions options_;
};

} // namespace darvolt
