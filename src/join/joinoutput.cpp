#include "join/joinoutput.h"

#include "parts/partnaming.h"
#include "platform/pathrules.h"

namespace darvolt {

JoinOutput::Failure JoinOutput::open(const std::string& path, const std::vector<std::string>& inputs, bool replace,
                                     const std::function<bool(const std::string&)>& mayReplace)
{
    cancel();
    path_ = path;
    folder_ = FolderShown(WithoutTrailingSlashes(SplitSourcePath(path).folder));
    replace_ = replace_ || replace;
    if (platform_.isDirectory(path_))
        return Failure::IsFolder;
    // A device or a pipe under the output's name is never replaced, with
    // or without leave to replace.
    if (const auto attributes = platform_.attributes(path_);
        attributes.ok() && (attributes.value & attribute::Device) != 0)
        return Failure::NotAFile;
    if (!held_)
        held_.emplace(platform_, folder_, true);
    if (const auto existing = platform_.identityOf(path_); existing.ok()) {
        for (const std::string& input : inputs)
            if (const auto id = platform_.identityOf(input); id.ok() && id.value.sameFile(existing.value))
                return Failure::WouldReplaceInput;
        if (!replace_ && !mayReplace(path_))
            return Failure::KeptExisting;
        replace_ = true;
    }
    return createTemporary();
}

JoinOutput::Failure JoinOutput::createTemporary()
{
    // Beside the joined file, so the last step is a rename; a name that
    // says what it is, should the program be killed before it can clean up.
    const SourcePath where = SplitSourcePath(path_);
    bool shortName = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string bare = (shortName ? std::string("darvolt-join") : where.name) + ".joining"
                                 + (attempt > 0 ? std::to_string(attempt) : "");
        const std::string path = where.folder.empty() ? bare : InFolder(folder_, bare);
        // Private until it is complete: nobody reads a half-joined file.
        auto created = platform_.createNewFile(path, PrivatePermissions);
        if (created.ok()) {
            temporary_ = path;
            target_ = std::move(created.value);
            return Failure::None;
        }
        if (created.error == error::NameTooLong && !shortName) {
            shortName = true;
            attempt = -1;
        } else if (created.error != error::AlreadyExists) {
            error_ = created.error;
            break;
        }
    }
    return Failure::CannotCreate;
}

JoinOutput::Failure JoinOutput::commit()
{
    const bool removable = platform_.isRemovable(folder_);
    // The joined file's mode is the one any new file of the user gets; a
    // file system without modes keeps what it has.
    target_->setPermissions(DefaultPermissions);
    const ErrorCode flushed = removable ? target_->flush() : error::None;
    const ErrorCode closed = target_->close();
    target_.reset();
    if (flushed != error::None || closed != error::None) {
        error_ = closed != error::None ? closed : flushed;
        cancel();
        return Failure::WriteFailed;
    }
    const ErrorCode renamed = platform_.renameFile(temporary_, path_, replace_);
    if (renamed != error::None) {
        error_ = renamed;
        cancel();
        return renamed == error::AlreadyExists ? Failure::Exists : Failure::WriteFailed;
    }
    temporary_.clear();
    // The file is complete under its name; only its entry may not be on
    // the medium yet.
    entryNotFlushed_ = removable && platform_.flushFolder(folder_) != error::None;
    return Failure::None;
}

void JoinOutput::cancel()
{
    if (target_)
        target_->close();
    target_.reset();
    if (!temporary_.empty())
        platform_.removeFile(temporary_);
    temporary_.clear();
}

} // namespace darvolt
