#pragma once
// The Platform on Linux and other POSIX systems.

#include "platform/platform.h"

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace darvolt {

struct PosixPlatformOptions {
    // The folder the user named for drive A: (DARVOLT_DRIVE_A). Empty: drive
    // A: is the removable medium present when the user answers the prompt,
    // found through the desktop's disk service or the mount table.
    std::string driveFolder;
    // The drive counts as ready only while something is mounted on its
    // folder, so that parts never land on the disk beneath an empty mount
    // point. Only tests that span into plain folders turn it off.
    bool driveMustBeMountPoint = true;
    // Look for media through the desktop's disk service where it runs; off,
    // the mount table alone is asked.
    bool useDiskService = true;
    // The program and leading arguments that open a folder in the file
    // manager; the folder is appended.
    std::vector<std::string> fileManagerCommand{"xdg-open"};
    // Where the kernel tells about mounts and devices; tests hand in their own.
    std::string mountInfoPath = "/proc/self/mountinfo";
    std::string sysRoot = "/sys";
    std::string labelFolder = "/dev/disk/by-label";
    // How long a launcher that is still at work counts as undecided. One
    // that runs past it has found a file manager: it runs it itself, in the
    // foreground. Launchers that find none give up well within it.
    std::chrono::milliseconds fileManagerVerdictWait{1000};

    // Drive A: from DARVOLT_DRIVE_A when set, else found at every prompt.
    static PosixPlatformOptions fromEnvironment();
};

class PosixPlatform final : public Platform {
public:
    explicit PosixPlatform(PosixPlatformOptions options = PosixPlatformOptions::fromEnvironment());
    ~PosixPlatform() override;

    Result<std::unique_ptr<File>> openForReading(const std::string& path) override;
    Result<std::unique_ptr<File>> createFile(const std::string& path,
                                             std::uint32_t permissions = DefaultPermissions) override;
    Result<std::unique_ptr<File>> createNewFile(const std::string& path,
                                                std::uint32_t permissions = DefaultPermissions) override;
    ErrorCode holdFolder(const std::string& folder, bool mayBeLink) override;
    void releaseFolder(const std::string& folder) override;
    ErrorCode removeFile(const std::string& path) override;
    ErrorCode renameFile(const std::string& from, const std::string& to, bool replace) override;
    Result<std::uint32_t> attributes(const std::string& path) override;
    ErrorCode makeDirectory(const std::string& path, std::uint32_t permissions = FolderPermissions) override;
    ErrorCode removeDirectory(const std::string& path) override;
    ErrorCode linkFile(const std::string& from, const std::string& to) override;
    bool isDirectory(const std::string& path) override;
    Result<FileIdentity> identityOf(const std::string& path) override;
    ErrorCode flushFolder(const std::string& folder) override;
    bool isRemovable(const std::string& folder) override;
    bool ignoresCase(const std::string& path) override;
    Result<std::vector<DirectoryEntry>> listDirectory(const std::string& path) override;
    FileSystemLimits fileSystemLimits(const std::string& path) override;
    std::string driveFolder() const override;
    Result<std::int64_t> driveFreeBytes() override;
    std::vector<RemovableMedium> findMedia() override;
    ErrorCode useMedium(const RemovableMedium& medium) override;
    MediumRelease releaseMedium() override;
    ErrorCode openFileManager(const std::string& folder) override;
    // Descriptors are shared between threads and every copy from the source
    // names its offset (pread, copy_file_range with an offset).
    bool allowsConcurrentCopies() const override { return true; }
    Result<std::unique_ptr<Process>> startProcess(const ProcessRequest& request) override;

    // Where desktops mount removable media for this user, shown as drive A:
    // until a medium is found.
    static std::string desktopMediaFolder();

private:
    // NotReady when the folder is missing or (if required) not a mount point.
    ErrorCode folderState(const std::string& folder) const;
    ErrorCode driveState() const { return folderState(driveFolder()); }
    bool onDrive(const std::string& path) const;
    // The mount type name for a folder on a FUSE file system.
    std::string fuseTypeOf(const std::string& folder) const;

    // The folder handle a path goes through: a held folder's descriptor and
    // the bare name in it, else AT_FDCWD and the path as it is.
    struct Where {
        int folder;
        std::string name;
    };
    Where where(const std::string& path) const;
    // A new descriptor of the folder: the held one's duplicate, else opened
    // by its path. -1 with errno on failure.
    int openFolder(const std::string& folder) const;

    PosixPlatformOptions options_;
    struct Held {
        std::string folder; // as the caller names it, without trailing "/"
        int descriptor = -1;
        int holds = 0;
    };
    mutable std::mutex heldMutex_;
    std::vector<Held> held_;
    // The medium taken as drive A: at the last prompt; for a medium of the
    // disk service, its object too, to unmount it by.
    std::string mediumFolder_;
    std::string mediumObject_;
};

} // namespace darvolt
