#pragma once
// Error codes of the platform layer.
//
// Every platform operation reports failure as a number in the Windows
// numbering, because the split engine tells some failures apart by exactly
// those numbers (19: the medium is write-protected, 21: the drive is not
// ready) and the rest only need to be stable and distinct. The POSIX layer maps
// errno values onto them (see errorFromErrno in posixfile.h); the fake uses
// them directly.

#include <cstdint>
#include <string>
#include <utility>

namespace darvolt {

using ErrorCode = std::uint32_t;

namespace error {
inline constexpr ErrorCode None = 0;
inline constexpr ErrorCode FileNotFound = 2;      // ENOENT
inline constexpr ErrorCode PathNotFound = 3;      // ENOTDIR
inline constexpr ErrorCode AccessDenied = 5;      // EACCES, EPERM, EISDIR
inline constexpr ErrorCode InvalidHandle = 6;     // EBADF, a closed file
inline constexpr ErrorCode NotEnoughMemory = 8;   // ENOMEM
inline constexpr ErrorCode NotSameDevice = 17;    // EXDEV
inline constexpr ErrorCode WriteProtected = 19;   // EROFS
inline constexpr ErrorCode NotReady = 21;         // ENOMEDIUM, ENXIO, no drive folder
inline constexpr ErrorCode SharingViolation = 32; // ETXTBSY, EBUSY
inline constexpr ErrorCode DiskFull = 39;         // ENOSPC, EDQUOT, EFBIG
inline constexpr ErrorCode InvalidParameter = 87; // EINVAL
inline constexpr ErrorCode DirectoryNotEmpty = 145;
inline constexpr ErrorCode AlreadyExists = 183;   // EEXIST
inline constexpr ErrorCode NameTooLong = 206;     // ENAMETOOLONG
inline constexpr ErrorCode DeviceError = 1117;    // EIO
inline constexpr ErrorCode IsLink = 1921;         // ELOOP: a symbolic link where none may be
// errno values without a Windows counterpart keep their own number under
// this bit (the customer bit of the Windows numbering), so they never collide
// with the codes above.
inline constexpr ErrorCode SystemBit = 0x20000000;
} // namespace error

// The system's own words for a code, as strerror() gives them ("No space
// left on device"), for messages that name a failing call.
std::string SystemErrorText(ErrorCode code);

// The value of an operation or the code of its failure. `value` holds its
// default when the operation failed.
template <class T>
struct Result {
    T value{};
    ErrorCode error = error::None;

    bool ok() const { return error == error::None; }
    static Result failure(ErrorCode code) { return Result{T{}, code}; }
};

} // namespace darvolt
