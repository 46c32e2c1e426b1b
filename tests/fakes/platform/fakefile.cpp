#include "platform/fakefile.h"

#include <algorithm>
#include <cstring>

namespace darvolt {

using Op = FakePlatform::Operation;

FakeFile::FakeFile(FakePlatform& fake, std::string path, std::shared_ptr<FakePlatform::Node> node, bool writable)
    : fake_(fake), path_(std::move(path)), node_(std::move(node)), writable_(writable)
{
    ++fake_.openFiles_;
}

FakeFile::~FakeFile()
{
    {
        const FakePlatform::Lock lock(fake_.mutex_);
        if (node_)
            --fake_.openFiles_;
    }
    fake_.callHook(Op::Release, path_);
}

Result<std::size_t> FakeFile::read(std::span<std::byte> buffer)
{
    fake_.callHook(Op::Read, path_);
    const FakePlatform::Lock lock(fake_.mutex_);
    const auto got = readFrom(pos_, buffer);
    pos_ += got.value;
    return got;
}

Result<std::size_t> FakeFile::readAt(std::int64_t offset, std::span<std::byte> buffer)
{
    fake_.callHook(Op::Read, path_);
    const FakePlatform::Lock lock(fake_.mutex_);
    if (offset < 0)
        return Result<std::size_t>::failure(error::InvalidParameter);
    return readFrom(static_cast<std::size_t>(offset), buffer);
}

Result<std::size_t> FakeFile::readFrom(std::size_t offset, std::span<std::byte> buffer)
{
    const auto verdict = fake_.faults_.enterFile(Op::Read, path_, static_cast<std::int64_t>(offset), buffer.size());
    if (verdict.error != error::None)
        return Result<std::size_t>::failure(verdict.error);
    if (!node_)
        return Result<std::size_t>::failure(error::InvalidHandle);
    const std::size_t have = node_->data.size() > offset ? node_->data.size() - offset : 0;
    const std::size_t n = std::min(have, buffer.size());
    if (n > 0)
        std::memcpy(buffer.data(), node_->data.data() + offset, n);
    return {n, error::None};
}

Result<std::size_t> FakeFile::write(std::span<const std::byte> data)
{
    fake_.callHook(Op::Write, path_);
    const FakePlatform::Lock lock(fake_.mutex_);
    const auto written = writeFrom(pos_, data);
    pos_ += written.value;
    return written;
}

Result<std::size_t> FakeFile::writeAt(std::int64_t offset, std::span<const std::byte> data)
{
    fake_.callHook(Op::Write, path_);
    const FakePlatform::Lock lock(fake_.mutex_);
    if (offset < 0)
        return Result<std::size_t>::failure(error::InvalidParameter);
    return writeFrom(static_cast<std::size_t>(offset), data);
}

Result<std::size_t> FakeFile::writeFrom(std::size_t at, std::span<const std::byte> data)
{
    const auto verdict = fake_.faults_.enterFile(Op::Write, path_);
    if (verdict.error != error::None)
        return Result<std::size_t>::failure(verdict.error);
    if (!node_)
        return Result<std::size_t>::failure(error::InvalidHandle);
    if (!writable_)
        return Result<std::size_t>::failure(error::AccessDenied);
    std::size_t n = std::min(data.size(), verdict.storeOnly.value_or(data.size()));
    ErrorCode result = error::None;
    // The largest size the file may grow to: what its file system allows a
    // file, and on a medium what its free room (in whole units) holds.
    std::int64_t largest = fake_.largestFileAt(path_, node_->slot);
    if (const auto* slot = node_->slot) {
        const std::int64_t unit = std::max<std::int64_t>(slot->medium.allocationUnit, 1);
        const std::int64_t room = FakePlatform::freeBytesOf(*slot, node_.get()) - slot->medium.reserved;
        const std::int64_t fits = std::max<std::int64_t>(0, room) / unit * unit;
        largest = largest < 0 ? fits : std::min(largest, fits);
    }
    if (largest >= 0 && static_cast<std::int64_t>(at + n) > largest) {
        n = static_cast<std::size_t>(std::max<std::int64_t>(0, largest - static_cast<std::int64_t>(at)));
        result = error::DiskFull;
    }
    if (node_->data.size() < at + n)
        node_->data.resize(at + n);
    if (n > 0)
        std::memcpy(node_->data.data() + at, data.data(), n);
    ++node_->changes;
    node_->dataFlushed = false;
    return {n, result};
}

Result<std::int64_t> FakeFile::size()
{
    fake_.callHook(Op::Size, path_);
    const FakePlatform::Lock lock(fake_.mutex_);
    if (const ErrorCode e = fake_.faults_.enterFile(Op::Size, path_).error; e != error::None)
        return Result<std::int64_t>::failure(e);
    if (!node_)
        return Result<std::int64_t>::failure(error::InvalidHandle);
    if (node_->sizeUnknown)
        return Result<std::int64_t>::failure(error::DeviceError);
    return {static_cast<std::int64_t>(node_->data.size()), error::None};
}

Result<FileIdentity> FakeFile::identity()
{
    const FakePlatform::Lock lock(fake_.mutex_);
    if (!node_)
        return Result<FileIdentity>::failure(error::InvalidHandle);
    return {fake_.identityOfNode(*node_), error::None};
}

ErrorCode FakeFile::flush()
{
    fake_.callHook(Op::Flush, path_);
    const FakePlatform::Lock lock(fake_.mutex_);
    if (const ErrorCode e = fake_.faults_.enterFile(Op::Flush, path_).error; e != error::None)
        return e;
    if (!node_)
        return error::InvalidHandle;
    node_->dataFlushed = true;
    return error::None;
}

ErrorCode FakeFile::close()
{
    fake_.callHook(Op::Close, path_);
    const FakePlatform::Lock lock(fake_.mutex_);
    if (!node_)
        return error::None;
    node_.reset();
    --fake_.openFiles_;
    return fake_.faults_.enterFile(Op::Close, path_).error;
}

} // namespace darvolt
