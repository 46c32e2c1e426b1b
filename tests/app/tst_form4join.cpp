// "Join parts..." in the title band's menu: where it is, and a join through
// the real window and engine, with the file dialog, the dialogs and the
// file manager answered at their seams.
#include "apptest.h"
#include "recordingplatform.h"

#include "app/tform4.h"
#include "platform/posixplatform.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "toolkit/drawtext.h"

#include <QCryptographicHash>
#include <QMenu>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

using namespace darvolt;

namespace {

struct Moment {
    bool progressVisible = false;
    bool controlsEnabled = false;
    bool joinEnabled = false;
    bool bannerStill = false;
    QString status;
};

QStringList menuTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

class tst_Form4Join : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    // Parts of a 5000-byte report.doc in <dir>/<case>/REPORT_PARTS, in 1 KB
    // parts, and recovery data of that percentage.
    QByteArray makeParts(const QString &where, int recovery = 0)
    {
        QDir().mkpath(dir.filePath(where));
        const QByteArray data = PatternBytes(5000, 3);
        WriteFile(dir.filePath(where + "/report.doc"), data);
        darvolt::PosixPlatformOptions options;
        options.fileManagerCommand.clear();
        darvolt::PosixPlatform platform(options);
        RecordingView view;
        darvolt::SplitOptions split;
        split.recoveryPercent = recovery;
        SplitFile(platform, view, {"report.doc", FileNameBytes(dir.filePath(where)) + "/", 1024}, split);
        QFile::remove(dir.filePath(where + "/report.doc"));
        return data;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void theMenuOffersJoinAboveClose()
    {
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        TForm4 form(&platform);
        form.SetArguments({});
        QMenu *menu = form.SystemMenu();
        QVERIFY(menu);
        const QStringList texts = menuTexts(menu);
        QCOMPARE(texts.mid(texts.size() - 5), (QStringList{"Write recovery &data", "&Join parts...", "Parts &folder...",
                                                           "&Beside the file", "&Close\tAlt+F4"}));
    }

    // A letter typed in the open menu must choose one command only.
    void everyMenuCommandHasItsOwnAccelerator()
    {
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        TForm4 form(&platform);
        QSet<QChar> seen;
        for (QAction *action : form.SystemMenu()->actions()) {
            if (action->isSeparator())
                continue;
            const QChar accel = AccelChar(action->text()).toLower();
            QVERIFY2(!accel.isNull(), qPrintable(action->text()));
            QVERIFY2(!seen.contains(accel), qPrintable(action->text()));
            seen << accel;
        }
    }

    // Off at first, then as the user left it, in this window and the next.
    void writeRecoveryDataIsKeptAcrossRuns()
    {
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        QSettings(QStringLiteral("Darvolt"), QStringLiteral("darvolt")).clear();
        for (const bool on : {true, false}) {
            auto item = [](TForm4 &form) {
                return form.SystemMenu()->findChild<QAction *>(QStringLiteral("WriteRecoveryData"));
            };
            TForm4 first(&platform);
            QVERIFY(item(first) && item(first)->isCheckable());
            QCOMPARE(item(first)->isChecked(), !on);
            item(first)->trigger();
            QCOMPARE(first.WriteRecoveryData(), on);
            TForm4 next(&platform);
            QCOMPARE(item(next)->isChecked(), on);
        }
    }

    void splitWritesRecoveryDataWithTheWindowHeld()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("par2")).isEmpty())
            QSKIP("par2 not installed (tools/setup-deps.sh test installs it)");
        QDir().mkpath(dir.filePath("recovered"));
        const QString file = dir.filePath("recovered/report.doc");
        QVERIFY(WriteFile(file, PatternBytes(5000, 4)));
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        TForm4 form(&platform);
        form.SetArguments({file});
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        form.SetWriteRecoveryData(true);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const Ui::TForm4 &ui = form.Controls();
        ui.RadioButton2->click();
        ui.Edit2->setText(QStringLiteral("1"));
        DialogRecorder recorder;
        std::vector<Moment> during;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (form.Running() && ui.StatusBar1->SimpleText() == QStringLiteral("Writing recovery data"))
                during.push_back({ui.ProgressBar1->isVisible(), false, false,
                                  ui.RxGIFAnimator1->FrameIndex() == 33 && !ui.RxGIFAnimator1->Animate(),
                                  ui.StatusBar1->SimpleText()});
        });
        watch.start(0);
        form.FlatSpeedButton1Click(&form);
        watch.stop();
        form.SetWriteRecoveryData(false);
        QCOMPARE(recorder.shown.size(), std::size_t(0));
        QVERIFY(QFile::exists(dir.filePath("recovered/REPORT_PARTS/report.doc.par2")));
        QVERIFY(!during.empty());
        for (const Moment &m : during)
            QVERIFY(m.progressVisible && m.bannerStill);
        QVERIFY(!form.Running() && ui.RxGIFAnimator1->Animate());
    }

    // GNU split's parts do not say what the file was called: the window
    // asks where to save it, and says what it recognised.
    void asksWhereToSaveASetThatDoesNotNameItsFile_data()
    {
        QTest::addColumn<QString>("saveAs"); // empty: the save dialog is cancelled
        QTest::addColumn<QStringList>("dialogs"); // information boxes; %1 is the parts' folder
        // The name the save dialog proposes in the parts' folder: a neutral
        // one, never the first part's name with ".joined".
        QTest::addColumn<QString>("proposed");
        QTest::newRow("saved") << "joined.bin"
                               << QStringList{"File %1/joined.bin joined from 3 parts.\n\nRecognised a GNU split set: "
                                              "3 parts, xaa to xac; no checksum to check them with.\n\nNo checksum "
                                              "file was found for joined.bin: the parts could not be checked."}
                               << "joined";
        QTest::newRow("not saved") << "" << QStringList{} << "joined";
    }

    void asksWhereToSaveASetThatDoesNotNameItsFile()
    {
        QFETCH(QString, saveAs);
        QFETCH(QStringList, dialogs);
        QFETCH(QString, proposed);
        const QString folder = dir.filePath(QStringLiteral("gnu_") + QTest::currentDataTag()).replace(' ', '_');
        QDir().mkpath(folder);
        const QByteArray data = PatternBytes(5000, 7);
        for (const char *name : {"xaa", "xab", "xac"})
            QVERIFY(WriteFile(folder + "/" + name, data.mid(2000 * (name[2] - 'a'), 2000)));
        DialogRecorder recorder;
        FileDialogScript chooser(QStringList{folder + "/xab", saveAs.isEmpty() ? QString() : folder + "/" + saveAs});
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        TForm4 form(&platform);
        form.SetArguments({});
        form.JoinPartsClick(&form);
        QCOMPARE(chooser.titles, (QStringList{"Join parts", "Save the joined file as"}));
        // The parts dialog shows every file at first: GNU split's parts
        // have names of any kind.
        QCOMPARE(chooser.shownFilters.value(0), QStringLiteral("All files (*)"));
        QCOMPARE(chooser.proposed.value(1), folder + "/" + proposed);
        for (QString &text : dialogs)
            text = text.arg(folder);
        QCOMPARE(recorder.texts(TMsgDlgKind::Information), dialogs);
        QCOMPARE(recorder.shown.size(), std::size_t(dialogs.size()));
        QCOMPARE(ReadFile(folder + "/joined.bin") == data, !saveAs.isEmpty());
    }

    // Said in words, with what to do; the digests wait behind Details, and
    // the status bar names the same part as the box.
    void aDamagedPartIsToldInWordsWithItsDigestsBehindDetails()
    {
        makeParts("worded");
        const QString folder = dir.filePath("worded/REPORT_PARTS");
        QVERIFY(WriteFile(folder + "/report.doc.!02", PatternBytes(1024, 99)));
        const QString found = QCryptographicHash::hash(PatternBytes(1024, 99), QCryptographicHash::Sha256).toHex();
        DialogRecorder recorder;
        FileDialogScript chooser(folder + "/report.doc.!00");
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        TForm4 form(&platform);
        form.SetArguments({});
        QString status;
        recorder.onShow = [&](const TMessageDialogRequest &) { status = form.Controls().StatusBar1->SimpleText(); };
        form.JoinPartsClick(&form);
        QCOMPARE(recorder.shown.size(), std::size_t(1));
        const TMessageDialogRequest &box = recorder.shown.front();
        QVERIFY2(box.text.contains("Fetch this part again") && box.text.contains("Write recovery data")
                     && !box.text.contains(found),
                 qPrintable(box.text));
        QVERIFY2(box.details.contains(found), qPrintable(box.details));
        QCOMPARE(status, QStringLiteral("Damaged: report.doc.!02"));
    }

    void joinsWithTheWindowHeldAsForASplit_data()
    {
        QTest::addColumn<QString>("twist");
        QTest::addColumn<int>("answer"); // to the replace prompt
        QTest::addColumn<QStringList>("dialogs"); // kind: text, each beginning so
        QTest::addColumn<bool>("joined");
        const QString done = QStringLiteral("Information: File %1/REPORT_PARTS/report.doc joined from 5 parts");
        QTest::newRow("checked") << "" << int(mrOk) << QStringList{done + ", every part matching its checksum."} << true;
        QTest::newRow("unchecked") << "nosums" << int(mrOk)
                                   << QStringList{done + ".\n\nNo checksum file was found for report.doc: the parts "
                                                         "could not be checked."}
                                   << true;
        QTest::newRow("damaged") << "damage" << int(mrOk)
                                 << QStringList{"Error: Part report.doc.!02 is damaged: its SHA-256 is "} << false;
        QTest::newRow("missing") << "missing" << int(mrOk) << QStringList{"Error: Part report.doc.!01 is missing"}
                                 << false;
        QTest::newRow("existing, kept") << "exists" << int(mrCancel)
                                        << QStringList{"Prompt: %1/REPORT_PARTS/report.doc already exists."} << false;
        QTest::newRow("existing, replaced") << "exists" << int(mrOk)
                                            << QStringList{"Prompt: %1/REPORT_PARTS/report.doc already exists.", done}
                                            << true;
        QTest::newRow("file dialog cancelled") << "cancel" << int(mrOk) << QStringList{} << false;
        // One box where no file manager can be started, as after a split.
        QTest::newRow("no file manager") << "nofm" << int(mrOk)
                                         << QStringList{done + ", every part matching its checksum. No file manager "
                                                               "could be opened. The joined file is in %1/REPORT_PARTS."}
                                         << true;
        QTest::newRow("missing, rebuilt") << "rebuild" << int(mrOk)
                                          << QStringList{done + ", every part matching its checksum.\n\nPart report.doc.!01 was "
                                                                "missing or damaged and rebuilt from the recovery data in "
                                                                "report.doc.par2."}
                                          << true;
    }

    void joinsWithTheWindowHeldAsForASplit()
    {
        QFETCH(QString, twist);
        QFETCH(int, answer);
        QFETCH(QStringList, dialogs);
        QFETCH(bool, joined);
        const QString where = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_').remove(',');
        if (twist == "rebuild" && QStandardPaths::findExecutable(QStringLiteral("par2")).isEmpty())
            QSKIP("par2 not installed (tools/setup-deps.sh test installs it)");
        const QByteArray data = makeParts(where, twist == "rebuild" ? 20 : 0);
        const QString folder = dir.filePath(where + "/REPORT_PARTS");
        if (twist == "nosums")
            QFile::remove(folder + "/report.doc.sha256");
        else if (twist == "damage")
            QVERIFY(WriteFile(folder + "/report.doc.!02", PatternBytes(1024, 99)));
        else if (twist == "missing" || twist == "rebuild")
            QFile::remove(folder + "/report.doc.!01");
        else if (twist == "exists")
            QVERIFY(WriteFile(folder + "/report.doc", "old"));

        DialogRecorder recorder;
        recorder.answers.push_back(answer);
        FileDialogScript chooser(folder + "/report.doc.!03", twist != "cancel");
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        if (twist == "nofm")
            platform.fileManagerResult = darvolt::error::FileNotFound;
        TForm4 form(&platform);
        form.SetArguments({});
        form.RunOptions().blockSize = 1024;
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const Ui::TForm4 &ui = form.Controls();
        ui.StatusBar1->setSimpleText(QStringLiteral("Before"));

        std::vector<Moment> during;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!form.Running())
                return;
            QAction *join = form.SystemMenu()->findChild<QAction *>(QStringLiteral("JoinParts"));
            during.push_back({ui.ProgressBar1->isVisible(),
                              ui.FlatSpeedButton1->isEnabled() || ui.FilenameEdit1->isEnabled()
                                  || ui.RadioButton1->isEnabled(),
                              join && join->isEnabled(),
                              ui.RxGIFAnimator1->FrameIndex() == 33 && !ui.RxGIFAnimator1->Animate(),
                              ui.StatusBar1->SimpleText()});
        });
        watch.start(0);
        // Chosen from the menu as the user does.
        QAction *join = form.SystemMenu()->findChild<QAction *>(QStringLiteral("JoinParts"));
        QVERIFY(join && join->isEnabled());
        join->trigger();
        QTRY_VERIFY(chooser.runs == 1 && !form.Running());
        watch.stop();

        QCOMPARE(chooser.runs, 1);
        QCOMPARE(chooser.title, QStringLiteral("Join parts"));
        QStringList seen;
        for (const auto &request : recorder.shown) {
            const char *kind = request.kind == TMsgDlgKind::Error         ? "Error"
                               : request.kind == TMsgDlgKind::Information ? "Information"
                               : request.kind == TMsgDlgKind::Prompt      ? "Prompt"
                                                                          : "Plain";
            seen << QString::fromLatin1(kind) + ": " + request.text;
        }
        QCOMPARE(seen.size(), dialogs.size());
        for (int i = 0; i < dialogs.size(); ++i)
            QVERIFY2(seen[i].startsWith(dialogs[i].arg(dir.filePath(where))), qPrintable(seen[i]));

        QCOMPARE(ReadFile(folder + "/report.doc") == data, joined);
        QCOMPARE(platform.fileManagerFolders,
                 joined ? std::vector<std::string>{FileNameBytes(folder)} : std::vector<std::string>{});
        if (joined || twist == "damage") {
            QVERIFY(!during.empty());
            QStringList statuses;
            for (const Moment &m : during) {
                QVERIFY(m.progressVisible && !m.controlsEnabled && !m.joinEnabled && m.bannerStill);
                if (statuses.isEmpty() || statuses.last() != m.status)
                    statuses << m.status;
            }
            QVERIFY2(statuses.contains("Joining: report.doc.!00"), qPrintable(statuses.join('|')));
            if (twist == "rebuild")
                QVERIFY2(statuses.contains("Repairing: report.doc.par2"), qPrintable(statuses.join('|')));
        }
        // As it was: Split stays disabled with no file chosen.
        QVERIFY(!ui.ProgressBar1->isVisible() && !ui.FlatSpeedButton1->isEnabled() && ui.RadioButton1->isEnabled()
                && ui.FilenameEdit1->isEnabled());
        QCOMPARE(ui.StatusBar1->SimpleText(), QStringLiteral("Before"));
        QCOMPARE(QDir(folder).entryList({"*.joining*"}), QStringList());
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Join)
#include "tst_form4join.moc"
