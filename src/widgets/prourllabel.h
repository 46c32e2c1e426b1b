#pragma once

#include "widgets/prolabel.h"

namespace darvolt {

// A label that looks and acts like a web link: blue and underlined, red while
// pressed, navy once visited, optionally lit while hovered. A click that both
// starts and ends on it hands its URL (or its caption) to the desktop.
class TProUrlLabel : public TProLabel
{
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(uint UnvisitedColor READ UnvisitedColor WRITE setUnvisitedColor)
    Q_PROPERTY(uint ActivatedColor READ ActivatedColor WRITE setActivatedColor)
    Q_PROPERTY(uint VisitedColor READ VisitedColor WRITE setVisitedColor)
    Q_PROPERTY(uint HoveredColor READ HoveredColor WRITE setHoveredColor)
    Q_PROPERTY(bool CanHover READ CanHover WRITE setCanHover)
    Q_PROPERTY(int Cursor READ Cursor WRITE setCursorId)

public:
    explicit TProUrlLabel(QWidget *parent = nullptr);

    QString URL() const { return m_url; }
    void setURL(const QString &url) { m_url = url; }
    TColor UnvisitedColor() const { return m_unvisitedColor; }
    void setUnvisitedColor(TColor color);
    TColor ActivatedColor() const { return m_activatedColor; }
    void setActivatedColor(TColor color) { m_activatedColor = color; }
    TColor VisitedColor() const { return m_visitedColor; }
    void setVisitedColor(TColor color);
    TColor HoveredColor() const { return m_hoveredColor; }
    void setHoveredColor(TColor color) { m_hoveredColor = color; }
    bool CanHover() const { return m_canHover; }
    void setCanHover(bool value);
    int Cursor() const { return m_cursorId; }
    void setCursorId(int id);

    bool Visited() const { return m_visited; }
    bool Armed() const { return m_armed; }

    // What a click that starts and ends on the label does: it turns
    // visited and opens its link.
    void Activate();

protected:
    void MouseEnter() override;
    void MouseLeave() override;
    void FontChanged() override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setUnderline(bool on);

    QString m_url;
    TColor m_unvisitedColor = clBlue;
    TColor m_activatedColor = clRed;
    TColor m_visitedColor = clNavy;
    TColor m_hoveredColor = clWhite;
    bool m_canHover = false;
    bool m_visited = false;
    bool m_armed = false;
    int m_cursorId = 0;
};

} // namespace darvolt
