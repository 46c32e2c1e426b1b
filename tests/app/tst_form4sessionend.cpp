// The desktop session ending during a run: the run stops as a cancel does,
// no box waits for an answer, and the window closes.

#include "app/sessionend.h"
#include "app/taboutbox.h"
#include "app/tform4.h"
#include "apptest.h"
#include "recordingplatform.h"

#include <QTemporaryDir>
#include <QTimer>

#include <csignal>

using namespace darvolt;

namespace {

// The real files, with SIGTERM sent to the program as the fourth part is
// created, as a session manager would at that moment.
class SignallingPlatform final : public darvolt::ForwardingPlatform
{
public:
    explicit SignallingPlatform(darvolt::Platform &inner) : ForwardingPlatform(inner) {}
    darvolt::Result<std::unique_ptr<darvolt::File>> createFile(const std::string &path,
                                                                std::uint32_t permissions) override
    {
        if (path.ends_with(".!03"))
            std::raise(SIGTERM);
        return ForwardingPlatform::createFile(path, permissions);
    }
};

} // namespace

class tst_Form4SessionEnd : public QObject
{
    Q_OBJECT

private slots:
    void sessionEndStopsTheRunAndClosesTheWindow()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("data.bin"));
        QVERIFY(WriteFile(file, QByteArray(5 * 16384, 'd')));
        RecordingPlatform real(QFile::encodeName(dir.filePath(QStringLiteral("A"))).toStdString());
        SignallingPlatform platform(real);
        darvolt::InterruptSignals interrupts;
        TForm4 form(&platform);
        const TSessionEnd sessionEnd(form, interrupts);
        form.SetArguments({file});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.Controls().RadioButton2, Qt::LeftButton);
        form.Controls().Edit2->setText(QStringLiteral("16"));
        DialogRecorder dialogs;

        QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        QTRY_VERIFY(!form.Running() && !form.isVisible());
        QCOMPARE(dialogs.shown.size(), std::size_t(0));
        // Parts 00 and 01 were done before part 03 was begun; part 02 may
        // have been. Only whole parts stay, and no MERGE.BAT.
        const QDir parts(dir.filePath(QStringLiteral("DATA_PARTS")));
        const QStringList left = parts.entryList(QDir::Files);
        QCOMPARE(left.mid(0, 2), (QStringList{QStringLiteral("data.bin.!00"), QStringLiteral("data.bin.!01")}));
        QVERIFY(left.size() <= 3 && !left.contains(QStringLiteral("data.bin.!03")));
        for (const QString &name : left)
            QCOMPARE(QFileInfo(parts.filePath(name)).size(), qint64(16384));
        QVERIFY(real.fileManagerFolders.empty());
    }

    // One signal is enough whatever waits for an answer: the box, menu or
    // dialog goes and the window closes.
    void sessionEndEndsEveryState_data()
    {
        QTest::addColumn<QString>("state");
        for (const char *state : {"idle", "message box", "about box", "title band menu", "file dialog",
                                  "end of split box", "stop question"})
            QTest::newRow(state) << QString::fromLatin1(state);
    }

    void sessionEndEndsEveryState()
    {
        QFETCH(QString, state);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("data.bin"));
        QVERIFY(WriteFile(file, QByteArray(5 * 16384, 'd')));
        RecordingPlatform platform(QFile::encodeName(dir.filePath(QStringLiteral("A"))).toStdString());
        platform.fileManagerResult = darvolt::error::FileNotFound;
        darvolt::InterruptSignals::stopFlag()->store(false);
        darvolt::InterruptSignals interrupts;
        TForm4 form(&platform);
        const TSessionEnd sessionEnd(form, interrupts);
        form.SetArguments({file});
        form.RunOptions().blockSize = 1024;
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.Controls().RadioButton2, Qt::LeftButton);
        form.Controls().Edit2->setText(QStringLiteral("16"));

        // The state is entered from the program's loop, and the signal
        // comes once it is on the screen.
        const auto open = [&] {
            if (state == "message box")
                ShowInformationDialog(QStringLiteral("Something to read"));
            else if (state == "about box")
                form.FlatSpeedButton3Click(&form);
            else if (state == "title band menu")
                form.SystemMenu()->exec(form.mapToGlobal(QPoint(4, 4)));
            else if (state == "file dialog")
                form.JoinPartsClick(&form);
            else if (state != "idle")
                QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        };
        bool asked = false;
        const auto waiting = [&] {
            if (state == "idle")
                return true;
            if (state == "title band menu")
                return form.SystemMenu()->isVisible();
            if (state == "stop question" && form.Running() && !QApplication::activeModalWidget()) {
                if (!asked)
                    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Escape); });
                asked = true;
                return false;
            }
            return QApplication::activeModalWidget() != nullptr;
        };
        QTimer signaller;
        connect(&signaller, &QTimer::timeout, this, [&] {
            if (waiting()) {
                signaller.stop();
                std::raise(SIGTERM);
            }
        });
        signaller.start(1);
        QTimer::singleShot(0, this, open);
        QTRY_VERIFY(!signaller.isActive() && !form.isVisible());
        QVERIFY(!form.Running());
        QTRY_VERIFY(!QApplication::activeModalWidget() && !QApplication::activePopupWidget());
        if (state == "end of split box")
            QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("DATA_PARTS/MERGE.BAT"))));
        if (state == "stop question")
            QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("DATA_PARTS/MERGE.BAT"))));
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4SessionEnd)
#include "tst_form4sessionend.moc"
