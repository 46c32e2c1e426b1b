#include "gifframe.h"

#include "giferrors.h"
#include "gifimage.h"
#include "keyedstretch.h"
#include "lzwdecoder.h"

#include <QPainter>

#include <new>
#include <utility>

namespace darvolt {

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

TGIFFrame::~TGIFFrame()
{
    if (Owner_)
        Owner_->Uncount(*this);
}

void TGIFFrame::SetBitmap(QImage bitmap, int bits)
{
    if (Owner_)
        Owner_->Uncount(*this);
    BitmapCache_ = std::move(bitmap);
    BitmapBits_ = bits;
    if (Owner_)
        Owner_->Count(*this);
}

void TGIFFrame::Reset()
{
    EncodedImage = SharedRef<TGIFItem>::Make();
    ExtensionList.clear();
    FrameLeft = FrameTop = 0;
    IsInterlaced = IsCorrupt = IsGray = HasLocalColors = false;
    KeyColor = clNone;
    DelayMs = 0;
    Disposal = 0;
    SetBitmap(QImage(), 0);
}

const QImage &TGIFFrame::Bitmap()
{
    if (!BitmapCache_.isNull()) {
        if (Owner_)
            Owner_->Used(*this);
        return BitmapCache_;
    }
    SetBitmap(QImage(), 0);
    if (!EncodedImage->CodeStream.empty()) {
        int bits = 0;
        QImage decoded = DecodeBitmap(bits);
        if (!decoded.isNull())
            SetBitmap(std::move(decoded), bits);
    }
    return BitmapCache_;
}

QImage TGIFFrame::DecodeBitmap(int &bits)
{
    const TGIFItem &item = *EncodedImage;
    bits = BitmapDepthFor(item.PixelBits);
    const int width = item.PixelWidth;
    const int height = item.PixelHeight;
    if (qint64(width) * height > GifMessages::MaxPixels)
        throw EInvalidGraphicOperation(GifMessages::TooLargeText("frame", width, height));

    // Four-bit pictures are held one byte a pixel: values stay below 16.
    const int placed = bits == 1 ? 1 : 8;
    TGIFImage::PixelHold hold;
    if (Owner_) {
        const qint64 bitmapBytes = qint64(GifRowSize(width, placed)) * height + (qint64(4) << bits);
        const qint64 workBytes = qint64(DecodeWorkBytes(width, height, item.CodeStream.size()));
        hold = Owner_->HoldPixels(bitmapBytes + workBytes, "frame", width, height);
    }
    QImage image;
    if (width > 0 && height > 0) {
        image = QImage(width, height, bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
        if (image.isNull())
            throw std::bad_alloc();
        image.fill(0);
        image.setColorTable(ColorTableFor(item.FrameColors, bits));
    }
    GifDecodeProgress progress;
    if (Owner_) {
        TGIFImage *owner = Owner_;
        progress = [owner](int stage, int percent, const std::string &message) {
            owner->DecodeProgress(stage, percent, message);
        };
    }
    // The rows go straight into the picture, top row first.
    if (DecodeFrameRows(item.CodeStream, width, height, placed, IsInterlaced, item.PixelBits, true,
                        image.isNull() ? nullptr : image.bits(), image.bytesPerLine(), progress))
        IsCorrupt = true;
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
    SetBitmap(source.BitmapCache_, source.BitmapBits_);
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
        SetBitmap(source, 0);
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

} // namespace darvolt
