#pragma once
// The folder a repair writes into: a private folder of its own beside the
// parts, made fresh for each repair and removed with everything in it when
// the repair is over. Nothing that rebuilds parts, the program's decoder or
// par2, writes anywhere else: par2 runs in it, with links to the parts
// (copies where the file system has no links), and whatever it rebuilds,
// renames or creates stays in it. A rebuilt part leaves it only by being
// put in place, by name, once it is known to be a lost part of the set and
// (where a checksum list has its digest) to be the part it lists.

#include "platform/platform.h"

#include <atomic>
#include <optional>
#include <string>

namespace darvolt {

class RepairFolder {
public:
    // Makes the folder in `partsFolder` ("" for the current one).
    RepairFolder(Platform& platform, std::string partsFolder);
    ~RepairFolder();
    RepairFolder(const RepairFolder&) = delete;
    RepairFolder& operator=(const RepairFolder&) = delete;

    // None when the folder was made; else why not.
    ErrorCode error() const { return error_; }
    // The folder, as the platform takes it, and its bare name.
    const std::string& path() const { return path_; }
    const std::string& name() const { return name_; }
    std::string pathOf(const std::string& bareName) const { return path_ + "/" + bareName; }

    // Puts a part in beside the others under its name: a second link to it,
    // else a copy. What fails is told by the part's name and the error.
    ErrorCode stage(const std::string& partPath, const std::string& bareName, const std::atomic<bool>* stop);

private:
    void removeAll(const std::string& folder, int depth);

    Platform& platform_;
    std::string parts_;
    std::string name_;
    std::string path_;
    ErrorCode error_ = error::None;
    bool held_ = false;
};

} // namespace darvolt
