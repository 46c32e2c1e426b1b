#pragma once

#include "graphics/colors.h"
#include "toolkit/shortcut.h"

#include <QLineEdit>
#include <QPixmap>

#include <stdexcept>

namespace darvolt {

class TEditButton;

// Raised by the combo edits for an invalid assignment, with the message the
// user sees.
class EComboEditError : public std::runtime_error
{
public:
    explicit EComboEditError(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
    QString Message() const { return QString::fromStdString(what()); }
};

// A single-line edit with a push button inside its right end. Lays the button
// out, keeps the text clear of it, forwards the shortcut key to it, and keeps
// the button's enabled state in step with the edit.
class TCustomComboEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnlyFlag)
    Q_PROPERTY(bool DirectInput READ DirectInput WRITE setDirectInput)
    Q_PROPERTY(int ClickKey READ ClickKey WRITE setClickKey)
    Q_PROPERTY(TGlyphKind GlyphKind READ GlyphKind WRITE setGlyphKind)
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE setGlyph)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE setNumGlyphs)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE setButtonWidth)
    Q_PROPERTY(QString ButtonHint READ ButtonHint WRITE setButtonHint)
    Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE setAutoSelect)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE setCtl3D)
    Q_PROPERTY(uint Color READ Color WRITE setColor)
    Q_PROPERTY(uint FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(QString Text READ text WRITE setText)

public:
    enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
    Q_ENUM(TGlyphKind)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    explicit TCustomComboEdit(QWidget *parent = nullptr);
    ~TCustomComboEdit() override;

    bool ReadOnly() const { return m_readOnly; }
    void setReadOnlyFlag(bool value);
    bool DirectInput() const { return m_directInput; }
    void setDirectInput(bool value);
    TShortCut ClickKey() const { return m_clickKey; }
    void setClickKey(TShortCut key) { m_clickKey = key; }
    TGlyphKind GlyphKind() const { return m_glyphKind; }
    void setGlyphKind(TGlyphKind kind);
    QPixmap Glyph() const;
    void setGlyph(const QPixmap &glyph);
    int NumGlyphs() const;
    void setNumGlyphs(int value);
    int ButtonWidth() const { return m_buttonWidth; }
    void setButtonWidth(int width);
    QString ButtonHint() const;
    void setButtonHint(const QString &hint);
    bool AutoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool value) { m_autoSelect = value; }
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle style);
    bool Ctl3D() const { return m_ctl3D; }
    void setCtl3D(bool value);
    TColor Color() const { return m_color; }
    void setColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void setFontColor(TColor color);

    TEditButton *Button() const { return m_button; }
    QWidget *ButtonHolder() const { return m_holder; }

    // The smallest height that shows a line of text with the frame.
    int MinEditHeight() const;
    // Where the button holder goes for the current size and frame.
    QRect ButtonHolderRect() const;
    // The rectangle the text is kept in, in widget coordinates.
    QRect EditRect() const;
    // Where the caret stands, in widget coordinates.
    QRect CaretRect() const { return cursorRect(); }

    // The button's action: OnButtonClick (and what a subclass adds).
    virtual void ButtonClick();
    // A press of the button or ClickKey; nothing while ReadOnly.
    void DoClick();

signals:
    void OnButtonClick(QObject *Sender);
    void OnChange(QObject *Sender);

protected:
    // The frame's thickness on each side.
    int BorderSize() const;
    void ButtonLayout();
    void RecreateGlyph();

    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

    bool m_constructing = true;

private:
    void updateColors();
    void updateEditReadOnly();

    TEditButton *m_button = nullptr;
    QWidget *m_holder = nullptr;
    bool m_readOnly = false;
    bool m_directInput = true;
    TShortCut m_clickKey = scAlt | 0x28;
    TGlyphKind m_glyphKind = gkCustom;
    QImage m_customGlyph;
    int m_customNumGlyphs = 1;
    int m_buttonWidth = 21;
    bool m_autoSelect = true;
    TBorderStyle m_borderStyle = bsSingle;
    bool m_ctl3D = true;
    TColor m_color = clWindow;
    TColor m_fontColor = clWindowText;
};

} // namespace darvolt
