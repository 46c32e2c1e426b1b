#include "widgets/flatspeedbutton.h"
#include "widgets/hoverclock.h"

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace darvolt;

namespace {

using B = TFlatSpeedButton;

void send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
          Qt::MouseButtons held = Qt::LeftButton)
{
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void press(QWidget *w, QPoint pos) { send(w, QEvent::MouseButtonPress, pos); }
void move(QWidget *w, QPoint pos) { send(w, QEvent::MouseMove, pos, Qt::NoButton); }
void release(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    send(w, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

// Puts the pointer over the widget and reports the move, as the platform does.
void hoverOver(QWidget *w)
{
    const QPoint centre = w->rect().center();
    QCursor::setPos(w->mapToGlobal(centre));
    send(w, QEvent::MouseMove, centre, Qt::NoButton, Qt::NoButton);
}

// Stands in for the buttons' shared hover clock: tells which button it
// watches and looks only when the test beats it.
class ManualHoverClock : public HoverClock
{
public:
    void Watch(TFlatSpeedButton *button, std::function<void()> look) override
    {
        m_watched = button;
        m_look = std::move(look);
    }
    void Stop() override
    {
        m_watched = nullptr;
        m_look = nullptr;
    }

    TFlatSpeedButton *Watched() const { return m_watched; }
    bool Running() const { return m_watched != nullptr; }
    void Beat()
    {
        if (const std::function<void()> look = m_look)
            look();
    }

private:
    TFlatSpeedButton *m_watched = nullptr;
    std::function<void()> m_look;
};

struct Window {
    QWidget form;
    B *one;
    B *two;
    Window()
    {
        form.resize(200, 100);
        one = new B(&form);
        one->setGeometry(10, 10, 64, 40);
        two = new B(&form);
        two->setGeometry(100, 10, 64, 40);
    }
    bool showActive()
    {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }
};

} // namespace

class TestFlatSpeedButtonMouse : public QObject
{
    Q_OBJECT

private:
    ManualHoverClock m_clock;

private slots:
    void initTestCase() { SetHoverClock(&m_clock); }
    void cleanupTestCase() { SetHoverClock(nullptr); }
    void cleanup() { QCursor::setPos(QPoint(5000, 5000)); }

    void pressShowsPressedAndReleaseInsideClicks()
    {
        Window w;
        QSignalSpy clicks(w.one, &B::OnClick);
        press(w.one, {10, 10});
        QCOMPARE(w.one->FaceState(), B::Pressed);
        QVERIFY(w.one->Pressing());
        release(w.one, {10, 10});
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(w.one->FaceState(), B::Up);
        QVERIFY(!w.one->Pressing());
    }

    void dragOffAndReleaseDoesNotClick()
    {
        Window w;
        QSignalSpy clicks(w.one, &B::OnClick);
        press(w.one, {10, 10});
        move(w.one, {200, 10});
        QCOMPARE(w.one->FaceState(), B::Up);
        release(w.one, {200, 10});
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(w.one->FaceState(), B::Up);
    }

    void dragOffAndBackClicksOnce()
    {
        Window w;
        QSignalSpy clicks(w.one, &B::OnClick);
        press(w.one, {10, 10});
        move(w.one, {-5, 10});
        move(w.one, {12, 12});
        QCOMPARE(w.one->FaceState(), B::Pressed);
        release(w.one, {12, 12});
        QCOMPARE(clicks.count(), 1);
    }

    void releaseEdgesDecideTheClick_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("clicks");
        QTest::newRow("one row below the bottom") << QPoint(10, 40) << 1;
        QTest::newRow("two rows below") << QPoint(10, 41) << 0;
        QTest::newRow("last column") << QPoint(63, 10) << 1;
        QTest::newRow("one column right") << QPoint(64, 10) << 0;
        QTest::newRow("left of the left edge") << QPoint(-1, 10) << 0;
    }
    void releaseEdgesDecideTheClick()
    {
        QFETCH(QPoint, at);
        QFETCH(int, clicks);
        Window w;
        QSignalSpy spy(w.one, &B::OnClick);
        press(w.one, {10, 10});
        release(w.one, at);
        QCOMPARE(spy.count(), clicks);
    }

    void anyButtonEndsALeftPress()
    {
        Window w;
        QSignalSpy clicks(w.one, &B::OnClick);
        press(w.one, {10, 10});
        release(w.one, {10, 10}, Qt::RightButton);
        QVERIFY(!w.one->Pressing());
        QCOMPARE(clicks.count(), 1);
    }

    void rightPressDoesNotPress()
    {
        Window w;
        send(w.one, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
        QVERIFY(!w.one->Pressing());
        QCOMPARE(w.one->FaceState(), B::Up);
    }

    void disabledButtonIgnoresPresses()
    {
        Window w;
        QSignalSpy clicks(w.one, &B::OnClick);
        w.one->setEnabled(false);
        press(w.one, {10, 10});
        release(w.one, {10, 10});
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(w.one->FaceState(), B::Disabled);
        w.one->setEnabled(true);
        w.one->RenderFace();
        QCOMPARE(w.one->FaceState(), B::Up);
    }

    void groupLatchesOneButtonAtATime()
    {
        Window w;
        w.one->setGroupIndex(1);
        w.two->setGroupIndex(1);
        QSignalSpy clicksTwo(w.two, &B::OnClick);
        press(w.one, {5, 5});
        release(w.one, {5, 5});
        QVERIFY(w.one->Down());
        QCOMPARE(w.one->FaceState(), B::Latched);
        press(w.two, {5, 5});
        release(w.two, {5, 5});
        QVERIFY(w.two->Down());
        QVERIFY(!w.one->Down());
        QCOMPARE(w.one->FaceState(), B::Up);
        // Clicking the latched one again keeps it down but still clicks.
        press(w.two, {5, 5});
        release(w.two, {5, 5});
        QVERIFY(w.two->Down());
        QCOMPARE(clicksTwo.count(), 2);
    }

    void allowAllUpIsSharedAndLetsTheLatchedButtonRise()
    {
        Window w;
        w.one->setGroupIndex(1);
        w.two->setGroupIndex(1);
        w.two->setDown(true);
        w.one->setAllowAllUp(true);
        QVERIFY(w.two->AllowAllUp());
        press(w.two, {5, 5});
        release(w.two, {5, 5});
        QVERIFY(!w.two->Down());
        QCOMPARE(w.two->FaceState(), B::Up);
    }

    void ungroupedButtonCannotBeDown()
    {
        B button;
        button.setDown(true);
        QVERIFY(!button.Down());
    }

    void doubleClickCountsAsTwoClicks()
    {
        Window w;
        QSignalSpy clicks(w.one, &B::OnClick);
        QSignalSpy doubles(w.one, &B::OnDblClick);
        press(w.one, {5, 5});
        release(w.one, {5, 5});
        send(w.one, QEvent::MouseButtonDblClick, {5, 5});
        release(w.one, {5, 5});
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(doubles.count(), 0);
    }

    void latchedButtonReportsTheDoubleClick()
    {
        Window w;
        w.one->setGroupIndex(3);
        QSignalSpy doubles(w.one, &B::OnDblClick);
        press(w.one, {5, 5});
        release(w.one, {5, 5});
        send(w.one, QEvent::MouseButtonDblClick, {5, 5});
        release(w.one, {5, 5});
        QCOMPARE(doubles.count(), 1);
    }

    void accelClicksOnlyWhenEnabled()
    {
        Window w;
        w.one->setCaption(QStringLiteral("&Split"));
        QVERIFY(w.showActive());
        QSignalSpy clicks(w.one, &B::OnClick);
        QTest::keyClick(&w.form, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(clicks.count(), 1);
        w.one->setEnabled(false);
        QTest::keyClick(&w.form, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(clicks.count(), 1);
    }

    void hoverPassesFromOneButtonToTheNext()
    {
        Window w;
        QVERIFY(w.showActive());
        hoverOver(w.one);
        QVERIFY(w.one->Hot());
        QCOMPARE(m_clock.Watched(), w.one);
        QVERIFY(m_clock.Running());
        hoverOver(w.two);
        QVERIFY(!w.one->Hot());
        QVERIFY(w.two->Hot());
        QCOMPARE(m_clock.Watched(), w.two);
        // The shared clock notices the pointer has gone.
        QCursor::setPos(w.form.mapToGlobal(QPoint(190, 90)));
        m_clock.Beat();
        QTRY_VERIFY(!w.two->Hot());
        QCOMPARE(m_clock.Watched(), nullptr);
        QVERIFY(!m_clock.Running());
    }

    void noHoverWithoutAnActiveWindow()
    {
        Window w;
        QVERIFY(w.showActive());
        QApplication::setActiveWindow(nullptr);
        QCOMPARE(QApplication::activeWindow(), nullptr);
        hoverOver(w.one);
        QVERIFY(!w.one->Hot());
        QCOMPARE(m_clock.Watched(), nullptr);
    }

    void aHotFaceEndsWhenThePointerLeavesWithNoWindowActive()
    {
        // As after a click that opened and closed a modal box, with no
        // window manager to activate the window again.
        Window w;
        QVERIFY(w.showActive());
        QApplication::setActiveWindow(nullptr);
        const QPoint centre = w.one->rect().center();
        QCursor::setPos(w.one->mapToGlobal(centre));
        press(w.one, centre);
        release(w.one, centre);
        QVERIFY(w.one->Hot());
        QCursor::setPos(w.form.mapToGlobal(QPoint(190, 90)));
        m_clock.Beat();
        QTRY_VERIFY(!w.one->Hot());
        QCOMPARE(m_clock.Watched(), nullptr);
    }

    void disablingDropsHotAndOwnership()
    {
        Window w;
        QVERIFY(w.showActive());
        hoverOver(w.one);
        QVERIFY(w.one->Hot());
        w.one->setEnabled(false);
        QVERIFY(!w.one->Hot());
        QCOMPARE(m_clock.Watched(), nullptr);
    }

    void destroyingTheOwnerReleasesTheTimer()
    {
        Window w;
        QVERIFY(w.showActive());
        hoverOver(w.two);
        delete w.two;
        QCOMPARE(m_clock.Watched(), nullptr);
        QVERIFY(!m_clock.Running());
    }

    void modalResultEndsTheDialog()
    {
        QDialog dialog;
        auto *ok = new B(&dialog);
        ok->setModalResult(1);
        auto *plain = new B(&dialog);
        dialog.open();
        plain->Click();
        QVERIFY(dialog.isVisible());
        ok->Click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), 1);
    }

    void clickHandlerMayDeleteTheButton()
    {
        auto *form = new QWidget;
        auto *button = new B(form);
        button->resize(20, 20);
        connect(button, &B::OnClick, form, [form] { delete form; });
        QPointer<QWidget> alive(form);
        press(button, {5, 5});
        release(button, {5, 5});
        QVERIFY(!alive);
    }
};

QTEST_MAIN(TestFlatSpeedButtonMouse)
#include "tst_flatspeedbuttonmouse.moc"
