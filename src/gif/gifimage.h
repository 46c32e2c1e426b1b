#pragma once

#include "giferrors.h"
#include "gifframe.h"
#include "lzwdecoder.h"
#include "sharedimage.h"
#include "graphics/colors.h"

#include <QImage>
#include <QList>
#include <QRgb>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <utility>
#include <vector>

class QIODevice;
class QPainter;

namespace darvolt {

struct GifStreamContent;

// An animated GIF picture: the shared image-wide header, the frames in
// stream order, and the values of the logical screen. Frames stay encoded
// until their bitmap is first needed.
//
// Typical use by a player: LoadFromStream/ReadData, then for each tick
// ComposeFrame(image, index) (see composeframe.h) and Frame(index)->DelayMs.
// SetOnChange registers the one object told about reloads and reassignments.
class TGIFImage
{
public:
    TGIFImage();
    virtual ~TGIFImage();
    TGIFImage(const TGIFImage &) = delete;
    TGIFImage &operator=(const TGIFImage &) = delete;

    // --- reading and storing ---------------------------------------------
    // Reads exactly `count` bytes from the stream's current position and
    // replaces the whole content with the GIF they hold; decodes the first
    // frame at once when asked. Raises EReadError "Stream read error" when
    // the stream holds fewer bytes, and EInvalidGraphicOperation with the
    // reader's messages for bad data; the image then keeps the frames read
    // before the failure and no change is announced. Ends with Changed().
    void ReadGif(qint64 count, QIODevice &stream, bool decodeNow);
    void ReadGif(const QByteArray &bytes, bool decodeNow);
    // The bytes left in the stream, first frame decoded at once.
    void LoadFromStream(QIODevice &stream);
    // Writes the image as a GIF stream (frames keep their encoded data).
    void SaveToStream(QIODevice &stream) const;
    QByteArray SaveToBytes() const;
    // The stored form: a 32-bit little-endian byte count, then the GIF.
    void ReadData(QIODevice &stream);
    void WriteData(QIODevice &stream) const;
    // The clipboard format "GIF Image" (the stored form) plus a bitmap.
    void LoadFromClipboard();
    void SaveToClipboard() const;

    // --- frames -------------------------------------------------------------
    int FrameCount() const { return int(FrameList_.size()); }
    TGIFFrame *Frame(int index) const; // nullptr outside 0..FrameCount()-1
    // Appends a frame made from the graphic, makes it the active frame and
    // returns it. GifVersion becomes 1 for the first frame, 2 for more.
    TGIFFrame &AddFrame(const QImage &bitmap);
    TGIFFrame &AddFrame(const TGIFFrame &frame);

    // --- queries of the graphic ------------------------------------------
    bool Empty() const;
    int Width() const;  // of the active frame's bitmap, 0 when empty
    int Height() const;
    int LogicalWidth() const { return Empty() ? 0 : ScreenWidth_; }   // what players size by
    int LogicalHeight() const { return Empty() ? 0 : ScreenHeight_; }
    int ScreenWidth() const { return ScreenWidth_; } // as stored, also when empty
    int ScreenHeight() const { return ScreenHeight_; }
    bool Transparent() const; // any frame has a KeyColor
    QList<QRgb> Palette(); // colour table of the active frame's bitmap
    // The active frame's bitmap (frame 0 when ActiveFrame is out of range);
    // an image without frames first gets one empty frame.
    const QImage &Bitmap();
    void Draw(QPainter &painter, const QRect &rect);
    // Always raise "Cannot change the Size of a GIF image".
    [[noreturn]] void SetWidth(int width);
    [[noreturn]] void SetHeight(int height);
    // True when both images share one header (one is a copy of the other).
    bool Equals(const TGIFImage &other) const { return HeaderData_ == other.HeaderData_; }

    // --- assignment -----------------------------------------------------
    void Assign(const TGIFImage *source); // nullptr resets
    void Assign(const TGIFFrame *source);
    void Assign(const QImage &bitmap);
    void AssignTo(TGIFImage &dest) const;
    void AssignTo(QImage &dest);

    // Frees every frame and starts a fresh header.
    void Reset();
    // After a frame was assigned: the logical screen becomes the union of
    // the frames' rectangles.
    void UpdateLogicalSize();

    // --- header -------------------------------------------------------------
    TGIFData &HeaderData() const { return *HeaderData_; }
    std::vector<std::string> &CommentLines() const { return HeaderData_->CommentLines; }

    // --- change notification ---------------------------------------------
    using ChangeTarget = std::function<void(TGIFImage &)>;
    void SetOnChange(ChangeTarget target) { OnChange_ = std::move(target); }
    bool Modified() const { return Modified_; }
    void SetModified(bool modified) { Modified_ = modified; }
    // Sets the modified flag and calls the registered target.
    void Changed();

    // --- memory of decoded pixels ---------------------------------------
    // The bytes of decoded pixels the image holds at once: frame bitmaps
    // (with their colour tables), the screen ComposeFrame draws on, and the
    // decoder's work while a frame is decoded. Past the budget (by default
    // GifMessages::MaxHeldBytes) the frames used longest ago are let go and
    // decoded again when next asked for, so a reference to a frame's bitmap
    // lasts until the next frame of the image is decoded. A step that needs
    // more than the budget leaves beside what cannot be let go raises
    // EInvalidGraphicOperation (GifMessages::OverBudgetText). Frames made
    // from plain bitmaps count but are never let go: they have no encoded
    // form to come back from.
    long long PixelBudget() const { return PixelBudget_; }
    void SetPixelBudget(long long bytes); // lets frames go at once when over
    long long HeldPixelBytes() const { return HeldBytes_; }

    // Counts bytes against the budget for as long as it lives, which must
    // not be longer than the image.
    class PixelHold
    {
    public:
        PixelHold() = default;
        PixelHold(PixelHold &&other) noexcept
            : Image_(std::exchange(other.Image_, nullptr)), Bytes_(other.Bytes_)
        {
        }
        PixelHold &operator=(PixelHold &&other) noexcept
        {
            std::swap(Image_, other.Image_);
            std::swap(Bytes_, other.Bytes_);
            return *this;
        }
        ~PixelHold()
        {
            if (Image_)
                Image_->HeldBytes_ -= Bytes_;
        }

    private:
        friend class TGIFImage;
        PixelHold(TGIFImage *image, long long bytes) : Image_(image), Bytes_(bytes) {}
        TGIFImage *Image_ = nullptr;
        long long Bytes_ = 0;
    };
    // Makes room for `bytes` by letting frames go and holds it; raises the
    // budget's error, naming `what` of width x height, when that is not
    // enough.
    [[nodiscard]] PixelHold HoldPixels(long long bytes, const char *what, int width, int height);

    // Called by frames while they decode; calls OnDecodeProgress.
    virtual void DecodeProgress(int stage, int percent, const std::string &message);

    int GifVersion = 0; // 0 none, 1 "87a", 2 "89a"
    int ActiveFrame = -1;
    TColor BackColor = clNone;
    bool LoopFlag = false;
    std::uint16_t LoopCount = 1;
    GifDecodeProgress OnDecodeProgress;

private:
    friend class TGIFFrame;
    void TakeContent(GifStreamContent &content);
    GifStreamContent MakeContent() const;

    // Bookkeeping of held pixels; frames call these around every change of
    // their bitmap and on every use of it.
    void Uncount(TGIFFrame &frame);
    void Count(TGIFFrame &frame);
    void Used(TGIFFrame &frame);
    // Lets frames go, least recently used first, until the image holds at
    // most `limit` bytes or nothing is left to let go.
    void LetGoDownTo(long long limit);

    // Declared before the frames, so that it outlives them.
    long long PixelBudget_ = GifMessages::MaxHeldBytes;
    long long HeldBytes_ = 0;
    std::list<TGIFFrame *> LetGoOrder_; // frames that can decode again, least recently used first

    SharedRef<TGIFData> HeaderData_;
    std::vector<std::unique_ptr<TGIFFrame>> FrameList_;
    int ScreenWidth_ = 0;
    int ScreenHeight_ = 0;
    ChangeTarget OnChange_;
    bool Modified_ = false;
};

// The clipboard format name, and the file type the picture is known by.
inline constexpr const char *GifClipboardFormatName = "GIF Image";
inline constexpr const char *GifClipboardMimeType = "application/x-qt-windows-mime;value=\"GIF Image\"";
inline constexpr const char *GifFileExtension = "gif";
inline constexpr const char *GifFileDescription = "CompuServe GIF Image";

} // namespace darvolt
