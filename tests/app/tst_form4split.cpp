// The Split button through the real window and the real engine: the checks,
// the window during a run and after it, failures, spanning with a scripted
// drive, and a window that stays usable while it works.
#include "apptest.h"
#include "recordingplatform.h"

#include "app/mediumdialog.h"
#include "app/taboutbox.h"
#include "app/tform4.h"
#include "platform/fakeplatform.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

using namespace darvolt;

namespace {

// What the window looked like at one moment of a run.
struct Snapshot {
    bool progressVisible = false;
    bool splitEnabled = false;
    bool fieldEnabled = false;
    bool radiosEnabled = false;
    bool edit2Enabled = false;
    QString status;
};

Snapshot snapshot(const TForm4 &form)
{
    const Ui::TForm4 &ui = form.Controls();
    return {ui.ProgressBar1->isVisible(), ui.FlatSpeedButton1->isEnabled(), ui.FilenameEdit1->isEnabled(),
            ui.RadioButton1->isEnabled() || ui.RadioButton2->isEnabled() || ui.RadioButton3->isEnabled(),
            ui.Edit2->isEnabled(), ui.StatusBar1->SimpleText()};
}

// Runs a function on every pass of the message pump while it is installed.
class EveryPump
{
public:
    explicit EveryPump(std::function<void()> step)
    {
        QObject::connect(&m_timer, &QTimer::timeout, std::move(step));
        m_timer.start(0);
    }

private:
    QTimer m_timer;
};

} // namespace

class tst_Form4Split : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    TForm4 *m_form = nullptr;
    QString statusOf(const TMessageDialogRequest &) const { return m_form->Controls().StatusBar1->SimpleText(); }

    QString path(const QString &name) const { return dir.filePath(name); }

    // A window on a fresh folder, set to pump at every block of 1 KB.
    struct Bench {
        explicit Bench(const QString &drive) : platform(drive.toStdString()), form(&platform)
        {
            form.SetArguments({});
            form.RunOptions().blockSize = 1024;
            form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
            form.show();
            if (!QTest::qWaitForWindowActive(&form))
                qWarning("window not active");
        }
        RecordingPlatform platform;
        TForm4 form;
    };

    void chooseCustom(TForm4 &form, const QString &kb)
    {
        QTest::mouseClick(form.Controls().RadioButton2, Qt::LeftButton);
        form.Controls().Edit2->setText(kb);
    }

    static QByteArray joined(const QString &folder, const QString &name, int parts)
    {
        QByteArray all;
        for (int i = 0; i < parts; ++i)
            all += ReadFile(folder + QStringLiteral("/%1.!%2").arg(name).arg(i, 2, 10, QLatin1Char('0')));
        return all;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void aRejectedCustomSizeSelectsTheFieldAndShowsNothing_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text : {"abc", "0", "-5", "100 ", "", "$"})
            QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
    }
    void aRejectedCustomSizeSelectsTheFieldAndShowsNothing()
    {
        QFETCH(QString, text);
        const QString file = path("reject/source.bin");
        QDir().mkpath(path("reject"));
        QVERIFY(WriteFile(file, PatternBytes(5000)));
        DialogRecorder dialogs;
        Bench bench(path("A"));
        bench.form.Controls().FilenameEdit1->setText(file);
        chooseCustom(bench.form, text);
        bench.form.Controls().FilenameEdit1->setFocus();
        QTest::mouseClick(bench.form.Controls().FlatSpeedButton1, Qt::LeftButton);
        QVERIFY(dialogs.shown.empty());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(bench.form.Controls().Edit2));
        QCOMPARE(bench.form.Controls().Edit2->selectedText(), text);
        QVERIFY(!QFileInfo::exists(path("reject/SOURCE_PARTS")));
        QVERIFY(!bench.form.Controls().ProgressBar1->isVisible());
    }

    void aPartSizeNotBelowTheSourceSizeIsRefused_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("mode"); // 1 standard, 2 custom 3 KB, 3 spanning
        QTest::newRow("standard, small file") << qint64(1000) << 1;
        QTest::newRow("standard, exactly one diskette") << qint64(1457664) << 1;
        QTest::newRow("custom, equal size") << qint64(3072) << 2;
        QTest::newRow("spanning, empty file") << qint64(0) << 3;
    }
    void aPartSizeNotBelowTheSourceSizeIsRefused()
    {
        QFETCH(qint64, size);
        QFETCH(int, mode);
        const QString file = path("big/source.bin");
        QDir().mkpath(path("big"));
        QVERIFY(WriteFile(file, PatternBytes(size)));
        DialogRecorder dialogs;
        Bench bench(path("A"));
        bench.form.Controls().FilenameEdit1->setText(file);
        if (mode == 2)
            chooseCustom(bench.form, QStringLiteral("3"));
        if (mode == 3)
            QTest::mouseClick(bench.form.Controls().RadioButton3, Qt::LeftButton);
        QTest::mouseClick(bench.form.Controls().FlatSpeedButton1, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), std::size_t(1));
        QCOMPARE(dialogs.shown[0].kind, TMsgDlgKind::Error);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Error"));
        QCOMPARE(dialogs.shown[0].text,
                 QStringLiteral("The size selected for partial files MUST be smaller than the source file."));
        QVERIFY(!QFileInfo::exists(path("big/SOURCE_PARTS")));
        QVERIFY(bench.form.Controls().FlatSpeedButton1->isEnabled());
    }

    void aFolderSplitShowsItsProgressAndRestoresTheWindow()
    {
        QDir().mkpath(path("ok"));
        const QString file = path("ok/report.doc");
        const QByteArray data = PatternBytes(60000);
        QVERIFY(WriteFile(file, data));
        DialogRecorder dialogs;
        Bench bench(path("A"));
        const Ui::TForm4 &ui = bench.form.Controls();
        ui.StatusBar1->setSimpleText(QStringLiteral("Ready when you are"));
        ui.FilenameEdit1->setText(file);
        chooseCustom(bench.form, QStringLiteral("16"));

        std::vector<Snapshot> during;
        int maximum = -1;
        {
            EveryPump watch([&] {
                if (bench.form.Running()) {
                    during.push_back(snapshot(bench.form));
                    maximum = ui.ProgressBar1->maximum();
                }
            });
            QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
        }
        QVERIFY(dialogs.shown.empty());
        QVERIFY(!during.empty());
        QStringList statuses;
        for (const Snapshot &s : during) {
            QVERIFY(s.progressVisible);
            QVERIFY(!s.splitEnabled && !s.fieldEnabled && !s.radiosEnabled);
            QVERIFY(s.edit2Enabled); // stays usable
            if (statuses.isEmpty() || statuses.last() != s.status)
                statuses << s.status;
        }
        QVERIFY(statuses.contains(QStringLiteral("Writing: report.doc.!00")));
        QVERIFY(statuses.contains(QStringLiteral("Writing: report.doc.!03")));
        QCOMPARE(maximum, 58); // whole KB of the source
        // The parts rejoin into the source; the folder opens in the file
        // manager; the window is as it was.
        const QString folder = path("ok/REPORT_PARTS");
        QCOMPARE(joined(folder, QStringLiteral("report.doc"), 4), data);
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/MERGE.BAT")));
        QCOMPARE(bench.platform.fileManagerFolders, std::vector<std::string>{folder.toStdString()});
        const Snapshot after = snapshot(bench.form);
        QVERIFY(!after.progressVisible);
        QVERIFY(after.splitEnabled && after.fieldEnabled && after.radiosEnabled);
        QCOMPARE(after.status, QStringLiteral("Ready when you are"));
        QVERIFY(!bench.form.Running());
    }

    void aFailingSplitRestoresTheWindowToo_data()
    {
        QTest::addColumn<bool>("otherSet"); // else the second write fails
        QTest::addColumn<QString>("box");
        QTest::newRow("a write fails") << false << QStringLiteral("    Error writing file. Split execution failed.    ");
        QTest::newRow("the parts folder holds another file's parts")
            << true
            << QStringLiteral("The folder /data/REPORT_PARTS already holds the parts of report.pdf; splitting report.doc "
                              "there would replace their MERGE.BAT and merge.sh. Move them away first, or give this "
                              "split a folder of its own (darvolt-split -d FOLDER). Splitting file canceled");
    }

    void aFailingSplitRestoresTheWindowToo()
    {
        QFETCH(bool, otherSet);
        QFETCH(QString, box);
        darvolt::FakePlatform platform;
        platform.addFile("/data/report.doc", std::string(5000, 'r'));
        if (otherSet)
            platform.addFile("/data/REPORT_PARTS/report.pdf.!00", "a part of another file");
        else
            platform.failCall(darvolt::FakePlatform::Operation::Write, 2, darvolt::error::DeviceError);
        DialogRecorder dialogs;
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        form.RunOptions().blockSize = 1024;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        chooseCustom(form, QStringLiteral("2"));
        QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        QCOMPARE(dialogs.texts(TMsgDlgKind::Error), QStringList{box});
        const Snapshot after = snapshot(form);
        QVERIFY(!after.progressVisible);
        QVERIFY(after.splitEnabled && after.fieldEnabled && after.radiosEnabled);
        QCOMPARE(after.status, QStringLiteral("Simple is beautiful..."));
        QCOMPARE(platform.openFiles(), 0);
    }

    void aSourceGoneSinceItWasChosenIsReported()
    {
        QDir().mkpath(path("gone"));
        const QString file = path("gone/vanish.bin");
        QVERIFY(WriteFile(file, PatternBytes(4000)));
        DialogRecorder dialogs;
        Bench bench(path("A"));
        bench.form.Controls().FilenameEdit1->setText(file);
        QVERIFY(QFile::remove(file));
        chooseCustom(bench.form, QStringLiteral("1"));
        QTest::mouseClick(bench.form.Controls().FlatSpeedButton1, Qt::LeftButton);
        // The temporary folder tells cases apart: the path is named as it is.
        QCOMPARE(dialogs.texts(TMsgDlgKind::Error), QStringList{QStringLiteral("File %1 not found").arg(file)});
        QVERIFY(!bench.form.Controls().ProgressBar1->isVisible());
        QVERIFY(bench.form.Controls().FilenameEdit1->isEnabled());
    }

    void spanningAsksForEachDisketteOfAScriptedDrive()
    {
        darvolt::FakePlatform platform("/media/floppy0");
        const std::string source = PatternBytes(2000000).toStdString();
        platform.addFile("/data/report.doc", source);
        platform.insertMedia({darvolt::FakePlatform::Medium{}, darvolt::FakePlatform::Medium{}});
        DialogRecorder dialogs;
        int prompts = 0;
        dialogs.promptAnswer = [&](const TMessageDialogRequest &) {
            if (prompts++ > 0)
                platform.changeDiskette(); // the user puts in the next one
            return mrOk;
        };
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.Controls().RadioButton3, Qt::LeftButton);
        QCOMPARE(form.Controls().Edit1->text(), QStringLiteral("/media/floppy0/"));
        QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);

        QCOMPARE(dialogs.shown.size(), std::size_t(3));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(dialogs.shown[i].kind, TMsgDlgKind::Prompt);
            QCOMPARE(dialogs.shown[i].title, QStringLiteral("Darvolt"));
            QCOMPARE(dialogs.shown[i].text,
                     QStringLiteral("       Insert diskette number %1 into the drive        ").arg(i + 1));
        }
        QCOMPARE(dialogs.shown[2].kind, TMsgDlgKind::Information);
        QCOMPARE(dialogs.shown[2].title, QStringLiteral("Information"));
        QCOMPARE(dialogs.shown[2].text,
                 QStringLiteral("File REPORT.DOC spanned. MERGE.BAT placed on the last diskette"));
        const auto first = platform.diskette(0), second = platform.diskette(1);
        QCOMPARE(first.at("report.doc.!00").size(), std::size_t(1457664));
        QCOMPARE(second.at("report.doc.!01").size(), std::size_t(542336));
        QCOMPARE(first.at("report.doc.!00") + second.at("report.doc.!01"), source);
        QVERIFY(second.count("MERGE.BAT") == 1);
        QVERIFY(platform.fileManagerLaunches().empty());
        QVERIFY(!form.Controls().ProgressBar1->isVisible());
    }

    void severalSticksAreListedAndTheChosenOneUnmountedWhenDone()
    {
        using Medium = darvolt::FakePlatform::Medium;
        darvolt::FakePlatform platform("/media/floppy0");
        platform.addFile("/data/report.doc", std::string(3000, 's'));
        Medium card, stick;
        card.label = QStringLiteral("CARD").toStdString();
        card.folder = "/media/ann/CARD";
        card.withNext = true;
        stick.folder = "/media/ann/B0A1-17F2";
        stick.ejectable = true;
        stick.busyUnmounts = 1;
        platform.insertMedia({card, stick});
        QList<TMediumRow> offered;
        const TMediumChoiceHandler previous = SetMediumChoiceHandler([&](const QString &, const QList<TMediumRow> &rows) {
            offered = rows;
            return 1;
        });
        DialogRecorder dialogs;
        QString statusAtTheEnd;
        dialogs.onShow = [&](const TMessageDialogRequest &request) {
            if (request.kind == TMsgDlgKind::Information)
                statusAtTheEnd = statusOf(request);
        };
        TForm4 form(&platform);
        m_form = &form;
        form.SetArguments({QStringLiteral("/data/report.doc")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.Controls().RadioButton3, Qt::LeftButton);
        QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        SetMediumChoiceHandler(previous);

        QCOMPARE(offered.size(), 2);
        QCOMPARE(offered[0].label, QStringLiteral("CARD"));
        QCOMPARE(offered[0].size, QStringLiteral("1.3 MB"));
        QCOMPARE(offered[0].folder, QStringLiteral("/media/ann/CARD"));
        QCOMPARE(offered[1].label, QStringLiteral("(no label)"));
        QCOMPARE(offered[1].folder, QStringLiteral("/media/ann/B0A1-17F2"));
        QCOMPARE(platform.diskette(1).at("report.doc.!00"), std::string(3000, 's'));
        // Busy once: asked with OK to try again, then unmounted.
        QCOMPARE(dialogs.shown.size(), std::size_t(3));
        QCOMPARE(dialogs.shown[1].kind, TMsgDlgKind::Prompt);
        QVERIFY(dialogs.shown[1].text.startsWith(
            QStringLiteral("The medium /media/ann/B0A1-17F2 cannot be unmounted: target is busy.")));
        QCOMPARE(statusAtTheEnd, QStringLiteral("The medium /media/ann/B0A1-17F2 can be removed now"));
        QCOMPARE(platform.unmounts(1), 1);

        // The list itself: every medium a row, the first one chosen.
        TMediumDialog list(QStringLiteral("Darvolt"), QStringLiteral("Which one?"), offered);
        QCOMPARE(list.List()->topLevelItemCount(), 2);
        QCOMPARE(list.List()->topLevelItem(1)->text(2), QStringLiteral("/media/ann/B0A1-17F2"));
        QCOMPARE(list.Chosen(), 0);
        list.List()->setCurrentItem(list.List()->topLevelItem(1));
        QCOMPARE(list.Chosen(), 1);
    }

    void quickAcceleratorsAndDigitsSplitInTheTypedSize()
    {
        darvolt::FakePlatform platform;
        platform.addFile("/data/report.doc", std::string(2100000, 'q'));
        DialogRecorder dialogs;
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // Every key goes where the focus is at that moment, with no time for
        // anything to happen in between, as from a fast typist or a tool.
        const auto type = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };
        type(Qt::Key_C, Qt::AltModifier);
        for (const Qt::Key digit : {Qt::Key_1, Qt::Key_0, Qt::Key_0, Qt::Key_0})
            type(digit);
        type(Qt::Key_S, Qt::AltModifier);
        QCOMPARE(form.Controls().Edit2->text(), QStringLiteral("1000"));
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(platform.contents("/data/REPORT_PARTS/report.doc.!00").size(), std::size_t(1000 * 1024));
        QCOMPARE(platform.contents("/data/REPORT_PARTS/report.doc.!02").size(), std::size_t(2100000 - 2048000));
    }

    // "Parts folder..." sends the parts where darvolt-split's --directory
    // would; "Beside the file" brings NAME_PARTS back.
    void thePartsFolderOfTheMenuTakesTheParts()
    {
        QDir().mkpath(path("elsewhere/source"));
        const QString file = path("elsewhere/source/data.bin");
        const QByteArray data = PatternBytes(40000, 7);
        QVERIFY(WriteFile(file, data));
        const QString target = path("elsewhere/chosen");
        DialogRecorder dialogs;
        FileDialogScript chooser(target + "/");
        Bench bench(path("A"));
        TForm4 &form = bench.form;
        form.Controls().FilenameEdit1->setText(file);
        const auto item = [&form](const char *name) {
            return form.SystemMenu()->findChild<QAction *>(QLatin1String(name));
        };
        item("PartsFolder")->trigger();
        QTRY_COMPARE(form.Controls().Edit1->text(), target);
        QVERIFY(item("PartsFolder")->isChecked() && !item("BesideTheFile")->isChecked());
        chooseCustom(form, "16");
        QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        QVERIFY(dialogs.shown.empty());
        QCOMPARE(joined(target, "data.bin", 3), data);
        QVERIFY(QFileInfo::exists(target + "/MERGE.BAT"));
        QVERIFY(!QFileInfo::exists(path("elsewhere/source/DATA_PARTS")));
        item("BesideTheFile")->trigger();
        QCOMPARE(form.Controls().Edit1->text(), path("elsewhere/source/DATA_PARTS"));
        QCOMPARE(chooser.title, QStringLiteral("Parts folder"));
    }

    void cancelAtTheFirstDisketteEndsQuietly()
    {
        darvolt::FakePlatform platform("/media/floppy0");
        platform.addFile("/data/report.doc", std::string(3000, 'c'));
        platform.insertMedia({darvolt::FakePlatform::Medium{}});
        DialogRecorder dialogs;
        dialogs.answers = {mrCancel};
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.Controls().RadioButton3, Qt::LeftButton);
        QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), std::size_t(1));
        QVERIFY(platform.diskette(0).empty());
        QVERIFY(form.Controls().FlatSpeedButton1->isEnabled());
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Split)
#include "tst_form4split.moc"
