#include "widgets/prourllabel.h"

#include "widgets/prourl.h"

#include <QMouseEvent>
#include <QPointer>

namespace darvolt {

TProUrlLabel::TProUrlLabel(QWidget *parent)
    : TProLabel(parent)
{
    RegisterProUrlCursors();
    setFontColor(clBlue);
    setUnderline(true);
    setCursorId(crHandPoint);
}

void TProUrlLabel::setCursorId(int id)
{
    m_cursorId = id;
    setCursor(CursorById(id));
}

void TProUrlLabel::setUnderline(bool on)
{
    QFont f = font();
    if (f.underline() == on && f.resolveMask() & QFont::UnderlineResolved)
        return;
    f.setUnderline(on);
    setFont(f);
}

// The state colours are learnt from the font colour whenever it changes while
// the label is plainly shown; passing colours (pressed, hovered) are shown
// only while Armed or CanHover holds the rule off.
void TProUrlLabel::FontChanged()
{
    if (m_canHover || m_armed)
        return;
    if (m_visited)
        m_visitedColor = FontColor();
    else
        m_unvisitedColor = FontColor();
}

void TProUrlLabel::setUnvisitedColor(TColor color)
{
    if (color == m_unvisitedColor)
        return;
    // Stored directly as well: while the rule is held off (hover, press) the
    // font colour alone would be forgotten at the next leave.
    m_unvisitedColor = color;
    if (!m_visited)
        setFontColor(color);
}

void TProUrlLabel::setVisitedColor(TColor color)
{
    if (color == m_visitedColor)
        return;
    m_visitedColor = color;
    if (m_visited)
        setFontColor(color);
}

void TProUrlLabel::setCanHover(bool value)
{
    if (value == m_canHover)
        return;
    m_canHover = value; // stored first, so the font change below is not learnt
    setUnderline(!value);
}

void TProUrlLabel::MouseEnter()
{
    TProLabel::MouseEnter();
    if (m_canHover)
        setUnderline(true);
    if (m_armed)
        setFontColor(m_activatedColor);
    else if (m_canHover)
        setFontColor(m_hoveredColor);
}

void TProUrlLabel::MouseLeave()
{
    TProLabel::MouseLeave();
    if (m_canHover)
        setUnderline(false);
    setFontColor(m_visited ? m_visitedColor : m_unvisitedColor);
}

void TProUrlLabel::Activate()
{
    m_visited = true;
    setFontColor(m_canHover && underMouse() ? m_hoveredColor : m_visitedColor);
    OpenLink(m_url.isEmpty() ? Caption() : m_url);
}

void TProUrlLabel::mousePressEvent(QMouseEvent *event)
{
    TProLabel::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    m_armed = true; // before the colour, so the pressed colour is not learnt
    setFontColor(m_activatedColor);
}

void TProUrlLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointer<TProUrlLabel> alive(this);
    TProLabel::mouseReleaseEvent(event);
    if (!alive || event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    // Both far edges count as inside.
    const bool inside = p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height();
    QString link;
    if (!inside) {
        setFontColor(m_visited ? m_visitedColor : m_unvisitedColor);
    } else if (m_armed) {
        m_visited = true;
        setFontColor(m_canHover ? m_hoveredColor : m_visitedColor);
        link = m_url.isEmpty() ? Caption() : m_url;
    }
    m_armed = false;
    OpenLink(link);
}

} // namespace darvolt
