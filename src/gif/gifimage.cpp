#include "gifimage.h"

#include "giferrors.h"
#include "gifreader.h"

#include <QPainter>

#include <algorithm>

namespace darvolt {

static_assert(GifNoColor == clNone, "the reader and the model mean the same 'no colour'");

TGIFImage::TGIFImage() : HeaderData_(SharedRef<TGIFData>::Make()) {}

TGIFImage::~TGIFImage()
{
    OnChange_ = nullptr;
    FrameList_.clear(); // while the count of held pixels is still there
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

void TGIFImage::SetPixelBudget(long long bytes)
{
    PixelBudget_ = std::max(bytes, 0LL);
    LetGoDownTo(PixelBudget_);
}

TGIFImage::PixelHold TGIFImage::HoldPixels(long long bytes, const char *what, int width, int height)
{
    LetGoDownTo(PixelBudget_ - bytes);
    if (HeldBytes_ + bytes > PixelBudget_)
        throw EInvalidGraphicOperation(GifMessages::OverBudgetText(what, width, height, PixelBudget_));
    HeldBytes_ += bytes;
    return PixelHold(this, bytes);
}

void TGIFImage::Uncount(TGIFFrame &frame)
{
    HeldBytes_ -= std::exchange(frame.CountedBytes_, 0);
    if (frame.Listed_) {
        LetGoOrder_.erase(frame.UseEntry_);
        frame.Listed_ = false;
    }
}

void TGIFImage::Count(TGIFFrame &frame)
{
    const QImage &bitmap = frame.BitmapCache_;
    if (bitmap.isNull())
        return;
    frame.CountedBytes_ = bitmap.sizeInBytes() + bitmap.colorCount() * qsizetype(sizeof(QRgb));
    HeldBytes_ += frame.CountedBytes_;
    if (frame.CanLetGo()) {
        frame.UseEntry_ = LetGoOrder_.insert(LetGoOrder_.end(), &frame);
        frame.Listed_ = true;
    }
    // A bitmap that came from elsewhere (a copied frame) may not fit; a
    // decoded one always does, as decoding made room for more.
    if (HeldBytes_ > PixelBudget_)
        LetGoDownTo(PixelBudget_);
}

void TGIFImage::Used(TGIFFrame &frame)
{
    if (frame.Listed_)
        LetGoOrder_.splice(LetGoOrder_.end(), LetGoOrder_, frame.UseEntry_);
}

void TGIFImage::LetGoDownTo(long long limit)
{
    while (HeldBytes_ > limit && !LetGoOrder_.empty())
        LetGoOrder_.front()->SetBitmap(QImage(), 0); // which takes it out of the list
}

} // namespace darvolt
