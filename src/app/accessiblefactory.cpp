#include "app/accessiblefactory.h"

#include "app/statusbar.h"
#include "app/statusbaraccessible.h"
#include "widgets/gifanimator.h"
#include "widgets/gifanimatoraccessible.h"
#include "toolkit/form.h"
#include "toolkit/formaccessible.h"
#include "toolkit/menuaccessible.h"
#include "widgets/buttonaccessible.h"
#include "widgets/comboeditaccessible.h"
#include "widgets/customcomboedit.h"
#include "widgets/editbutton.h"
#include "widgets/flatspeedbutton.h"
#include "widgets/gradientcaption.h"
#include "widgets/gradientcaptionaccessible.h"
#include "widgets/linkaccessible.h"
#include "widgets/panelaccessible.h"
#include "widgets/procustompanel.h"
#include "widgets/prourlimage.h"
#include "widgets/prourllabel.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>

#include <functional>
#include <unordered_map>
#include <utility>

namespace darvolt {

namespace {

template <class Control, class Interface>
QAccessibleInterface *make(QObject *object)
{
    // The class name matched, but a widget being destroyed no longer is
    // what its name says; it gets no interface of ours.
    auto *control = qobject_cast<Control *>(object);
    return control ? new Interface(control) : nullptr;
}

using Maker = QAccessibleInterface *(*)(QObject *);

// A menu's command, which Qt names with the key shown at its right.
QAccessibleInterface *makeMenuItem(QObject *object)
{
    return TMenuItemAccessible::For(qobject_cast<QAction *>(object));
}

// Qt asks by the name the meta-object gives, namespace and all.
template <class Control, class Interface>
std::pair<const QString, Maker> entry()
{
    return {QString::fromLatin1(Control::staticMetaObject.className()), &make<Control, Interface>};
}

const std::unordered_map<QString, Maker> &makers()
{
    static const std::unordered_map<QString, Maker> table{
        entry<TForm, TFormAccessible>(),
        entry<TFlatSpeedButton, TFlatSpeedButtonAccessible>(),
        entry<TEditButton, TEditButtonAccessible>(),
        entry<TCustomComboEdit, TComboEditAccessible>(),
        entry<TProUrlLabel, TProUrlLabelAccessible>(),
        entry<TProUrlImage, TProUrlImageAccessible>(),
        entry<TProCustomPanel, TProPanelAccessible>(),
        entry<TRxGradientCaption, TRxGradientCaptionAccessible>(),
        entry<TRxGIFAnimator, TRxGIFAnimatorAccessible>(),
        entry<TStatusBar, TStatusBarAccessible>(),
        entry<QMenu, TMenuAccessible>(),
        {QString::fromLatin1(QAction::staticMetaObject.className()), &makeMenuItem},
    };
    return table;
}

} // namespace

QAccessibleInterface *DarvoltAccessibleFactory(const QString &classname, QObject *object)
{
    const auto found = makers().find(classname);
    return found == makers().end() ? nullptr : found->second(object);
}

void InstallAccessibleFactory()
{
    QAccessible::installFactory(&DarvoltAccessibleFactory);
}

} // namespace darvolt
