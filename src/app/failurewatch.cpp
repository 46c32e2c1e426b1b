#include "app/failurewatch.h"

namespace darvolt {

namespace {

bool missing(ErrorCode code)
{
    return code == error::FileNotFound || code == error::PathNotFound;
}

// A file the engine opened, telling the watch when it fails.
class WatchedFile final : public ForwardingFile {
public:
    WatchedFile(std::unique_ptr<File> inner, FailureWatch& watch, std::string path)
        : ForwardingFile(std::move(inner)), watch_(watch), path_(std::move(path))
    {
    }

    Result<std::size_t> read(std::span<std::byte> buffer) override { return reading(inner().read(buffer)); }
    Result<std::size_t> readAt(std::int64_t offset, std::span<std::byte> buffer) override
    {
        return reading(inner().readAt(offset, buffer));
    }
    Result<std::size_t> write(std::span<const std::byte> data) override { return writing(inner().write(data)); }
    Result<std::size_t> writeAt(std::int64_t offset, std::span<const std::byte> data) override
    {
        return writing(inner().writeAt(offset, data));
    }
    ErrorCode flush() override { return written(inner().flush()); }
    ErrorCode close() override { return written(inner().close()); }

private:
    Result<std::size_t> reading(Result<std::size_t> result)
    {
        if (!result.ok())
            watch_.note("error reading", path_, result.error);
        return result;
    }
    Result<std::size_t> writing(Result<std::size_t> result)
    {
        written(result.error);
        return result;
    }
    ErrorCode written(ErrorCode code)
    {
        if (code != error::None)
            watch_.note("error writing", path_, code);
        return code;
    }

    FailureWatch& watch_;
    const std::string path_;
};

} // namespace

std::string FailureWatch::take()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(noted_, {});
}

void FailureWatch::forget()
{
    const std::lock_guard lock(mutex_);
    noted_.clear();
}

void FailureWatch::note(std::string_view what, const std::string& path, ErrorCode code)
{
    const std::lock_guard lock(mutex_);
    // The first failure is the cause; what fails after it follows from it.
    if (noted_.empty())
        noted_ = std::string(what) + " '" + path + "': " + SystemErrorText(code);
}

Result<std::unique_ptr<File>> FailureWatch::watched(Result<std::unique_ptr<File>> opened, std::string_view what,
                                                    const std::string& path)
{
    if (!opened.ok()) {
        note(what, path, opened.error);
        return opened;
    }
    return {std::make_unique<WatchedFile>(std::move(opened.value), *this, path), error::None};
}

Result<std::unique_ptr<File>> FailureWatch::openForReading(const std::string& path)
{
    auto opened = ForwardingPlatform::openForReading(path);
    if (missing(opened.error))
        return opened;
    return watched(std::move(opened), "cannot open", path);
}

Result<std::unique_ptr<File>> FailureWatch::createFile(const std::string& path, std::uint32_t permissions)
{
    return watched(ForwardingPlatform::createFile(path, permissions), "cannot create", path);
}

Result<std::unique_ptr<File>> FailureWatch::createNewFile(const std::string& path, std::uint32_t permissions)
{
    // A name taken is the engine's cue to try the next one.
    auto made = ForwardingPlatform::createNewFile(path, permissions);
    if (made.error == error::AlreadyExists)
        return made;
    return watched(std::move(made), "cannot create", path);
}

ErrorCode FailureWatch::holdFolder(const std::string& folder, bool mayBeLink)
{
    const ErrorCode held = ForwardingPlatform::holdFolder(folder, mayBeLink);
    if (held != error::None && !missing(held))
        note("cannot open folder", folder, held);
    return held;
}

ErrorCode FailureWatch::renameFile(const std::string& from, const std::string& to, bool replace)
{
    const ErrorCode renamed = ForwardingPlatform::renameFile(from, to, replace);
    // An existing file is the engine's to tell: it names --force.
    if (renamed != error::None && renamed != error::AlreadyExists)
        note("cannot rename '" + from + "' to", to, renamed);
    return renamed;
}

ErrorCode FailureWatch::makeDirectory(const std::string& path, std::uint32_t permissions)
{
    const ErrorCode made = ForwardingPlatform::makeDirectory(path, permissions);
    // An existing folder is one an earlier run made.
    if (made != error::None && made != error::AlreadyExists)
        note("cannot create folder", path, made);
    return made;
}

} // namespace darvolt
