#include "widgets/gradientcaptionaccessible.h"

#include "toolkit/form.h"
#include "widgets/gradientcaption.h"

#include <QWindow>

namespace darvolt {

TRxGradientCaptionAccessible::TRxGradientCaptionAccessible(TRxGradientCaption *caption)
    : QAccessibleObject(caption)
{
}

TRxGradientCaption *TRxGradientCaptionAccessible::caption() const
{
    return static_cast<TRxGradientCaption *>(object());
}

QWindow *TRxGradientCaptionAccessible::window() const
{
    TForm *form = caption()->Form();
    return form ? form->windowHandle() : nullptr;
}

QAccessibleInterface *TRxGradientCaptionAccessible::parent() const
{
    return QAccessible::queryAccessibleInterface(caption()->parent());
}

QAccessibleInterface *TRxGradientCaptionAccessible::child(int) const
{
    return nullptr;
}

int TRxGradientCaptionAccessible::childCount() const
{
    return 0;
}

int TRxGradientCaptionAccessible::indexOfChild(const QAccessibleInterface *) const
{
    return -1;
}

QString TRxGradientCaptionAccessible::text(QAccessible::Text t) const
{
    if (t != QAccessible::Name)
        return {};
    TForm *form = caption()->Form();
    // Switched off, the band is the form's own, showing its plain title.
    if (!caption()->IsEffectivelyActive())
        return form ? form->Caption() : QString();
    QStringList parts;
    const TRxCaptionList *segments = caption()->Captions();
    for (int i = 0; i < segments->Count(); ++i) {
        if (segments->Items(i)->Visible() && !segments->Items(i)->Caption().isEmpty())
            parts << segments->Items(i)->Caption();
    }
    if (!caption()->FormCaption().isEmpty())
        parts << caption()->FormCaption();
    return parts.join(QLatin1Char(' '));
}

QAccessible::Role TRxGradientCaptionAccessible::role() const
{
    return QAccessible::StaticText;
}

QAccessible::State TRxGradientCaptionAccessible::state() const
{
    QAccessible::State s;
    TForm *form = caption()->Form();
    s.invisible = !form || !form->isVisible();
    s.readOnly = true;
    s.active = caption()->WindowActive();
    return s;
}

QRect TRxGradientCaptionAccessible::rect() const
{
    return caption()->Form() ? caption()->CaptionRect() : QRect();
}

} // namespace darvolt
