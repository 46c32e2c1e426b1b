#pragma once

#include "graphics/colors.h"

#include <QWidget>

class QPainter;

namespace darvolt {

// A container panel that draws its own frame: bevels and border limited to
// chosen sides, a border ring of its own colour, an optional two-ring 3-D
// bevel, and a wrapped caption placed top, middle or bottom.
class TProCustomPanel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(bool BevelCtl3D READ BevelCtl3D WRITE setBevelCtl3D)
    Q_PROPERTY(TBevelCut BevelInner READ BevelInner WRITE setBevelInner)
    Q_PROPERTY(TBevelCut BevelOuter READ BevelOuter WRITE setBevelOuter)
    Q_PROPERTY(TSides BevelSides READ BevelSides WRITE setBevelSides)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE setBevelWidth)
    Q_PROPERTY(uint BorderColor READ BorderColor WRITE setBorderColor)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(uint Color READ Color WRITE setColor)
    Q_PROPERTY(TVerticalAlignment VerticalAlignment READ VerticalAlignment WRITE setVerticalAlignment)

public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
    enum TBevelCut { bvNone, bvLowered, bvRaised };
    Q_ENUM(TBevelCut)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)
    enum TVerticalAlignment { vaTop, vaCenter, vaBottom };
    Q_ENUM(TVerticalAlignment)
    enum TSide { sdLeft = 1, sdTop = 2, sdRight = 4, sdBottom = 8 };
    Q_DECLARE_FLAGS(TSides, TSide)
    Q_FLAG(TSides)

    static constexpr TSides AllSides{sdLeft, sdTop, sdRight, sdBottom};

    explicit TProCustomPanel(QWidget *parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);
    bool BevelCtl3D() const { return m_bevelCtl3D; }
    void setBevelCtl3D(bool value);
    TBevelCut BevelInner() const { return m_bevelInner; }
    void setBevelInner(TBevelCut value);
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(TBevelCut value);
    TSides BevelSides() const { return m_bevelSides; }
    void setBevelSides(TSides sides);
    int BevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int width);
    TColor BorderColor() const { return m_borderColor; }
    void setBorderColor(TColor color);
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle style);
    TColor Color() const { return m_color; }
    void setColor(TColor color);
    TVerticalAlignment VerticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(TVerticalAlignment value);

    // The whole face as painted, for the screen and for tests.
    QImage RenderFace() const;

    // The rectangle left for the caption and the children once the window
    // border, bevels and border ring are taken off.
    QRect InnerRect() const;

signals:
    void OnMouseEnter(QObject *Sender);
    void OnMouseLeave(QObject *Sender);

protected:
    virtual void MouseEnter();
    virtual void MouseLeave();

    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void paintFace(QPainter &painter) const;
    void paintBevel(QPainter &painter, QRect &r, TBevelCut cut) const;
    void updateChildMargins();

    QString m_caption;
    TAlignment m_alignment = taCenter;
    bool m_bevelCtl3D = false;
    TBevelCut m_bevelInner = bvNone;
    TBevelCut m_bevelOuter = bvRaised;
    TSides m_bevelSides = AllSides;
    int m_bevelWidth = 1;
    TColor m_borderColor = clBtnFace;
    int m_borderWidth = 0;
    TBorderStyle m_borderStyle = bsNone;
    TColor m_color = clBtnFace;
    TVerticalAlignment m_verticalAlignment = vaCenter;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TProCustomPanel::TSides)

// Draws n rings on r, each limited to the chosen sides, shrinking r on those
// sides after each ring. Left and top in the first colour, right and bottom
// in the second; the top-right and bottom-left corners take the second.
void DrawSides(QPainter &painter, QRect &r, TProCustomPanel::TSides sides, const QColor &first,
               const QColor &second, int n);

// The two colours (left/top, right/bottom) of a bevel ring. `inner` picks the
// inner ring of a 3-D bevel; a plain bevel has only the outer ring.
struct TBevelColors {
    TColor first;
    TColor second;
};
TBevelColors BevelColors(TProCustomPanel::TBevelCut cut, bool ctl3D, bool inner);

} // namespace darvolt
