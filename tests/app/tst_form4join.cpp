// "Join parts..." in the title band's menu: where it is, and a join through
// the real window and engine, with the file dialog, the dialogs and the
// file manager answered at their seams.
#include "apptest.h"
#include "recordingplatform.h"

#include "app/tform4.h"
#include "platform/posixplatform.h"
#include "split/recordingview.h"
#include "split/splitfile.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

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

    // Parts of a 5000-byte report.doc in <dir>/<case>/REPORT_PARTS, in 1 KB parts.
    QByteArray makeParts(const QString &where)
    {
        QDir().mkpath(dir.filePath(where));
        const QByteArray data = PatternBytes(5000, 3);
        WriteFile(dir.filePath(where + "/report.doc"), data);
        darvolt::PosixPlatformOptions options;
        options.fileManagerCommand.clear();
        darvolt::PosixPlatform platform(options);
        RecordingView view;
        SplitFile(platform, view, "report.doc", FileNameBytes(dir.filePath(where)) + "/", 1024);
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
        QCOMPARE(texts.mid(texts.size() - 2), (QStringList{"&Join parts...", "&Close\tAlt+F4"}));
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
    }

    void joinsWithTheWindowHeldAsForASplit()
    {
        QFETCH(QString, twist);
        QFETCH(int, answer);
        QFETCH(QStringList, dialogs);
        QFETCH(bool, joined);
        const QString where = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_').remove(',');
        const QByteArray data = makeParts(where);
        const QString folder = dir.filePath(where + "/REPORT_PARTS");
        if (twist == "nosums")
            QFile::remove(folder + "/report.doc.sha256");
        else if (twist == "damage")
            QVERIFY(WriteFile(folder + "/report.doc.!02", PatternBytes(1024, 99)));
        else if (twist == "missing")
            QFile::remove(folder + "/report.doc.!01");
        else if (twist == "exists")
            QVERIFY(WriteFile(folder + "/report.doc", "old"));

        DialogRecorder recorder;
        recorder.answers.push_back(answer);
        FileDialogScript chooser(folder + "/report.doc.!03", twist != "cancel");
        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
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
