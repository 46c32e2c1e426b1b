#pragma once
// Where a join writes, in the manner of QSaveFile: opened, written,
// committed or cancelled. A file output is a private temporary file beside
// the joined file's place, which takes the name only when it is complete
// and checked (and, on a removable device, on the medium); cancelled, or
// dropped by its owner, it leaves nothing that looks whole. It can be taken
// back until it is committed.
//
// An existing file of the name is replaced only on the caller's leave, and
// never when it is a folder, a device or a pipe, or one of the files being
// joined.

#include "platform/platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace darvolt {

class JoinOutput {
public:
    // What keeps an output from opening or committing, as a value the run
    // words.
    enum class Failure {
        None,
        IsFolder,      // a folder has the name
        NotAFile,      // a device, a pipe or a socket has the name
        WouldReplaceInput,
        KeptExisting,  // a file has the name, and leave to replace it was not given
        CannotCreate,  // no temporary file beside it
        WriteFailed,   // closing or flushing it, or giving it its name, failed (`error`)
        Exists,        // a file took the name meanwhile
    };

    explicit JoinOutput(Platform& platform) : platform_(platform) {}
    ~JoinOutput() { cancel(); }
    JoinOutput(const JoinOutput&) = delete;
    JoinOutput& operator=(const JoinOutput&) = delete;

    // `inputs`: the paths of the files being joined; `mayReplace` is asked
    // when a file has the name and leave was not given before (leave once
    // given holds for the output's later openings).
    Failure open(const std::string& path, const std::vector<std::string>& inputs, bool replace,
                 const std::function<bool(const std::string&)>& mayReplace);
    // The open temporary file, to be written at any offset.
    File& file() { return *target_; }
    bool isOpen() const { return target_ != nullptr; }
    // Gives the complete file its name. A failure to make its name durable
    // on a removable medium is told (`entryNotFlushed`) but commits.
    Failure commit();
    bool entryNotFlushed() const { return entryNotFlushed_; }
    void cancel();
    bool canTakeBack() const { return true; }

    const std::string& path() const { return path_; }
    // The folder it goes into, "." for the current one.
    const std::string& folder() const { return folder_; }
    ErrorCode error() const { return error_; }

private:
    Failure createTemporary();

    Platform& platform_;
    std::string path_;
    std::string folder_;
    std::string temporary_;
    std::unique_ptr<File> target_;
    bool replace_ = false;
    bool entryNotFlushed_ = false;
    ErrorCode error_ = error::None;
    std::optional<HeldFolder> held_; // resolved once, when the output is first opened
};

} // namespace darvolt
