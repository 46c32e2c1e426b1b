#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace darvolt {

// A push button drawn by the widget itself: a raised two-line frame, sunken
// while held, with a glyph centred in its face. One to four sub-images side
// by side serve the up, disabled, down and latched looks.
class TRxSpeedButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE setGlyph)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE setNumGlyphs)

public:
    explicit TRxSpeedButton(QWidget *parent = nullptr);

    QPixmap Glyph() const { return QPixmap::fromImage(m_glyph); }
    void setGlyph(const QPixmap &glyph) { setGlyphImage(glyph.toImage()); }
    const QImage &GlyphImage() const { return m_glyph; }
    void setGlyphImage(const QImage &glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(int value);

    // Shown sunken: held down with the pointer over it.
    bool IsPressed() const { return m_pressed; }

    // The face for the current state, composed off-screen.
    QImage RenderFace();

    // Where the glyph goes in a face of the given size.
    static QPoint GlyphPosition(QSize button, QSize glyph, bool pressed);

    virtual void Click();
    // What a press and release of the left button on the button does.
    // Nothing while disabled.
    void PerformClick();

signals:
    void OnClick(QObject *Sender);

protected:
    // Drawn over the finished face, before it reaches the screen.
    virtual void PaintOverlay(QPainter &painter, bool pressed);
    virtual void LeftButtonPressed();

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QImage stateGlyph() const;
    void setPressed(bool pressed);

    QImage m_glyph;
    int m_numGlyphs = 1;
    bool m_holding = false;
    bool m_pressed = false;
    mutable QImage m_disabledGlyph; // made once per glyph, on first need
};

} // namespace darvolt
