#pragma once

#include "graphics/colors.h"
#include "toolkit/parentcolor.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace darvolt {

// A push button that stays flat until the pointer is over it, then shows a
// raised edge, and a sunken one while pressed. Buttons sharing a non-zero
// GroupIndex in one parent latch like radio buttons. Hover is tracked with
// one clock shared by every button of the process.
class TFlatSpeedButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE setAllowAllUp)
    Q_PROPERTY(uint Color READ Color WRITE setColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE setParentColor)
    Q_PROPERTY(uint ColorFocused READ ColorFocused WRITE setColorFocused)
    Q_PROPERTY(uint ColorDown READ ColorDown WRITE setColorDown)
    Q_PROPERTY(uint ColorBorder READ ColorBorder WRITE setColorBorder)
    Q_PROPERTY(uint ColorHighLight READ ColorHighLight WRITE setColorHighLight)
    Q_PROPERTY(uint ColorShadow READ ColorShadow WRITE setColorShadow)
    Q_PROPERTY(int AdvColorFocused READ AdvColorFocused WRITE setAdvColorFocused)
    Q_PROPERTY(int AdvColorDown READ AdvColorDown WRITE setAdvColorDown)
    Q_PROPERTY(int AdvColorBorder READ AdvColorBorder WRITE setAdvColorBorder)
    Q_PROPERTY(bool UseAdvColors READ UseAdvColors WRITE setUseAdvColors)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE setGroupIndex)
    Q_PROPERTY(bool Down READ Down WRITE setDown)
    // Glyph comes before NumGlyphs so that a layout's NumGlyphs wins over the
    // count inferred from the picture.
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE setGlyph)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE setNumGlyphs)
    Q_PROPERTY(TButtonLayout Layout READ Layout WRITE setLayout)
    Q_PROPERTY(int Margin READ Margin WRITE setMargin)
    Q_PROPERTY(int Spacing READ Spacing WRITE setSpacing)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE setModalResult)

public:
    enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
    Q_ENUM(TButtonLayout)
    enum TFaceState { Up, Disabled, Pressed, Latched };
    Q_ENUM(TFaceState)

    // Where the glyph and the caption go, as the last paint laid them out.
    struct TGlyphTextLayout {
        QPoint GlyphOrigin;
        QRect TextRect;
    };

    // Frame and fill of one face state.
    struct TFaceColors {
        TColor top;
        TColor bottom;
        TColor fill;
    };

    explicit TFlatSpeedButton(QWidget *parent = nullptr);
    ~TFlatSpeedButton() override;

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    bool AllowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool value);
    TColor Color() const;
    void setColor(TColor color);
    bool ParentColor() const { return m_color.FollowsParent(); }
    void setParentColor(bool value);
    TColor ColorFocused() const { return m_colorFocused; }
    void setColorFocused(TColor color) { setIndexedColor(0, color); }
    TColor ColorDown() const { return m_colorDown; }
    void setColorDown(TColor color) { setIndexedColor(1, color); }
    TColor ColorBorder() const { return m_colorBorder; }
    void setColorBorder(TColor color) { setIndexedColor(2, color); }
    TColor ColorHighLight() const { return m_colorHighLight; }
    void setColorHighLight(TColor color) { setIndexedColor(3, color); }
    TColor ColorShadow() const { return m_colorShadow; }
    void setColorShadow(TColor color) { setIndexedColor(4, color); }
    int AdvColorFocused() const { return m_advColorFocused; }
    void setAdvColorFocused(int value) { setAdvColor(0, value); }
    int AdvColorDown() const { return m_advColorDown; }
    void setAdvColorDown(int value) { setAdvColor(1, value); }
    int AdvColorBorder() const { return m_advColorBorder; }
    void setAdvColorBorder(int value) { setAdvColor(2, value); }
    bool UseAdvColors() const { return m_useAdvColors; }
    void setUseAdvColors(bool value);
    int GroupIndex() const { return m_groupIndex; }
    void setGroupIndex(int value);
    bool Down() const { return m_down; }
    void setDown(bool value);
    QPixmap Glyph() const { return QPixmap::fromImage(m_glyph); }
    void setGlyph(const QPixmap &glyph);
    const QImage &GlyphImage() const { return m_glyph; }
    void setGlyphImage(const QImage &glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(int value);
    TButtonLayout Layout() const { return m_layout; }
    void setLayout(TButtonLayout layout);
    int Margin() const { return m_margin; }
    void setMargin(int value);
    int Spacing() const { return m_spacing; }
    void setSpacing(int value);
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int value);

    TFaceState FaceState() const { return m_faceState; }
    bool Hot() const { return m_hot; }
    bool Pressing() const { return m_pressing; }
    QPoint GlyphOrigin() const { return m_glyphOrigin; }
    QRect TextRect() const { return m_textRect; }

    // The click: modal result, then OnClick.
    virtual void Click();
    // What a press and release of the left button on the button does: a
    // grouped button latches or lets go first. Nothing while disabled.
    void PerformClick();

    // The whole face for the current state, composed off-screen. Settles the
    // state (Disabled while disabled) and stores GlyphOrigin and TextRect.
    QImage RenderFace();

    static TFaceColors FaceColors(TFaceState state, bool hot, const TFlatSpeedButton &button);
    // Columns of the glyph drawn for a state: the sub-image rule.
    static QRect GlyphSourceRect(QSize glyph, int numGlyphs, TFaceState state);
    static TGlyphTextLayout LayoutGlyphAndText(const QFont &font, const QRect &client,
                                               QPoint offset, const QString &caption,
                                               TButtonLayout layout, int margin, int spacing,
                                               QSize glyphSize, int numGlyphs);

signals:
    void OnClick(QObject *Sender);
    void OnDblClick(QObject *Sender);
    void OnMouseDown(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseMove(QObject *Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseUp(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setIndexedColor(int index, TColor color);
    void setAdvColor(int index, int value);
    void CalcAdvColors();
    void GroupDown();
    void GroupDownReceived(int groupIndex, TFlatSpeedButton *sender);
    void leftButtonDown();
    bool isInside(QPoint p) const;
    bool underPointer() const;
    // Hover tracking (flatspeedbuttonhover.cpp): the shared clock is made
    // with the first button and freed with the last, and watches the button
    // that went hot last (hoverclock.h).
    static void JoinHoverTracking();
    void LeaveHoverTracking();
    void WatchHover();
    void ReleaseHoverWatch();
    void HoverMove(QPoint global);
    void HoverEnter();
    void HoverLeave();
    void HoverCheck();
    void UpdateHover();
    void updateShortcut();
    void settleState();
    // Tells assistive technology which of pressed and latched changed since
    // the state given.
    void announceState(bool wasPressed, bool wasDown);
    void drawGlyph(QPainter &painter) const;

    QString m_caption;
    bool m_useAdvColors = false;
    int m_advColorFocused = 10;
    int m_advColorDown = 10;
    int m_advColorBorder = 50;
    QRect m_textRect;
    QPoint m_glyphOrigin;
    int m_numGlyphs = 1;
    TColor m_colorDown = 0xC5D6D9;
    TColor m_colorBorder = 0x8396A0;
    TColor m_colorHighLight = clWhite;
    TColor m_colorShadow = clBlack;
    TColor m_colorFocused = 0xE1EAEB;
    TParentedColor m_color;
    int m_groupIndex = 0;
    QImage m_glyph;
    bool m_down = false;
    bool m_pressing = false;
    bool m_allowAllUp = false;
    TButtonLayout m_layout = blGlyphTop;
    int m_spacing = 4;
    int m_margin = -1;
    bool m_hot = false;
    int m_modalResult = 0;
    TFaceState m_faceState = Up;
    int m_shortcutId = 0;
};

// The lighter or darker shade of a base colour used by the derived button
// colours: HSL on the 0..240 scale, lightness raised by 10, then moved by the
// percentage. A percentage of 0 keeps the previous colour.
TColor AdvancedColor(TColor base, TColor previous, int percent, bool lighten);

} // namespace darvolt
