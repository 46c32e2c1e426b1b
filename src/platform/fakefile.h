#pragma once
// The insides of the fake platform: a file's node, a medium's slot, and an
// open file. Only fakeplatform.cpp and fakefile.cpp use this header.

#include "platform/fakeplatform.h"

namespace darvolt {

struct FakePlatform::Node {
    std::string data;
    bool special = false;
    bool locked = false;
    bool readOnly = false;
    bool sizeUnknown = false;
    std::uint64_t changes = 0;
    const Slot* slot = nullptr; // the medium it lives on, if any
};

struct FakePlatform::Slot {
    Medium medium;
    std::map<std::string, std::shared_ptr<Node>> files;
};

class FakeFile final : public File {
public:
    FakeFile(FakePlatform& fake, std::shared_ptr<FakePlatform::Node> node, bool writable);
    ~FakeFile() override;

    Result<std::size_t> read(std::span<std::byte> buffer) override;
    Result<std::size_t> write(std::span<const std::byte> data) override;
    Result<std::int64_t> size() override;
    ErrorCode close() override;

private:
    FakePlatform& fake_;
    std::shared_ptr<FakePlatform::Node> node_;
    bool writable_;
    std::size_t pos_ = 0;
};

} // namespace darvolt
