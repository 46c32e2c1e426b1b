// The about box: its layout, its links, and its life as a modal dialog made
// fresh for every showing.
#include "apptest.h"

#include "app/taboutbox.h"
#include "app/tform4.h"
#include "platform/fakeplatform.h"
#include "widgets/prourllabel.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace darvolt;

class tst_AboutBox : public QObject
{
    Q_OBJECT

private:
    darvolt::FakePlatform platform;

    // Runs the check on the box once it is up, then answers it with a key.
    static void whenShown(const std::function<void(TAboutBox *)> &check, Qt::Key answer = Qt::Key_Return)
    {
        QTimer::singleShot(0, [check, answer] {
            auto *box = qobject_cast<TAboutBox *>(QApplication::activeModalWidget());
            if (!box) {
                QFAIL("no about box is up");
                return;
            }
            check(box);
            QTest::keyClick(box, answer);
        });
    }

private slots:
    void controlsStandWhereTheLayoutPutsThem_data()
    {
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("bold");
        auto row = [](const char *name, QRect place, const char *text, int pixels, bool bold = false) {
            QTest::newRow(name) << place << QString::fromUtf8(text) << pixels << bold;
        };
        row("Panel1", {8, 8, 297, 161}, "", 11);
        row("ProgramIcon", {22, 16, 49, 41}, "", 11);
        row("ProductName", {102, 16, 177, 16}, "Darvolt - The File Splitter", 15, true);
        row("Version", {102, 39, 66, 16}, "Version 2.1", 15);
        row("Copyright", {102, 62, 78, 16}, "1999-2003,", 15);
        row("ProUrlLabel1", {187, 61, 92, 16}, "Dan Volterra", 13);
        row("Label1", {24, 101, 64, 16}, "Webpage:", 13);
        row("Label2", {98, 140, 163, 13}, "- a cool thing from the same author", 11);
        row("ProUrlLabel3", {52, 140, 41, 13}, "Ombrix", 11);
        row("ProUrlLabel2", {100, 100, 181, 16}, "https://darvolt.example.org/", 13);
        row("Label3", {30, 140, 15, 13}, "Try", 11);
        row("OKButton", {119, 174, 75, 25}, "OK", 11);
    }
    void controlsStandWhereTheLayoutPutsThem()
    {
        QFETCH(QRect, place);
        QFETCH(QString, text);
        QFETCH(int, pixels);
        QFETCH(bool, bold);
        TAboutBox box;
        QWidget *w = box.findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(w);
        QString shown;
        if (auto *label = qobject_cast<QLabel *>(w))
            shown = label->text();
        else if (auto *link = qobject_cast<TProUrlLabel *>(w))
            shown = link->Caption();
        else if (auto *button = qobject_cast<QPushButton *>(w))
            shown = button->text();
        QCOMPARE(shown, text);
        QCOMPARE(w->pos(), place.topLeft());
        // Link labels also take the height of their text.
        if (auto *link = qobject_cast<TProUrlLabel *>(w))
            QVERIFY(w->height() >= link->fontMetrics().height());
        else
            QCOMPARE(w->height(), place.height());
        // Labels take the width of their text; it must fit in it.
        if (!text.isEmpty() && !qobject_cast<QPushButton *>(w))
            QVERIFY(w->fontMetrics().horizontalAdvance(text) <= w->width() + 1);
        else
            QCOMPARE(w->width(), place.width());
        QCOMPARE(w->font().pixelSize(), pixels);
        QCOMPARE(w->font().bold(), bold);
    }

    void theDialogHasItsFrameAndLinks()
    {
        TAboutBox box;
        const Ui::TAboutBox &ui = box.Controls();
        QCOMPARE(box.Caption(), QStringLiteral("About Darvolt"));
        QCOMPARE(box.Client()->size(), QSize(313, 203));
        QCOMPARE(box.BorderStyle(), bsDialog);
        QCOMPARE(box.BorderIcons(), TBorderIcons());
        QVERIFY(ui.ProUrlLabel1->URL().startsWith(QStringLiteral("mailto:")));
        for (TProUrlLabel *link : {ui.ProUrlLabel2, ui.ProUrlLabel3}) {
            const QUrl url(link->URL());
            QVERIFY(url.isValid() && url.scheme() == QStringLiteral("https"));
        }
        QCOMPARE(ui.ProUrlLabel2->URL(), ui.ProUrlLabel2->Caption());
        for (TProUrlLabel *link : {ui.ProUrlLabel1, ui.ProUrlLabel2, ui.ProUrlLabel3}) {
            QVERIFY(!link->CanHover());
            QVERIFY(link->font().underline());
            QCOMPARE(link->UnvisitedColor(), clBlue);
            QCOMPARE(link->VisitedColor(), clNavy);
            QCOMPARE(link->ActivatedColor(), clRed);
        }
        QVERIFY(ui.OKButton->isDefault());
        QCOMPARE(ui.OKButton->property("ModalResult").toInt(), 1);
        QVERIFY(!ui.ProgramIcon->pixmap().isNull());
        // The line at y 140 reads left to right without overlapping.
        QVERIFY(ui.Label3->geometry().right() < ui.ProUrlLabel3->geometry().left());
        QVERIFY(ui.ProUrlLabel3->geometry().right() < ui.Label2->geometry().left());
        QVERIFY(ui.Copyright->geometry().right() < ui.ProUrlLabel1->geometry().left());
        QVERIFY(ui.Label2->geometry().right() < ui.Panel1->width());

        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QImage shot = box.RenderWindow();
        QVERIFY(!shot.isNull());
        if (const QByteArray dir = qgetenv("DARVOLT_RENDER_DIR"); !dir.isEmpty())
            shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/taboutbox.png"));
    }

    void aboutOpensModallyWithFreshLinksAndClosesOnEnter()
    {
        DesktopRecorder desktop;
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        bool checked = false;
        whenShown([&](TAboutBox *box) {
            checked = true;
            QCOMPARE(box->windowModality(), Qt::ApplicationModal);
            QCOMPARE(box->parentWidget(), static_cast<QWidget *>(&form));
            const QRect area = box->screen()->availableGeometry();
            QVERIFY(qAbs(box->geometry().center().x() - area.center().x()) <= 1);
            QVERIFY(qAbs(box->geometry().center().y() - area.center().y()) <= 1);
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(box->Controls().OKButton));
            TProUrlLabel *mail = box->Controls().ProUrlLabel1;
            QVERIFY(!mail->Visited());
            QTest::mouseClick(mail, Qt::LeftButton);
            QCOMPARE(desktop.links, QStringList{mail->URL()});
            QVERIFY(mail->Visited());
            QCOMPARE(mail->FontColor(), clNavy);
            // The main window takes no files while the box is up.
            QVERIFY(!DropFilesOn(form.Controls().Label2, {QCoreApplication::applicationFilePath()}));
            QVERIFY(form.Controls().FilenameEdit1->text().isEmpty());
            // Escape does nothing: the box is still up.
            QTest::keyClick(box, Qt::Key_Escape);
            QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget *>(box));
        });
        QTest::mouseClick(form.Controls().FlatSpeedButton3, Qt::LeftButton);
        QVERIFY(checked);
        QVERIFY(form.findChildren<TAboutBox *>().isEmpty());
        QVERIFY(!QApplication::activeModalWidget());

        // A new box: the link is blue again.
        bool fresh = false;
        whenShown([&](TAboutBox *box) {
            fresh = !box->Controls().ProUrlLabel1->Visited()
                    && box->Controls().ProUrlLabel1->FontColor() == clBlue;
        });
        QTest::mouseClick(form.Controls().FlatSpeedButton3, Qt::LeftButton);
        QVERIFY(fresh);
    }

    void okAnswersWithResultOne_data()
    {
        QTest::addColumn<int>("way"); // 0 click, 1 Enter, 2 Space
        QTest::newRow("click") << 0;
        QTest::newRow("enter") << 1;
        QTest::newRow("space") << 2;
    }
    void okAnswersWithResultOne()
    {
        QFETCH(int, way);
        TAboutBox box;
        QTimer::singleShot(0, [&box, way] {
            if (way == 0)
                QTest::mouseClick(box.Controls().OKButton, Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(box.Controls().OKButton, Qt::Key_Enter);
            else
                QTest::keyClick(box.Controls().OKButton, Qt::Key_Space);
        });
        QCOMPARE(box.ShowModal(), 1);
        QVERIFY(!box.isVisible());
    }
};

DARVOLT_APP_TEST_MAIN(tst_AboutBox)
#include "tst_aboutbox.moc"
