#pragma once
// The operating-system layer of the split engine and the main window.
//
// Everything the engine and the window do to files, folders, the diskette
// drive and the desktop goes through one `Platform` object, so that the engine
// runs against the real system (PosixPlatform) or against an in-memory fake
// with scripted failures (FakePlatform) alike. No Qt here.
//
// Paths are byte strings as the file system holds them, with "/" separators.
// Relative paths resolve in the process's current directory, which nothing in
// this layer changes. Every failure carries a code in the Windows numbering
// (errorcode.h).
//
// What the main window needs to measure a file for its size display is the
// sequence attributes() -> openForReading() -> File::size(), which
// MeasureSource() (split/sourcemeasure.h) performs; none of these blocks, also
// not on a FIFO, socket or device.

#include "platform/errorcode.h"
#include "platform/process.h"

#include <cstddef>
#include <cstdint>
#include <climits>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace darvolt {

// Attribute bits in the Windows numbering. A FIFO, socket or device reports
// Device and nothing else, so callers treat it as "no such file".
namespace attribute {
inline constexpr std::uint32_t ReadOnly = 0x01;  // no write permission for the owner
inline constexpr std::uint32_t Hidden = 0x02;    // the name starts with "."
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;   // every regular file
inline constexpr std::uint32_t Device = 0x40;    // FIFO, socket, character or block device
} // namespace attribute

// What tells one file from every other (device and inode) and from its own
// earlier state (size and modification time). A run notes its source's
// identity when it opens it, so that a source rewritten, truncated or
// replaced while it is being split is never passed off as split.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds since the epoch, as the file system keeps them

    bool sameFile(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Result of File::copyTo.
struct CopyResult {
    std::uint64_t bytes = 0; // moved; 0 (without fallBack) means the end of the source
    bool fallBack = false;   // nothing moved: copy this range with read()/write()
};

// An open file. Destroying it closes it and drops any error of that close;
// call close() to learn whether the data reached the file system.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    virtual ~File() = default;

    // Reads up to buffer.size() bytes at the current position. Fewer bytes
    // than asked (0 included) mean the end of the file.
    virtual Result<std::size_t> read(std::span<std::byte> buffer) = 0;

    // Writes the bytes at the current position. The value is the count that
    // was stored; a count below data.size() without an error code is possible
    // (the fake produces it on request) and callers treat it as a failure.
    // A failure keeps in `value` what was stored before it, so a medium that
    // fills up (DiskFull) tells how much of the data it took.
    virtual Result<std::size_t> write(std::span<const std::byte> data) = 0;

    // The size in bytes, 64-bit.
    virtual Result<std::int64_t> size() = 0;

    // Device, inode, size and modification time of the open file.
    virtual Result<FileIdentity> identity() = 0;

    // Waits until the data written so far are on the medium (fdatasync). An
    // error here means data the writes accepted may be lost.
    virtual ErrorCode flush() = 0;

    // Gives the file these permission bits, less what the user's umask
    // takes away. The default changes nothing.
    virtual ErrorCode setPermissions(std::uint32_t permissions);

    // The permission bits the file has; DefaultPermissions where the
    // platform has none.
    virtual std::uint32_t permissions();

    // Closes the file and reports whether that worked. Later calls of any
    // operation fail with error::InvalidHandle; a second close() returns None.
    virtual ErrorCode close() = 0;

    // Moves up to maxBytes from this file's position to target's position
    // without passing them through user space, where the platform can (holes
    // of a sparse source stay holes). Both positions advance by the count.
    // Any trouble answers fallBack with nothing moved; the caller then copies
    // with read() and write(), which report the failure with its proper side.
    // The default implementation always falls back.
    virtual CopyResult copyTo(File& target, std::uint64_t maxBytes);

    // The positional twins of read() and copyTo(): they take the source
    // offset as an argument instead of using this file's position, so two
    // threads may copy different ranges of one file at the same time. The
    // position is left undefined; the target's position advances as with
    // copyTo(). readAt() fills the buffer unless the file ends first.
    // The default readAt() fails with InvalidParameter (and copyRangeTo()
    // always falls back): a platform whose files keep that default must not
    // allow concurrent copies.
    virtual Result<std::size_t> readAt(std::int64_t offset, std::span<std::byte> buffer);
    virtual CopyResult copyRangeTo(std::int64_t offset, File& target, std::uint64_t maxBytes);
    // The positional twin of write(), so two threads may fill different
    // ranges of one file at the same time. The default fails with
    // InvalidParameter, like readAt().
    virtual Result<std::size_t> writeAt(std::int64_t offset, std::span<const std::byte> data);
};

// A removable medium present now: a USB stick, a memory card, a diskette.
struct RemovableMedium {
    std::string id;     // names it to useMedium(): the disk service's object, or its folder
    std::string label;  // its file system's label; may be empty
    std::string device; // "/dev/sdb1"; may be empty
    std::string folder; // where it is mounted; empty while it is not
    std::int64_t size = 0; // bytes its file system (or device) holds; 0 when unknown
    // Found through the desktop's disk service, which mounts it when needed
    // and unmounts it (and powers it off) once its part is on it.
    bool ejectable = false;
};

// What letting a medium go came to.
struct MediumRelease {
    ErrorCode error = error::None;
    bool unmounted = false; // it is no longer mounted and may be pulled out
    std::string reason;     // why it could not be unmounted, in the system's words
};

// What the file system under a folder allows a single file.
struct FileSystemLimits {
    std::int64_t largestFile = INT64_MAX; // bytes; 4 GiB - 1 on FAT
    std::int64_t allocationUnit = 1;      // the smallest room a file takes
    std::int64_t longestName = 255;       // bytes of one name in a folder
};

struct DirectoryEntry {
    std::string name; // bare name; "." and ".." are not listed
    bool isDirectory = false; // a folder, or a link to one
    bool isLink = false;      // a symbolic link, whatever it points to
};

// Permission bits for files a run creates (POSIX numbering; the user's
// umask still takes its share). A split gives its parts no more than the
// source has; a join keeps its output private until it is complete.
inline constexpr std::uint32_t DefaultPermissions = 0666;
inline constexpr std::uint32_t PrivatePermissions = 0600;
inline constexpr std::uint32_t FolderPermissions = 0777;
inline constexpr std::uint32_t PrivateFolderPermissions = 0700;

class Platform {
public:
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    virtual ~Platform() = default;

    // Opens an existing regular file for reading only, shared with every
    // other reader and writer. The file's contents, times and attributes are
    // left as they are. A FIFO, socket or device fails with FileNotFound at
    // once (never blocks); a directory fails with AccessDenied.
    virtual Result<std::unique_ptr<File>> openForReading(const std::string& path) = 0;

    // Creates a file for writing in place of whatever file has that name:
    // an existing file, or a symbolic link (removed, never followed), is
    // deleted first and the new file created exclusively, so that nothing
    // written goes through a link someone planted or into a file the caller
    // did not make. A name that comes back between the two steps fails with
    // AlreadyExists; a folder of that name with AccessDenied. A medium that
    // cannot be written fails with WriteProtected (19), a missing or empty
    // drive with NotReady (21).
    virtual Result<std::unique_ptr<File>> createFile(const std::string& path,
                                                     std::uint32_t permissions = DefaultPermissions) = 0;

    // Creates a file that must not exist yet: an existing entry of that name
    // (a file, a folder, a link) fails with AlreadyExists and stays as it is.
    virtual Result<std::unique_ptr<File>> createNewFile(const std::string& path,
                                                        std::uint32_t permissions = DefaultPermissions) = 0;

    // Resolves a folder once for what follows: until releaseFolder(), every
    // file named "<folder>/<bare name>" is created, opened, measured, renamed
    // and removed through a handle of that folder, and a helper program
    // started in it runs there, never through the folder's path again. A
    // folder swapped for a link to elsewhere during a run then cannot send a
    // file there. A folder the run made itself (mayBeLink false) that is a
    // symbolic link fails with IsLink; one the user named may be a link,
    // followed now and never again. Holds of one folder nest. The default
    // holds nothing.
    virtual ErrorCode holdFolder(const std::string& folder, bool mayBeLink);
    virtual void releaseFolder(const std::string& folder);

    // Deletes a file (not a folder).
    virtual ErrorCode removeFile(const std::string& path) = 0;

    // Gives a file a new name on the same file system (NotSameDevice
    // otherwise). Without `replace`, an existing file of the new name fails
    // with AlreadyExists and is left untouched, with no moment at which a
    // third program could slip a file in between the test and the rename.
    virtual ErrorCode renameFile(const std::string& from, const std::string& to, bool replace) = 0;

    // The attribute bits of a file or folder (see `attribute`).
    virtual Result<std::uint32_t> attributes(const std::string& path) = 0;

    // Creates one folder level; its parent must exist. An existing entry of
    // that name fails with AlreadyExists. `permissions` as for files.
    virtual ErrorCode makeDirectory(const std::string& path, std::uint32_t permissions = FolderPermissions) = 0;

    // Removes an empty folder (not a link to one). The default removes
    // nothing (InvalidParameter).
    virtual ErrorCode removeDirectory(const std::string& path);

    // Gives an existing file a second name (a hard link), never following a
    // link under either name; an existing entry of the new name fails with
    // AlreadyExists. File systems without links fail, and so does the
    // default (InvalidParameter).
    virtual ErrorCode linkFile(const std::string& from, const std::string& to);

    // True for an existing folder (or a link to one).
    virtual bool isDirectory(const std::string& path) = 0;

    // The identity of the file a path names (links followed).
    virtual Result<FileIdentity> identityOf(const std::string& path) = 0;

    // Makes the entries of a folder (new names, removed names) durable, once
    // the files themselves have been flushed.
    virtual ErrorCode flushFolder(const std::string& folder) = 0;

    // True when the folder lies on a removable or hot-pluggable device (a
    // USB stick, a memory card), whose data must be on it before the user is
    // told the run is done. False when that cannot be told.
    virtual bool isRemovable(const std::string& folder) = 0;

    // True when the file system holding the path ignores the case of names
    // (FAT, NTFS, a case-folding folder), so that an upper-cased path still
    // names the same file.
    virtual bool ignoresCase(const std::string& path) = 0;

    // The entries of a folder, in no particular order.
    virtual Result<std::vector<DirectoryEntry>> listDirectory(const std::string& path) = 0;

    // What the file system holding the path (or its nearest existing
    // folder) allows a file.
    virtual FileSystemLimits fileSystemLimits(const std::string& path) = 0;

    // The folder that stands for diskette drive A:, without a trailing "/":
    // the medium that useMedium() took, else the folder the user named for
    // it, else where the desktop mounts removable media (for display only).
    virtual std::string driveFolder() const = 0;

    // Free bytes on the medium in drive A:, 64-bit. NotReady when there is no
    // medium: nothing is mounted on the drive folder.
    virtual Result<std::int64_t> driveFreeBytes() = 0;

    // The removable media present now, each with a file system. With a
    // drive folder named by the user, that folder alone, and only while
    // something is mounted on it.
    virtual std::vector<RemovableMedium> findMedia() = 0;

    // Makes one of findMedia()'s media drive A:, mounting it first when it is
    // not mounted. NotReady when it is gone or cannot be mounted.
    virtual ErrorCode useMedium(const RemovableMedium& medium) = 0;

    // Once everything on drive A: is flushed: unmounts an ejectable medium
    // and powers it off where that is offered; other media stay as they are.
    // A medium in use fails with SharingViolation and the reason, and stays
    // drive A: for another try.
    virtual MediumRelease releaseMedium() = 0;

    // Starts the desktop's file manager on a folder, detached: it outlives
    // the program. None once the file manager is on its way; a code when it
    // could not be started (no launcher, or the launcher found nothing to
    // open folders with), so that the caller can tell the user where the
    // folder is instead. It may take a moment to know, never long.
    virtual ErrorCode openFileManager(const std::string& folder) = 0;

    // True when the split engine may copy two parts at once: one thread
    // calling the platform's operations (creating, deleting files) and
    // copying one part, another thread copying another part from the same
    // source with readAt() / copyRangeTo() into a file of its own, which it
    // also closes. Files and the platform must then be safe for that. The
    // default is false: everything stays on the calling thread.
    virtual bool allowsConcurrentCopies() const { return false; }

    // Starts a helper program in a folder (see process.h). FileNotFound when
    // the program is not installed. The default starts nothing: a platform
    // without programs answers FileNotFound.
    virtual Result<std::unique_ptr<Process>> startProcess(const ProcessRequest& request);
};

// Holds a folder (Platform::holdFolder) for as long as it lives.
class HeldFolder {
public:
    HeldFolder(Platform& platform, std::string folder, bool mayBeLink)
        : platform_(platform), folder_(std::move(folder)), error_(platform_.holdFolder(folder_, mayBeLink))
    {
    }
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder()
    {
        if (error_ == error::None)
            platform_.releaseFolder(folder_);
    }
    ErrorCode error() const { return error_; }

private:
    Platform& platform_;
    std::string folder_;
    ErrorCode error_;
};

} // namespace darvolt
