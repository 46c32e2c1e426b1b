#pragma once
// The insides of the fake platform: a file's node, a medium's slot, an open
// file, and its path helpers. Only the fake's own sources use this header.

#include "platform/fakeplatform.h"

namespace darvolt {

namespace fakepath {

inline std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return std::string(); // the current directory
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

inline std::string trimmed(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

inline std::string bareName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace fakepath

struct FakePlatform::Node {
    std::string data;
    bool special = false;
    bool locked = false;
    bool readOnly = false;
    bool sizeUnknown = false;
    std::uint64_t changes = 0;
    const Slot* slot = nullptr; // the medium it lives on, if any
    bool dataFlushed = true;    // no write since the last flush
    bool entryFlushed = true;   // its folder flushed since it was created
};

struct FakePlatform::Slot {
    Medium medium;
    std::map<std::string, std::shared_ptr<Node>> files;
    int unmounts = 0;
    bool durableWhenUnmounted = true;
};

// Made by the platform under its lock; every call takes that lock.
class FakeFile final : public File {
public:
    FakeFile(FakePlatform& fake, std::string path, std::shared_ptr<FakePlatform::Node> node, bool writable);
    ~FakeFile() override;

    Result<std::size_t> read(std::span<std::byte> buffer) override;
    Result<std::size_t> write(std::span<const std::byte> data) override;
    Result<std::size_t> writeAt(std::int64_t offset, std::span<const std::byte> data) override;
    Result<std::int64_t> size() override;
    Result<FileIdentity> identity() override;
    ErrorCode flush() override;
    ErrorCode close() override;
    Result<std::size_t> readAt(std::int64_t offset, std::span<std::byte> buffer) override;

private:
    Result<std::size_t> readFrom(std::size_t offset, std::span<std::byte> buffer);
    Result<std::size_t> writeFrom(std::size_t at, std::span<const std::byte> data);

    FakePlatform& fake_;
    const std::string path_;
    std::shared_ptr<FakePlatform::Node> node_;
    bool writable_;
    std::size_t pos_ = 0;
};

} // namespace darvolt
