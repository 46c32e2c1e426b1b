#include "widgets/gifanimator.h"

#include "gif/composeframe.h"
#include "gif/giferrors.h"
#include "gif/gifimage.h"
#include "gif/keyedstretch.h"
#include "widgets/rxtimer.h"
#include "toolkit/wndproc.h"

#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>

#include <algorithm>

namespace darvolt {

TRxGIFAnimator::TRxGIFAnimator(QWidget *parent)
    : TRxImageControl(parent), m_timer(new TRxTimer(this)), m_image(std::make_unique<TGIFImage>())
{
    setPaletteGraphic(m_image.get());
    m_image->SetOnChange([this](TGIFImage &) { ImageUpdated(); });
}

TRxGIFAnimator::~TRxGIFAnimator()
{
    disconnect(this, &TRxGIFAnimator::OnChange, nullptr, nullptr);
    disconnect(this, &TRxGIFAnimator::OnFrameChanged, nullptr, nullptr);
    disconnect(this, &TRxGIFAnimator::OnStart, nullptr, nullptr);
    disconnect(this, &TRxGIFAnimator::OnStop, nullptr, nullptr);
    setAnimate(false);
    m_image->SetOnChange(nullptr);
    setPaletteGraphic(nullptr);
    m_image.reset();
    // The timer, a child object, goes with the base.
}

void TRxGIFAnimator::setAnimate(bool value)
{
    if (value == m_animate)
        return;
    if (value) {
        m_timer->setOnTimer([this](QObject *sender) { NextFrame(sender); });
        m_timer->setEnabled(true);
        m_animate = m_timer->Enabled();
        NotifyStart();
    } else {
        m_timer->setEnabled(false);
        m_timer->setOnTimer(nullptr);
        m_animate = false;
        NotifyStop();
        RefreshPicture();
    }
}

void TRxGIFAnimator::setAutoSize(bool value)
{
    if (value == m_autoSize)
        return;
    m_autoSize = value;
    FitToImage();
    RefreshPicture();
}

void TRxGIFAnimator::SetPlacement(bool &field, bool value)
{
    if (value == field)
        return;
    field = value;
    RefreshPicture();
    if (m_animate)
        repaint();
}

void TRxGIFAnimator::setCenter(bool value)
{
    SetPlacement(m_center, value);
}

void TRxGIFAnimator::setStretch(bool value)
{
    SetPlacement(m_stretch, value);
}

void TRxGIFAnimator::setTransparent(bool value)
{
    SetPlacement(m_transparent, value);
}

void TRxGIFAnimator::setFrameIndex(int value)
{
    if (value == m_frameIndex || value < 0 || value >= m_image->FrameCount())
        return;
    m_frameIndex = value;
    m_timer->setInterval(std::uint32_t(FrameDelay()));
    NotifyFrameChanged();
    RefreshPicture();
}

void TRxGIFAnimator::setImage(const TGIFImage &source)
{
    m_image->Assign(&source);
}

void TRxGIFAnimator::setImage(const QImage &bitmap)
{
    m_image->Assign(bitmap);
}

void TRxGIFAnimator::ReadImageData(QIODevice &stream)
{
    const TLoadingScope loading(*this);
    try {
        m_image->ReadData(stream);
    } catch (...) {
        // A failed read leaves the frames read so far without telling
        // anyone; the control must not keep pointing past them.
        ImageUpdated();
        throw;
    }
}

void TRxGIFAnimator::LoadImageResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EReadError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()).toStdString());
    ReadImageData(file);
}

void TRxGIFAnimator::setImageResource(const QString &path)
{
    if (path == m_imageResource)
        return;
    m_imageResource = path;
    if (!path.isEmpty()) {
        LoadImageResource(path);
        return;
    }
    const TLoadingScope loading(*this);
    m_image->Assign(static_cast<const TGIFImage *>(nullptr));
}

int TRxGIFAnimator::FrameDelay() const
{
    const int count = m_image->FrameCount();
    if (m_frameIndex < 0 || m_frameIndex >= count || count < 2)
        return 0;
    return std::max(int(m_image->Frame(m_frameIndex)->DelayMs), 1);
}

void TRxGIFAnimator::ImageUpdated()
{
    FitToImage();
    m_frameIndex = m_image->ActiveFrame;
    if (m_frameIndex >= 0 && m_image->FrameCount() > 0)
        m_timer->setInterval(std::uint32_t(FrameDelay()));
    PictureReplaced();
    NotifyChange();
    RefreshPicture();
}

void TRxGIFAnimator::UpdateIntervalSafely()
{
    if (m_frameIndex < 0 || m_frameIndex >= m_image->FrameCount())
        return;
    try {
        m_timer->setInterval(std::uint32_t(FrameDelay()));
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
}

void TRxGIFAnimator::NextFrame(QObject *)
{
    const int count = m_image->FrameCount();
    if (!Visible() || count < 2)
        return;
    m_frameIndex = m_frameIndex < count - 1 ? m_frameIndex + 1 : 0;
    {
        // Whatever the notification or the paint do, the new frame stays
        // up for its own delay (unless they destroyed the control).
        const QPointer<TRxGIFAnimator> alive(this);
        struct IntervalUpdate
        {
            const QPointer<TRxGIFAnimator> &control;
            ~IntervalUpdate()
            {
                if (control)
                    control->UpdateIntervalSafely();
            }
        } update{alive};
        NotifyFrameChanged();
        if (!alive)
            return;
        repaint();
    }
    if (!m_loop && m_frameIndex == 0)
        setAnimate(false);
}

void TRxGIFAnimator::FitToImage()
{
    if (Loading() || !m_autoSize || m_image->Empty())
        return;
    resize(m_image->LogicalWidth(), m_image->LogicalHeight());
}

void TRxGIFAnimator::resizeEvent(QResizeEvent *event)
{
    TRxImageControl::resizeEvent(event);
    // The first size a control gets when it is shown is the one its layout
    // gave it, not a change.
    if (event->oldSize().isValid())
        FitToImage();
}

QRect TRxGIFAnimator::PictureRect(QSize picture) const
{
    if (m_stretch)
        return rect();
    if (m_center)
        return {QPoint((width() - picture.width()) / 2, (height() - picture.height()) / 2), picture};
    return {QPoint(0, 0), picture};
}

QImage TRxGIFAnimator::RenderPicture()
{
    if (width() <= 0 || height() <= 0)
        return {};
    QImage bitmap(size(), QImage::Format_RGB32);
    bitmap.fill(ColorToRGB(Color()));

    const bool empty = m_image->Empty();
    QImage picture;
    TColor key = clNone;
    if (!empty && m_image->LogicalWidth() > 0 && m_image->LogicalHeight() > 0)
        picture = ComposeFrame(*m_image, m_frameIndex, &key);
    const QRect target = PictureRect(picture.size());
    const bool keyed = m_transparent && key != clNone;

    QPainter painter(&bitmap);
    // What lies behind shows through transparent pictures; a picture that
    // covers every pixel opaquely hides it anyway, so it is not drawn then.
    const bool covered = !picture.isNull() && !keyed && target.contains(bitmap.rect());
    if ((empty || m_image->Transparent()) && !covered)
        PaintParentBehind(this, painter);
    if (!picture.isNull())
        KeyedStretch(painter, target, picture, QRect(), keyed ? key : clNone);
    return bitmap;
}

void TRxGIFAnimator::PaintPicture(QPainter &painter)
{
    const QImage face = RenderPicture();
    if (!face.isNull())
        painter.drawImage(0, 0, face);
}

QList<QRgb> TRxGIFAnimator::GetPalette()
{
    if (m_image->Empty() || !PaletteDisplay())
        return {};
    return m_image->Palette();
}

} // namespace darvolt
