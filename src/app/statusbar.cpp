#include "app/statusbar.h"

#include "toolkit/accessibility.h"
#include "graphics/colors.h"

#include <QPainter>

namespace darvolt {

namespace {

// The strip is sunken by one pixel and starts two pixels below the bar's
// top edge, as the classic bar draws it.
constexpr int topGap = 2;
constexpr int gripSize = 12;

} // namespace

TStatusBar::TStatusBar(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TStatusBar::setSimplePanel(bool value)
{
    if (value == m_simplePanel)
        return;
    m_simplePanel = value;
    update();
}

void TStatusBar::setSimpleText(const QString &text)
{
    if (text == m_simpleText)
        return;
    m_simpleText = text;
    if (m_simplePanel)
        NotifyAccessible(this, QAccessible::NameChanged);
    // The text must be on screen while a long run keeps the loop busy, so
    // it is painted at once rather than at the next idle moment.
    if (isVisible())
        repaint();
}

void TStatusBar::setSizeGrip(bool value)
{
    if (value == m_sizeGrip)
        return;
    m_sizeGrip = value;
    update();
}

QRect TStatusBar::TextRect() const
{
    QRect r = rect().adjusted(0, topGap, 0, 0);
    if (m_sizeGrip)
        r.setRight(r.right() - gripSize);
    return r.adjusted(3, 1, -2, -1);
}

QImage TStatusBar::RenderFace() const
{
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    paintFace(painter);
    return image;
}

void TStatusBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintFace(painter);
}

void TStatusBar::paintFace(QPainter &painter) const
{
    painter.fillRect(rect(), ColorToRGB(clBtnFace));
    QRect panel = rect().adjusted(0, topGap, 0, 0);
    if (m_sizeGrip)
        panel.setRight(panel.right() - gripSize);
    // Sunken: shadow on the top and left, highlight on the bottom and right.
    painter.setPen(ColorToRGB(clBtnShadow));
    painter.drawLine(panel.topLeft(), panel.topRight());
    painter.drawLine(panel.topLeft(), panel.bottomLeft());
    painter.setPen(ColorToRGB(clBtnHighlight));
    painter.drawLine(panel.bottomLeft(), panel.bottomRight());
    painter.drawLine(panel.topRight(), panel.bottomRight());

    if (m_simplePanel && !m_simpleText.isEmpty()) {
        painter.setFont(font());
        painter.setPen(ColorToRGB(clBtnText));
        painter.drawText(TextRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_simpleText);
    }

    if (m_sizeGrip) {
        const QRect grip(width() - gripSize, height() - gripSize, gripSize, gripSize);
        for (int i = 0; i < 3; ++i) {
            const int d = 4 * i + 2;
            painter.setPen(ColorToRGB(clBtnHighlight));
            painter.drawLine(grip.right() - d, grip.bottom(), grip.right(), grip.bottom() - d);
            painter.setPen(ColorToRGB(clBtnShadow));
            painter.drawLine(grip.right() - d + 1, grip.bottom(), grip.right(), grip.bottom() - d + 1);
            painter.drawLine(grip.right() - d + 2, grip.bottom(), grip.right(), grip.bottom() - d + 2);
        }
    }
}

} // namespace darvolt
