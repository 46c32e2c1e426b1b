#pragma once

#include "widgets/imagecontrol.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <memory>

class QIODevice;

namespace darvolt {

class TGIFImage;
class TRxTimer;

// Shows a TGIFImage and plays its frames, each for its own delay, driven by
// a threaded TRxTimer of its own.
//
// In a Designer layout the animator takes its picture from a Qt resource
// that holds the stored form (a 32-bit little-endian byte count, then the
// GIF stream), through the ImageResource property:
//
//     <widget class="darvolt::TRxGIFAnimator" name="RxGIFAnimator1">
//      <property name="geometry"> ... 385 x 36 ... </property>
//      <property name="ImageResource"><string>:/banner.gifdata</string></property>
//      <property name="Stretch"><bool>true</bool></property>
//     </widget>
//
// A picture read that way, or with ReadImageData, belongs to the layout:
// the control keeps the size the layout gave it even with AutoSize on.
// Pictures set later (setImage, or Image() loaded from code) resize an
// AutoSize control to the picture's logical size.
class TRxGIFAnimator : public TRxImageControl
{
    Q_OBJECT
    // Comes first, so that a FrameIndex stored in a layout finds its frames.
    Q_PROPERTY(QString ImageResource READ ImageResource WRITE setImageResource)
    Q_PROPERTY(bool Animate READ Animate WRITE setAnimate)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(bool Center READ Center WRITE setCenter)
    Q_PROPERTY(int FrameIndex READ FrameIndex WRITE setFrameIndex)
    Q_PROPERTY(bool Loop READ Loop WRITE setLoop)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)

public:
    explicit TRxGIFAnimator(QWidget *parent = nullptr);
    ~TRxGIFAnimator() override;

    bool Animate() const { return m_animate; }
    void setAnimate(bool value);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool value);
    bool Center() const { return m_center; }
    void setCenter(bool value);
    int FrameIndex() const { return m_frameIndex; }
    void setFrameIndex(int value);
    bool Loop() const { return m_loop; }
    void setLoop(bool value) { m_loop = value; }
    bool Stretch() const { return m_stretch; }
    void setStretch(bool value);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool value);

    // The owned picture. Changes made to it reach the control through its
    // change notification.
    TGIFImage &Image() const { return *m_image; }
    // Copies the picture into the owned one.
    void setImage(const TGIFImage &source);
    void setImage(const QImage &bitmap);

    // Reads the stored form from the stream as the layout's picture. Raises
    // the reader's errors; the control then shows what was read.
    void ReadImageData(QIODevice &stream);
    // The same from a file or Qt resource; raises EReadError when it cannot
    // be opened.
    void LoadImageResource(const QString &path);
    QString ImageResource() const { return m_imageResource; }
    void setImageResource(const QString &path);

    TRxTimer &Timer() const { return *m_timer; }

    // How long the current frame stays up: its delay in milliseconds, at
    // least 1; 0 when there is no current frame or fewer than two frames
    // (nothing to animate).
    int FrameDelay() const;

    // The timer's tick: shows the next frame (frame 0 after the last) and
    // gives it its delay; with Loop off the animation ends on frame 0.
    void NextFrame(QObject *Sender);

    // Takes the picture's logical size, keeping the top-left corner; does
    // nothing while loading, with AutoSize off or for an empty picture.
    void FitToImage();

    // The control's face for the current frame: the parent's colour, what
    // lies behind when the picture has transparent parts, and the composed
    // frame placed by Stretch and Center. What the screen shows; a null
    // image for a control of no size.
    QImage RenderPicture();
    // Where a composed picture of this size goes.
    QRect PictureRect(QSize picture) const;

    QList<QRgb> GetPalette() override;

Q_SIGNALS:
    void OnChange(QObject *Sender);
    void OnFrameChanged(QObject *Sender);
    void OnStart(QObject *Sender);
    void OnStop(QObject *Sender);

protected:
    virtual void NotifyChange() { emit OnChange(this); }
    virtual void NotifyFrameChanged() { emit OnFrameChanged(this); }
    virtual void NotifyStart() { emit OnStart(this); }
    virtual void NotifyStop() { emit OnStop(this); }

    void PaintPicture(QPainter &painter) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void ImageUpdated();
    void SetPlacement(bool &field, bool value);
    void UpdateIntervalSafely();

    TRxTimer *m_timer;
    std::unique_ptr<TGIFImage> m_image;
    QString m_imageResource;
    bool m_animate = false;
    bool m_autoSize = true;
    bool m_center = false;
    int m_frameIndex = 0;
    bool m_loop = true;
    bool m_stretch = false;
    bool m_transparent = true;
};

} // namespace darvolt
