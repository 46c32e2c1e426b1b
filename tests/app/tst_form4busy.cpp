// The main window while a split runs: it repaints, Help, About and Exit
// work, and nothing can start a second run inside the first.
#include "apptest.h"
#include "recordingplatform.h"

#include "app/taboutbox.h"
#include "app/tform4.h"
#include "platform/fakeplatform.h"

#include <QDialog>
#include <QTemporaryDir>
#include <QTimer>

using namespace darvolt;

class tst_Form4Busy : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    enum Fault { WriteFails, ScriptFails, FileManagerFails, Spanning };

    QString path(const QString &name) const { return dir.filePath(name); }

    struct Bench {
        explicit Bench(const QString &drive, const QString &file) : platform(drive.toStdString()), form(&platform)
        {
            form.SetArguments({file});
            form.RunOptions().blockSize = 1024;
            form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
            form.show();
            if (!QTest::qWaitForWindowActive(&form))
                qWarning("window not active");
            QTest::mouseClick(form.Controls().RadioButton2, Qt::LeftButton);
            form.Controls().Edit2->setText(QStringLiteral("16"));
        }
        RecordingPlatform platform;
        TForm4 form;
    };

    QString source(const QString &folder, const QByteArray &data)
    {
        QDir().mkpath(path(folder));
        const QString file = path(folder + QStringLiteral("/data.bin"));
        if (!WriteFile(file, data))
            qFatal("cannot write the source");
        return file;
    }

    // The program's own loop until something ends it; 2 when only the
    // watchdog did, long after the work here should have been over.
    static int runProgramLoop()
    {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        watchdog.start(60000);
        return QCoreApplication::exec();
    }

    static QByteArray joined(const QString &folder, int parts)
    {
        QByteArray all;
        for (int i = 0; i < parts; ++i)
            all += ReadFile(folder + QStringLiteral("/data.bin.!%1").arg(i, 2, 10, QLatin1Char('0')));
        return all;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void dropsDuringARunAreIgnored()
    {
        const QByteArray data = PatternBytes(60000);
        const QString file = source(QStringLiteral("drop"), data);
        const QString other = source(QStringLiteral("other"), PatternBytes(9000));
        Bench bench(path("A"), file);
        const Ui::TForm4 &ui = bench.form.Controls();
        bool dropped = false;
        bool splitEnabledAfterDrop = true;
        QTimer pump;
        connect(&pump, &QTimer::timeout, this, [&] {
            if (!bench.form.Running() || dropped)
                return;
            dropped = true;
            DropFilesOn(ui.Label2, {other});
            splitEnabledAfterDrop = ui.FlatSpeedButton1->isEnabled();
            // A click that reaches the button anyway starts nothing.
            bench.form.FlatSpeedButton1Click(ui.FlatSpeedButton1);
        });
        pump.start(0);
        QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
        pump.stop();
        QVERIFY(dropped);
        QVERIFY(!splitEnabledAfterDrop);
        QCOMPARE(ui.FilenameEdit1->text(), file);
        QCOMPARE(ui.Label5->text(), QStringLiteral("59 kb"));
        QCOMPARE(joined(path("drop/DATA_PARTS"), 4), data);
        QVERIFY(!QFileInfo::exists(path("other/DATA_PARTS")));
        QCOMPARE(bench.platform.fileManagerFolders.size(), std::size_t(1));
    }

    void helpAboutAndExitWorkWhileSplitting()
    {
        const QByteArray data = PatternBytes(60000, 3);
        const QString file = source(QStringLiteral("busy"), data);
        const QString manual = path("darvolt.html");
        QVERIFY(WriteFile(manual, "<html></html>"));
        DesktopRecorder desktop;
        DialogRecorder dialogs;
        Bench bench(path("A"), file);
        Application()->SetHelpFile(manual);
        const Ui::TForm4 &ui = bench.form.Controls();

        int step = 0;
        int valueWhenAboutOpened = -1;
        int valueWhenAboutClosed = -1;
        bool aboutWasModal = false;
        bool exitKeptWindow = false;
        QTimer pump;
        connect(&pump, &QTimer::timeout, this, [&] {
            if (!bench.form.Running())
                return;
            switch (step++) {
            case 0:
                QTest::mouseClick(ui.FlatSpeedButton2, Qt::LeftButton);
                break;
            case 1:
                // The box runs its own loop; the run waits for it.
                QTimer::singleShot(0, this, [&] {
                    auto *box = qobject_cast<TAboutBox *>(QApplication::activeModalWidget());
                    aboutWasModal = box != nullptr;
                    valueWhenAboutOpened = ui.ProgressBar1->value();
                    if (box)
                        QTest::keyClick(box, Qt::Key_Return);
                });
                QTest::mouseClick(ui.FlatSpeedButton3, Qt::LeftButton);
                valueWhenAboutClosed = ui.ProgressBar1->value();
                break;
            case 2:
                QTest::mouseClick(ui.FlatSpeedButton4, Qt::LeftButton);
                exitKeptWindow = bench.form.isVisible() && bench.form.ExitRequested();
                break;
            default:
                break;
            }
        });
        pump.start(0);
        QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
        pump.stop();

        QVERIFY(step > 3); // the run went on after Exit
        QCOMPARE(desktop.help.size(), 1);
        QCOMPARE(desktop.help.first(), QUrl::fromLocalFile(manual));
        QVERIFY(aboutWasModal);
        QCOMPARE(valueWhenAboutClosed, valueWhenAboutOpened);
        QVERIFY(exitKeptWindow);
        QVERIFY(dialogs.shown.empty());
        // The run that was going on finished its work.
        QCOMPARE(joined(path("busy/DATA_PARTS"), 4), data);
        QVERIFY(QFileInfo::exists(path("busy/DATA_PARTS/MERGE.BAT")));
        QVERIFY(bench.form.findChildren<TAboutBox *>().isEmpty());
    }

    void exitDuringARunEndsTheProgramOnceTheRunIsOver()
    {
        const QByteArray data = PatternBytes(50000, 5);
        const QString file = source(QStringLiteral("quit"), data);
        Bench bench(path("A"), file);
        const Ui::TForm4 &ui = bench.form.Controls();
        bool exitClicked = false;
        QTimer pump;
        connect(&pump, &QTimer::timeout, this, [&] {
            if (bench.form.Running() && !exitClicked) {
                exitClicked = true;
                QTest::mouseClick(ui.FlatSpeedButton4, Qt::LeftButton);
            }
        });
        pump.start(0);
        // The program's own loop, with the Split press as its first event.
        QTimer::singleShot(0, this, [&] { QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton); });
        const int status = runProgramLoop();
        pump.stop();
        QVERIFY(exitClicked);
        QCOMPARE(status, 0);
        QVERIFY(!bench.form.isVisible());
        QCOMPARE(joined(path("quit/DATA_PARTS"), 4), data);
        QVERIFY(QFileInfo::exists(path("quit/DATA_PARTS/MERGE.BAT")));
    }

    // The run's dialogs are the real ones here, answered the way a user
    // would, inside the program's own loop.
    void everyDialogOfARunWorksAfterExit_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("titlesAfterExit");
        QTest::addColumn<int>("fileManagerLaunches");
        QTest::newRow("error") << int(WriteFails) << QStringList{"Error"} << 0;
        QTest::newRow("plain") << int(ScriptFails) << QStringList{"Darvolt"} << 1;
        QTest::newRow("information") << int(FileManagerFails) << QStringList{"Information"} << 1;
        QTest::newRow("prompt") << int(Spanning) << QStringList{"Darvolt", "Information"} << 0;
    }
    void everyDialogOfARunWorksAfterExit()
    {
        QFETCH(int, fault);
        QFETCH(QStringList, titlesAfterExit);
        QFETCH(int, fileManagerLaunches);
        darvolt::FakePlatform platform("/media/floppy0");
        platform.addFile("/data/report.doc", PatternBytes(fault == Spanning ? 2000000 : 9000).toStdString());
        if (fault == WriteFails)
            platform.failCall(darvolt::FakePlatform::Operation::Write, 4, darvolt::error::DeviceError);
        if (fault == ScriptFails)
            platform.failFileCall("/data/REPORT_PARTS/MERGE.BAT", darvolt::FakePlatform::Operation::Write, 1,
                                  darvolt::error::DiskFull);
        if (fault == FileManagerFails)
            platform.failCall(darvolt::FakePlatform::Operation::OpenFileManager, 1, darvolt::error::FileNotFound);
        platform.insertMedia({darvolt::FakePlatform::Medium{}, darvolt::FakePlatform::Medium{}});
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        form.RunOptions().blockSize = 1024;
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const Ui::TForm4 &ui = form.Controls();
        if (fault == Spanning) {
            QTest::mouseClick(ui.RadioButton3, Qt::LeftButton);
        } else {
            QTest::mouseClick(ui.RadioButton2, Qt::LeftButton);
            ui.Edit2->setText(QStringLiteral("2"));
        }

        QStringList titlesAfterExit_;
        bool windowUpAtEveryDialog = true;
        int prompts = 0;
        bool exitClicked = false;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!box) {
                if (form.Running() && !exitClicked) {
                    exitClicked = true;
                    QTest::mouseClick(ui.FlatSpeedButton4, Qt::LeftButton);
                }
                return;
            }
            if (!box->isVisible())
                return;
            if (exitClicked)
                titlesAfterExit_ << box->windowTitle();
            windowUpAtEveryDialog = windowUpAtEveryDialog && form.isVisible();
            if (fault == Spanning && box->windowTitle() == QLatin1String("Darvolt") && prompts++ > 0)
                platform.changeDiskette();
            QTest::keyClick(box, Qt::Key_Return);
        });
        user.start(0);
        QTimer::singleShot(0, this, [&] { QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton); });
        const int status = runProgramLoop();
        user.stop();

        QCOMPARE(status, 0);
        QCOMPARE(titlesAfterExit_, titlesAfterExit);
        QVERIFY(windowUpAtEveryDialog);
        QVERIFY(!form.isVisible()); // and then the program ended
        QCOMPARE(int(platform.fileManagerLaunches().size()), fileManagerLaunches);
        if (fault == Spanning)
            QVERIFY(platform.diskette(1).count("MERGE.BAT") == 1);
    }

    void theWindowRepaintsDuringARun()
    {
        const QString file = source(QStringLiteral("paint"), PatternBytes(40000));
        Bench bench(path("A"), file);
        const Ui::TForm4 &ui = bench.form.Controls();
        // What the status bar shows on screen while the parts are written.
        QStringList painted;
        QTimer pump;
        connect(&pump, &QTimer::timeout, this, [&] {
            if (!bench.form.Running())
                return;
            const QString text = ui.StatusBar1->SimpleText();
            if (painted.isEmpty() || painted.last() != text) {
                painted << text;
                const QByteArray dir = qgetenv("DARVOLT_RENDER_DIR");
                if (!dir.isEmpty() && text.endsWith(QLatin1String("!01")))
                    bench.form.RenderWindow().save(QString::fromLocal8Bit(dir) + QStringLiteral("/tform4-running.png"));
            }
        });
        pump.start(0);
        QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
        pump.stop();
        QVERIFY(painted.contains(QStringLiteral("Writing: data.bin.!01")));
        QVERIFY(painted.contains(QStringLiteral("Writing: data.bin.!02")));
        QCOMPARE(ui.StatusBar1->SimpleText(), QStringLiteral("Simple is beautiful..."));
    }

    void progressFitsTheBarForAnySize_data()
    {
        QTest::addColumn<qint64>("maximum");
        QTest::addColumn<qint64>("position");
        QTest::addColumn<int>("barMaximum");
        QTest::addColumn<int>("barValue");
        QTest::newRow("empty range") << qint64(0) << qint64(0) << 1 << 0;
        QTest::newRow("small") << qint64(58) << qint64(16) << 58 << 16;
        QTest::newRow("position past the end") << qint64(10) << qint64(12) << 10 << 10;
        QTest::newRow("5 TiB in KB") << (qint64(5) << 30) << (qint64(5) << 29) << 1789569706 << 894784853;
    }
    void progressFitsTheBarForAnySize()
    {
        QFETCH(qint64, maximum);
        QFETCH(qint64, position);
        QFETCH(int, barMaximum);
        QFETCH(int, barValue);
        const TForm4::TBarSetting setting = TForm4::ProgressBarSetting(maximum, position);
        QCOMPARE(setting.maximum, barMaximum);
        QCOMPARE(setting.value, barValue);
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Busy)
#include "tst_form4busy.moc"
