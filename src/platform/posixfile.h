#pragma once
// A file descriptor behind the File interface, and the errno mapping.

#include "platform/platform.h"

namespace darvolt {

// Maps an errno value onto the Windows numbering of errorcode.h.
ErrorCode errorFromErrno(int errnoValue);

// Owns one descriptor; closes it when destroyed.
class PosixFile final : public File {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override;

    Result<std::size_t> read(std::span<std::byte> buffer) override;
    Result<std::size_t> write(std::span<const std::byte> data) override;
    Result<std::int64_t> size() override;
    ErrorCode close() override;
    CopyResult copyTo(File& target, std::uint64_t maxBytes) override;

    int descriptor() const { return fd_; }

private:
    // Extends target by a hole of n bytes instead of writing zeros.
    bool skipHole(PosixFile& target, std::uint64_t n);

    int fd_ = -1;
    bool inKernelCopy_ = true; // cleared after the first refusal of copy_file_range
};

} // namespace darvolt
