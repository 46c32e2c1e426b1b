#include "gif/composeframe.h"
#include "widgets/gifanimator.h"
#include "gif/giferrors.h"
#include "gif/gifimage.h"
#include "toolkit/form.h"
#include "toolkit/wincontrol.h"
#include "toolkit/wndproc.h"

#include "tst_gifanimatorimages.h"
#include "ui_tst_gifanimatorstrip.h"

#include <QPainter>
#include <QtTest>

using namespace darvolt;
using namespace darvolt::messages;

using namespace animtest;

namespace {

constexpr QRgb Blue = 0xFF0000E0;
constexpr QRgb Green = 0xFF00B000;
constexpr QRgb Red = 0xFFE00000;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Yellow = 0xFFF0F000;

// A parent or sibling that paints one colour over a part of itself; its
// window background (the control's colour) is yellow.
class Painted : public QWidget
{
public:
    Painted(QWidget *parent, QRgb color, QRect area = {}) : QWidget(parent), m_color(color), m_area(area)
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor::fromRgb(Yellow));
        setPalette(p);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(m_area.isNull() ? rect() : m_area, QColor::fromRgb(m_color));
    }

private:
    QRgb m_color;
    QRect m_area;
};

class PaintedWindow : public TWinControl
{
public:
    explicit PaintedWindow(QWidget *parent) : TWinControl(parent) {}

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), Qt::red); }
};

// An animator that believes it runs on a palette display.
class PaletteAnimator : public TRxGIFAnimator
{
public:
    using TRxGIFAnimator::TRxGIFAnimator;

protected:
    bool PaletteDisplay() const override { return true; }
};

QRgb Pixel(const QImage &image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000u;
}

QImage Grab(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A GIF whose logical screen (65535 x 65535) is too large to compose.
QByteArray HugeScreenGif()
{
    const char bytes[] = "GIF89a\xFF\xFF\xFF\xFF\x80\x00\x00"
                         "\x00\x00\x00\xFF\xFF\xFF"
                         "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00"
                         "\x02\x02\x44\x01\x00\x3B";
    return QByteArray(bytes, sizeof bytes - 1);
}

} // namespace

class tst_GifAnimatorPaint : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetApplicationExceptionHandler({}); }

    void centredPictureLargerThanTheControlGetsANegativeOffset()
    {
        TRxGIFAnimator animator;
        animator.setGeometry(3, 3, 385, 36);
        LoadBanner(animator);
        animator.setCenter(true);
        animator.setTransparent(false);
        QCOMPARE(animator.PictureRect(QSize(393, 40)), QRect(-4, -2, 393, 40));
        const QImage face = animator.RenderPicture();
        const QImage composed = ComposeFrame(animator.Image(), 0);
        for (const QPoint p : {QPoint(0, 0), QPoint(384, 35), QPoint(200, 17), QPoint(57, 30)})
            QCOMPARE(Pixel(face, p.x(), p.y()), Pixel(composed, p.x() + 4, p.y() + 2));
    }

    void pictureSitsAtTheOriginWithoutCenterOrStretch()
    {
        TRxGIFAnimator animator;
        animator.setGeometry(0, 0, 385, 36);
        LoadBanner(animator);
        animator.setTransparent(false);
        animator.setFrameIndex(33);
        const QImage face = animator.RenderPicture();
        const QImage composed = ComposeFrame(animator.Image(), 33);
        QCOMPARE(animator.PictureRect(composed.size()), QRect(0, 0, 393, 40));
        for (const QPoint p : {QPoint(0, 0), QPoint(384, 35), QPoint(120, 20)})
            QCOMPARE(Pixel(face, p.x(), p.y()), Pixel(composed, p.x(), p.y()));
    }

    void stretchFillsTheControl()
    {
        TRxGIFAnimator animator;
        animator.setGeometry(3, 3, 385, 36);
        LoadBanner(animator);
        animator.setStretch(true);
        animator.setTransparent(false);
        animator.setFrameIndex(43);
        QCOMPARE(animator.PictureRect(QSize(393, 40)), QRect(0, 0, 385, 36));
        const QImage face = animator.RenderPicture();
        const QImage composed = ComposeFrame(animator.Image(), 43);
        QCOMPARE(Pixel(face, 0, 0), Pixel(composed, 0, 0));
        QCOMPARE(Pixel(face, 384, 35), Pixel(composed, 392, 39));
        // Every pixel comes from the source pixel it maps to, or a neighbour.
        for (int y = 0; y < 36; y += 5) {
            for (int x = 0; x < 385; x += 11) {
                const int sx = x * 393 / 385;
                const int sy = y * 40 / 36;
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    for (int dx = -1; dx <= 1 && !found; ++dx)
                        found = composed.rect().contains(sx + dx, sy + dy)
                                && Pixel(composed, sx + dx, sy + dy) == Pixel(face, x, y);
                QVERIFY2(found, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void transparentShowsWhatLiesBehindTheKeyColour()
    {
        Painted parent(nullptr, Blue);
        parent.resize(40, 20);
        auto *animator = new TRxGIFAnimator(&parent);
        animator->move(2, 2);
        animator->setImage(*MakeImage({30, 50}, true));
        QCOMPARE(animator->size(), QSize(8, 4));
        QImage face = animator->RenderPicture();
        QCOMPARE(Pixel(face, 1, 1), Blue);
        QCOMPARE(Pixel(face, 6, 1), FrameColor(0));

        animator->setTransparent(false);
        face = animator->RenderPicture();
        QCOMPARE(Pixel(face, 1, 1), ColorToRGB(Key).rgb());
        QCOMPARE(Pixel(face, 6, 1), FrameColor(0));
    }

    void emptyImageShowsTheParentColourAndBackground()
    {
        Painted parent(nullptr, Blue, QRect(0, 0, 10, 40));
        parent.resize(40, 40);
        auto *animator = new TRxGIFAnimator(&parent);
        animator->setGeometry(5, 5, 20, 20);
        const QImage face = animator->RenderPicture();
        QCOMPARE(face.size(), QSize(20, 20));
        QCOMPARE(Pixel(face, 0, 0), Blue);   // parent x 5
        QCOMPARE(Pixel(face, 4, 19), Blue);  // parent x 9
        QCOMPARE(Pixel(face, 5, 0), Yellow); // parent x 10: its background
        QCOMPARE(Pixel(face, 19, 19), Yellow);
    }

    void paintParentBehindTakesEarlierWindowlessSiblingsOnly()
    {
        Painted parent(nullptr, Blue, QRect(0, 0, 1, 1));
        parent.resize(60, 60);
        auto *earlier = new Painted(&parent, Green);
        earlier->setGeometry(0, 0, 15, 60);  // covers x < 15
        auto *windowed = new PaintedWindow(&parent);
        windowed->setGeometry(15, 0, 5, 60); // x 15..19, has a window
        auto *hidden = new Painted(&parent, Red);
        hidden->setGeometry(20, 0, 5, 60);   // x 20..24, hidden
        hidden->hide();
        auto *animator = new TRxGIFAnimator(&parent);
        animator->setGeometry(10, 10, 30, 30);
        auto *later = new Painted(&parent, Black);
        later->setGeometry(30, 0, 30, 60);   // after the control

        const QImage face = animator->RenderPicture();
        QCOMPARE(Pixel(face, 0, 0), Green);   // parent x 10
        QCOMPARE(Pixel(face, 4, 29), Green);  // parent x 14
        QCOMPARE(Pixel(face, 5, 0), Yellow);  // parent x 15: the windowed sibling is skipped
        QCOMPARE(Pixel(face, 12, 5), Yellow); // parent x 22: the hidden one too
        QCOMPARE(Pixel(face, 25, 5), Yellow); // parent x 35: the later one too
    }

    void paintOnScreenMatchesTheRenderedFace()
    {
        Painted parent(nullptr, Blue);
        parent.resize(40, 20);
        auto *animator = new TRxGIFAnimator(&parent);
        animator->move(2, 2);
        animator->setImage(*MakeImage({30, 50}, true));
        animator->setFrameIndex(1);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QCOMPARE(Grab(*animator), animator->RenderPicture().convertToFormat(QImage::Format_RGB32));
    }

    void designTimeOutlineOnlyForTransparentOrEmptyPictures()
    {
        TRxGIFAnimator animator;
        animator.resize(20, 10);
        QVERIFY(Pixel(Grab(animator), 0, 0) != Black);
        animator.setDesigning(true);
        QCOMPARE(Pixel(Grab(animator), 0, 0), Black);

        animator.setAutoSize(false);
        animator.setStretch(true);
        animator.setImage(*MakeImage({30, 50}));
        QCOMPARE(Pixel(Grab(animator), 0, 0), FrameColor(0));
    }

    void paintErrorIsReportedOncePerPicture()
    {
        QStringList reported;
        SetApplicationExceptionHandler([&](std::exception_ptr e) { reported << ExceptionMessage(e); });
        TRxGIFAnimator animator;
        animator.resize(20, 10);
        animator.setAutoSize(false);
        QByteArray gif = HugeScreenGif();
        QBuffer buffer(&gif);
        buffer.open(QIODevice::ReadOnly);
        animator.Image().LoadFromStream(buffer);
        QCOMPARE(animator.Image().LogicalWidth(), 65535);
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphicOperation, animator.RenderPicture());
        Grab(animator);
        Grab(animator);
        QCOMPARE(reported.size(), 1);
        buffer.seek(0);
        animator.Image().LoadFromStream(buffer);
        Grab(animator);
        QCOMPARE(reported.size(), 2);
    }

    void designerLayoutKeepsTheBannerAtItsLayoutSize()
    {
        QWidget strip;
        Ui::BannerStrip ui;
        ui.setupUi(&strip);
        TRxGIFAnimator &banner = *ui.RxGIFAnimator1;
        QCOMPARE(banner.geometry(), QRect(3, 3, 385, 36));
        QCOMPARE(banner.Image().FrameCount(), 44);
        QVERIFY(banner.Stretch());
        QVERIFY(!banner.Transparent());
        QVERIFY(!banner.ShowHint());
        QVERIFY(!banner.ParentShowHint());
        QVERIFY(banner.AutoSize());
        QVERIFY(!banner.Animate());
        QCOMPARE(banner.FrameIndex(), 0);
        strip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&strip));
        QCOMPARE(banner.size(), QSize(385, 36));
        // The banner covers its whole area with the stretched picture.
        const QImage face = banner.RenderPicture();
        const QImage composed = ComposeFrame(banner.Image(), 0);
        QCOMPARE(Pixel(face, 384, 35), Pixel(composed, 392, 39));
    }

    void announcesItsPaletteOnlyToTheActiveFormOnAPaletteDisplay()
    {
        TForm form;
        form.Client()->resize(400, 60);
        auto *animator = new PaletteAnimator(form.Client());
        animator->setGeometry(3, 3, 385, 36);
        LoadBanner(*animator);
        auto *trueColour = new TRxGIFAnimator(form.Client());
        LoadBanner(*trueColour);
        QVERIFY(!animator->GetPalette().isEmpty());
        QVERIFY(trueColour->GetPalette().isEmpty());

        QVERIFY(!animator->AnnouncePalette()); // the form is not active yet
        form.show();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form))
            QSKIP("the platform does not activate windows");
        int queries = 0;
        const WNDPROC previous = GetWindowProc(form.Handle());
        SetWindowProc(form.Handle(), MakeWindowProc([&](HWND w, UINT msg, WPARAM wp, LPARAM lp) {
                          if (msg == 0x030F)
                              ++queries;
                          return CallWindowProc(previous, w, msg, wp, lp);
                      }));
        QVERIFY(!trueColour->AnnouncePalette());
        QVERIFY(animator->AnnouncePalette());
        QCOMPARE(queries, 0); // posted, not sent, outside a paint
        QTRY_COMPARE(queries, 1);
        animator->BeginLoading();
        QVERIFY(!animator->AnnouncePalette());
        animator->EndLoading();
        animator->hide();
        QVERIFY(!animator->AnnouncePalette());
        SetWindowProc(form.Handle(), previous);
    }

    void clicksAndDoubleClicks()
    {
        TRxGIFAnimator animator;
        animator.resize(20, 10);
        QSignalSpy clicks(&animator, &TRxImageControl::OnClick);
        QSignalSpy doubles(&animator, &TRxImageControl::OnDblClick);
        QSignalSpy downs(&animator, &TRxImageControl::OnMouseDown);
        QTest::mouseClick(&animator, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(downs.count(), 1);
        QCOMPARE(downs.first().at(3).toInt(), 5);

        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&animator, &dbl);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton, {});
        QCoreApplication::sendEvent(&animator, &up);
        QCOMPARE(doubles.count(), 1);
        QCOMPARE(clicks.count(), 1);

        // Released outside: no click.
        QTest::mousePress(&animator, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(&animator, Qt::LeftButton, {}, QPoint(50, 5));
        QCOMPARE(clicks.count(), 1);
    }

    void hintsFollowTheParentUntilSetOwn()
    {
        QWidget parent;
        parent.setProperty("ShowHint", true);
        auto *animator = new TRxGIFAnimator(&parent);
        QVERIFY(animator->ParentShowHint());
        QVERIFY(animator->ShowHint());
        animator->setShowHint(false);
        QVERIFY(!animator->ParentShowHint());
        QVERIFY(!animator->ShowHint());
    }
};

QTEST_MAIN(tst_GifAnimatorPaint)
#include "tst_gifanimatorpaint.moc"
