#pragma once
// A file descriptor behind the File interface, and the errno mapping.

#include "platform/platform.h"

#include <atomic>
#include <mutex>
#include <sys/stat.h>
#include <sys/types.h>

namespace darvolt {

// Maps an errno value onto the Windows numbering of errorcode.h.
ErrorCode errorFromErrno(int errnoValue);

FileIdentity IdentityFromStat(const struct stat& st);

// The process's umask, read without changing it (it is shared by every
// thread, and setting it to learn it would race with them).
mode_t CurrentUmask();

// Owns one descriptor; closes it when destroyed.
class PosixFile final : public File {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override;

    Result<std::size_t> read(std::span<std::byte> buffer) override;
    Result<std::size_t> write(std::span<const std::byte> data) override;
    Result<std::int64_t> size() override;
    Result<FileIdentity> identity() override;
    ErrorCode flush() override;
    ErrorCode setPermissions(std::uint32_t permissions) override;
    std::uint32_t permissions() override;
    ErrorCode close() override;
    CopyResult copyTo(File& target, std::uint64_t maxBytes) override;
    Result<std::size_t> readAt(std::int64_t offset, std::span<std::byte> buffer) override;
    Result<std::size_t> writeAt(std::int64_t offset, std::span<const std::byte> data) override;
    CopyResult copyRangeTo(std::int64_t offset, File& target, std::uint64_t maxBytes) override;

    int descriptor() const { return fd_; }

private:
    // The in-kernel copy of up to maxBytes from offset on; this file's
    // position is left undefined.
    CopyResult copyFrom(off_t offset, File& target, std::uint64_t maxBytes);
    // Extends the file by a hole of n bytes at its position instead of
    // writing zeros.
    bool appendHole(std::uint64_t n);

    // A stretch of the file that is all data or all hole.
    struct Extent {
        off_t start = 0;
        off_t end = 0; // start == end: nothing at that offset, the file ends there
        bool hole = false;
    };
    // The stretch that holds offset, from the file system's hole search
    // (SEEK_DATA, SEEK_HOLE). The last answer is kept, so a stretch costs one
    // search however many blocks it takes: on tmpfs each search walks the
    // file's pages from the offset on.
    Extent extentAt(off_t offset);

    int fd_ = -1;
    std::mutex extentMutex_;
    Extent known_;
    // Cleared after the first refusal of copy_file_range; two threads copying
    // from one source may both read and clear it.
    std::atomic<bool> inKernelCopy_{true};
};

} // namespace darvolt
