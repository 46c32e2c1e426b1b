#include "gifframe.h"

#include "giferrors.h"
#include "gifimage.h"
#include "keyedstretch.h"
#include "lzwdecoder.h"

#include <QPainter>

#include <cstring>

namespace {

// Depth of the decoded picture for a colour-table depth.
int BitmapDepthFor(int pixelBits)
{
    if (pixelBits == 1)
        return 1;
    if (pixelBits >= 2 && pixelBits <= 4)
        return 4;
    if (pixelBits >= 5 && pixelBits <= 8)
        return 8;
    throw EInvalidGraphicOperation(GifMessages::WrongColorCount);
}

// 2^bits entries: the frame's colours, grey (128, 128, 128) beyond them.
QList<QRgb> ColorTableFor(const GifColorTable &colors, int bits)
{
    QList<QRgb> table(1 << bits, qRgb(128, 128, 128));
    for (int i = 0; i < table.size() && i < int(colors.Count); ++i) {
        const GifColor c = colors.ColorAt(unsigned(i));
        table[i] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    }
    return table;
}

} // namespace

TGIFFrame::TGIFFrame(TGIFImage *owner) : EncodedImage(SharedRef<TGIFItem>::Make()), Owner_(owner) {}

TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::Reset()
{
    EncodedImage = SharedRef<TGIFItem>::Make();
    ExtensionList.clear();
    FrameLeft = FrameTop = 0;
    IsInterlaced = IsCorrupt = IsGray = HasLocalColors = false;
    KeyColor = clNone;
    DelayMs = 0;
    Disposal = 0;
    BitmapCache_ = QImage();
    BitmapBits_ = 0;
}

const QImage &TGIFFrame::Bitmap()
{
    if (!BitmapCache_.isNull())
        return BitmapCache_;
    BitmapCache_ = QImage();
    BitmapBits_ = 0;
    if (!EncodedImage->CodeStream.empty())
        BitmapCache_ = DecodeBitmap();
    return BitmapCache_;
}

QImage TGIFFrame::DecodeBitmap()
{
    const TGIFItem &item = *EncodedImage;
    const int bits = BitmapDepthFor(item.PixelBits);
    const int width = item.PixelWidth;
    const int height = item.PixelHeight;
    if (qint64(width) * height > GifMessages::MaxPixels)
        throw EInvalidGraphicOperation(GifMessages::TooLargeText("frame", width, height));

    const std::size_t rowSize = GifRowSize(width, bits);
    std::vector<std::uint8_t> pixels(rowSize * std::size_t(height), 0);
    GifDecodeProgress progress;
    if (Owner_) {
        TGIFImage *owner = Owner_;
        progress = [owner](int stage, int percent, const std::string &message) {
            owner->DecodeProgress(stage, percent, message);
        };
    }
    if (DecodeFrame(item.CodeStream, width, height, bits, IsInterlaced, item.PixelBits, true, pixels,
                    progress))
        IsCorrupt = true;
    if (width == 0 || height == 0)
        return QImage();

    // The decoder fills rows bottom-up; the bitmap is top-down.
    QImage image(width, height, bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
    image.setColorTable(ColorTableFor(item.FrameColors, bits));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *src = pixels.data() + std::size_t(height - 1 - y) * rowSize;
        uchar *dest = image.scanLine(y);
        if (bits == 4) {
            for (int x = 0; x < width; ++x)
                dest[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
        } else {
            std::memcpy(dest, src, bits == 1 ? std::size_t((width + 7) / 8) : std::size_t(width));
        }
    }
    BitmapBits_ = bits;
    return image;
}

int TGIFFrame::Width() const
{
    if (!BitmapCache_.isNull())
        return BitmapCache_.width();
    return EncodedImage->CodeStream.empty() ? 0 : EncodedImage->PixelWidth;
}

int TGIFFrame::Height() const
{
    if (!BitmapCache_.isNull())
        return BitmapCache_.height();
    return EncodedImage->CodeStream.empty() ? 0 : EncodedImage->PixelHeight;
}

void TGIFFrame::Draw(QPainter &painter, const QRect &rect, bool useTransparency)
{
    const QImage &bitmap = Bitmap();
    if (bitmap.isNull())
        return;
    KeyedStretch(painter, rect, bitmap, QRect(), useTransparency ? KeyColor : clNone);
}

std::vector<std::string> &TGIFFrame::Comment()
{
    for (auto it = ExtensionList.rbegin(); it != ExtensionList.rend(); ++it) {
        if (it->ExtKind == ekComment)
            return it->SubBlocks;
    }
    TExtension comment;
    comment.ExtKind = ekComment;
    ExtensionList.push_back(std::move(comment));
    return ExtensionList.back().SubBlocks;
}

void TGIFFrame::CopyFrom(const TGIFFrame &source)
{
    EncodedImage = source.EncodedImage;
    HasLocalColors = (Owner_ && Owner_ == source.Owner_) ? source.HasLocalColors : true;
    FrameLeft = source.FrameLeft;
    FrameTop = source.FrameTop;
    IsInterlaced = source.IsInterlaced;
    KeyColor = source.KeyColor;
    DelayMs = source.DelayMs;
    Disposal = source.Disposal;
    IsGray = source.IsGray;
    IsCorrupt = source.IsCorrupt;
    BitmapCache_ = source.BitmapCache_;
    BitmapBits_ = source.BitmapBits_;
    for (auto it = source.ExtensionList.rbegin(); it != source.ExtensionList.rend(); ++it) {
        if (it->ExtKind == ekComment) {
            if (!it->SubBlocks.empty())
                Comment() = it->SubBlocks;
            break;
        }
    }
}

void TGIFFrame::Assign(const TGIFFrame *source)
{
    if (source == this)
        return;
    if (!source)
        Reset();
    else
        CopyFrom(*source);
    if (Owner_)
        Owner_->UpdateLogicalSize();
}

void TGIFFrame::Assign(const TGIFImage *source)
{
    if (!source || source->FrameCount() == 0) {
        Assign(static_cast<const TGIFFrame *>(nullptr));
        return;
    }
    Assign(source->Frame(source->ActiveFrame < 0 ? 0 : source->ActiveFrame));
}

void TGIFFrame::Assign(const QImage &source)
{
    Reset();
    if (!source.isNull()) {
        BitmapCache_ = source;
        // The picture has no encoded form; remember its size for the model.
        EncodedImage->PixelWidth = source.width();
        EncodedImage->PixelHeight = source.height();
    }
    if (Owner_)
        Owner_->UpdateLogicalSize();
}

void TGIFFrame::AssignTo(TGIFFrame &dest) const { dest.Assign(this); }

void TGIFFrame::AssignTo(TGIFImage &dest) const { dest.Assign(this); }

void TGIFFrame::AssignTo(QImage &dest) { dest = Bitmap(); }
