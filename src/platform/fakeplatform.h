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
//   with DiskFull after storing what fits, as a real one does.
// - openFileManager() only records the folder.
//
// The fake must outlive the files it hands out.

#include "platform/platform.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace darvolt {

class FakePlatform final : public Platform {
public:
    enum class Operation {
        OpenForReading, CreateFile, RemoveFile, Attributes, MakeDirectory, IsDirectory,
        ListDirectory, DriveFreeBytes, OpenFileManager, Read, Write, Size, Close,
    };
    static constexpr std::size_t OperationCount = 13;

    struct Medium {
        enum class State { Ready, WriteProtected, Missing };
        State state = State::Ready;
        std::int64_t capacity = 1457664; // free bytes while it holds nothing
        std::map<std::string, std::string> files{}; // bare name -> contents already on it
    };

    struct Node; // a file's contents and flags

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
    std::vector<std::string> directoryPaths() const;

    // The drive.
    void insertMedia(std::vector<Medium> media); // queued; the first goes in now
    void changeDiskette();
    int disketteIndex() const; // the medium in the drive, -1 when it is empty
    std::map<std::string, std::string> diskette(int index) const; // bare name -> contents

    // Faults and records.
    void failCall(Operation op, int nth, ErrorCode code);
    void storeShortWrite(int nth, std::size_t stored);
    int calls(Operation op) const { return counts_[static_cast<std::size_t>(op)]; }
    const std::vector<std::string>& fileManagerLaunches() const { return launches_; }
    int openFiles() const { return openFiles_; }

    // Platform
    Result<std::unique_ptr<File>> openForReading(const std::string& path) override;
    Result<std::unique_ptr<File>> createFile(const std::string& path) override;
    ErrorCode removeFile(const std::string& path) override;
    Result<std::uint32_t> attributes(const std::string& path) override;
    ErrorCode makeDirectory(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    Result<std::vector<DirectoryEntry>> listDirectory(const std::string& path) override;
    std::string driveFolder() const override { return drive_; }
    Result<std::int64_t> driveFreeBytes() override;
    void openFileManager(const std::string& folder) override;

private:
    friend class FakeFile;
    struct Slot; // a medium and its files

    // Counts the call and answers the code scripted for it, or None.
    ErrorCode enter(Operation op);
    std::optional<std::size_t> shortWriteFor(int writeCall) const;
    // Where a path's file lives: the general tree or the medium in the drive.
    std::map<std::string, std::shared_ptr<Node>>* filesFor(const std::string& path, std::string& key,
                                                         ErrorCode& error) const;
    std::shared_ptr<Node> find(const std::string& path) const;
    Slot* current() const;
    bool parentExists(const std::string& path) const;
    static std::int64_t freeBytesOf(const Slot& slot);

    std::string drive_;
    std::map<std::string, std::shared_ptr<Node>> files_;
    std::set<std::string> directories_;
    std::vector<std::unique_ptr<Slot>> media_;
    int current_ = -1;
    std::array<int, OperationCount> counts_{};
    std::map<std::pair<Operation, int>, ErrorCode> faults_;
    std::map<int, std::size_t> shortWrites_;
    std::vector<std::string> launches_;
    int openFiles_ = 0;
};

} // namespace darvolt
