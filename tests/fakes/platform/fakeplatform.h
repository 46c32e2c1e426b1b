#pragma once
// An in-memory Platform for tests, with scripted failures.
//
// - Files and folders live in memory under the paths the test gives them.
//   Paths without a "/" are in the current directory, which always exists.
// - Any single call can be made to fail: failCall(op, n, code) makes the n-th
//   call of that operation (counted from 1 since the fake was made) fail with
//   the code. storeShortWrite(n, k) makes the n-th write store only k bytes
//   without reporting an error.
// - The diskette drive is a queue of media, each ready, write-protected or
//   missing, with its own capacity and files. changeDiskette() takes the next
//   one into the drive (the test calls it when its view answers a prompt);
//   with the queue used up the drive is empty. A full medium refuses writes
//   with DiskFull after storing what fits, as a real one does; a medium may
//   keep room for its own bookkeeping that its free space does not show, and
//   may run out of directory entries.
// - Media are found as a desktop has them: each is mounted at a folder of
//   its own (the drive folder unless it says otherwise), several can be
//   present at once (withNext), one can be inserted but not yet mounted, and
//   one of the disk service (ejectable) is mounted by useMedium() and
//   unmounted by releaseMedium(), which can be made to find it busy. A
//   medium's file system may cap the size of a file (FAT: 4 GiB - 1) and
//   allocate room in units.
// - Files keep an identity (inode, size, a modification count) that a test
//   can change in the middle of a run, and remember whether their data and
//   their folder's entries were flushed since they last changed.
// - Paths ignore case unless setCaseSensitive(true); no folder is removable
//   unless setRemovable() says so.
// - openFileManager() only records the folder, and fails when told to
//   (failCall with Operation::OpenFileManager).
// - Helper programs (startProcess) exist only where a test scripts them with
//   setProgram(): the script sees the request, may change the fake's files
//   as the program would, and says what the program writes (one chunk per
//   readOutput call) and its exit status. Any other program is not
//   installed (FileNotFound).
// - Copies are sequential by default; allowConcurrentCopies(true) lets the
//   split engine copy two parts at once. Every call is serialised by one
//   lock, and the faults counted per path or tied to a source offset
//   (fakefaults.h) hit the same part whichever thread copies it. A call hook
//   runs at the start of every call, outside the lock, so a test can hold
//   one thread at a chosen point until another has got somewhere.
//
// The fake must outlive the files it hands out.

#include "platform/fakefaults.h"
#include "platform/platform.h"

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace darvolt {

class FakePlatform final : public Platform {
public:
    using Operation = FakeOperation;
    static constexpr std::size_t OperationCount = FakeFaults::OperationCount;
    // Runs at the start of a call with the operation and the path it
    // concerns (the file's path for Read, Write, Size and Close).
    using CallHook = std::function<void(Operation, const std::string&)>;

    struct Medium {
        enum class State { Ready, WriteProtected, Missing };
        State state = State::Ready;
        std::int64_t capacity = 1457664; // free bytes while it holds nothing
        std::map<std::string, std::string> files{}; // bare name -> contents already on it
        std::int64_t reserved = 0; // counted as free, yet never given to a file
        int maxFiles = -1;         // directory entries; -1: no limit
        std::string label{};
        std::string folder{};      // where it is mounted; the drive folder when empty
        bool ejectable = false;    // of the disk service: mounted and unmounted through it
        bool mounted = true;       // false: inserted, waiting to be mounted
        bool withNext = false;     // the next medium of the queue is present at the same time
        std::int64_t largestFile = -1; // -1: no limit of its own
        std::int64_t allocationUnit = 1;
        int busyUnmounts = 0;      // unmount attempts that find it in use
    };

    struct Node; // a file's contents and flags

    // What a scripted program does once started.
    struct ProgramRun {
        std::vector<std::string> output; // each chunk arrives with one readOutput()
        int status = 0;
    };
    using ProgramScript = std::function<ProgramRun(const ProcessRequest&)>;

    explicit FakePlatform(std::string driveFolder = "/A");
    ~FakePlatform() override;

    // The file tree outside the drive.
    void addDirectory(const std::string& path);                       // with its parents
    void addFile(const std::string& path, const std::string& contents); // parents added
    void addSpecialFile(const std::string& path); // a FIFO, socket or device
    void setLocked(const std::string& path);      // held open exclusively by another program
    void setReadOnly(const std::string& path);    // cannot be deleted or rewritten
    void setSizeUnknown(const std::string& path); // its size query fails
    bool hasFile(const std::string& path) const;
    bool hasDirectory(const std::string& path) const;
    std::string contents(const std::string& path) const; // empty when there is no such file
    // Writes, truncations and flag changes made through the platform since
    // the file was added: 0 means untouched.
    std::uint64_t changeCount(const std::string& path) const;
    // Rewrites a file in place, as another program would: same inode, new
    // contents and modification.
    void rewriteFile(const std::string& path, const std::string& contents);
    // True when the file's data and its name are on the medium: flushed
    // after its last write, and its folder flushed after it was created.
    bool isDurable(const std::string& path) const;
    void setCaseSensitive(bool sensitive) { caseSensitive_ = sensitive; }
    void setRemovable(const std::string& folder); // it and everything under it
    std::vector<std::string> directoryPaths() const;

    // The drive.
    void insertMedia(std::vector<Medium> media); // queued; the first goes in now
    void changeDiskette();
    int disketteIndex() const; // the medium in the drive, -1 when it is empty
    std::map<std::string, std::string> diskette(int index) const; // bare name -> contents
    // How often a medium was unmounted through the disk service, and whether
    // every file on it was durable each time.
    int unmounts(int index) const;
    bool durableWhenUnmounted(int index) const;
    bool mounted(int index) const;
    // The file system limits of folders outside the drive (folder mode).
    void setFileSystemLimits(const std::string& folder, FileSystemLimits limits);

    // Faults and records.
    void failCall(Operation op, int nth, ErrorCode code);
    void storeShortWrite(int nth, std::size_t stored);
    // The n-th Read, Write or Close on files opened at this path.
    void failFileCall(const std::string& path, Operation op, int nth, ErrorCode code);
    void storeShortWriteTo(const std::string& path, int nth, std::size_t stored);
    // Any read of the file whose range takes in the byte at offset.
    void failReadAt(const std::string& path, std::int64_t offset, ErrorCode code);
    int calls(Operation op) const;
    int fileCalls(const std::string& path, Operation op) const;
    std::vector<std::string> fileManagerLaunches() const;
    int openFiles() const;
    // Set before the run, not during it.
    void setCallHook(CallHook hook) { hook_ = std::move(hook); }
    void allowConcurrentCopies(bool allow) { concurrent_ = allow; }
    // Installs a program under the name a command starts it by.
    void setProgram(const std::string& name, ProgramScript script);
    std::vector<ProcessRequest> processStarts() const;
    int terminatedProcesses() const;

    // Platform
    Result<std::unique_ptr<File>> openForReading(const std::string& path) override;
    Result<std::unique_ptr<File>> createFile(const std::string& path,
                                             std::uint32_t permissions = DefaultPermissions) override;
    // Counted and failed as CreateFile.
    Result<std::unique_ptr<File>> createNewFile(const std::string& path,
                                                std::uint32_t permissions = DefaultPermissions) override;
    ErrorCode removeFile(const std::string& path) override;
    // Within the general tree or within the medium in the drive.
    ErrorCode renameFile(const std::string& from, const std::string& to, bool replace) override;
    Result<std::uint32_t> attributes(const std::string& path) override;
    ErrorCode makeDirectory(const std::string& path, std::uint32_t permissions = FolderPermissions) override;
    ErrorCode removeDirectory(const std::string& path) override;
    // Both names share one node, as a hard link shares an inode.
    ErrorCode linkFile(const std::string& from, const std::string& to) override;
    bool isDirectory(const std::string& path) override;
    Result<FileIdentity> identityOf(const std::string& path) override;
    ErrorCode flushFolder(const std::string& folder) override;
    bool isRemovable(const std::string& folder) override;
    bool ignoresCase(const std::string&) override { return !caseSensitive_; }
    Result<std::vector<DirectoryEntry>> listDirectory(const std::string& path) override;
    FileSystemLimits fileSystemLimits(const std::string& path) override;
    std::string driveFolder() const override;
    Result<std::int64_t> driveFreeBytes() override;
    std::vector<RemovableMedium> findMedia() override;
    ErrorCode useMedium(const RemovableMedium& medium) override;
    MediumRelease releaseMedium() override;
    ErrorCode openFileManager(const std::string& folder) override;
    bool allowsConcurrentCopies() const override { return concurrent_; }
    // Counted and failed as StartProcess.
    Result<std::unique_ptr<Process>> startProcess(const ProcessRequest& request) override;

private:
    friend class FakeFile;
    friend class FakeProcess;
    struct Slot; // a medium and its files
    using Lock = std::lock_guard<std::recursive_mutex>;

    Result<std::unique_ptr<File>> create(const std::string& path, bool exclusive);
    // Called first by every operation, before it takes the lock.
    void callHook(Operation op, const std::string& path) const;
    // Where a path's file lives: the general tree or the medium in the drive.
    // onMedium, when given, learns the medium that holds it.
    std::map<std::string, std::shared_ptr<Node>>* filesFor(const std::string& path, std::string& key,
                                                         ErrorCode& error, Slot** onMedium = nullptr) const;
    bool isMediumFolder(const std::string& folder) const;
    std::shared_ptr<Node> find(const std::string& path) const;
    Slot* current() const;
    // The media present now: the one in the drive and those inserted with it.
    std::vector<int> present() const;
    std::string folderOf(const Slot& slot) const;
    // The present, mounted medium whose folder is this one.
    Slot* mediumAt(const std::string& folder) const;
    bool parentExists(const std::string& path) const;
    // The room a file of that size takes on the medium.
    static std::int64_t roomOf(const Slot& slot, std::int64_t bytes);
    // Free bytes, not counting the room that `except` takes.
    static std::int64_t freeBytesOf(const Slot& slot, const Node* except = nullptr);
    // -1 when the file system has no limit of its own.
    std::int64_t largestFileAt(const std::string& path, const Slot* slot);
    FileIdentity identityOfNode(const Node& node) const;

    std::string drive_;
    std::map<std::string, std::shared_ptr<Node>> files_;
    std::set<std::string> directories_;
    std::vector<std::unique_ptr<Slot>> media_;
    int current_ = -1;
    int inUse_ = -1; // taken by useMedium() since the last change
    std::map<std::string, FileSystemLimits> limits_;
    FakeFaults faults_;
    std::vector<std::string> launches_;
    int openFiles_ = 0;
    CallHook hook_;
    bool concurrent_ = false;
    bool caseSensitive_ = false;
    std::set<std::string> removable_;
    std::map<std::string, ProgramScript> programs_;
    std::vector<ProcessRequest> starts_;
    int terminated_ = 0;
    // Recursive, because public calls use one another.
    mutable std::recursive_mutex mutex_;
};

} // namespace darvolt
