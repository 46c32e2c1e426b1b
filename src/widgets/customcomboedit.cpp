#include "widgets/customcomboedit.h"

#include "toolkit/drawutil.h"
#include "widgets/editbutton.h"
#include "widgets/editglyphs.h"

#include <QFocusEvent>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

namespace darvolt {

TCustomComboEdit::TCustomComboEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setAcceptDrops(false);
    resize(121, 21);
    m_holder = new QWidget(this);
    m_holder->setGeometry(0, 0, 21, 17);
    m_button = new TEditButton(m_holder);
    m_button->setEdit(this);
    m_button->setGeometry(0, 0, 21, 17);
    m_button->setCursor(Qt::ArrowCursor);
    connect(m_button, &TRxSpeedButton::OnClick, this, [this] { DoClick(); });
    connect(this, &QLineEdit::textChanged, this, [this] { emit OnChange(this); });
    updateColors();
    setMinimumHeight(MinEditHeight());
    ButtonLayout();
    m_constructing = false;
}

TCustomComboEdit::~TCustomComboEdit()
{
    // The button's click must not reach a half-destroyed edit.
    disconnect(m_button, nullptr, this, nullptr);
}

int TCustomComboEdit::BorderSize() const
{
    if (m_borderStyle == bsNone)
        return 0;
    return m_ctl3D ? 2 : 1;
}

int TCustomComboEdit::MinEditHeight() const
{
    // The system font here is the one text gets where nobody chose one:
    // the application's (the window program makes it its dialog face). The
    // desktop's own interface font is drawn nowhere, and measuring it would
    // load a face for nothing while the first window is being built.
    const QFontMetrics system(QApplication::font());
    const QFontMetrics own(font());
    return std::min(system.height(), own.height()) + 4 * 1 + 1;
}

QRect TCustomComboEdit::ButtonHolderRect() const
{
    const int w = width();
    const int h = height();
    const int b = m_buttonWidth;
    const int border = BorderSize();
    QRect client;
    if (m_borderStyle == bsSingle && m_ctl3D)
        client = QRect(w - b - 4, 0, b, h - 4);
    else if (m_borderStyle == bsSingle)
        client = QRect(w - b - 2, 2, b, h - 4);
    else
        client = QRect(w - b, 0, b, h);
    return client.translated(border, border);
}

QRect TCustomComboEdit::EditRect() const
{
    const int border = BorderSize();
    const int clientWidth = width() - 2 * border;
    const int clientHeight = height() - 2 * border;
    return QRect(border, border, std::max(clientWidth - m_holder->width() - 2, 0), clientHeight);
}

void TCustomComboEdit::ButtonLayout()
{
    m_holder->setGeometry(ButtonHolderRect());
    m_button->setGeometry(0, 0, m_holder->width(), m_holder->height());
    const int border = BorderSize();
    setContentsMargins(border, border, border, border);
    // The text never runs under the button.
    setTextMargins(0, 0, width() - 2 * border - EditRect().width(), 0);
}

void TCustomComboEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    if (height() < MinEditHeight()) {
        resize(width(), MinEditHeight());
        return;
    }
    ButtonLayout();
}

void TCustomComboEdit::setBorderStyle(TBorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    ButtonLayout();
    update();
}

void TCustomComboEdit::setCtl3D(bool value)
{
    if (value == m_ctl3D)
        return;
    m_ctl3D = value;
    ButtonLayout();
    update();
}

void TCustomComboEdit::setReadOnlyFlag(bool value)
{
    if (value == m_readOnly)
        return;
    m_readOnly = value;
    updateEditReadOnly();
}

void TCustomComboEdit::setDirectInput(bool value)
{
    if (value == m_directInput)
        return;
    m_directInput = value;
    updateEditReadOnly();
}

void TCustomComboEdit::updateEditReadOnly()
{
    // Typing, cutting and pasting need both; the button looks at ReadOnly.
    setReadOnly(m_readOnly || !m_directInput);
}

void TCustomComboEdit::setGlyphKind(TGlyphKind kind)
{
    if (kind == m_glyphKind)
        return;
    m_glyphKind = kind;
    if (kind == gkDefault)
        setButtonWidth(std::max(DefaultEditGlyph().width() + 6, m_buttonWidth));
    else if (kind == gkDropDown)
        setButtonWidth(ScrollBarWidth);
    RecreateGlyph();
}

void TCustomComboEdit::RecreateGlyph()
{
    switch (m_glyphKind) {
    case gkCustom:
        m_button->setGlyphImage(m_customGlyph);
        m_button->setNumGlyphs(m_customNumGlyphs);
        return;
    case gkDefault:
        m_button->setGlyphImage(DefaultEditGlyph());
        break;
    case gkDropDown:
        m_button->setGlyphImage(DropDownGlyph());
        break;
    case gkEllipsis:
        m_button->setGlyphImage(EllipsisGlyph(m_buttonWidth));
        break;
    }
    m_button->setNumGlyphs(1);
}

QPixmap TCustomComboEdit::Glyph() const
{
    return m_button->Glyph();
}

void TCustomComboEdit::setGlyph(const QPixmap &glyph)
{
    m_customGlyph = glyph.toImage();
    m_glyphKind = gkCustom;
    RecreateGlyph();
}

int TCustomComboEdit::NumGlyphs() const
{
    return m_button->NumGlyphs();
}

void TCustomComboEdit::setNumGlyphs(int value)
{
    // The built-in pictures have one image each.
    m_customNumGlyphs = std::clamp(value, 1, 4);
    if (m_glyphKind == gkCustom)
        m_button->setNumGlyphs(m_customNumGlyphs);
}

void TCustomComboEdit::setButtonWidth(int width)
{
    if (width == m_buttonWidth)
        return;
    m_holder->setVisible(width > 1);
    if (!m_constructing && width >= this->width() - 2 * BorderSize())
        return; // wider than the edit: the button keeps its width
    m_buttonWidth = width;
    ButtonLayout();
    RecreateGlyph();
}

QString TCustomComboEdit::ButtonHint() const
{
    return m_button->toolTip();
}

void TCustomComboEdit::setButtonHint(const QString &hint)
{
    m_button->setToolTip(hint);
}

void TCustomComboEdit::setColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    updateColors();
}

void TCustomComboEdit::setFontColor(TColor color)
{
    if (color == m_fontColor)
        return;
    m_fontColor = color;
    updateColors();
}

void TCustomComboEdit::updateColors()
{
    QPalette p = palette();
    const QColor back = ColorToRGB(m_color);
    const QColor gray = ColorToRGB(clGrayText);
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Text, ColorToRGB(m_fontColor));
    // Disabled text is grey, unless grey is the background itself.
    p.setColor(QPalette::Disabled, QPalette::Base, back);
    p.setColor(QPalette::Disabled, QPalette::Text, back == gray ? ColorToRGB(m_fontColor) : gray);
    setPalette(p);
}

void TCustomComboEdit::ButtonClick()
{
    emit OnButtonClick(this);
}

void TCustomComboEdit::DoClick()
{
    if (m_readOnly)
        return;
    ButtonClick();
}

void TCustomComboEdit::keyPressEvent(QKeyEvent *event)
{
    if (m_clickKey != 0 && ShortCutOf(event->key(), event->modifiers()) == m_clickKey
        && m_buttonWidth > 0) {
        event->accept(); // consumed even when nothing follows
        DoClick();
        return;
    }
    QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The form's default button takes Enter; the line never breaks.
        event->ignore();
    }
}

void TCustomComboEdit::focusInEvent(QFocusEvent *event)
{
    const int cursor = cursorPosition();
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::MouseFocusReason)
        return;
    if (m_autoSelect && m_directInput)
        selectAll();
    else if (hasSelectedText())
        setCursorPosition(cursor);
}

void TCustomComboEdit::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    if (m_borderStyle == bsSingle) {
        if (m_ctl3D) {
            const QRect inner = Frame3D(painter, rect(), ColorToRGB(clBtnShadow), ColorToRGB(clBtnHighlight));
            Frame3D(painter, inner, ColorToRGB(cl3DDkShadow), ColorToRGB(cl3DLight));
        } else {
            Frame3D(painter, rect(), ColorToRGB(clWindowFrame), ColorToRGB(clWindowFrame));
        }
    }
    // The caret shows even where typing is off, so the user sees the focus.
    if (hasFocus() && isReadOnly()) {
        const QRect caret = cursorRect();
        const int caretWidth = font().bold() ? 2 : 1;
        painter.fillRect(QRect(caret.center().x(), caret.top(), caretWidth, caret.height()),
                         ColorToRGB(m_fontColor));
    }
}

void TCustomComboEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        setMinimumHeight(MinEditHeight());
        ButtonLayout();
    }
}

} // namespace darvolt
