// Stopping a split or a join from the window: Escape or the title band's
// Stop ask first; Yes ends the run as an interruption, No lets it finish.
// Exit during a run says at once when the window will close.
#include "apptest.h"
#include "recordingplatform.h"

#include "app/tform4.h"

#include <QMenu>
#include <QTimer>

using namespace darvolt;

class tst_Form4Stop : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void stoppingARun_data()
    {
        QTest::addColumn<bool>("join");
        QTest::addColumn<QString>("how"); // Escape, the menu's Stop, or Exit
        QTest::addColumn<int>("answer");
        QTest::newRow("split, Escape, Yes") << false << "escape" << int(mrYes);
        QTest::newRow("split, Escape, No") << false << "escape" << int(mrNo);
        QTest::newRow("split, Stop, Yes") << false << "menu" << int(mrYes);
        QTest::newRow("split, Exit") << false << "exit" << int(mrNo);
        QTest::newRow("join, Escape, Yes") << true << "escape" << int(mrYes);
        QTest::newRow("join, Stop, No") << true << "menu" << int(mrNo);
    }

    void stoppingARun()
    {
        QFETCH(bool, join);
        QFETCH(QString, how);
        QFETCH(int, answer);
        const QString where = dir.filePath(QString::fromLatin1(QTest::currentDataTag()).remove(',').replace(' ', '_'));
        QDir().mkpath(where);
        const QByteArray data = PatternBytes(200000, 5);
        QVERIFY(WriteFile(where + "/data.bin", data));
        const QString parts = where + "/DATA_PARTS";

        RecordingPlatform platform(FileNameBytes(dir.filePath("A")));
        TForm4 form(&platform);
        form.SetArguments({where + "/data.bin"});
        form.RunOptions().blockSize = 1024;
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.Controls().RadioButton2, Qt::LeftButton);
        form.Controls().Edit2->setText(QStringLiteral("16"));
        DialogRecorder dialogs;
        dialogs.questionAnswer = answer;
        if (join) {
            QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
            QVERIFY(QFile::remove(where + "/data.bin"));
            dialogs.shown.clear();
        }

        // Halfway through, as a person would, from inside the run.
        QString statusAfterExit;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            if (!form.Running() || form.Controls().ProgressBar1->value() < 100)
                return;
            user.stop();
            if (how == "escape") {
                QTest::keyClick(&form, Qt::Key_Escape);
            } else if (how == "menu") {
                QAction *stop = form.SystemMenu()->findChild<QAction *>(QStringLiteral("StopRun"));
                QVERIFY(stop);
                stop->trigger();
            } else {
                form.FlatSpeedButton4Click(&form);
                statusAfterExit = form.Controls().StatusBar1->SimpleText();
            }
        });
        user.start(0);
        if (join) {
            FileDialogScript chooser(parts + "/data.bin.!00");
            form.JoinPartsClick(&form);
        } else {
            QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        }
        QVERIFY(!user.isActive());
        QVERIFY(!form.Running());

        if (how == "exit") {
            QVERIFY2(statusAfterExit.startsWith("Darvolt closes when the split has finished."),
                     qPrintable(statusAfterExit));
            QTRY_VERIFY(!form.isVisible());
        } else {
            const QString question = join ? "Stop the join?" : "Stop the split?";
            QCOMPARE(dialogs.texts(TMsgDlgKind::Question), QStringList{question});
            QVERIFY(form.isVisible());
            QVERIFY(form.Controls().FlatSpeedButton1->isEnabled());
            QVERIFY(form.Controls().FilenameEdit1->isEnabled());
        }
        const bool stopped = answer == mrYes;
        const QStringList errors = dialogs.texts(TMsgDlgKind::Error);
        if (join) {
            QCOMPARE(QFileInfo::exists(parts + "/data.bin"), !stopped);
            QCOMPARE(errors, stopped ? QStringList{"Join interrupted: " + parts + "/data.bin was not written"}
                                     : QStringList{});
            if (!stopped)
                QCOMPARE(ReadFile(parts + "/data.bin"), data);
            return;
        }
        QCOMPARE(errors, stopped ? QStringList{"    Split execution interrupted.    "} : QStringList{});
        QCOMPARE(QFileInfo::exists(parts + "/MERGE.BAT"), !stopped);
        const QStringList left = QDir(parts).entryList({"data.bin.!*"}, QDir::Files, QDir::Name);
        QCOMPARE(left.size() < 13, stopped);
        // The unfinished part is gone: every part left is whole.
        for (const QString &name : left.mid(0, left.size() - (stopped ? 0 : 1)))
            QCOMPARE(QFileInfo(parts + "/" + name).size(), qint64(16384));
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Stop)
#include "tst_form4stop.moc"
