#pragma once

#include "graphics/colors.h"
#include "toolkit/messages.h"
#include "toolkit/popupmenu.h"

#include <QFont>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace darvolt {

class TForm;
class TRxCaptionList;
class TRxGradientCaption;
class TRxWindowHook;

using TNotifyEvent = std::function<void(QObject *Sender)>;

// One text segment of a gradient caption, drawn before its FormCaption.
class TRxCaption : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)
    Q_PROPERTY(uint FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE setParentFont)
    Q_PROPERTY(uint InactiveColor READ InactiveColor WRITE setInactiveColor)
    Q_PROPERTY(bool GlueNext READ GlueNext WRITE setGlueNext)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)

public:
    explicit TRxCaption(TRxCaptionList *collection = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    // The segment's font; the colour is part of it (FontColor). Changing
    // either makes the segment keep its own font (ParentFont false).
    QFont Font() const { return m_font; }
    void setFont(const QFont &font);
    TColor FontColor() const { return m_fontColor; }
    void setFontColor(TColor color);
    bool FontStored() const { return !m_parentFont; }
    bool ParentFont() const { return m_parentFont; }
    void setParentFont(bool parentFont);
    TColor InactiveColor() const { return m_inactiveColor; }
    void setInactiveColor(TColor color);
    bool GlueNext() const { return m_glueNext; }
    void setGlueNext(bool glueNext);
    bool Visible() const { return m_visible; }
    void setVisible(bool visible);

    // Copies another segment (defaults of InactiveColor, Visible and
    // ParentFont first), as one change of the collection.
    void Assign(const TRxCaption &source);

    TRxGradientCaption *GradientCaption() const;

private:
    friend class TRxCaptionList;
    void Changed();
    void CopyParentFont();

    TRxCaptionList *m_collection;
    QString m_caption;
    QFont m_font;
    TColor m_fontColor = clCaptionText;
    bool m_parentFont = true;
    TColor m_inactiveColor = clInactiveCaptionText;
    bool m_glueNext = false;
    bool m_visible = true;
};

// The segments of a gradient caption. A change of any segment repaints the
// caption, once per BeginUpdate/EndUpdate bracket.
class TRxCaptionList : public QObject
{
    Q_OBJECT

public:
    explicit TRxCaptionList(TRxGradientCaption *owner = nullptr);
    ~TRxCaptionList() override;

    TRxGradientCaption *GradientCaption() const { return m_owner; }
    int Count() const { return int(m_items.size()); }
    TRxCaption *Items(int index) const;
    TRxCaption *Add();
    void Delete(int index);
    void Clear();

    void BeginUpdate();
    void EndUpdate();

    // Every segment with ParentFont takes the gradient caption's font again.
    void RestoreDefaultFonts();

private:
    friend class TRxCaption;
    void Changed();

    TRxGradientCaption *m_owner;
    std::vector<std::unique_ptr<TRxCaption>> m_items;
    int m_updateCount = 0;
    bool m_changedWhileUpdating = false;
};

// Paints its form's title band itself: a colour ramp from StartColor into
// the caption colour, the small icon, the segments and FormCaption, each
// shortened with "..." as the band allows. It hooks the form's messages
// (TRxWindowHook): the band is cut out of each WM_NCPAINT region before the
// form paints its frame and drawn after, and drawn again after each
// WM_NCACTIVATE. Its owner (parent) must be a form, or lie on one.
class TRxGradientCaption : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(TRxCaptionList *Captions READ Captions)
    Q_PROPERTY(bool DefaultFont READ DefaultFont WRITE setDefaultFont)
    Q_PROPERTY(QString FormCaption READ FormCaption WRITE setFormCaption)
    Q_PROPERTY(uint FontInactiveColor READ FontInactiveColor WRITE setFontInactiveColor)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)
    Q_PROPERTY(uint FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(bool GradientActive READ GradientActive WRITE setGradientActive)
    Q_PROPERTY(bool GradientInactive READ GradientInactive WRITE setGradientInactive)
    Q_PROPERTY(int GradientSteps READ GradientSteps WRITE setGradientSteps)
    Q_PROPERTY(THideDirection HideDirection READ HideDirection WRITE setHideDirection)
    Q_PROPERTY(TPopupMenu *PopupMenu READ PopupMenu WRITE setPopupMenu)
    Q_PROPERTY(uint StartColor READ StartColor WRITE setStartColor)

public:
    enum THideDirection { hdLeftToRight, hdRightToLeft };
    Q_ENUM(THideDirection)

    explicit TRxGradientCaption(QObject *owner = nullptr);
    ~TRxGradientCaption() override;

    bool Active() const { return m_active; }
    void setActive(bool active);
    TRxCaptionList *Captions() const { return m_captions.get(); }
    bool DefaultFont() const { return m_defaultFont; }
    void setDefaultFont(bool defaultFont);
    QString FormCaption() const { return m_formCaption; }
    void setFormCaption(const QString &caption);
    TColor FontInactiveColor() const { return m_fontInactiveColor; }
    void setFontInactiveColor(TColor color);
    QFont Font() const { return m_font; }
    void setFont(const QFont &font);
    TColor FontColor() const { return m_fontColor; }
    void setFontColor(TColor color);
    bool FontStored() const { return !m_defaultFont; }
    bool GradientActive() const { return m_gradientActive; }
    void setGradientActive(bool gradient);
    bool GradientInactive() const { return m_gradientInactive; }
    void setGradientInactive(bool gradient);
    int GradientSteps() const { return m_gradientSteps; }
    void setGradientSteps(int steps);
    THideDirection HideDirection() const { return m_hideDirection; }
    void setHideDirection(THideDirection direction);
    TPopupMenu *PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(TPopupMenu *menu);
    TColor StartColor() const { return m_startColor; }
    void setStartColor(TColor color);

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // The form it paints on: the nearest form among its owners.
    TForm *Form() const;
    // Active, on a form, and not being destroyed.
    bool IsEffectivelyActive() const;
    // Whether the band is drawn in the active colours.
    bool WindowActive() const { return m_windowActive; }
    // The band left of the title buttons, in screen coordinates.
    QRect CaptionRect() const;
    TRxWindowHook *Hook() const { return m_hook; }

    // Attaches or detaches the hook as Active says, then has the form's
    // whole frame repainted (by us, or plainly when not active).
    void Update();
    // Re-reads the owner and repaints; for a caption made before its owner
    // was given.
    void Loaded();

    // The band as it is drawn now, CaptionRect's size.
    QImage CaptionImage() const;
    // Draws the band onto the form now.
    void DrawGradientCaption();

private:
    friend class TRxCaptionList;
    friend class TRxCaption;

    void BeforeMessage(messages::TMessage &message, bool &handled);
    void AfterMessage(messages::TMessage &message, bool &handled);
    void SetDefaultFontSilently();
    void FontChanged();
    void RepaintIfActive();
    void DrawTexts(QPainter &painter, QRect area) const;

    TRxWindowHook *m_hook = nullptr;
    std::unique_ptr<TRxCaptionList> m_captions;
    bool m_active = true;
    bool m_destroying = false;
    bool m_defaultFont = true;
    QString m_formCaption;
    TColor m_fontInactiveColor = clInactiveCaptionText;
    QFont m_font;
    TColor m_fontColor = clCaptionText;
    bool m_gradientActive = true;
    bool m_gradientInactive = false;
    int m_gradientSteps = 64;
    THideDirection m_hideDirection = hdLeftToRight;
    QPointer<TPopupMenu> m_popupMenu;
    TColor m_startColor = clWindowText;

    bool m_windowActive = false;
    messages::WPARAM m_savedRegion = 0;
    std::unique_ptr<QRegion> m_newRegion;
    bool m_regionChanged = false;
    bool m_rightClickPending = false;
};

using THideDirection = TRxGradientCaption::THideDirection;
using enum TRxGradientCaption::THideDirection;

enum TFillDirection { fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft };

// Fills the rectangle with a ramp of `colors` solid bands (at most one per
// pixel) from the start to the end colour in the given direction; what the
// bands leave over at the far end takes the far colour.
void GradientFill(QPainter &painter, const QRect &rect, TColor startColor, TColor endColor,
                  TFillDirection direction, int colors);

// The text, or as much of it as fits the width followed by "...", measured
// with the font; at the narrowest, just "...".
QString FitText(const QFont &font, const QString &text, int width);

// Windows' MulDiv: a * b / c rounded to the nearest, halves away from zero.
int MulDiv(int a, int b, int c);

} // namespace darvolt
