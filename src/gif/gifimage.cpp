#include "gifimage.h"

#include "giferrors.h"
#include "gifreader.h"
#include "gifwriter.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

static_assert(GifNoColor == clNone, "the reader and the model mean the same 'no colour'");

namespace {

// Exactly `count` bytes, read in pieces so that a false count cannot make
// us allocate more than the stream really holds.
QByteArray ReadExactly(QIODevice &stream, qint64 count)
{
    QByteArray bytes;
    while (bytes.size() < count) {
        const qint64 chunk = std::min<qint64>(count - bytes.size(), 1 << 20);
        const QByteArray piece = stream.read(chunk);
        if (piece.isEmpty())
            break;
        bytes.append(piece);
    }
    if (bytes.size() != count)
        throw EReadError(GifMessages::StreamRead);
    return bytes;
}

std::uint32_t ReadCount(QIODevice &stream)
{
    const QByteArray prefix = ReadExactly(stream, 4);
    const auto *p = reinterpret_cast<const std::uint8_t *>(prefix.constData());
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

QByteArray StoredForm(const QByteArray &gif)
{
    const auto n = std::uint32_t(gif.size());
    QByteArray stored;
    stored.reserve(gif.size() + 4);
    for (int shift = 0; shift < 32; shift += 8)
        stored.append(char((n >> shift) & 0xFF));
    stored.append(gif);
    return stored;
}

// A bitmap that has no encoded form yet, as an encoded record: quantised
// to at most 256 colours and written with literal codes.
SharedRef<TGIFItem> EncodeBitmap(const QImage &bitmap)
{
    QImage indexed = bitmap;
    if (indexed.format() != QImage::Format_Indexed8)
        indexed = bitmap.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    const QList<QRgb> table = indexed.colorTable();
    auto item = SharedRef<TGIFItem>::Make();
    item->PixelWidth = indexed.width();
    item->PixelHeight = indexed.height();
    int bits = 1;
    while ((1 << bits) < table.size() && bits < 8)
        ++bits;
    item->PixelBits = std::uint8_t(bits);
    item->FrameColors.Count = 1u << bits;
    for (int i = 0; i < table.size() && i < 256; ++i) {
        item->FrameColors.Entries[3 * i] = std::uint8_t(qRed(table[i]));
        item->FrameColors.Entries[3 * i + 1] = std::uint8_t(qGreen(table[i]));
        item->FrameColors.Entries[3 * i + 2] = std::uint8_t(qBlue(table[i]));
    }
    std::vector<std::uint8_t> indices;
    indices.reserve(std::size_t(indexed.width()) * std::size_t(indexed.height()));
    for (int y = 0; y < indexed.height(); ++y)
        indices.insert(indices.end(), indexed.constScanLine(y), indexed.constScanLine(y) + indexed.width());
    item->CodeStream = EncodeLiteralCodeStream(indices, bits);
    return item;
}

} // namespace

TGIFImage::TGIFImage() : HeaderData_(SharedRef<TGIFData>::Make()) {}

TGIFImage::~TGIFImage()
{
    OnChange_ = nullptr;
}

void TGIFImage::Reset()
{
    HeaderData_ = SharedRef<TGIFData>::Make();
    FrameList_.clear();
    ActiveFrame = -1;
    BackColor = clNone;
    LoopCount = 1;
    LoopFlag = false;
    GifVersion = 0;
    ScreenWidth_ = ScreenHeight_ = 0;
}

void TGIFImage::ReadGif(qint64 count, QIODevice &stream, bool decodeNow)
{
    Reset();
    ReadGif(ReadExactly(stream, std::max<qint64>(count, 0)), decodeNow);
}

void TGIFImage::ReadGif(const QByteArray &bytes, bool decodeNow)
{
    Reset();
    GifStreamContent content;
    const std::span data(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    try {
        ReadGifStream(data, content);
    } catch (...) {
        TakeContent(content);
        throw;
    }
    TakeContent(content);
    if (!FrameList_.empty()) {
        ActiveFrame = 0;
        if (decodeNow) {
            try {
                FrameList_.front()->Bitmap();
            } catch (...) {
                FrameList_.erase(FrameList_.begin());
                if (FrameList_.empty())
                    ActiveFrame = -1;
                throw;
            }
        }
    }
    Changed();
}

void TGIFImage::TakeContent(GifStreamContent &content)
{
    HeaderData_ = content.HeaderData;
    GifVersion = content.GifVersion;
    ScreenWidth_ = content.LogicalWidth;
    ScreenHeight_ = content.LogicalHeight;
    BackColor = content.BackColor;
    LoopFlag = content.LoopFlag;
    LoopCount = content.LoopCount;
    FrameList_.reserve(content.Frames.size());
    for (GifFrameRecord &record : content.Frames) {
        auto frame = std::make_unique<TGIFFrame>(this);
        frame->EncodedImage = record.EncodedImage;
        frame->ExtensionList = std::move(record.ExtensionList);
        frame->FrameLeft = record.FrameLeft;
        frame->FrameTop = record.FrameTop;
        frame->IsInterlaced = record.IsInterlaced;
        frame->HasLocalColors = record.HasLocalColors;
        frame->IsCorrupt = record.IsCorrupt;
        frame->KeyColor = record.KeyColor;
        frame->DelayMs = record.DelayMs;
        frame->Disposal = record.Disposal;
        FrameList_.push_back(std::move(frame));
    }
}

GifStreamContent TGIFImage::MakeContent() const
{
    GifStreamContent content;
    content.HeaderData = HeaderData_;
    content.GifVersion = GifVersion;
    content.LogicalWidth = std::uint16_t(ScreenWidth_);
    content.LogicalHeight = std::uint16_t(ScreenHeight_);
    content.BackColor = BackColor;
    content.LoopFlag = LoopFlag;
    content.LoopCount = LoopCount;
    for (const auto &frame : FrameList_) {
        GifFrameRecord record;
        record.EncodedImage = frame->EncodedImage;
        record.HasLocalColors = frame->HasLocalColors;
        if (frame->EncodedImage->CodeStream.empty() && frame->HasBitmap()) {
            record.EncodedImage = EncodeBitmap(frame->BitmapCache_);
            record.HasLocalColors = true;
        }
        record.ExtensionList = frame->ExtensionList;
        record.FrameLeft = frame->FrameLeft;
        record.FrameTop = frame->FrameTop;
        record.IsInterlaced = frame->IsInterlaced;
        record.KeyColor = IsSystemColor(frame->KeyColor) ? RGBToColor(ColorToRGB(frame->KeyColor)) : frame->KeyColor;
        record.DelayMs = frame->DelayMs;
        record.Disposal = frame->Disposal;
        content.Frames.push_back(std::move(record));
    }
    return content;
}

void TGIFImage::LoadFromStream(QIODevice &stream)
{
    if (stream.isSequential()) {
        Reset();
        ReadGif(stream.readAll(), true);
    } else {
        ReadGif(std::max<qint64>(stream.size() - stream.pos(), 0), stream, true);
    }
}

QByteArray TGIFImage::SaveToBytes() const
{
    const std::vector<std::uint8_t> bytes = WriteGifStream(MakeContent());
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

void TGIFImage::SaveToStream(QIODevice &stream) const
{
    const QByteArray bytes = SaveToBytes();
    if (stream.write(bytes) != bytes.size())
        throw EInvalidGraphicOperation("Stream write error");
}

void TGIFImage::ReadData(QIODevice &stream)
{
    const std::uint32_t count = ReadCount(stream);
    ReadGif(qint64(count), stream, true);
}

void TGIFImage::WriteData(QIODevice &stream) const
{
    const QByteArray stored = StoredForm(SaveToBytes());
    if (stream.write(stored) != stored.size())
        throw EInvalidGraphicOperation("Stream write error");
}

void TGIFImage::LoadFromClipboard()
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    if (mime && mime->hasFormat(GifClipboardMimeType)) {
        QByteArray block = mime->data(GifClipboardMimeType);
        QBuffer buffer(&block);
        buffer.open(QIODevice::ReadOnly);
        ReadGif(qint64(ReadCount(buffer)), buffer, false);
        if (mime->hasImage() && !FrameList_.empty()) {
            const QImage picture = qvariant_cast<QImage>(mime->imageData());
            if (!picture.isNull()) {
                FrameList_.front()->BitmapCache_ = picture;
                FrameList_.front()->BitmapBits_ = 0;
            }
        }
        return;
    }
    Assign(mime && mime->hasImage() ? qvariant_cast<QImage>(mime->imageData()) : QImage());
}

void TGIFImage::SaveToClipboard() const
{
    auto *mime = new QMimeData;
    mime->setData(GifClipboardMimeType, StoredForm(SaveToBytes()));
    const TGIFFrame *frame = Frame(std::max(ActiveFrame, 0));
    if (frame && frame->HasBitmap())
        mime->setImageData(frame->BitmapCache_);
    QGuiApplication::clipboard()->setMimeData(mime);
}

TGIFFrame *TGIFImage::Frame(int index) const
{
    if (index < 0 || index >= FrameCount())
        return nullptr;
    return FrameList_[std::size_t(index)].get();
}

TGIFFrame &TGIFImage::AddFrame(const QImage &bitmap)
{
    FrameList_.push_back(std::make_unique<TGIFFrame>(this));
    ActiveFrame = FrameCount() - 1;
    if (GifVersion == 0)
        GifVersion = 1;
    if (FrameCount() > 1)
        GifVersion = 2;
    TGIFFrame &frame = *FrameList_.back();
    frame.Assign(bitmap);
    return frame;
}

TGIFFrame &TGIFImage::AddFrame(const TGIFFrame &source)
{
    TGIFFrame &frame = AddFrame(QImage());
    frame.Assign(&source);
    return frame;
}

bool TGIFImage::Empty() const
{
    const TGIFFrame *frame = Frame(std::max(ActiveFrame, 0));
    return !frame || (!frame->HasBitmap() && frame->EncodedImage->CodeStream.empty());
}

int TGIFImage::Width() const
{
    const TGIFFrame *frame = Frame(ActiveFrame);
    return (Empty() || !frame) ? 0 : frame->Width();
}

int TGIFImage::Height() const
{
    const TGIFFrame *frame = Frame(ActiveFrame);
    return (Empty() || !frame) ? 0 : frame->Height();
}

bool TGIFImage::Transparent() const
{
    return std::any_of(FrameList_.begin(), FrameList_.end(),
                       [](const auto &frame) { return frame->KeyColor != clNone; });
}

QList<QRgb> TGIFImage::Palette()
{
    if (FrameList_.empty())
        return {};
    return Bitmap().colorTable();
}

const QImage &TGIFImage::Bitmap()
{
    if (FrameList_.empty()) {
        ActiveFrame = 0;
        FrameList_.push_back(std::make_unique<TGIFFrame>(this));
    }
    TGIFFrame *frame = Frame(ActiveFrame);
    return (frame ? frame : FrameList_.front().get())->Bitmap();
}

void TGIFImage::Draw(QPainter &painter, const QRect &rect)
{
    if (TGIFFrame *frame = Frame(ActiveFrame))
        frame->Draw(painter, rect, Transparent());
}

void TGIFImage::SetWidth(int)
{
    throw EInvalidGraphicOperation(GifMessages::CannotChangeSize);
}

void TGIFImage::SetHeight(int)
{
    throw EInvalidGraphicOperation(GifMessages::CannotChangeSize);
}

void TGIFImage::Assign(const TGIFImage *source)
{
    if (source == this)
        return;
    if (!source) {
        Reset();
        Changed();
        return;
    }
    HeaderData_ = source->HeaderData_;
    GifVersion = source->GifVersion;
    BackColor = source->BackColor;
    LoopFlag = source->LoopFlag;
    LoopCount = source->LoopCount;
    FrameList_.clear();
    for (const auto &sourceFrame : source->FrameList_) {
        FrameList_.push_back(std::make_unique<TGIFFrame>(this));
        FrameList_.back()->Assign(sourceFrame.get());
        FrameList_.back()->HasLocalColors = sourceFrame->HasLocalColors;
    }
    ScreenWidth_ = source->ScreenWidth_;
    ScreenHeight_ = source->ScreenHeight_;
    ActiveFrame = source->ActiveFrame;
    Changed();
}

void TGIFImage::Assign(const TGIFFrame *source)
{
    Reset();
    if (source) {
        if (const TGIFImage *owner = source->Owner()) {
            const TGIFData &from = owner->HeaderData();
            HeaderData_->AspectByte = from.AspectByte;
            HeaderData_->GlobalBits = from.GlobalBits;
            HeaderData_->ColorResolution = from.ColorResolution;
            HeaderData_->GlobalColors = from.GlobalColors;
        }
        AddFrame(*source);
    }
    Changed();
}

void TGIFImage::Assign(const QImage &bitmap)
{
    Reset();
    if (!bitmap.isNull())
        AddFrame(bitmap);
    Changed();
}

void TGIFImage::AssignTo(TGIFImage &dest) const { dest.Assign(this); }

void TGIFImage::AssignTo(QImage &dest)
{
    if (Empty())
        dest = QImage();
    else
        dest = Bitmap();
}

void TGIFImage::UpdateLogicalSize()
{
    int width = 0;
    int height = 0;
    for (const auto &frame : FrameList_) {
        width = std::max(width, frame->FrameLeft + frame->Width());
        height = std::max(height, frame->FrameTop + frame->Height());
    }
    ScreenWidth_ = std::min(width, 0xFFFF);
    ScreenHeight_ = std::min(height, 0xFFFF);
}

void TGIFImage::Changed()
{
    Modified_ = true;
    if (OnChange_)
        OnChange_(*this);
}

void TGIFImage::DecodeProgress(int stage, int percent, const std::string &message)
{
    if (OnDecodeProgress)
        OnDecodeProgress(stage, percent, message);
}
