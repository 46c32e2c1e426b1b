// The main window as it comes from its layout: every control at its place
// with its caption, hint, font and first state, and every caption fitting
// its rectangle with the substituted font.
#include "apptest.h"

#include "app/statusbar.h"
#include "app/tform4.h"
#include "widgets/gifanimator.h"
#include "gif/gifimage.h"
#include "platform/fakeplatform.h"
#include "widgets/flatspeedbutton.h"
#include "widgets/gradientcaption.h"
#include "widgets/propanel.h"
#include "widgets/prourlimage.h"
#include "widgets/windowhook.h"

#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

using namespace darvolt;

class tst_Form4Layout : public QObject
{
    Q_OBJECT

private:
    darvolt::FakePlatform platform;

    QWidget *control(TForm4 &form, const QString &name)
    {
        return form.findChild<QWidget *>(name);
    }

    static QString captionOf(QWidget *w)
    {
        if (auto *label = qobject_cast<QLabel *>(w))
            return label->text();
        if (auto *radio = qobject_cast<QRadioButton *>(w))
            return radio->text();
        if (auto *button = qobject_cast<TFlatSpeedButton *>(w))
            return button->Caption();
        if (auto *bar = qobject_cast<TStatusBar *>(w))
            return bar->SimpleText();
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            return edit->text();
        return {};
    }

private slots:
    void controlsStandWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("enabled");

        const QString window = QStringLiteral("Client"); // the form's client area
        auto row = [](const char *name, const QString &parent, QRect place, const char *caption, const char *hint,
                      bool enabled = true) {
            QTest::newRow(name) << parent << place << QString::fromUtf8(caption) << QString::fromUtf8(hint) << enabled;
        };
        row("Panel1", window, {0, 41, 313, 90}, "", "");
        row("Label1", "Panel1", {9, 4, 52, 13}, "&File to split:", "");
        row("Label2", "Panel1", {8, 45, 78, 13}, "Output directory:", "");
        row("Label4", "Panel1", {179, 4, 26, 13}, "Size: ", "");
        row("Label5", "Panel1", {207, 4, 3, 13}, "", "");
        row("ProPanel2", window, {0, 129, 313, 109}, "", "");
        row("Label3", "ProPanel2", {24, 4, 75, 16}, "Parts Size:", "");
        row("RadioButton1", "ProPanel2", {24, 28, 169, 17}, "S&tandard diskette size", "1.38 MB");
        row("RadioButton2", "ProPanel2", {24, 54, 126, 17}, "&Custom size (KB) :", "Size you specify here ->");
        row("Edit2", "ProPanel2", {153, 52, 120, 21}, "", "Enter the size here", false);
        row("RadioButton3", "ProPanel2", {24, 80, 253, 17}, "Span on &diskettes (adjust to free space)",
            "Size depends on free space available");
        row("FilenameEdit1", window, {7, 59, 296, 21}, "", "Select file to split");
        row("Edit1", window, {7, 100, 296, 21}, "", "Partial files destination folder", false);
        row("Panel2", window, {311, 41, 80, 197}, "", "");
        row("FlatSpeedButton1", "Panel2", {8, 4, 64, 40}, "&Split", "Split the selected file into parts", false);
        row("FlatSpeedButton2", "Panel2", {8, 52, 64, 40}, "&Help", "Guess what...");
        row("FlatSpeedButton3", "Panel2", {8, 103, 64, 40}, "&About", "Program information");
        row("FlatSpeedButton4", "Panel2", {8, 152, 64, 40}, "&Exit", "Shutdown Darvolt");
        row("Panel3", window, {0, 0, 391, 41}, "", "");
        row("RxGIFAnimator1", "Panel3", {3, 3, 385, 36}, "", "");
        row("ProUrlImage1", "Panel3", {1, 3, 380, 34}, "", "");
        row("StatusBar1", window, {0, 237, 390, 19}, "Simple is beautiful...", "");
        row("ProgressBar1", window, {222, 239, 164, 16}, "", "");
    }

    void controlsStandWhereTheLayoutPutsThem()
    {
        QFETCH(QString, parent);
        QFETCH(QRect, place);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(bool, enabled);

        TForm4 form(&platform);
        form.SetArguments({});
        QWidget *w = control(form, QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(w);
        QCOMPARE(w->parentWidget()->objectName(), parent);
        if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
            // Labels take the width of their text in the font they got.
            QCOMPARE(w->pos(), place.topLeft());
            QCOMPARE(w->height(), place.height());
            QCOMPARE(w->width(), label->sizeHint().width());
        } else {
            QCOMPARE(w->geometry(), place);
        }
        QCOMPARE(captionOf(w), caption);
        QCOMPARE(w->toolTip(), hint);
        QCOMPARE(w->isEnabled(), enabled);
    }

    void windowHasItsSizeTitleAndButtons()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.Client()->size(), QSize(390, 256));
        QCOMPARE(form.minimumSize(), form.maximumSize()); // not resizable
        QCOMPARE(form.Caption(), QStringLiteral("Darvolt - The File Splitter"));
        QCOMPARE(form.BorderStyle(), bsSingle);
        QCOMPARE(form.BorderIcons(), TBorderIcons(biSystemMenu | biMinimize));
        QVERIFY(!form.Icon().isNull());
        QCOMPARE(form.Client()->font().pixelSize(), 11);
        QCOMPARE(HelpContextOf(form.Controls().FilenameEdit1), 60);
        // Centred on the screen.
        const QRect area = form.screen()->availableGeometry();
        QVERIFY(qAbs(form.geometry().center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(form.geometry().center().y() - area.center().y()) <= 1);
    }

    void controlsStartInTheirFirstState()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const Ui::TForm4 &ui = form.Controls();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ui.FilenameEdit1));
        QVERIFY(ui.RadioButton1->isChecked());
        QVERIFY(!ui.RadioButton2->isChecked() && !ui.RadioButton3->isChecked());
        QVERIFY(!ui.ProgressBar1->isVisible());
        QCOMPARE(ui.ProgressBar1->minimum(), 0);
        QCOMPARE(ui.ProgressBar1->maximum(), 100);
        QCOMPARE(ui.Edit1->focusPolicy(), Qt::NoFocus);
        QCOMPARE(ui.ProPanel2->BorderColor(), TColor(11643148));
        QCOMPARE(ui.ProPanel2->BevelInner(), TProCustomPanel::bvLowered);
        QCOMPARE(ui.Panel3->Color(), TColor(10485760));
        for (TProPanel *panel : {ui.Panel1, ui.Panel2, ui.Panel3})
            QCOMPARE(panel->BevelInner(), TProCustomPanel::bvLowered);
        QVERIFY(ui.StatusBar1->SimplePanel());
        QVERIFY(!ui.StatusBar1->SizeGrip());
        QCOMPARE(ui.FilenameEdit1->DialogTitle(), QStringLiteral("Select file to split"));
        QCOMPARE(ui.Label1->buddy(), static_cast<QWidget *>(ui.FilenameEdit1));
        QCOMPARE(ui.FlatSpeedButton1->NumGlyphs(), 1);
        QCOMPARE(ui.FlatSpeedButton2->NumGlyphs(), 2);
        QCOMPARE(ui.FlatSpeedButton2->GlyphImage().size(), QSize(32, 16));
        QCOMPARE(ui.FlatSpeedButton3->GlyphImage().size(), QSize(16, 16));
        for (TFlatSpeedButton *b : {ui.FlatSpeedButton1, ui.FlatSpeedButton2, ui.FlatSpeedButton3,
                                    ui.FlatSpeedButton4}) {
            QCOMPARE(b->ColorFocused(), clBtnFace);
            QCOMPARE(b->ColorBorder(), clBtnFace);
        }
        QCOMPARE(ui.Label3->font().pixelSize(), 13);
        QVERIFY(ui.Label3->font().bold());
        QCOMPARE(ui.RadioButton1->font().pixelSize(), 13);
    }

    void bannerStripHasItsStoredSettings()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        const Ui::TForm4 &ui = form.Controls();
        const TRxGIFAnimator &banner = *ui.RxGIFAnimator1;
        // The stored picture, stretched into the layout's size rather than
        // fitted to its own.
        QCOMPARE(banner.Image().FrameCount(), 44);
        QCOMPARE(QSize(banner.Image().LogicalWidth(), banner.Image().LogicalHeight()), QSize(393, 40));
        QCOMPARE(banner.size(), QSize(385, 36));
        QVERIFY(banner.Stretch());
        QVERIFY(!banner.Transparent());
        QVERIFY(!banner.ShowHint());
        QVERIFY(!banner.ParentShowHint());
        QVERIFY(!banner.Animate()); // until the window is shown
        QCOMPARE(banner.FrameIndex(), 0);
        QVERIFY(banner.AutoSize());
        QVERIFY(banner.Loop());
        QVERIFY(!banner.Center());
        // The link area: no picture, the product's page, the hand cursor,
        // lying over the banner.
        const TProUrlImage &link = *ui.ProUrlImage1;
        QCOMPARE(link.URL(), QStringLiteral("https://ombrix.example.org/"));
        QCOMPARE(link.Cursor(), crHandPoint);
        QVERIFY(link.Picture().isNull());
        const QObjectList strip = ui.Panel3->children();
        QVERIFY(strip.indexOf(ui.RxGIFAnimator1) >= 0);
        QVERIFY(strip.indexOf(ui.RxGIFAnimator1) < strip.indexOf(ui.ProUrlImage1));
    }

    void gradientCaptionHasItsTitleAndDefaults()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        auto *caption = form.findChild<TRxGradientCaption *>(QStringLiteral("RxGradientCaption1"));
        QVERIFY(caption);
        QCOMPARE(caption, form.RxGradientCaption1);
        QCOMPARE(caption->parent(), &form);
        QCOMPARE(caption->FormCaption(), QStringLiteral("Darvolt - The File Splitter"));
        QVERIFY(caption->Active());
        QCOMPARE(caption->Captions()->Count(), 0);
        QVERIFY(caption->DefaultFont());
        QCOMPARE(caption->FontColor(), clCaptionText);
        QCOMPARE(caption->FontInactiveColor(), clInactiveCaptionText);
        QVERIFY(caption->GradientActive());
        QVERIFY(!caption->GradientInactive());
        QCOMPARE(caption->GradientSteps(), 64);
        QCOMPARE(caption->HideDirection(), TRxGradientCaption::hdLeftToRight);
        QCOMPARE(caption->PopupMenu(), nullptr);
        QCOMPARE(caption->StartColor(), clWindowText);
        // It has hooked the window from the start.
        QVERIFY(caption->IsEffectivelyActive());
        QCOMPARE(caption->Hook()->WinControl(), static_cast<TWinControl *>(&form));
    }

    void disabledFieldsShowGreyTextOnWhite_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("output folder") << QStringLiteral("Edit1");
        QTest::newRow("custom size") << QStringLiteral("Edit2");
    }
    void disabledFieldsShowGreyTextOnWhite()
    {
        QFETCH(QString, name);
        TForm4 form(&platform);
        form.SetArguments({});
        auto *edit = form.findChild<QLineEdit *>(name);
        QVERIFY(edit && !edit->isEnabled());
        edit->setText(QStringLiteral("/home/user/REPORT_PARTS"));
        const QImage face = edit->grab().toImage();
        // The darkest ink is the classic grey; the field around it is white.
        int darkest = 255;
        for (int y = 4; y < face.height() - 4; ++y)
            for (int x = 4; x < face.width() - 4; ++x)
                darkest = std::min(darkest, qGray(face.pixel(x, y)));
        QCOMPARE(edit->palette().color(QPalette::Disabled, QPalette::Text), ColorToRGB(clGrayText));
        QVERIFY2(darkest >= 128 && darkest <= 136, qPrintable(QString::number(darkest)));
        QCOMPARE(face.pixelColor(face.width() - 6, face.height() / 2), ColorToRGB(clWindow));
    }

    void statusBarIsASunkenStripWithoutGrip()
    {
        TStatusBar bar;
        bar.resize(390, 19);
        bar.setSimplePanel(true);
        bar.setSimpleText(QStringLiteral("Simple is beautiful..."));
        bar.setSizeGrip(false);
        QImage face = bar.RenderFace();
        // Shadow along the top and left of the strip, highlight along its
        // bottom and right; the strip starts two pixels down.
        QCOMPARE(face.pixelColor(0, 0), ColorToRGB(clBtnFace));
        QCOMPARE(face.pixelColor(100, 2), ColorToRGB(clBtnShadow));
        QCOMPARE(face.pixelColor(0, 10), ColorToRGB(clBtnShadow));
        QCOMPARE(face.pixelColor(100, 18), ColorToRGB(clBtnHighlight));
        QCOMPARE(face.pixelColor(389, 10), ColorToRGB(clBtnHighlight));
        QVERIFY(bar.TextRect().left() > 0 && bar.TextRect().right() < 389);
        // Some text is drawn inside the text rectangle and nowhere else.
        bool inked = false;
        for (int x = bar.TextRect().left(); x <= bar.TextRect().right() && !inked; ++x)
            for (int y = bar.TextRect().top(); y <= bar.TextRect().bottom() && !inked; ++y)
                inked = face.pixelColor(x, y) == ColorToRGB(clBtnText);
        QVERIFY(inked);
        // With the grip the strip ends short of the corner, which shows the
        // grip's ridges.
        bar.setSizeGrip(true);
        face = bar.RenderFace();
        QVERIFY(bar.TextRect().right() < 389 - 12);
        QCOMPARE(face.pixelColor(389, 4), ColorToRGB(clBtnFace));
        int ridges = 0;
        for (int x = 378; x < 390; ++x)
            ridges += face.pixelColor(x, 18) == ColorToRGB(clBtnShadow);
        QVERIFY(ridges >= 3);
    }

    void tabOrderVisitsTheFieldThenTheSizes()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const Ui::TForm4 &ui = form.Controls();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ui.RadioButton1));
    }

    void captionsFitTheirRectangles()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const Ui::TForm4 &ui = form.Controls();
        for (QLabel *label : {ui.Label1, ui.Label2, ui.Label3, ui.Label4}) {
            const QSize text = label->fontMetrics().size(Qt::TextShowMnemonic, label->text());
            QVERIFY2(text.width() <= label->width() + 2 && text.height() <= label->height() + 3,
                     qPrintable(label->objectName()));
        }
        // A label grown to its text overlaps none of its neighbours.
        for (QLabel *label : {ui.Label1, ui.Label2, ui.Label3, ui.Label4}) {
            for (QObject *sibling : label->parentWidget()->children()) {
                auto *other = qobject_cast<QWidget *>(sibling);
                if (other && other != label && !other->isWindow())
                    QVERIFY2(!label->geometry().intersects(other->geometry()),
                             qPrintable(label->objectName() + QLatin1Char(' ') + other->objectName()));
            }
        }
        for (QRadioButton *radio : {ui.RadioButton1, ui.RadioButton2, ui.RadioButton3}) {
            // The room the style leaves for the caption beside the indicator.
            QStyleOptionButton option;
            option.initFrom(radio);
            option.text = radio->text();
            const QRect room = radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
            const QSize text = radio->fontMetrics().size(Qt::TextShowMnemonic, radio->text());
            QVERIFY2(text.width() <= room.width(), qPrintable(radio->objectName() + QStringLiteral(" %1 > %2").arg(text.width()).arg(room.width())));
            QVERIFY2(text.height() <= room.height() + 1, qPrintable(radio->objectName()));
        }
        for (TFlatSpeedButton *b : {ui.FlatSpeedButton1, ui.FlatSpeedButton2, ui.FlatSpeedButton3,
                                    ui.FlatSpeedButton4}) {
            b->RenderFace();
            QVERIFY2(QRect(QPoint(0, 0), b->size()).contains(b->TextRect()), qPrintable(b->objectName()));
        }
        const QSize status = ui.StatusBar1->fontMetrics().size(0, ui.StatusBar1->SimpleText());
        QVERIFY(status.width() <= ui.StatusBar1->TextRect().width());
        QVERIFY(status.height() <= ui.StatusBar1->TextRect().height() + 2);

        const QImage shot = form.RenderWindow();
        QVERIFY(!shot.isNull());
        if (const QByteArray dir = qgetenv("DARVOLT_RENDER_DIR"); !dir.isEmpty())
            shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/tform4.png"));
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Layout)
#include "tst_form4layout.moc"
