#include "platform/posixfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace darvolt {

namespace {

// The most one write() or copy_file_range() call stores. The page cache
// gives a write a folio as large as the write; large folios need large free
// blocks of memory, and on virtual machines that hand free memory back to
// the host (virtio-balloon page reporting) every page of such a block then
// faults on its first touch: a split writing 1 MiB at a time ran five times
// slower than one writing 128 KiB, which is what coreutils write too.
constexpr std::size_t kWriteChunk = std::size_t(128) << 10;

} // namespace

FileIdentity IdentityFromStat(const struct stat& st)
{
    FileIdentity id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::int64_t>(st.st_size);
    id.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

mode_t CurrentUmask()
{
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &value) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(value & 0777);
    }
    return 022;
}

namespace {

// errno values and the codes they map to; where several map to one code,
// the first is the one whose words describe the code.
constexpr std::pair<int, ErrorCode> ErrnoCodes[] = {
    {ENOENT, error::FileNotFound},
    {ENOTDIR, error::PathNotFound},
    {EACCES, error::AccessDenied},
    {EPERM, error::AccessDenied},
    {EISDIR, error::AccessDenied},
    {EBADF, error::InvalidHandle},
    {ENOMEM, error::NotEnoughMemory},
    {EROFS, error::WriteProtected},
    {ENOMEDIUM, error::NotReady},
    {ENXIO, error::NotReady},
    {ENODEV, error::NotReady},
    {EBUSY, error::SharingViolation},
    {ETXTBSY, error::SharingViolation},
    {ENOSPC, error::DiskFull},
    {EDQUOT, error::DiskFull},
    {EFBIG, error::DiskFull},
    {EINVAL, error::InvalidParameter},
    {ENOTEMPTY, error::DirectoryNotEmpty},
    {EXDEV, error::NotSameDevice},
    {EEXIST, error::AlreadyExists},
    {ENAMETOOLONG, error::NameTooLong},
    {EIO, error::DeviceError},
};

} // namespace

ErrorCode errorFromErrno(int e)
{
    if (e == 0)
        return error::None;
    for (const auto& [number, code] : ErrnoCodes)
        if (number == e)
            return code;
    return error::SystemBit | static_cast<ErrorCode>(e);
}

std::string SystemErrorText(ErrorCode code)
{
    int number = (code & error::SystemBit) != 0 ? static_cast<int>(code & ~error::SystemBit) : 0;
    if (code == error::IsLink) // what O_NOFOLLOW answers for a link
        number = ELOOP;
    for (const auto& [e, c] : ErrnoCodes)
        if (number == 0 && c == code)
            number = e;
    return number != 0 ? std::string(std::strerror(number)) : "error " + std::to_string(code);
}

PosixFile::~PosixFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Result<std::size_t> PosixFile::read(std::span<std::byte> buffer)
{
    if (fd_ < 0)
        return Result<std::size_t>::failure(error::InvalidHandle);
    // Keep reading until the buffer is full or the file ends, so that a short
    // count always means the end of the file.
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(fd_, buffer.data() + done, buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (done > 0)
                break; // hand over what arrived; the error returns on the next call
            return Result<std::size_t>::failure(errorFromErrno(errno));
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return {done, error::None};
}

Result<std::size_t> PosixFile::write(std::span<const std::byte> data)
{
    if (fd_ < 0)
        return Result<std::size_t>::failure(error::InvalidHandle);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd_, data.data() + done, std::min(kWriteChunk, data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {done, errorFromErrno(errno)}; // what was stored stays told
        }
        if (n == 0)
            return {done, error::DiskFull};
        done += static_cast<std::size_t>(n);
    }
    return {done, error::None};
}

Result<std::int64_t> PosixFile::size()
{
    if (fd_ < 0)
        return Result<std::int64_t>::failure(error::InvalidHandle);
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return Result<std::int64_t>::failure(errorFromErrno(errno));
    return {static_cast<std::int64_t>(st.st_size), error::None};
}

Result<FileIdentity> PosixFile::identity()
{
    if (fd_ < 0)
        return Result<FileIdentity>::failure(error::InvalidHandle);
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return Result<FileIdentity>::failure(errorFromErrno(errno));
    return {IdentityFromStat(st), error::None};
}

ErrorCode PosixFile::flush()
{
    if (fd_ < 0)
        return error::InvalidHandle;
    while (::fdatasync(fd_) != 0) {
        if (errno != EINTR)
            return errorFromErrno(errno);
    }
    return error::None;
}

ErrorCode PosixFile::setPermissions(std::uint32_t permissions)
{
    if (fd_ < 0)
        return error::InvalidHandle;
    const mode_t mode = static_cast<mode_t>(permissions & 07777) & ~CurrentUmask();
    return ::fchmod(fd_, mode) == 0 ? error::None : errorFromErrno(errno);
}

std::uint32_t PosixFile::permissions()
{
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return DefaultPermissions;
    return static_cast<std::uint32_t>(st.st_mode & 07777);
}

ErrorCode PosixFile::close()
{
    if (fd_ < 0)
        return error::None;
    const int fd = fd_;
    fd_ = -1;
    // On Linux the descriptor is gone even when close reports EINTR; any other
    // error means written data may not have reached the file.
    if (::close(fd) != 0 && errno != EINTR)
        return errorFromErrno(errno);
    return error::None;
}

Result<std::size_t> PosixFile::readAt(std::int64_t offset, std::span<std::byte> buffer)
{
    if (fd_ < 0)
        return Result<std::size_t>::failure(error::InvalidHandle);
    if (offset < 0)
        return Result<std::size_t>::failure(error::InvalidParameter);
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::pread(fd_, buffer.data() + done, buffer.size() - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (done > 0)
                break; // as read(): what arrived first, the error on the next call
            return Result<std::size_t>::failure(errorFromErrno(errno));
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return {done, error::None};
}

Result<std::size_t> PosixFile::writeAt(std::int64_t offset, std::span<const std::byte> data)
{
    if (fd_ < 0)
        return Result<std::size_t>::failure(error::InvalidHandle);
    if (offset < 0)
        return Result<std::size_t>::failure(error::InvalidParameter);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd_, data.data() + done, std::min(kWriteChunk, data.size() - done),
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {done, errorFromErrno(errno)};
        }
        if (n == 0)
            return {done, error::DiskFull};
        done += static_cast<std::size_t>(n);
    }
    return {done, error::None};
}

bool PosixFile::appendHole(std::uint64_t n)
{
    const off_t from = ::lseek(fd_, 0, SEEK_CUR);
    if (from < 0)
        return false;
    const off_t to = from + static_cast<off_t>(n);
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return false;
    if (st.st_size < to && ::ftruncate(fd_, to) != 0)
        return false;
    return ::lseek(fd_, to, SEEK_SET) == to;
}

CopyResult PosixFile::copyTo(File& target, std::uint64_t maxBytes)
{
    const off_t pos = fd_ >= 0 ? ::lseek(fd_, 0, SEEK_CUR) : -1;
    if (pos < 0)
        return CopyResult{0, true};
    const CopyResult moved = copyFrom(pos, target, maxBytes);
    // The hole search moved the position; put it behind what was copied.
    ::lseek(fd_, pos + static_cast<off_t>(moved.bytes), SEEK_SET);
    return moved;
}

CopyResult PosixFile::copyRangeTo(std::int64_t offset, File& target, std::uint64_t maxBytes)
{
    if (offset < 0)
        return CopyResult{0, true};
    return copyFrom(static_cast<off_t>(offset), target, maxBytes);
}

PosixFile::Extent PosixFile::extentAt(off_t offset)
{
    const std::lock_guard lock(extentMutex_);
    if (offset >= known_.start && offset < known_.end)
        return known_;
    Extent found;
    found.start = offset;
    const off_t data = ::lseek(fd_, offset, SEEK_DATA);
    if (data < 0) {
        struct stat st {};
        if (errno != ENXIO || ::fstat(fd_, &st) != 0) {
            found.end = offset; // no answer: take it as data, read() will tell
            return found;
        }
        // No data from the offset on. Within the file as it is now that is a
        // hole up to its end; past its end the data have ended (the file
        // shrank) and nothing may be made up for them.
        found.hole = true;
        found.end = std::max(offset, static_cast<off_t>(st.st_size));
    } else if (data > offset) {
        found.hole = true;
        found.end = data;
    } else {
        const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
        found.end = hole > data ? hole : data;
    }
    if (found.end > found.start)
        known_ = found;
    return found;
}

CopyResult PosixFile::copyFrom(off_t pos, File& target, std::uint64_t maxBytes)
{
    auto* out = dynamic_cast<PosixFile*>(&target);
    if (!inKernelCopy_.load(std::memory_order_relaxed) || out == nullptr || fd_ < 0 || out->fd_ < 0
        || maxBytes == 0)
        return CopyResult{0, true};

    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        inKernelCopy_.store(false, std::memory_order_relaxed);
        return CopyResult{0, true};
    }
    if (pos >= st.st_size)
        return CopyResult{0, true}; // let read() tell the end, also for files that grow

    // Holes of a sparse source become holes of the part: nothing to read, and
    // nothing to allocate on the target medium. Only a file with fewer blocks
    // than its size calls for can have holes; for every other file the hole
    // search is skipped.
    std::uint64_t want = maxBytes;
    if (static_cast<std::int64_t>(st.st_blocks) * 512 < static_cast<std::int64_t>(st.st_size)) {
        const Extent extent = extentAt(pos);
        if (extent.end <= pos)
            return CopyResult{0, true};
        const auto length = static_cast<std::uint64_t>(extent.end - pos);
        if (extent.hole) {
            const auto n = std::min(maxBytes, length);
            if (out->appendHole(n))
                return CopyResult{n, false};
            inKernelCopy_.store(false, std::memory_order_relaxed);
            return CopyResult{0, true};
        }
        want = std::min(want, length);
    }

    want = std::min<std::uint64_t>(want, kWriteChunk);
    for (;;) {
        off64_t from = pos;
        const ssize_t n = ::copy_file_range(fd_, &from, out->fd_, nullptr, static_cast<std::size_t>(want), 0);
        if (n > 0)
            return CopyResult{static_cast<std::uint64_t>(n), false};
        if (n < 0 && errno == EINTR)
            continue;
        // A refusal (other file system, unsupported) or a real failure: the
        // read()/write() path takes over and names the side that failed. A 0
        // before the known end is treated alike (pseudo files report sizes
        // they do not deliver through this call).
        inKernelCopy_.store(false, std::memory_order_relaxed);
        return CopyResult{0, true};
    }
}

} // namespace darvolt
