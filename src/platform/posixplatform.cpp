#include "platform/posixplatform.h"

#include "platform/pathrules.h"

#include "platform/detachedlaunch.h"
#include "platform/diskservice.h"
#include "platform/posixdevices.h"
#include "platform/posixfile.h"
#include "platform/posixprocess.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/sysmacros.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace darvolt {

namespace {

// Clears O_NONBLOCK once the descriptor is known to be a regular file, where
// it has no effect anyway; kept tidy for whoever inherits the descriptor.
void makeBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// Opens with O_NONBLOCK so that a FIFO without a writer or a device that
// waits for a medium never stops the caller, then refuses anything that is
// not a regular file.
Result<std::unique_ptr<File>> openRegular(int folder, const std::string& path, int flags, ErrorCode notRegular,
                                          std::uint32_t permissions = DefaultPermissions)
{
    using R = Result<std::unique_ptr<File>>;
    const auto mode = static_cast<mode_t>(permissions & 07777);
    int fd = ::openat(folder, path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    // Reading leaves even the access time alone where the kernel lets us:
    // only the file's owner (or root) may ask for that.
    if (fd < 0 && errno == EPERM && (flags & O_NOATIME) != 0)
        fd = ::openat(folder, path.c_str(), (flags & ~O_NOATIME) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0)
        return R::failure(errorFromErrno(errno));
    auto file = std::make_unique<PosixFile>(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return R::failure(errorFromErrno(errno));
    if (S_ISDIR(st.st_mode))
        return R::failure(error::AccessDenied);
    if (!S_ISREG(st.st_mode))
        return R::failure(notRegular);
    makeBlocking(fd);
    return R{std::move(file), error::None};
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// A folder as held folders are told apart: "." for the current one, no
// trailing "/".
std::string folderName(const std::string& folder)
{
    return WithoutTrailingSlashes(FolderShown(folder));
}

constexpr std::int64_t FuseMagic = 0x65735546;

// The file system of the path's nearest existing folder: a file about to be
// made, or one that was not found, is named by its folder's rules.
bool nearestStatfs(const std::string& path, std::string& folder, struct statfs& fs)
{
    folder = WithoutTrailingSlashes(FolderShown(path));
    while (::statfs(folder.c_str(), &fs) != 0) {
        if (folder == "/" || folder == ".")
            return false;
        folder = parentOf(folder);
    }
    return true;
}

} // namespace

PosixPlatformOptions PosixPlatformOptions::fromEnvironment()
{
    PosixPlatformOptions options;
    if (const char* drive = std::getenv("DARVOLT_DRIVE_A"); drive != nullptr && *drive != '\0')
        options.driveFolder = drive;
    return options;
}

PosixPlatform::PosixPlatform(PosixPlatformOptions options) : options_(std::move(options))
{
    if (!options_.driveFolder.empty())
        options_.driveFolder = WithoutTrailingSlashes(options_.driveFolder);
}

std::string PosixPlatform::desktopMediaFolder()
{
    const passwd* user = ::getpwuid(::geteuid());
    if (user != nullptr && user->pw_name != nullptr)
        for (const std::string root : {"/run/media/", "/media/"}) {
            struct stat st {};
            const std::string folder = root + user->pw_name;
            if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                return folder;
        }
    return "/media";
}

PosixPlatform::~PosixPlatform()
{
    for (const Held& held : held_)
        ::close(held.descriptor);
}

ErrorCode PosixPlatform::holdFolder(const std::string& folder, bool mayBeLink)
{
    const std::string name = folderName(folder);
    const std::lock_guard lock(heldMutex_);
    for (Held& held : held_)
        if (held.folder == name) {
            ++held.holds;
            return error::None;
        }
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (mayBeLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(name.c_str(), flags);
    if (fd < 0) {
        // A link where the folder should be: O_NOFOLLOW answers ELOOP, or
        // ENOTDIR where the link points at no folder.
        struct stat st {};
        if (!mayBeLink && ::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return error::IsLink;
        return errorFromErrno(errno);
    }
    held_.push_back({name, fd, 1});
    return error::None;
}

void PosixPlatform::releaseFolder(const std::string& folder)
{
    const std::string name = folderName(folder);
    const std::lock_guard lock(heldMutex_);
    for (auto it = held_.begin(); it != held_.end(); ++it)
        if (it->folder == name) {
            if (--it->holds == 0) {
                ::close(it->descriptor);
                held_.erase(it);
            }
            return;
        }
}

PosixPlatform::Where PosixPlatform::where(const std::string& path) const
{
    const std::lock_guard lock(heldMutex_);
    if (!held_.empty() && !path.empty() && path.back() != '/') {
        const auto slash = path.find_last_of('/');
        const std::string folder = folderName(slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name != "." && name != "..")
            for (const Held& held : held_)
                if (held.folder == folder)
                    return {held.descriptor, name};
    }
    return {AT_FDCWD, path};
}

Result<std::unique_ptr<File>> PosixPlatform::openForReading(const std::string& path)
{
    if (onDrive(path))
        if (const ErrorCode state = driveState(); state != error::None)
            return Result<std::unique_ptr<File>>::failure(state);
    const Where at = where(path);
    return openRegular(at.folder, at.name, O_RDONLY | O_NOATIME, error::FileNotFound);
}

Result<std::unique_ptr<File>> PosixPlatform::createFile(const std::string& path, std::uint32_t permissions)
{
    if (onDrive(path))
        if (const ErrorCode state = driveState(); state != error::None)
            return Result<std::unique_ptr<File>>::failure(state);
    // Never opened for writing as it is: a link planted under this name
    // would send the data to whatever it points at, and a file someone else
    // made would keep their hold on it (an open descriptor, a hard link).
    const Where at = where(path);
    struct stat st {};
    if (::fstatat(at.folder, at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode))
            return Result<std::unique_ptr<File>>::failure(error::AccessDenied);
        if (::unlinkat(at.folder, at.name.c_str(), 0) != 0 && errno != ENOENT)
            return Result<std::unique_ptr<File>>::failure(errorFromErrno(errno));
    }
    return openRegular(at.folder, at.name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, error::AccessDenied,
                       permissions);
}

Result<std::unique_ptr<File>> PosixPlatform::createNewFile(const std::string& path, std::uint32_t permissions)
{
    if (onDrive(path))
        if (const ErrorCode state = driveState(); state != error::None)
            return Result<std::unique_ptr<File>>::failure(state);
    const Where at = where(path);
    return openRegular(at.folder, at.name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, error::AccessDenied,
                       permissions);
}

ErrorCode PosixPlatform::renameFile(const std::string& from, const std::string& to, bool replace)
{
    for (const std::string* path : {&from, &to})
        if (onDrive(*path))
            if (const ErrorCode state = driveState(); state != error::None)
                return state;
    const Where a = where(from);
    const Where b = where(to);
    if (replace)
        return ::renameat(a.folder, a.name.c_str(), b.folder, b.name.c_str()) == 0 ? error::None
                                                                                   : errorFromErrno(errno);
    if (::renameat2(a.folder, a.name.c_str(), b.folder, b.name.c_str(), RENAME_NOREPLACE) == 0)
        return error::None;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errorFromErrno(errno);
    // A file system that cannot promise "no replace" in one call: a second
    // link under the new name is just as safe where links exist.
    if (::linkat(a.folder, a.name.c_str(), b.folder, b.name.c_str(), 0) == 0)
        return ::unlinkat(a.folder, a.name.c_str(), 0) == 0 ? error::None : errorFromErrno(errno);
    if (errno == EEXIST)
        return error::AlreadyExists;
    // FAT and its kin have neither: look, then rename.
    struct stat st {};
    if (::fstatat(b.folder, b.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return error::AlreadyExists;
    return ::renameat(a.folder, a.name.c_str(), b.folder, b.name.c_str()) == 0 ? error::None
                                                                               : errorFromErrno(errno);
}

ErrorCode PosixPlatform::removeFile(const std::string& path)
{
    if (onDrive(path))
        if (const ErrorCode state = driveState(); state != error::None)
            return state;
    const Where at = where(path);
    struct stat st {};
    if (::fstatat(at.folder, at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
        return error::AccessDenied;
    return ::unlinkat(at.folder, at.name.c_str(), 0) == 0 ? error::None : errorFromErrno(errno);
}

Result<std::uint32_t> PosixPlatform::attributes(const std::string& path)
{
    const Where at = where(path);
    struct stat st {};
    if (::fstatat(at.folder, at.name.c_str(), &st, 0) != 0)
        return Result<std::uint32_t>::failure(errorFromErrno(errno));
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
        return {attribute::Device, error::None};
    std::uint32_t bits = S_ISDIR(st.st_mode) ? attribute::Directory : attribute::Archive;
    if ((st.st_mode & S_IWUSR) == 0)
        bits |= attribute::ReadOnly;
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 1 && name[0] == '.' && name != "..")
        bits |= attribute::Hidden;
    return {bits, error::None};
}

ErrorCode PosixPlatform::makeDirectory(const std::string& path, std::uint32_t permissions)
{
    const Where at = where(path);
    return ::mkdirat(at.folder, at.name.c_str(), static_cast<mode_t>(permissions & 07777)) == 0 ? error::None
                                                                                                : errorFromErrno(errno);
}

ErrorCode PosixPlatform::removeDirectory(const std::string& path)
{
    const Where at = where(path);
    return ::unlinkat(at.folder, at.name.c_str(), AT_REMOVEDIR) == 0 ? error::None : errorFromErrno(errno);
}

ErrorCode PosixPlatform::linkFile(const std::string& from, const std::string& to)
{
    const Where a = where(from);
    const Where b = where(to);
    return ::linkat(a.folder, a.name.c_str(), b.folder, b.name.c_str(), 0) == 0 ? error::None : errorFromErrno(errno);
}

bool PosixPlatform::isDirectory(const std::string& path)
{
    const Where at = where(path);
    struct stat st {};
    return ::fstatat(at.folder, at.name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

Result<FileIdentity> PosixPlatform::identityOf(const std::string& path)
{
    const Where at = where(path);
    struct stat st {};
    if (::fstatat(at.folder, at.name.c_str(), &st, 0) != 0)
        return Result<FileIdentity>::failure(errorFromErrno(errno));
    return {IdentityFromStat(st), error::None};
}

int PosixPlatform::openFolder(const std::string& folder) const
{
    const std::string name = folderName(folder);
    {
        const std::lock_guard lock(heldMutex_);
        for (const Held& held : held_)
            if (held.folder == name)
                return ::fcntl(held.descriptor, F_DUPFD_CLOEXEC, 0);
    }
    return ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

ErrorCode PosixPlatform::flushFolder(const std::string& folder)
{
    const int fd = openFolder(folder);
    if (fd < 0)
        return errorFromErrno(errno);
    ErrorCode result = error::None;
    while (::fsync(fd) != 0) {
        // Some file systems cannot sync a folder; their entries are as
        // durable as they get.
        if (errno == EINVAL || errno == EROFS)
            break;
        if (errno != EINTR) {
            result = errorFromErrno(errno);
            break;
        }
    }
    ::close(fd);
    return result;
}

bool PosixPlatform::isRemovable(const std::string& folder)
{
    struct stat st {};
    if (::stat(FolderShown(folder).c_str(), &st) != 0)
        return false;
    if (major(st.st_dev) != 0)
        return IsRemovableBlockDevice(st.st_dev, options_.sysRoot);
    // FUSE, tmpfs and the like have a device number of their own: the mount
    // table names what is mounted, which may be a block device.
    const auto mount = MountOfDevice(st.st_dev, options_.mountInfoPath);
    struct stat source {};
    if (!mount || ::stat(mount->source.c_str(), &source) != 0 || !S_ISBLK(source.st_mode))
        return false;
    return IsRemovableBlockDevice(source.st_rdev, options_.sysRoot);
}

bool PosixPlatform::ignoresCase(const std::string& path)
{
    std::string folder;
    struct statfs fs {};
    if (!nearestStatfs(path, folder, fs))
        return false;
    const std::string type = fs.f_type == FuseMagic ? fuseTypeOf(folder) : std::string();
    if (FileSystemIgnoresCase(static_cast<std::int64_t>(fs.f_type), type))
        return true;
    // ext4 and f2fs can fold case per folder.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool folded = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
    ::close(fd);
    return folded;
}

Result<std::vector<DirectoryEntry>> PosixPlatform::listDirectory(const std::string& path)
{
    using R = Result<std::vector<DirectoryEntry>>;
    const int fd = openFolder(path);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (dir == nullptr) {
        const int e = errno;
        if (fd >= 0)
            ::close(fd);
        return R::failure(errorFromErrno(e));
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    ::rewinddir(dir); // a held folder's handle may have been read before
    std::vector<DirectoryEntry> entries;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        bool folder = e->d_type == DT_DIR;
        bool link = e->d_type == DT_LNK;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            link = ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
        }
        if (e->d_type == DT_UNKNOWN || link) {
            struct stat st {};
            folder = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back({name, folder, link});
        errno = 0;
    }
    if (errno != 0)
        return R::failure(errorFromErrno(errno));
    return {std::move(entries), error::None};
}

std::string PosixPlatform::fuseTypeOf(const std::string& folder) const
{
    // FUSE file systems share one magic number: the mount table has the name.
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        if (const auto mount = MountOfDevice(st.st_dev, options_.mountInfoPath))
            return mount->fsType;
    return std::string();
}

FileSystemLimits PosixPlatform::fileSystemLimits(const std::string& path)
{
    std::string folder;
    struct statfs fs {};
    if (!nearestStatfs(path, folder, fs))
        return {};
    const std::string type = fs.f_type == FuseMagic ? fuseTypeOf(folder) : std::string();
    FileSystemLimits limits;
    limits.largestFile = LargestFileOn(static_cast<std::int64_t>(fs.f_type), type);
    const auto unit = fs.f_frsize > 0 ? fs.f_frsize : fs.f_bsize;
    limits.allocationUnit = unit > 0 ? static_cast<std::int64_t>(unit) : 1;
    if (fs.f_namelen > 0)
        limits.longestName = static_cast<std::int64_t>(fs.f_namelen);
    return limits;
}

std::string PosixPlatform::driveFolder() const
{
    if (!mediumFolder_.empty())
        return mediumFolder_;
    return options_.driveFolder.empty() ? desktopMediaFolder() : options_.driveFolder;
}

Result<std::int64_t> PosixPlatform::driveFreeBytes()
{
    if (const ErrorCode state = driveState(); state != error::None)
        return Result<std::int64_t>::failure(state);
    struct statvfs vfs {};
    if (::statvfs(driveFolder().c_str(), &vfs) != 0)
        return Result<std::int64_t>::failure(errorFromErrno(errno));
    const std::uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX);
    if (unit != 0 && vfs.f_bavail > limit / unit)
        return {INT64_MAX, error::None};
    return {static_cast<std::int64_t>(vfs.f_bavail * unit), error::None};
}

ErrorCode PosixPlatform::openFileManager(const std::string& folder)
{
    if (options_.fileManagerCommand.empty())
        return error::None; // none wanted
    std::vector<std::string> command = options_.fileManagerCommand;
    command.push_back(folder);
    return LaunchDetached(command, options_.fileManagerVerdictWait);
}

std::vector<RemovableMedium> PosixPlatform::findMedia()
{
    if (!options_.driveFolder.empty()) {
        if (folderState(options_.driveFolder) != error::None)
            return {};
        RemovableMedium named;
        named.id = named.folder = options_.driveFolder;
        struct statvfs vfs {};
        if (::statvfs(named.folder.c_str(), &vfs) == 0)
            named.size = static_cast<std::int64_t>(vfs.f_blocks * (vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize));
        return {named};
    }
    if (options_.useDiskService)
        if (auto media = diskservice::Media())
            return std::move(*media);
    return MountedRemovableMedia({options_.mountInfoPath, options_.sysRoot, options_.labelFolder});
}

ErrorCode PosixPlatform::useMedium(const RemovableMedium& medium)
{
    std::string folder = medium.folder;
    if (folder.empty() && medium.ejectable) {
        auto mounted = diskservice::Mount(medium.id);
        if (!mounted.ok())
            return error::NotReady;
        folder = std::move(mounted.value);
    }
    folder = WithoutTrailingSlashes(folder);
    if (folder.empty() || folderState(folder) != error::None)
        return error::NotReady;
    mediumFolder_ = folder;
    mediumObject_ = medium.ejectable ? medium.id : std::string();
    return error::None;
}

MediumRelease PosixPlatform::releaseMedium()
{
    MediumRelease release;
    if (!mediumObject_.empty())
        release = diskservice::Unmount(mediumObject_);
    if (release.error == error::None) {
        mediumFolder_.clear();
        mediumObject_.clear();
    }
    return release;
}

ErrorCode PosixPlatform::folderState(const std::string& folder) const
{
    struct stat st {};
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return error::NotReady;
    if (options_.driveMustBeMountPoint) {
        struct stat parent {};
        if (::stat(parentOf(folder).c_str(), &parent) != 0)
            return error::NotReady;
        if (parent.st_dev == st.st_dev && parent.st_ino != st.st_ino)
            return error::NotReady;
    }
    return error::None;
}

bool PosixPlatform::onDrive(const std::string& path) const
{
    // Only a drive that is named or taken guards its files: the folder shown
    // before that is no drive yet.
    const std::string& drive = mediumFolder_.empty() ? options_.driveFolder : mediumFolder_;
    return !drive.empty() && path.size() > drive.size() && path.compare(0, drive.size(), drive) == 0
           && (path[drive.size()] == '/' || drive == "/");
}

Result<std::unique_ptr<Process>> PosixPlatform::startProcess(const ProcessRequest& request)
{
    // A held folder is where the program runs, whatever its path names now.
    const int folder = request.folder.empty() ? -1 : openFolder(request.folder);
    if (!request.folder.empty() && folder < 0)
        return Result<std::unique_ptr<Process>>::failure(errorFromErrno(errno));
    auto started = StartPosixProcess(request, folder);
    if (folder >= 0)
        ::close(folder);
    return started;
}

} // namespace darvolt
