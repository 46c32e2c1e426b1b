#pragma once
// The system's word on the failure a console run is about to report.
//
// The engines tell failures in the words the window shows in its boxes
// ("Error writing file. Split execution failed."); on a console the user
// also wants to know which file and why, as every GNU tool says it:
// "error writing 'REPORT_PARTS/report.doc.!03': No space left on device".
// FailureWatch stands between an engine and the real platform and notes
// the first failure of a call whose failure the engines never pass over:
// making a file or a folder, holding a folder, renaming, and reading,
// writing, flushing or closing a file they opened. A file or folder to be
// opened that is not there is left out: the engines name missing files
// themselves, and look for files that may well be missing.
//
// The console views take the note when they report an error and drop it
// when they show anything else, so a failure the run took in its stride
// (a full medium when spanning, before the prompt for the next one) is
// never told beside a later, unrelated error.

#include "platform/forwardingplatform.h"

#include <mutex>
#include <string>

namespace darvolt {

class FailureWatch final : public ForwardingPlatform {
public:
    explicit FailureWatch(Platform& inner) : ForwardingPlatform(inner) {}

    // "cannot create 'x': Permission denied", or nothing; forgets it.
    std::string take();
    void forget();

    // Called from the watched files, on whichever thread uses them.
    void note(std::string_view what, const std::string& path, ErrorCode code);

    Result<std::unique_ptr<File>> openForReading(const std::string& path) override;
    Result<std::unique_ptr<File>> createFile(const std::string& path, std::uint32_t permissions) override;
    Result<std::unique_ptr<File>> createNewFile(const std::string& path, std::uint32_t permissions) override;
    ErrorCode holdFolder(const std::string& folder, bool mayBeLink) override;
    ErrorCode renameFile(const std::string& from, const std::string& to, bool replace) override;
    ErrorCode makeDirectory(const std::string& path, std::uint32_t permissions) override;

private:
    Result<std::unique_ptr<File>> watched(Result<std::unique_ptr<File>> opened, std::string_view what,
                                          const std::string& path);

    std::mutex mutex_;
    std::string noted_;
};

} // namespace darvolt
