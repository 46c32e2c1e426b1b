// Face composition of the flat speed button: state settling, frame and fill
// table, glyph and caption layout, sub-image choice and the disabled glyph.
#include "widgets/flatspeedbutton.h"

#include "toolkit/drawtext.h"
#include "toolkit/drawutil.h"

#include <QFontMetrics>
#include <QPainter>

namespace darvolt {

namespace {

constexpr int captionFlags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;

// Which sub-image each state shows, by the number of sub-images (rows 1..4)
// and FaceState (Up, Disabled, Pressed, Latched); -1 is the whole glyph.
constexpr int subImageTable[4][4] = {
    {-1, -1, -1, -1},
    {0, 1, 0, 0},
    {0, 1, 2, 2},
    {0, 1, 2, 3},
};

} // namespace

TFlatSpeedButton::TFaceColors TFlatSpeedButton::FaceColors(TFaceState state, bool hot,
                                                           const TFlatSpeedButton &b)
{
    switch (state) {
    case Up:
        if (hot)
            return {b.m_colorHighLight, b.m_colorShadow, b.m_colorFocused};
        return {b.m_colorBorder, b.m_colorBorder, b.Color()};
    case Disabled:
        return {b.m_colorBorder, b.m_colorBorder, b.Color()};
    case Pressed:
        return {b.m_colorShadow, b.m_colorHighLight, b.m_colorDown};
    case Latched:
        return {b.m_colorShadow, b.m_colorHighLight, hot ? b.m_colorFocused : b.m_colorDown};
    }
    return {b.m_colorBorder, b.m_colorBorder, b.Color()};
}

QRect TFlatSpeedButton::GlyphSourceRect(QSize glyph, int numGlyphs, TFaceState state)
{
    const int n = std::clamp(numGlyphs, 1, 4);
    const int index = subImageTable[n - 1][state];
    if (index < 0)
        return QRect(QPoint(0, 0), glyph);
    const int w = glyph.width() / n;
    // The highest-numbered sub-image takes whatever columns are left over.
    const int right = index == n - 1 ? glyph.width() : (index + 1) * w;
    return QRect(index * w, 0, right - index * w, glyph.height());
}

TFlatSpeedButton::TGlyphTextLayout TFlatSpeedButton::LayoutGlyphAndText(
    const QFont &font, const QRect &client, QPoint offset, const QString &caption,
    TButtonLayout layout, int margin, int spacing, QSize glyphSize, int numGlyphs)
{
    const QSize cs = client.size();
    QSize gs(0, 0);
    if (!glyphSize.isEmpty())
        gs = QSize(glyphSize.width() / std::max(numGlyphs, 1), glyphSize.height());
    QSize ts(0, 0);
    if (!caption.isEmpty())
        ts = QFontMetrics(font).size(Qt::TextSingleLine | Qt::TextShowMnemonic, caption);

    QPoint g(0, 0);
    QPoint p(0, 0);
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    if (horizontal) {
        g.setY((cs.height() - gs.height() + 1) / 2);
        p.setY((cs.height() - ts.height() + 1) / 2);
    } else {
        g.setX((cs.width() - gs.width() + 1) / 2);
        p.setX((cs.width() - ts.width() + 1) / 2);
    }
    if (ts.width() == 0 || gs.width() == 0)
        spacing = 0;

    const int room = horizontal ? cs.width() : cs.height();
    const int glyphAxis = horizontal ? gs.width() : gs.height();
    const int textAxis = horizontal ? ts.width() : ts.height();
    if (margin == -1 && spacing == -1) {
        margin = (room - (glyphAxis + textAxis)) / 3;
        spacing = margin;
    } else if (margin == -1) {
        margin = (room - (glyphAxis + spacing + textAxis) + 1) / 2;
    } else if (spacing == -1) {
        spacing = ((room - (margin + glyphAxis)) - textAxis) / 2;
    }

    switch (layout) {
    case blGlyphLeft:
        g.setX(margin);
        p.setX(g.x() + gs.width() + spacing);
        break;
    case blGlyphRight:
        g.setX(cs.width() - margin - gs.width());
        p.setX(g.x() - spacing - ts.width());
        break;
    case blGlyphTop:
        g.setY(margin);
        p.setY(g.y() + gs.height() + spacing);
        break;
    case blGlyphBottom:
        g.setY(cs.height() - margin - gs.height());
        p.setY(g.y() - spacing - ts.height());
        break;
    }
    const QPoint shift = client.topLeft() + offset;
    return {g + shift, QRect(p + shift, ts)};
}

void TFlatSpeedButton::settleState()
{
    if (!isEnabled()) {
        m_faceState = Disabled;
        m_pressing = false;
    } else if (m_faceState == Disabled) {
        m_faceState = m_down && m_groupIndex != 0 ? Latched : Up;
    }
}

void TFlatSpeedButton::drawGlyph(QPainter &painter) const
{
    if (m_glyph.isNull())
        return;
    const int h = m_glyph.height();
    const int w = m_glyph.width() / std::max(m_numGlyphs, 1);
    if (w <= 0 || h <= 0)
        return;
    const QImage source = m_glyph.copy(GlyphSourceRect(m_glyph.size(), m_numGlyphs, m_faceState));
    QImage work = source.width() == w ? source
                                      : source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QRgb transparent = m_glyph.pixel(0, h - 1);
    if (m_numGlyphs == 1 && m_faceState == Disabled) {
        work = MakeDisabledImage(work);
        transparent = work.pixel(0, h - 1);
    }
    DrawMasked(painter, m_glyphOrigin, work, transparent);
}

QImage TFlatSpeedButton::RenderFace()
{
    settleState();
    QImage face(size(), QImage::Format_RGB32);
    const TFaceColors colors = FaceColors(m_faceState, m_hot, *this);
    face.fill(ColorToRGB(colors.fill));
    QPainter painter(&face);
    painter.setFont(font());

    const QPoint offset = (m_faceState == Pressed || m_faceState == Latched) ? QPoint(1, 1) : QPoint(0, 0);
    const TGlyphTextLayout placed = LayoutGlyphAndText(font(), rect(), offset, m_caption, m_layout, m_margin,
                                                       m_spacing, m_glyph.size(), m_numGlyphs);
    m_glyphOrigin = placed.GlyphOrigin;
    m_textRect = placed.TextRect;

    const QRect inner = Frame3D(painter, rect(), ColorToRGB(colors.top), ColorToRGB(colors.bottom));
    FillSolid(painter, inner, ColorToRGB(colors.fill));
    drawGlyph(painter);
    if (m_faceState == Disabled)
        DrawCaptionEmbossed(painter, m_textRect, m_caption, captionFlags);
    else
        DrawCaption(painter, m_textRect, m_caption, captionFlags, palette().color(QPalette::WindowText));
    return face;
}

void TFlatSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    try {
        painter.drawImage(0, 0, RenderFace());
    } catch (...) {
        // A face that failed part-way is dropped; the next paint starts over.
    }
}

} // namespace darvolt
