#pragma once

#include "extension.h"
#include "sharedimage.h"
#include "graphics/colors.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class QPainter;

namespace darvolt {

class TGIFImage;

// One frame of a TGIFImage: its still-encoded picture (shared between
// copies), where it sits on the logical screen, and how long and how it is
// shown. The decoded bitmap is made on first use and kept while the
// owner's budget of held pixels allows (see TGIFImage::PixelBudget).
class TGIFFrame
{
public:
    explicit TGIFFrame(TGIFImage *owner);
    ~TGIFFrame();
    TGIFFrame(const TGIFFrame &) = delete;
    TGIFFrame &operator=(const TGIFFrame &) = delete;

    TGIFImage *Owner() const { return Owner_; }

    // The decoded picture: Format_Mono for a 2-colour table, else
    // Format_Indexed8 with 16 entries (tables of 4 to 16 colours) or 256
    // entries; table entries the frame does not define are grey (128, 128,
    // 128). Built on first request; a frame made from a plain bitmap gives
    // that bitmap. Raises EInvalidGraphicOperation when the frame's PixelBits
    // is outside 1 to 8 or the frame is larger than 64 megapixels; the frame
    // then stays without bitmap and the next request tries again; so it
    // does when the owner's budget of held pixels has no room for it. Data
    // that turns out corrupt sets IsCorrupt.
    const QImage &Bitmap();
    bool HasBitmap() const { return !BitmapCache_.isNull(); }

    // Bits per pixel of the decoded picture (1, 4 or 8), 0 before decoding
    // and for frames made from plain bitmaps.
    int BitmapBits() const { return BitmapBits_; }

    // 0 when the frame has neither bitmap nor encoded data, else the size
    // of its picture (known without decoding).
    int Width() const;
    int Height() const;

    // Draws the whole picture stretched into rect; with useTransparency and
    // a KeyColor, pixels of exactly that colour are left out.
    void Draw(QPainter &painter, const QRect &rect, bool useTransparency);

    // The sub-blocks of the frame's last comment extension; one is created
    // and appended when the frame has none.
    std::vector<std::string> &Comment();

    // Takes over another frame (sharing its encoded picture), the active
    // frame of an image, or a plain bitmap. A null pointer or a null image
    // resets the frame. The owner's logical size is updated afterwards.
    void Assign(const TGIFFrame *source);
    void Assign(const TGIFImage *source);
    void Assign(const QImage &source);

    // Hands this frame to a frame or image (which assign from it), or its
    // bitmap to a plain image.
    void AssignTo(TGIFFrame &dest) const;
    void AssignTo(TGIFImage &dest) const;
    void AssignTo(QImage &dest);

    // Back to a new frame: fresh encoded record, no bitmap, no extensions.
    void Reset();

    SharedRef<TGIFItem> EncodedImage;
    std::vector<TExtension> ExtensionList; // empty: none
    std::int32_t FrameLeft = 0;
    std::int32_t FrameTop = 0;
    bool IsInterlaced = false;
    bool IsCorrupt = false;
    bool IsGray = false;
    TColor KeyColor = clNone;
    std::uint16_t DelayMs = 0;
    std::uint8_t Disposal = 0; // 0 none, 1 leave, 2 restore background, 3 (and 4..7) restore previous
    bool HasLocalColors = false;

private:
    friend class TGIFImage;
    QImage DecodeBitmap(int &bits);
    void CopyFrom(const TGIFFrame &source);
    // Every change of the bitmap goes through here, so that the owner's
    // count of held pixels stays true.
    void SetBitmap(QImage bitmap, int bits);
    // A decoded bitmap can be let go: decoding makes it again.
    bool CanLetGo() const { return BitmapBits_ != 0 && !BitmapCache_.isNull() && !EncodedImage->CodeStream.empty(); }

    TGIFImage *Owner_;
    QImage BitmapCache_;
    int BitmapBits_ = 0;
    long long CountedBytes_ = 0;                // what the owner counts for this bitmap
    std::list<TGIFFrame *>::iterator UseEntry_; // in the owner's LetGoOrder_, when Listed_
    bool Listed_ = false;
};

} // namespace darvolt
