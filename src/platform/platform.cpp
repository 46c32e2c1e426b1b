#include "platform/platform.h"

namespace darvolt {

CopyResult File::copyTo(File&, std::uint64_t)
{
    return CopyResult{0, true};
}

Result<std::size_t> File::readAt(std::int64_t, std::span<std::byte>)
{
    return Result<std::size_t>::failure(error::InvalidParameter);
}

Result<std::size_t> File::writeAt(std::int64_t, std::span<const std::byte>)
{
    return Result<std::size_t>::failure(error::InvalidParameter);
}

CopyResult File::copyRangeTo(std::int64_t, File&, std::uint64_t)
{
    return CopyResult{0, true};
}

ErrorCode File::setPermissions(std::uint32_t)
{
    return error::None;
}

std::uint32_t File::permissions()
{
    return DefaultPermissions;
}

ErrorCode Platform::holdFolder(const std::string&, bool)
{
    return error::None;
}

void Platform::releaseFolder(const std::string&) {}

ErrorCode Platform::removeDirectory(const std::string&)
{
    return error::InvalidParameter;
}

ErrorCode Platform::linkFile(const std::string&, const std::string&)
{
    return error::InvalidParameter;
}

Result<std::unique_ptr<Process>> Platform::startProcess(const ProcessRequest&)
{
    return Result<std::unique_ptr<Process>>::failure(error::FileNotFound);
}

} // namespace darvolt
