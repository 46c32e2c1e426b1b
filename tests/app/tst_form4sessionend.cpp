// The desktop session ending during a run: the run stops as a cancel does,
// no box waits for an answer, and the window closes.

#include "app/sessionend.h"
#include "app/tform4.h"
#include "apptest.h"
#include "recordingplatform.h"

#include <QTemporaryDir>

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
};

DARVOLT_APP_TEST_MAIN(tst_Form4SessionEnd)
#include "tst_form4sessionend.moc"
