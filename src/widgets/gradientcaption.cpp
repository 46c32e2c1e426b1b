#include "widgets/gradientcaption.h"

#include "toolkit/form.h"
#include "toolkit/metrics.h"
#include "widgets/windowhook.h"

#include <QApplication>
#include <QPainter>

namespace darvolt {

using namespace messages;

TRxGradientCaption::TRxGradientCaption(QObject *owner)
    : QObject(owner), m_captions(std::make_unique<TRxCaptionList>(this))
{
    m_hook = new TRxWindowHook(this);
    m_hook->BeforeMessage = [this](QObject *, TMessage &message, bool &handled) {
        BeforeMessage(message, handled);
    };
    m_hook->AfterMessage = [this](QObject *, TMessage &message, bool &handled) {
        AfterMessage(message, handled);
    };
    SetDefaultFontSilently();
    Loaded();
}

TRxGradientCaption::~TRxGradientCaption()
{
    m_destroying = true;
    OnActivate = nullptr;
    OnDeactivate = nullptr;
    delete std::exchange(m_hook, nullptr); // detaches from the form
    m_captions.reset();
}

TForm *TRxGradientCaption::Form() const
{
    for (QObject *owner = parent(); owner; owner = owner->parent())
        if (auto *form = qobject_cast<TForm *>(owner))
            return form;
    return nullptr;
}

bool TRxGradientCaption::IsEffectivelyActive() const
{
    return m_active && !m_destroying && Form() != nullptr;
}

QRect TRxGradientCaption::CaptionRect() const
{
    const TForm *form = Form();
    if (!form)
        return {};
    return darvolt::CaptionRect(form->WindowRect(), form->BorderStyle(), form->BorderIcons());
}

void TRxGradientCaption::Loaded()
{
    Update();
}

void TRxGradientCaption::Update()
{
    TForm *form = Form();
    if (!form || m_destroying || !m_hook)
        return;
    const bool active = IsEffectivelyActive();
    m_hook->setWinControl(form);
    m_hook->setActive(active);
    m_windowActive = false;
    if (form->HandleAllocated() && form->isVisible()) {
        if (active)
            m_windowActive = QApplication::activeWindow() == form;
        const QRegion whole(form->WindowRect());
        form->Deliver(WM_NCPAINT, RegionParam(&whole));
    }
}

void TRxGradientCaption::RepaintIfActive()
{
    if (IsEffectivelyActive())
        Update();
}

void TRxGradientCaption::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    m_rightClickPending = false;
    Update();
    if (m_destroying)
        return;
    if (const TNotifyEvent &event = active ? OnActivate : OnDeactivate)
        event(this);
}

void TRxGradientCaption::setDefaultFont(bool defaultFont)
{
    if (defaultFont == m_defaultFont)
        return;
    m_defaultFont = defaultFont;
    if (defaultFont) {
        SetDefaultFontSilently();
        m_captions->RestoreDefaultFonts();
    }
    RepaintIfActive();
}

void TRxGradientCaption::SetDefaultFontSilently()
{
    const TForm *form = Form();
    const TNonClientMetrics metrics = GetNonClientMetrics();
    m_font = form && IsToolWindow(form->BorderStyle()) ? metrics.SmallCaptionFont
                                                       : metrics.CaptionFont;
    m_fontColor = clCaptionText;
    m_defaultFont = true;
}

void TRxGradientCaption::FontChanged()
{
    m_defaultFont = false;
    m_captions->RestoreDefaultFonts();
    RepaintIfActive();
}

void TRxGradientCaption::setFont(const QFont &font)
{
    // Any assignment counts as a change of the font, as a font object's
    // change notification would.
    m_font = font;
    FontChanged();
}

void TRxGradientCaption::setFontColor(TColor color)
{
    m_fontColor = color;
    FontChanged();
}

void TRxGradientCaption::setFormCaption(const QString &caption)
{
    if (caption == m_formCaption)
        return;
    m_formCaption = caption;
    RepaintIfActive();
}

void TRxGradientCaption::setFontInactiveColor(TColor color)
{
    if (color == m_fontInactiveColor)
        return;
    m_fontInactiveColor = color;
    if (!m_windowActive)
        RepaintIfActive();
}

void TRxGradientCaption::setGradientActive(bool gradient)
{
    if (gradient == m_gradientActive)
        return;
    m_gradientActive = gradient;
    if (m_windowActive)
        RepaintIfActive();
}

void TRxGradientCaption::setGradientInactive(bool gradient)
{
    if (gradient == m_gradientInactive)
        return;
    m_gradientInactive = gradient;
    if (!m_windowActive)
        RepaintIfActive();
}

void TRxGradientCaption::setGradientSteps(int steps)
{
    if (steps == m_gradientSteps)
        return;
    m_gradientSteps = steps;
    const bool gradientShown = m_windowActive ? m_gradientActive : m_gradientInactive;
    if (gradientShown)
        RepaintIfActive();
}

void TRxGradientCaption::setHideDirection(THideDirection direction)
{
    if (direction == m_hideDirection)
        return;
    m_hideDirection = direction;
    RepaintIfActive();
}

void TRxGradientCaption::setPopupMenu(TPopupMenu *menu)
{
    m_popupMenu = menu; // forgotten by itself when the menu goes
}

void TRxGradientCaption::setStartColor(TColor color)
{
    if (color == m_startColor)
        return;
    m_startColor = color;
    RepaintIfActive();
}

void TRxGradientCaption::BeforeMessage(TMessage &message, bool &handled)
{
    if (!IsEffectivelyActive())
        return;
    switch (message.Msg) {
    case WM_NCPAINT:
        m_savedRegion = message.WParam;
        m_regionChanged = false;
        if (HRGN region = RegionFromParam(message.WParam)) {
            const QRect band = CaptionRect();
            if (region->intersects(band)) {
                // The form paints its frame around the band, never under it,
                // so the ramp does not flicker through a plain band first.
                m_newRegion = std::make_unique<QRegion>(*region - QRegion(band));
                message.WParam = RegionParam(m_newRegion.get());
                m_regionChanged = true;
            }
        }
        break;
    case WM_NCACTIVATE:
        m_windowActive = message.WParam != 0;
        break;
    case WM_NCRBUTTONDOWN:
        if (m_popupMenu && m_popupMenu->AutoPopup()) {
            m_rightClickPending = true;
            message.Result = 0;
            handled = true;
        }
        break;
    case WM_NCRBUTTONUP:
        if (std::exchange(m_rightClickPending, false)) {
            if (m_popupMenu && m_popupMenu->AutoPopup()) {
                if (TForm *form = Form()) {
                    m_popupMenu->setPopupComponent(this);
                    form->SendCancelMode();
                    const QPoint at = PointFromParam(message.LParam);
                    m_popupMenu->Popup(at.x(), at.y());
                }
            }
            message.Result = 0;
            handled = true;
        }
        break;
    default:
        break;
    }
}

void TRxGradientCaption::AfterMessage(TMessage &message, bool &)
{
    if (!IsEffectivelyActive())
        return;
    switch (message.Msg) {
    case WM_NCPAINT:
        if (m_regionChanged) {
            message.WParam = m_savedRegion;
            m_newRegion.reset();
            m_regionChanged = false;
        }
        DrawGradientCaption();
        break;
    case WM_NCACTIVATE:
        DrawGradientCaption();
        break;
    default:
        break;
    }
}

void TRxGradientCaption::DrawGradientCaption()
{
    TForm *form = Form();
    if (!form || form->BorderStyle() == bsNone)
        return;
    const QImage band = CaptionImage();
    if (band.isNull())
        return;
    TWindowDC dc(form);
    if (QPainter *painter = dc.Canvas())
        painter->drawImage(CaptionRect().topLeft() - form->WindowRect().topLeft(), band);
}

} // namespace darvolt
