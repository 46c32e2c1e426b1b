// The image's byte forms: reading from a device, the GIF stream it
// writes, the stored form (count + GIF) and the clipboard format.

#include "gifimage.h"

#include "giferrors.h"
#include "gifreader.h"
#include "gifwriter.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>

namespace darvolt {

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

void TGIFImage::ReadGif(qint64 count, QIODevice &stream, bool decodeNow)
{
    Reset();
    ReadGif(ReadExactly(stream, std::max<qint64>(count, 0)), decodeNow);
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
                FrameList_.front()->SetBitmap(picture, 0);
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

} // namespace darvolt
