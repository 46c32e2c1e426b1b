#pragma once

#include "graphics/colors.h"
#include "toolkit/parentcolor.h"

#include <QPointer>
#include <QWidget>

namespace darvolt {

// The effect label's base: draws its caption itself (alignment, tabs, word
// wrap, '&' accelerators, the embossed disabled look) and reports the pointer
// entering and leaving. The text colour is the font colour, kept here since
// Qt fonts carry none.
class TProCustomLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(uint FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(uint Color READ Color WRITE setColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE setParentColor)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE setWordWrap)
    Q_PROPERTY(bool ShowAccelChar READ ShowAccelChar WRITE setShowAccelChar)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)

public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)

    explicit TProCustomLabel(QWidget *parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    TColor FontColor() const { return m_fontColor; }
    void setFontColor(TColor color);
    TColor Color() const;
    void setColor(TColor color);
    bool ParentColor() const { return m_color.FollowsParent(); }
    void setParentColor(bool value);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool value);
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool value);
    bool ShowAccelChar() const { return m_showAccelChar; }
    void setShowAccelChar(bool value);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool value);
    QWidget *FocusControl() const { return m_focusControl; }
    void setFocusControl(QWidget *control);

    // The label as painted; transparent pixels where Transparent leaves the
    // parent showing.
    QImage RenderFace() const;
    int TextFlags() const;

signals:
    void OnClick(QObject *Sender);
    void OnMouseDown(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseUp(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseEnter(QObject *Sender);
    void OnMouseLeave(QObject *Sender);

protected:
    virtual void MouseEnter();
    virtual void MouseLeave();
    // Runs after any change of the font or its colour, once the label has
    // re-sized and scheduled its repaint.
    virtual void FontChanged();

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void adjustBounds();
    void updateShortcut();

    QString m_caption;
    TColor m_fontColor = clWindowText;
    TParentedColor m_color;
    TAlignment m_alignment = taLeftJustify;
    bool m_autoSize = true;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
    bool m_transparent = false;
    bool m_clicking = false;
    QPointer<QWidget> m_focusControl;
    int m_shortcutId = 0;
};

} // namespace darvolt
