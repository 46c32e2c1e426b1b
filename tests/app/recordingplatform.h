#pragma once
// The real file system, with the desktop's file manager replaced by a record
// of the folders it would have been opened on.

#include "platform/posixplatform.h"

#include <string>
#include <vector>

class RecordingPlatform final : public darvolt::Platform
{
public:
    explicit RecordingPlatform(const std::string &driveFolder)
        : m_real([&] {
              darvolt::PosixPlatformOptions options;
              options.driveFolder = driveFolder;
              options.driveMustBeMountPoint = false;
              return options;
          }())
    {
    }

    std::vector<std::string> fileManagerFolders;
    // Makes every folder creation fail, so a run stops before it writes.
    bool failMakeDirectory = false;

    darvolt::Result<std::unique_ptr<darvolt::File>> openForReading(const std::string &path) override
    {
        return m_real.openForReading(path);
    }
    darvolt::Result<std::unique_ptr<darvolt::File>> createFile(const std::string &path) override
    {
        return m_real.createFile(path);
    }
    darvolt::ErrorCode removeFile(const std::string &path) override { return m_real.removeFile(path); }
    darvolt::Result<std::uint32_t> attributes(const std::string &path) override { return m_real.attributes(path); }
    darvolt::ErrorCode makeDirectory(const std::string &path) override
    {
        return failMakeDirectory ? darvolt::error::AccessDenied : m_real.makeDirectory(path);
    }
    bool isDirectory(const std::string &path) override { return m_real.isDirectory(path); }
    darvolt::Result<std::vector<darvolt::DirectoryEntry>> listDirectory(const std::string &path) override
    {
        return m_real.listDirectory(path);
    }
    std::string driveFolder() const override { return m_real.driveFolder(); }
    darvolt::Result<std::int64_t> driveFreeBytes() override { return m_real.driveFreeBytes(); }
    void openFileManager(const std::string &folder) override { fileManagerFolders.push_back(folder); }
    // The window runs the engine as the real program does, two parts at a time.
    bool allowsConcurrentCopies() const override { return m_real.allowsConcurrentCopies(); }

private:
    darvolt::PosixPlatform m_real;
};
