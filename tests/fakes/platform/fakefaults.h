#pragma once
// The scripted failures of the fake platform and its call counters.
//
// Faults come in two kinds. Counted over the whole fake ("the 3rd write"),
// which is simple for a run on one thread. Counted per path ("the 2nd write
// to /o/a.!01") or tied to a byte of a file ("any read that takes in byte
// 5000 of the source"), which hit the same place whichever thread gets
// there first, so they stay deterministic when two threads copy at once.
//
// Not thread-safe by itself: FakePlatform calls it under its lock.

#include "platform/errorcode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

namespace darvolt {

enum class FakeOperation {
    OpenForReading, CreateFile, RemoveFile, Attributes, MakeDirectory, IsDirectory,
    ListDirectory, DriveFreeBytes, OpenFileManager, Read, Write, Size, Close, Flush, FlushFolder, Rename,
    FindMedia, UseMedium, ReleaseMedium,
    StartProcess, RemoveDirectory, LinkFile,
    // A file object let go by its owner: reported to the call hook only, so
    // that tests can tell when a thread is done with a file; never counted
    // and never failed.
    Release,
};

class FakeFaults {
public:
    static constexpr std::size_t OperationCount = 22;

    // What a call of a file operation is to do.
    struct Verdict {
        ErrorCode error = error::None;
        std::optional<std::size_t> storeOnly; // a write keeps only this many bytes
    };

    void failCall(FakeOperation op, int nth, ErrorCode code) { faults_[{op, nth}] = code; }
    void storeShortWrite(int nth, std::size_t stored) { shortWrites_[nth] = stored; }
    void failFileCall(const std::string& path, FakeOperation op, int nth, ErrorCode code);
    void storeShortWriteTo(const std::string& path, int nth, std::size_t stored);
    void failReadAt(const std::string& path, std::int64_t offset, ErrorCode code);

    // Counts a platform call and answers the code scripted for it, or None.
    ErrorCode enter(FakeOperation op);
    // Counts a call on an open file, both overall and for its path. Reads
    // give the range they would cover.
    Verdict enterFile(FakeOperation op, const std::string& path, std::int64_t offset = 0,
                      std::size_t length = 0);

    int calls(FakeOperation op) const { return counts_[index(op)]; }
    int fileCalls(const std::string& path, FakeOperation op) const;

private:
    static std::size_t index(FakeOperation op) { return static_cast<std::size_t>(op); }

    std::array<int, OperationCount> counts_{};
    std::map<std::pair<FakeOperation, int>, ErrorCode> faults_;
    std::map<int, std::size_t> shortWrites_;
    std::map<std::pair<std::string, FakeOperation>, int> fileCounts_;
    std::map<std::tuple<std::string, FakeOperation, int>, ErrorCode> fileFaults_;
    std::map<std::pair<std::string, int>, std::size_t> fileShortWrites_;
    std::multimap<std::string, std::pair<std::int64_t, ErrorCode>> readFaults_;
};

} // namespace darvolt
