#include "gif/composeframe.h"
#include "gif/giferrors.h"
#include "gif/gifimage.h"
#include "gif/keyedstretch.h"
#include "giftestimage.h"

#include <QPainter>
#include <QtTest>

using namespace darvolt;

using giftest::FrameSpec;
using giftest::MakeGif;
using giftest::PaletteColor;

namespace {

QRgb Brush(TColor c) { return ColorToRGB(c).rgb() | 0xFF000000u; }
QRgb Opaque(QRgb c) { return c | 0xFF000000u; }

// The colours of row 0 of a composed picture.
std::vector<QRgb> Row(const QImage &picture)
{
    std::vector<QRgb> row;
    for (int x = 0; x < picture.width(); ++x)
        row.push_back(picture.pixel(x, 0) | 0xFF000000u);
    return row;
}

// Six one-pixel frames along a 6 x 1 screen, frame i at x = i in colour
// (i % 3) + 1, with the given disposals.
TGIFImage *Strip(TGIFImage &image, const std::vector<int> &disposals)
{
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 6; ++i) {
        FrameSpec f;
        f.left = i;
        f.index = i % 3 + 1;
        f.disposal = disposals[std::size_t(i)];
        frames.push_back(f);
    }
    image.ReadGif(MakeGif(6, 1, frames), true);
    return &image;
}

} // namespace

class TestComposeFrame : public QObject
{
    Q_OBJECT

private slots:
    void drawsEveryFrameWhenAllAreLeftInPlace()
    {
        TGIFImage image;
        Strip(image, {1, 1, 1, 1, 1, 1});
        const QRgb window = Brush(clWindow);
        TColor key = 0;
        QCOMPARE(Row(ComposeFrame(image, 2, &key)),
                 (std::vector<QRgb>{Opaque(PaletteColor(1)), Opaque(PaletteColor(2)), Opaque(PaletteColor(3)),
                                    window, window, window}));
        QCOMPARE(key, clNone);
        const auto all = Row(ComposeFrame(image, 5));
        QCOMPARE(all[5], Opaque(PaletteColor(3)));
        QCOMPARE(all[0], Opaque(PaletteColor(1)));
    }

    void indexBeyondTheLastComposesTheLast()
    {
        TGIFImage image;
        Strip(image, {1, 1, 1, 1, 1, 1});
        QCOMPARE(ComposeFrame(image, 99), ComposeFrame(image, 5));
        const auto none = Row(ComposeFrame(image, -1));
        QCOMPARE(none[0], Brush(clWindow));
    }

    void fullScreenRestoreToBackgroundStartsTheComposition()
    {
        // Frame 3 covers the screen and is restored to the background: the
        // picture of frame 5 starts there, without frame 3 itself.
        std::vector<FrameSpec> frames;
        for (int i = 0; i < 6; ++i) {
            FrameSpec f;
            f.left = i;
            f.index = 1;
            frames.push_back(f);
        }
        frames[3] = FrameSpec{0, 0, 6, 1, 2, {}, 2};
        TGIFImage image;
        image.ReadGif(MakeGif(6, 1, frames), true);
        const QRgb w = Brush(clWindow), red = Opaque(PaletteColor(1));
        QCOMPARE(Row(ComposeFrame(image, 5)), (std::vector<QRgb>{w, w, w, w, red, red}));
        // Frame 3's own picture shows it.
        QCOMPARE(Row(ComposeFrame(image, 3))[0], Opaque(PaletteColor(2)));
    }

    void smallerRestoreToBackgroundIsErased()
    {
        TGIFImage image;
        image.ReadGif(MakeGif(6, 1,
                              {FrameSpec{0, 0, 6, 1, 1, {}, 1}, FrameSpec{2, 0, 1, 1, 2, {}, 2},
                               FrameSpec{4, 0, 1, 1, 3, {}, 1}}),
                      true);
        const QRgb red = Opaque(PaletteColor(1));
        QCOMPARE(Row(ComposeFrame(image, 1))[2], Opaque(PaletteColor(2)));
        QCOMPARE(Row(ComposeFrame(image, 2)),
                 (std::vector<QRgb>{red, red, Brush(clWindow), red, Opaque(PaletteColor(3)), red}));
    }

    void restoreToPreviousIsLeftOut_data()
    {
        QTest::addColumn<int>("disposal");
        for (int d = 3; d <= 7; ++d)
            QTest::addRow("disposal %d", d) << d;
    }
    void restoreToPreviousIsLeftOut()
    {
        QFETCH(int, disposal);
        TGIFImage image;
        image.ReadGif(MakeGif(3, 1,
                              {FrameSpec{0, 0, 3, 1, 1, {}, 1}, FrameSpec{1, 0, 1, 1, 2, {}, disposal},
                               FrameSpec{2, 0, 1, 1, 3, {}, 1}}),
                      true);
        QCOMPARE(Row(ComposeFrame(image, 1))[1], Opaque(PaletteColor(2)));
        QCOMPARE(Row(ComposeFrame(image, 2))[1], Opaque(PaletteColor(1)));
    }

    void keyOfTheActiveFrameIsTheBrushAndIsHandedBack()
    {
        // Frame 0 has index 0 (white) transparent; its pixels 0 stay brush.
        FrameSpec f{0, 0, 3, 1, 0, {0, 1, 0}, 1, 0};
        TGIFImage image;
        image.ReadGif(MakeGif(4, 1, {f}), true);
        TColor key = clNone;
        const auto row = Row(ComposeFrame(image, 0, &key));
        QCOMPARE(key, TColor(0xFFFFFF));
        QCOMPARE(row, (std::vector<QRgb>{Opaque(PaletteColor(0)), Opaque(PaletteColor(1)), Opaque(PaletteColor(0)),
                                         Opaque(PaletteColor(0))}));
    }

    void backgroundColourIsTheBrushOfATransparentImage()
    {
        // Frame 0 has no key, frame 1 has one; background index 2 (green).
        TGIFImage image;
        image.ReadGif(MakeGif(3, 1, {FrameSpec{0, 0, 1, 1, 1, {}, 1}, FrameSpec{1, 0, 1, 1, 3, {}, 1, 0}}, 2, 2),
                      true);
        TColor key = 0;
        const auto row = Row(ComposeFrame(image, 1, &key));
        QCOMPARE(key, clNone);
        QCOMPARE(row[2], Opaque(PaletteColor(2)));
    }

    void transparencyIsByColourNotByIndex()
    {
        // Entries 4 and 5 hold the same grey? They differ; use the key's
        // colour twice instead: entry 0 is white and entry 255 of an 8-bit
        // table is grey 255, which is white too.
        FrameSpec under{0, 0, 2, 1, 1, {}, 1};
        FrameSpec over{0, 0, 2, 1, 0, {0, 255}, 1, 0};
        TGIFImage image;
        image.ReadGif(MakeGif(2, 1, {under, over}, 8), true);
        const auto row = Row(ComposeFrame(image, 1));
        QCOMPARE(row, (std::vector<QRgb>{Opaque(PaletteColor(1)), Opaque(PaletteColor(1))}));
    }

    void framesOutsideTheScreenAreClipped()
    {
        TGIFImage image;
        image.ReadGif(MakeGif(2, 2, {FrameSpec{1, 1, 5, 5, 1, {}, 1}}), true);
        const QImage picture = ComposeFrame(image, 0);
        QCOMPARE(picture.size(), QSize(2, 2));
        QCOMPARE(picture.pixel(1, 1) | 0xFF000000u, Opaque(PaletteColor(1)));
    }

    void hugeLogicalScreenIsRefused()
    {
        TGIFImage image;
        image.ReadGif(MakeGif(9000, 9000, {FrameSpec{}}), true);
        try {
            ComposeFrame(image, 0);
            QFAIL("no error");
        } catch (const EInvalidGraphicOperation &e) {
            QVERIFY(QString(e.what()).contains("too large"));
        }
    }

    void emptyImageComposesNothing()
    {
        TGIFImage image;
        QVERIFY(ComposeFrame(image, 0).isNull());
    }

    void keyedStretchScalesAndLeavesOutTheKey()
    {
        QImage source(2, 1, QImage::Format_Indexed8);
        source.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
        source.setPixel(0, 0, 0);
        source.setPixel(1, 0, 1);
        QImage dest(4, 2, QImage::Format_RGB32);
        dest.fill(qRgb(0, 255, 0));
        {
            QPainter painter(&dest);
            KeyedStretch(painter, QRect(0, 0, 4, 2), source, QRect(), RGBToColor(QColor(255, 0, 0)));
        }
        QCOMPARE(dest.pixel(0, 0) | 0xFF000000u, qRgb(0, 255, 0));
        QCOMPARE(dest.pixel(1, 1) | 0xFF000000u, qRgb(0, 255, 0));
        QCOMPARE(dest.pixel(2, 0) | 0xFF000000u, qRgb(0, 0, 255));
        QCOMPARE(dest.pixel(3, 1) | 0xFF000000u, qRgb(0, 0, 255));
        {
            QPainter painter(&dest);
            KeyedStretch(painter, QRect(0, 0, 0, 0), source, QRect(), clNone); // own size, no key
        }
        QCOMPARE(dest.pixel(0, 0) | 0xFF000000u, qRgb(255, 0, 0));
        QCOMPARE(dest.pixel(0, 1) | 0xFF000000u, qRgb(0, 255, 0));
    }
};

QTEST_MAIN(TestComposeFrame)
#include "tst_composeframe.moc"
