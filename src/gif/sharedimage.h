#pragma once

#include "gifcolortable.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace darvolt {

// Base of the records that copies of images and frames share instead of
// copying them. The holder that takes the count to zero frees the data (the
// one overridable step) and then the record itself. Used on the GUI thread
// only, so the count is a plain integer.
class TSharedImage
{
public:
    TSharedImage() = default;
    TSharedImage(const TSharedImage &) = delete;
    TSharedImage &operator=(const TSharedImage &) = delete;

    void Reference() noexcept { ++RefCount_; }
    void Release() noexcept
    {
        if (--RefCount_ == 0) {
            FreeHandle();
            delete this;
        }
    }
    int RefCount() const noexcept { return RefCount_; }

protected:
    virtual ~TSharedImage() = default;
    virtual void FreeHandle() = 0;

private:
    int RefCount_ = 0;
};

// Owning handle of one reference to a shared record.
template <class T>
class SharedRef
{
public:
    SharedRef() = default;
    explicit SharedRef(T *record) noexcept : Record_(record)
    {
        if (Record_)
            Record_->Reference();
    }
    SharedRef(const SharedRef &other) noexcept : SharedRef(other.Record_) {}
    SharedRef(SharedRef &&other) noexcept : Record_(std::exchange(other.Record_, nullptr)) {}
    SharedRef &operator=(SharedRef other) noexcept
    {
        std::swap(Record_, other.Record_);
        return *this;
    }
    ~SharedRef()
    {
        if (Record_)
            Record_->Release();
    }

    // A new record with a reference count of 1.
    static SharedRef Make() { return SharedRef(new T); }

    T *get() const noexcept { return Record_; }
    T *operator->() const noexcept { return Record_; }
    T &operator*() const noexcept { return *Record_; }
    explicit operator bool() const noexcept { return Record_ != nullptr; }
    bool operator==(const SharedRef &other) const noexcept { return Record_ == other.Record_; }

private:
    T *Record_ = nullptr;
};

// The image-wide header, one per image and shared by its copies.
class TGIFData final : public TSharedImage
{
public:
    std::vector<std::string> CommentLines;
    std::uint8_t AspectByte = 0;      // kept from the screen descriptor, not used
    std::uint8_t GlobalBits = 0;      // (packed & 7) + 1
    std::uint8_t ColorResolution = 0; // kept, not used
    GifColorTable GlobalColors;

protected:
    void FreeHandle() override { CommentLines.clear(); }
};

// One frame's picture as stored: still LZW-encoded, with its colour table.
class TGIFItem final : public TSharedImage
{
public:
    // The code size byte and the data sub-blocks exactly as stored; empty
    // for a frame that was never read from a stream.
    std::vector<std::uint8_t> CodeStream;
    std::int32_t PixelWidth = 0;
    std::int32_t PixelHeight = 0;
    std::uint8_t DescriptorFlags = 0;
    std::uint8_t PixelBits = 0; // 1 to 8 once read
    GifColorTable FrameColors;

protected:
    void FreeHandle() override { CodeStream.clear(); }
};

} // namespace darvolt
