#include "toolkit/form.h"

#include "support/mainwindowform.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <vector>

using namespace darvolt;
using namespace darvolt::messages;

namespace {

class WatchedForm : public TForm
{
public:
    std::vector<TMessage> seen;
    ~WatchedForm() override { BeginDestroy(); }

    std::vector<WPARAM> commands() const
    {
        std::vector<WPARAM> result;
        for (const TMessage &m : seen)
            if (m.Msg == WM_SYSCOMMAND)
                result.push_back(m.WParam);
        return result;
    }

protected:
    void WndProc(TMessage &message) override
    {
        seen.push_back(message);
        // Minimising cannot be checked offscreen; the command is what counts.
        if (message.Msg == WM_SYSCOMMAND && message.WParam == SC_MINIMIZE)
            return;
        TForm::WndProc(message);
    }
};

// A mouse event as the window system reports it for a window whose corner
// is really at `origin` on the screen, whatever Qt believes.
void sendMouse(QWidget &form, QEvent::Type type, Qt::MouseButton button, QPoint pos, QPoint origin)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, pos, origin + pos, button, held, Qt::NoModifier);
    QApplication::sendEvent(&form, &event);
}

} // namespace

class TestFormMouse : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hitTest_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("hit");
        QTest::newRow("client") << int(bsSingle) << QPoint(100, 100) << int(HTCLIENT);
        QTest::newRow("band") << int(bsSingle) << QPoint(100, 10) << int(HTCAPTION);
        QTest::newRow("icon") << int(bsSingle) << QPoint(10, 10) << int(HTSYSMENU);
        QTest::newRow("close") << int(bsSingle) << QPoint(380, 10) << int(HTCLOSE);
        QTest::newRow("maximise") << int(bsSingle) << QPoint(360, 10) << int(HTMAXBUTTON);
        QTest::newRow("minimise") << int(bsSingle) << QPoint(345, 10) << int(HTMINBUTTON);
        QTest::newRow("gap left of close") << int(bsSingle) << QPoint(374, 10) << int(HTCAPTION);
        QTest::newRow("fixed frame") << int(bsSingle) << QPoint(1, 100) << int(HTBORDER);
        QTest::newRow("line under band") << int(bsSingle) << QPoint(100, 21) << int(HTBORDER);
        QTest::newRow("outside") << int(bsSingle) << QPoint(-1, 10) << int(HTNOWHERE);
        QTest::newRow("sizing left") << int(bsSizeable) << QPoint(1, 100) << int(HTLEFT);
        QTest::newRow("sizing bottom") << int(bsSizeable) << QPoint(100, 282) << int(HTBOTTOM);
        QTest::newRow("sizing corner") << int(bsSizeable) << QPoint(397, 282) << int(HTBOTTOMRIGHT);
        QTest::newRow("sizing top corner reaches along") << int(bsSizeable) << QPoint(1, 10) << int(HTTOPLEFT);
    }
    void hitTest()
    {
        QFETCH(int, style);
        QFETCH(QPoint, pos);
        QFETCH(int, hit);
        TForm form;
        form.setBorderStyle(TFormBorderStyle(style));
        form.setBorderIcons(biSystemMenu | biMinimize);
        form.setClientSize({390, 256});
        const QPoint global = form.WindowRect().topLeft() + pos;
        QCOMPARE(int(form.Deliver(WM_NCHITTEST, 0, MakePointParam(global.x(), global.y()))), hit);
    }

    void closeButtonClosesOnRelease()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint close = form.NonClientLayout().closeButton.center();
        QTest::mousePress(&form, Qt::LeftButton, {}, close);
        QVERIFY(form.isVisible());
        // Held down, it looks pressed: its glyph moves a pixel down-right.
        const QRect r = form.NonClientLayout().closeButton;
        QCOMPARE(form.RenderWindow().pixel(r.left() + 5, r.top() + 4), qRgb(0, 0, 0));
        QTest::mouseRelease(&form, Qt::LeftButton, {}, close);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.commands(), std::vector<WPARAM>{SC_CLOSE});
    }

    void releasingOffTheButtonDoesNothing()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const TNonClientLayout l = form.NonClientLayout();
        QTest::mousePress(&form, Qt::LeftButton, {}, l.closeButton.center());
        QTest::mouseMove(&form, QPoint(100, 100));
        QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(form.isVisible());
        QVERIFY(form.commands().empty());
    }

    void minimiseSendsItsCommandDisabledMaximiseNone()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const TNonClientLayout l = form.NonClientLayout();
        QTest::mouseClick(&form, Qt::LeftButton, {}, l.maxButton.center());
        QVERIFY(form.commands().empty());
        QTest::mouseClick(&form, Qt::LeftButton, {}, l.minButton.center());
        QCOMPARE(form.commands(), std::vector<WPARAM>{SC_MINIMIZE});
    }

    void draggingTheBandMovesTheWindow()
    {
        TForm form;
        makeMainWindowLike(form);
        form.move(100, 100);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint start = form.pos();
        QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(150, 10));
        QTest::mouseMove(&form, QPoint(190, 40));
        QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(190, 40));
        QTRY_COMPARE(form.pos(), start + QPoint(40, 30));
    }

    void rightClickOnTheBandOpensTheSystemMenu()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(&form, Qt::RightButton, {}, QPoint(150, 10));
        QMenu *menu = form.SystemMenu();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        int rdown = 0, rup = 0;
        for (const TMessage &m : form.seen) {
            rdown += m.Msg == WM_NCRBUTTONDOWN && m.WParam == WPARAM(HTCAPTION);
            rup += m.Msg == WM_NCRBUTTONUP && m.WParam == WPARAM(HTCAPTION);
        }
        QCOMPARE(rdown, 1);
        QCOMPARE(rup, 1);
        menu->hide();
        // Minimise is on offer, maximise is not.
        QStringList enabled;
        for (QAction *action : menu->actions())
            if (action->isEnabled() && !action->isSeparator())
                enabled << action->text();
        QCOMPARE(enabled, (QStringList{QStringLiteral("Mi&nimize"), QStringLiteral("&Close\tAlt+F4")}));
    }

    void swallowedRightPressKeepsTheSystemMenuShut()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint global = form.mapToGlobal(QPoint(150, 10));
        // The press never reaches the form's own procedure.
        form.Deliver(WM_NCRBUTTONUP, WPARAM(HTCAPTION), MakePointParam(global.x(), global.y()));
        QCoreApplication::processEvents();
        QVERIFY(!form.SystemMenu()->isVisible());
    }

    void doubleClickOnTheIconCloses()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseDClick(&form, Qt::LeftButton, {}, form.NonClientLayout().icon.center());
        QTRY_VERIFY(!form.isVisible());
    }

    // A window manager can leave Qt believing the window is where it is
    // not; the frame must answer where the pointer really is all the same.
    void staleWindowPlaceDoesNotDeadenTheFrame()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.move(20, 20);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QPoint really = form.pos() + QPoint(150, 120);
        const QPoint band(150, 10);

        sendMouse(form, QEvent::MouseButtonPress, Qt::RightButton, band, really);
        sendMouse(form, QEvent::MouseButtonRelease, Qt::RightButton, band, really);
        QMenu *menu = form.SystemMenu();
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), really + band);
        menu->hide();

        // The drag starts from where the pointer proves the window to be.
        const QPoint drag(40, 30);
        sendMouse(form, QEvent::MouseButtonPress, Qt::LeftButton, band, really);
        sendMouse(form, QEvent::MouseMove, Qt::LeftButton, band + drag, really);
        really += drag;
        sendMouse(form, QEvent::MouseButtonRelease, Qt::LeftButton, band, really);
        QTRY_COMPARE(form.pos(), really);

        const QPoint close = form.NonClientLayout().closeButton.center();
        sendMouse(form, QEvent::MouseButtonPress, Qt::LeftButton, close, really);
        sendMouse(form, QEvent::MouseButtonRelease, Qt::LeftButton, close, really);
        QVERIFY(!form.isVisible());
    }

    void cancelModeReleasesAHeldButton()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint close = form.NonClientLayout().closeButton.center();
        QTest::mousePress(&form, Qt::LeftButton, {}, close);
        form.SendCancelMode();
        QTest::mouseRelease(&form, Qt::LeftButton, {}, close);
        QVERIFY(form.isVisible());
    }
};

QTEST_MAIN(TestFormMouse)
#include "tst_formmouse.moc"
