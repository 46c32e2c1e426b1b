// The system menu from the keyboard, whichever control has the focus.
#include "toolkit/form.h"

#include "support/mainwindowform.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>

using namespace darvolt;

namespace {

// A main-window-like form whose only control is an edit field with the focus.
struct FormWithEdit {
    TForm form;
    QLineEdit *edit = new QLineEdit(form.Client());

    FormWithEdit()
    {
        makeMainWindowLike(form);
        (new QVBoxLayout(form.Client()))->addWidget(edit);
        edit->setText(QStringLiteral("file"));
    }

    bool show()
    {
        if (!showActive(form))
            return false;
        edit->setFocus();
        return QApplication::focusWidget() == edit;
    }
};

QMenu *visibleMenu()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *menu = qobject_cast<QMenu *>(widget); menu && menu->isVisible())
            return menu;
    return nullptr;
}

} // namespace

class TestFormKeys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuKeysOpenTheMenuBelowTheIcon_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("opens");
        const Qt::KeyboardModifiers none;
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
        QTest::newRow("Menu") << int(Qt::Key_Menu) << none << true;
        QTest::newRow("Alt+Space") << int(Qt::Key_Space) << Qt::KeyboardModifiers(Qt::AltModifier) << true;
        QTest::newRow("F10") << int(Qt::Key_F10) << none << false;
        QTest::newRow("Ctrl+Shift+F10") << int(Qt::Key_F10) << (Qt::ShiftModifier | Qt::ControlModifier) << false;
        QTest::newRow("Space") << int(Qt::Key_Space) << none << false;
        QTest::newRow("Shift+Menu") << int(Qt::Key_Menu) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
    }

    void menuKeysOpenTheMenuBelowTheIcon()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, opens);
        FormWithEdit window;
        QVERIFY(window.show());
        QTest::keyClick(window.edit, Qt::Key(key), modifiers);
        QMenu *menu = visibleMenu();
        QCOMPARE(menu != nullptr, opens);
        if (!opens)
            return;
        QCOMPARE(menu, window.form.SystemMenu());
        const QRect icon = window.form.NonClientLayout().icon;
        QCOMPARE(menu->pos(), window.form.mapToGlobal(icon.bottomLeft() + QPoint(0, 1)));
        // The first command on offer is lit; Restore is not on offer.
        QVERIFY(menu->activeAction());
        QCOMPARE(menu->activeAction()->text(), QStringLiteral("Mi&nimize"));
        QCOMPARE(window.edit->text(), QStringLiteral("file"));
        menu->hide();
    }

    // The context menu request that X11 sends after the Menu key must not
    // open the edit field's own menu beside ours.
    void keyboardContextMenuOfAControlIsSwallowed()
    {
        FormWithEdit window;
        QVERIFY(window.show());
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(5, 5), window.edit->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(window.edit, &request);
        QCoreApplication::processEvents();
        QVERIFY(!visibleMenu());
    }

    void escapeClosesAndGivesTheFocusBack()
    {
        FormWithEdit window;
        QVERIFY(window.show());
        QTest::keyClick(window.edit, Qt::Key_F10, Qt::ShiftModifier);
        QMenu *menu = visibleMenu();
        QVERIFY(menu);
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), window.edit);
    }
};

QTEST_MAIN(TestFormKeys)
#include "tst_formkeys.moc"
