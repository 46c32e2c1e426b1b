#pragma once
// The real file system, with the desktop's file manager replaced by a record
// of the folders it would have been opened on.

#include "platform/forwardingplatform.h"
#include "platform/posixplatform.h"

#include <string>
#include <vector>

class RecordingPlatform final : public darvolt::ForwardingPlatform
{
public:
    explicit RecordingPlatform(const std::string &driveFolder)
        : ForwardingPlatform(m_real), m_real([&] {
              darvolt::PosixPlatformOptions options;
              options.driveFolder = driveFolder;
              options.driveMustBeMountPoint = false;
              return options;
          }())
    {
    }

    std::vector<std::string> fileManagerFolders;
    // What opening the file manager answers.
    darvolt::ErrorCode fileManagerResult = darvolt::error::None;
    // Makes every folder creation fail, so a run stops before it writes.
    bool failMakeDirectory = false;

    darvolt::ErrorCode makeDirectory(const std::string &path, std::uint32_t permissions) override
    {
        return failMakeDirectory ? darvolt::error::AccessDenied : m_real.makeDirectory(path, permissions);
    }
    darvolt::ErrorCode openFileManager(const std::string &folder) override
    {
        fileManagerFolders.push_back(folder);
        return fileManagerResult;
    }

private:
    darvolt::PosixPlatform m_real;
};
