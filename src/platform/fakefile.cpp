#include "platform/fakefile.h"

#include <algorithm>
#include <cstring>

namespace darvolt {

FakeFile::FakeFile(FakePlatform& fake, std::shared_ptr<FakePlatform::Node> node, bool writable)
    : fake_(fake), node_(std::move(node)), writable_(writable)
{
    ++fake_.openFiles_;
}

FakeFile::~FakeFile()
{
    if (node_)
        --fake_.openFiles_;
}

Result<std::size_t> FakeFile::read(std::span<std::byte> buffer)
{
    if (const ErrorCode e = fake_.enter(FakePlatform::Operation::Read); e != error::None)
        return Result<std::size_t>::failure(e);
    if (!node_)
        return Result<std::size_t>::failure(error::InvalidHandle);
    const std::size_t have = node_->data.size() > pos_ ? node_->data.size() - pos_ : 0;
    const std::size_t n = std::min(have, buffer.size());
    if (n > 0)
        std::memcpy(buffer.data(), node_->data.data() + pos_, n);
    pos_ += n;
    return {n, error::None};
}

Result<std::size_t> FakeFile::write(std::span<const std::byte> data)
{
    const int call = fake_.calls(FakePlatform::Operation::Write) + 1;
    if (const ErrorCode e = fake_.enter(FakePlatform::Operation::Write); e != error::None)
        return Result<std::size_t>::failure(e);
    if (!node_)
        return Result<std::size_t>::failure(error::InvalidHandle);
    if (!writable_)
        return Result<std::size_t>::failure(error::AccessDenied);
    std::size_t n = data.size();
    if (const auto shortCount = fake_.shortWriteFor(call))
        n = std::min(n, *shortCount);
    ErrorCode result = error::None;
    if (node_->slot != nullptr) {
        const auto room = static_cast<std::size_t>(std::max<std::int64_t>(0, FakePlatform::freeBytesOf(*node_->slot)));
        if (n > room) {
            n = room;
            result = error::DiskFull;
        }
    }
    if (node_->data.size() < pos_ + n)
        node_->data.resize(pos_ + n);
    if (n > 0)
        std::memcpy(node_->data.data() + pos_, data.data(), n);
    pos_ += n;
    ++node_->changes;
    if (result != error::None)
        return Result<std::size_t>::failure(result);
    return {n, error::None};
}

Result<std::int64_t> FakeFile::size()
{
    if (const ErrorCode e = fake_.enter(FakePlatform::Operation::Size); e != error::None)
        return Result<std::int64_t>::failure(e);
    if (!node_)
        return Result<std::int64_t>::failure(error::InvalidHandle);
    if (node_->sizeUnknown)
        return Result<std::int64_t>::failure(error::DeviceError);
    return {static_cast<std::int64_t>(node_->data.size()), error::None};
}

ErrorCode FakeFile::close()
{
    if (!node_)
        return error::None;
    node_.reset();
    --fake_.openFiles_;
    return fake_.enter(FakePlatform::Operation::Close);
}

} // namespace darvolt
