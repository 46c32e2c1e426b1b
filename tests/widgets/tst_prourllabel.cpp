#include "toolkit/fonts.h"
#include "widgets/prourl.h"
#include "widgets/prourlimage.h"
#include "widgets/prourllabel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

using namespace darvolt;

namespace {

void send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void enter(QWidget *w)
{
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &event);
}

void leave(QWidget *w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestProUrlLabel : public QObject
{
    Q_OBJECT

    QStringList opened;

private slots:
    void initTestCase()
    {
        InstallFontSubstitutes();
        LinkOpener() = [this](const QString &link) { opened << link; };
    }
    void init() { opened.clear(); }

    void newLabelLooksLikeALink()
    {
        TProUrlLabel label;
        QCOMPARE(label.FontColor(), clBlue);
        QCOMPARE(label.UnvisitedColor(), clBlue);
        QCOMPARE(label.ActivatedColor(), clRed);
        QCOMPARE(label.VisitedColor(), clNavy);
        QCOMPARE(label.HoveredColor(), clWhite);
        QVERIFY(label.font().underline());
        QCOMPARE(label.Cursor(), crHandPoint);
        QCOMPARE(label.cursor().hotSpot(), QPoint(6, 0));
    }

    void clickOpensAndTurnsVisited()
    {
        TProUrlLabel label;
        label.setCaption(QStringLiteral("Ombrix"));
        label.setURL(QStringLiteral("https://example.com/ombrix"));
        send(&label, QEvent::MouseButtonPress, {2, 2});
        QVERIFY(label.Armed());
        QCOMPARE(label.FontColor(), clRed);
        send(&label, QEvent::MouseButtonRelease, {2, 2});
        QVERIFY(!label.Armed());
        QVERIFY(label.Visited());
        QCOMPARE(label.FontColor(), clNavy);
        QCOMPARE(opened, QStringList{QStringLiteral("https://example.com/ombrix")});
        send(&label, QEvent::MouseButtonPress, {2, 2});
        send(&label, QEvent::MouseButtonRelease, {2, 2});
        QCOMPARE(opened.size(), 2);
        QCOMPARE(label.UnvisitedColor(), clBlue); // the passing red was never learnt
    }

    void releaseOutsideOpensNothing_data()
    {
        QTest::addColumn<bool>("visitedFirst");
        QTest::newRow("unvisited") << false;
        QTest::newRow("visited") << true;
    }
    void releaseOutsideOpensNothing()
    {
        QFETCH(bool, visitedFirst);
        TProUrlLabel label;
        label.setCaption(QStringLiteral("link"));
        if (visitedFirst) {
            send(&label, QEvent::MouseButtonPress, {1, 1});
            send(&label, QEvent::MouseButtonRelease, {1, 1});
            opened.clear();
        }
        send(&label, QEvent::MouseButtonPress, {1, 1});
        send(&label, QEvent::MouseButtonRelease, {label.width() + 1, 1});
        QVERIFY(opened.isEmpty());
        QCOMPARE(label.FontColor(), visitedFirst ? clNavy : clBlue);
    }

    void farEdgesCountAsInside_data()
    {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("opens");
        QTest::newRow("right edge line") << 0 << -1 << true;
        QTest::newRow("bottom edge line") << -1 << 0 << true;
        QTest::newRow("corner") << 0 << 0 << true;
        QTest::newRow("past the right") << 1 << -1 << false;
        QTest::newRow("past the bottom") << -1 << 1 << false;
    }
    void farEdgesCountAsInside()
    {
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(bool, opens);
        TProUrlLabel label;
        label.setCaption(QStringLiteral("edge"));
        send(&label, QEvent::MouseButtonPress, {1, 1});
        send(&label, QEvent::MouseButtonRelease, {label.width() + dx, label.height() + dy});
        QCOMPARE(!opened.isEmpty(), opens);
    }

    void rightButtonChangesNothing()
    {
        TProUrlLabel label;
        label.setCaption(QStringLiteral("x"));
        send(&label, QEvent::MouseButtonPress, {1, 1}, Qt::RightButton);
        QVERIFY(!label.Armed());
        QCOMPARE(label.FontColor(), clBlue);
        send(&label, QEvent::MouseButtonRelease, {1, 1}, Qt::RightButton);
        QVERIFY(opened.isEmpty());
    }

    void emptyUrlOpensTheCaptionAndMailtoPassesUnchanged()
    {
        TProUrlLabel label;
        label.setCaption(QStringLiteral("www.example.com"));
        send(&label, QEvent::MouseButtonPress, {1, 1});
        send(&label, QEvent::MouseButtonRelease, {1, 1});
        label.setURL(QStringLiteral("mailto:someone@example.com"));
        send(&label, QEvent::MouseButtonPress, {1, 1});
        send(&label, QEvent::MouseButtonRelease, {1, 1});
        QCOMPARE(opened, (QStringList{QStringLiteral("www.example.com"), QStringLiteral("mailto:someone@example.com")}));
    }

    void fontColourFromTheLayoutBecomesUnvisited()
    {
        TProUrlLabel label;
        label.setFontColor(clGreen);
        QCOMPARE(label.UnvisitedColor(), clGreen);
        leave(&label);
        QCOMPARE(label.FontColor(), clGreen);
    }

    void canHoverLightsUpOnlyWhileHovered()
    {
        TProUrlLabel label;
        label.setCaption(QStringLiteral("hover"));
        label.setCanHover(true);
        QVERIFY(!label.font().underline());
        enter(&label);
        QVERIFY(label.font().underline());
        QCOMPARE(label.FontColor(), clWhite);
        send(&label, QEvent::MouseButtonPress, {1, 1});
        send(&label, QEvent::MouseButtonRelease, {1, 1});
        QCOMPARE(label.FontColor(), clWhite); // stays hovered until the pointer leaves
        leave(&label);
        QVERIFY(!label.font().underline());
        QCOMPARE(label.FontColor(), clNavy);
        QCOMPARE(label.UnvisitedColor(), clBlue);
        QCOMPARE(label.VisitedColor(), clNavy);
    }

    void withoutCanHoverHoveringChangesNothing()
    {
        TProUrlLabel label;
        enter(&label);
        QCOMPARE(label.FontColor(), clBlue);
        QVERIFY(label.font().underline());
    }

    void colourSettersFollowTheVisitedState()
    {
        TProUrlLabel label;
        label.setVisitedColor(clPurple);
        QCOMPARE(label.FontColor(), clBlue);
        label.setUnvisitedColor(clGreen);
        QCOMPARE(label.FontColor(), clGreen);
        send(&label, QEvent::MouseButtonPress, {1, 1});
        send(&label, QEvent::MouseButtonRelease, {1, 1});
        QCOMPARE(label.FontColor(), clPurple);
        label.setUnvisitedColor(clTeal);
        QCOMPARE(label.FontColor(), clPurple);
        QCOMPARE(label.UnvisitedColor(), clTeal);
    }

    void unvisitedColourSetWhileHoverableIsKept()
    {
        TProUrlLabel label;
        label.setCanHover(true);
        label.setUnvisitedColor(clGreen);
        enter(&label);
        leave(&label);
        QCOMPARE(label.FontColor(), clGreen);
    }

    void disabledLabelIsEmbossed()
    {
        TProUrlLabel label;
        label.setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 13));
        label.setCaption(QStringLiteral("IIII"));
        label.setColor(clBtnFace);
        label.setEnabled(false);
        const QImage face = label.RenderFace();
        bool shadow = false, highlight = false, blue = false;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x) {
                const QColor c = face.pixelColor(x, y);
                shadow |= c == ColorToRGB(clBtnShadow);
                highlight |= x > 0 && y > 0 && c == QColor(255, 255, 255) && face.pixelColor(x - 1, y - 1) == ColorToRGB(clBtnShadow);
                blue |= c.blue() > 200 && c.red() < 50;
            }
        QVERIFY(shadow);
        QVERIFY(highlight);
        QVERIFY(!blue);
    }

    void autoSizeFitsTheText()
    {
        TProUrlLabel label;
        label.setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 11));
        label.setCaption(QStringLiteral("www.example.com"));
        QVERIFY(qAbs(label.height() - QFontMetrics(label.font()).height()) <= 1);
        QVERIFY(label.width() > 40);
    }

    void imageClickFiresThenOpens()
    {
        TProUrlImage image;
        image.resize(100, 30);
        QCOMPARE(image.cursor().hotSpot(), QPoint(6, 0));
        QSignalSpy clicks(&image, &TProUrlImage::OnClick);
        send(&image, QEvent::MouseButtonPress, {50, 10});
        send(&image, QEvent::MouseButtonRelease, {50, 10});
        QCOMPARE(clicks.count(), 1);
        QVERIFY(opened.isEmpty()); // empty URL opens nothing
        image.setURL(QStringLiteral("https://example.com/"));
        send(&image, QEvent::MouseButtonPress, {50, 10});
        send(&image, QEvent::MouseButtonRelease, {50, 10});
        QCOMPARE(opened, QStringList{QStringLiteral("https://example.com/")});
        send(&image, QEvent::MouseButtonPress, {50, 10});
        send(&image, QEvent::MouseButtonRelease, {150, 10});
        QCOMPARE(opened.size(), 1);
    }

    void handCursorsAreRegisteredWithTheirHotSpots_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QPoint>("hotSpot");
        QTest::newRow("hand point") << crHandPoint << QPoint(6, 0);
        QTest::newRow("small hand point") << crSmallHandPoint << QPoint(13, 9);
        QTest::newRow("grab hand") << crGrabHand << QPoint(4, 2);
        QTest::newRow("grab hand arrow") << crGrabHandArrow << QPoint(0, 0);
        QTest::newRow("drag hand") << crDragHand << QPoint(0, 0);
    }
    void handCursorsAreRegisteredWithTheirHotSpots()
    {
        QFETCH(int, id);
        QFETCH(QPoint, hotSpot);
        RegisterProUrlCursors();
        QVERIFY(HasCursor(id));
        const QCursor cursor = CursorById(id);
        QCOMPARE(cursor.hotSpot(), hotSpot);
        QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
    }

    void pointingHandHotSpotIsOnTheFingerTip()
    {
        RegisterProUrlCursors();
        const QImage hand = CursorById(crHandPoint).pixmap().toImage();
        QCOMPARE(qAlpha(hand.pixel(6, 0)), 255);
        const QImage small = CursorById(crSmallHandPoint).pixmap().toImage();
        QCOMPARE(qAlpha(small.pixel(13, 9)), 255);
    }

    void emptyLinkOpensNothing()
    {
        OpenLink(QString());
        QVERIFY(opened.isEmpty());
    }
};

QTEST_MAIN(TestProUrlLabel)
#include "tst_prourllabel.moc"
