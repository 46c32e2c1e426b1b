// Spanning through the real disk service: a private system bus, udev and
// udisksd started by the test (as root), and ext2 images on loop devices
// that a udev rule of the test's own marks as removable, as UDisks2 marks a
// USB stick. Sticks are plugged in and pulled out by attaching and
// detaching their loop devices between prompts.

#include "platform/diskservice.h"
#include "platform/posixplatform.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>

using darvolt::PosixPlatform;
using darvolt::PosixPlatformOptions;
using darvolt::SplitOutcome;
namespace diskservice = darvolt::diskservice;
namespace texts = darvolt::texts;

namespace {

constexpr const char* Udisksd = "/usr/libexec/udisks2/udisksd";
constexpr const char* Udevd = "/lib/systemd/systemd-udevd";

QString run(const QString& program, const QStringList& args, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return program + " " + args.join(' ') + ": " + QString::fromLocal8Bit(p.readAll()).trimmed() + p.errorString();
    if (output != nullptr)
        *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return QString();
}

std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Stops a service the test started, whatever way the test ends.
struct Service {
    std::unique_ptr<QProcess> process;
    ~Service()
    {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000))
                process->kill();
            process->waitForFinished(5000);
        }
    }
};

const darvolt::RemovableMedium* withLabel(const std::vector<darvolt::RemovableMedium>& media, const char* label)
{
    for (const auto& m : media)
        if (m.label == label)
            return &m;
    return nullptr;
}

} // namespace

class tst_DiskService : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void spansOverSticksPluggedInTurnAndUnmountsEach();
    void busyStickIsReportedWithItsReasonUntilFreed();

private:
    // Plugs a stick in: attaches its image and waits until the service
    // lists it. Pulling detaches it.
    QString plug(const QString& label);
    void pull(const QString& label);
    QString imageOf(const QString& label) const { return m_dir->filePath(label + ".img"); }
    QByteArray readFromImage(const QString& label, const QString& name);

    std::unique_ptr<QTemporaryDir> m_dir;
    Service m_bus, m_udev, m_udisks;
    QString m_rule;
    std::map<QString, QString> m_loops; // label -> loop device
};

void tst_DiskService::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("starting udev and udisksd needs root");
    for (const char* program : {Udisksd, Udevd})
        if (!QFile::exists(program))
            QSKIP(qPrintable(QString(program) + " is not installed (package udisks2)"));
    for (const char* program : {"dbus-daemon", "udevadm", "losetup", "mkfs.ext2"})
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP(qPrintable(QString(program) + " is not installed"));
    // The machine's own disk service would see the test's sticks too, and
    // its desktop might mount them behind the test's back.
    if (diskservice::Media())
        QSKIP("the machine's own disk service runs: the test needs a machine without one");
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());

    // A system bus of the test's own: anyone may own and call anything.
    const QString socket = m_dir->filePath("system_bus_socket");
    QFile config(m_dir->filePath("bus.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QString("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\"><busconfig><type>system</type>"
                         "<listen>unix:path=%1</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                         "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                         "<allow receive_sender=\"*\"/></policy></busconfig>")
                     .arg(socket)
                     .toUtf8());
    config.close();
    m_bus.process = std::make_unique<QProcess>();
    m_bus.process->start("dbus-daemon", {"--nofork", "--config-file=" + config.fileName()});
    QVERIFY(m_bus.process->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 10000);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(socket));

    // udev tells the service about block devices and their file systems; a
    // machine without a running one gets one for the test.
    if (!run("udevadm", {"control", "--ping"}).isEmpty()) {
        m_udev.process = std::make_unique<QProcess>();
        m_udev.process->start(Udevd, {});
        QVERIFY(m_udev.process->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(run("udevadm", {"control", "--ping"}).isEmpty(), 10000);
    }
    // Loop devices are system devices to the service; these are sticks.
    QDir().mkpath("/run/udev/rules.d");
    m_rule = QString("/run/udev/rules.d/99-darvolt-test-%1.rules").arg(::getpid());
    QFile rule(m_rule);
    QVERIFY(rule.open(QIODevice::WriteOnly));
    rule.write("SUBSYSTEM==\"block\", ENV{ID_FS_LABEL}==\"DVT*\", ENV{UDISKS_SYSTEM}=\"0\"\n");
    rule.close();
    QCOMPARE(run("udevadm", {"control", "--reload"}), QString());

    for (const QString label : {"DVTONE", "DVTTWO"}) {
        QCOMPARE(run("truncate", {"-s", "2M", imageOf(label)}), QString());
        QCOMPARE(run("mkfs.ext2", {"-q", "-F", "-m", "0", "-L", label, imageOf(label)}), QString());
    }
    m_udisks.process = std::make_unique<QProcess>();
    m_udisks.process->setStandardOutputFile(QProcess::nullDevice());
    m_udisks.process->setStandardErrorFile(QProcess::nullDevice());
    m_udisks.process->start(Udisksd, {});
    QVERIFY(m_udisks.process->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(diskservice::Media().has_value(), 20000);
}

void tst_DiskService::cleanupTestCase()
{
    for (const auto& [label, loop] : m_loops)
        if (!loop.isEmpty()) {
            run("umount", {loop});
            run("losetup", {"-d", loop});
        }
    if (!m_rule.isEmpty()) {
        QFile::remove(m_rule);
        run("udevadm", {"control", "--reload"});
    }
    qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

QString tst_DiskService::plug(const QString& label)
{
    QString loop;
    if (QString why = run("losetup", {"-f", "--show", imageOf(label)}, &loop); !why.isEmpty())
        return why;
    m_loops[label] = loop;
    for (int i = 0; i < 300; ++i) {
        // A udev that has just started may still be busy with the devices
        // it found: the stick is announced again until the service has it.
        if (i % 20 == 0) {
            run("udevadm", {"trigger", "--action=change", loop});
            run("udevadm", {"settle", "-t", "20"});
        }
        if (const auto media = diskservice::Media(); media && withLabel(*media, label.toLatin1().constData()))
            return QString();
        QTest::qWait(50);
    }
    pull(label);
    return "the disk service never listed " + label;
}

void tst_DiskService::pull(const QString& label)
{
    run("losetup", {"-d", m_loops[label]});
    m_loops[label].clear();
    run("udevadm", {"settle", "-t", "20"});
}

QByteArray tst_DiskService::readFromImage(const QString& label, const QString& name)
{
    const QString at = m_dir->filePath("look-" + label);
    QDir().mkpath(at);
    if (!run("mount", {"-o", "loop,ro", imageOf(label), at}).isEmpty())
        return "<cannot mount>";
    QFile f(at + "/" + name);
    const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    f.close();
    run("umount", {at});
    return data;
}

void tst_DiskService::spansOverSticksPluggedInTurnAndUnmountsEach()
{
    const std::string data = patternBytes(3'000'000, 21);
    QFile source(m_dir->filePath("report.doc"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data.data(), qint64(data.size())) == qint64(data.size()));
    source.close();

    PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    PosixPlatform platform(options);
    RecordingView view;
    std::optional<darvolt::RemovableMedium> listed;
    view.onPrompt = [&](int n) {
        if (n == 0) {
            const bool in = plug("DVTONE").isEmpty();
            if (const auto media = diskservice::Media(); in && media && withLabel(*media, "DVTONE"))
                listed = *withLabel(*media, "DVTONE");
            return in;
        }
        pull("DVTONE");
        return n == 1 && plug("DVTTWO").isEmpty();
    };
    QCOMPARE(SplitFile(platform, view, {"report.doc", bytes(m_dir->path()) + "/", 0}).outcome, SplitOutcome::Done);
    QCOMPARE(view.dialogs(), (std::vector<std::string>{"prompt " + texts::diskettePrompt(1),
                                                       "prompt " + texts::diskettePrompt(2),
                                                       "information " + texts::spanned("report.doc", false)}));
    // Plugged in, not mounted: the program mounted it, as the desktop would.
    QVERIFY(listed && listed->ejectable && listed->folder.empty());
    QCOMPARE(listed->size, std::int64_t(2 * 1024 * 1024));
    QVERIFY(listed->device.starts_with("/dev/loop"));
    QCOMPARE(view.notes(), (std::vector<std::string>{texts::mediumRemovable("DVTONE"), texts::mediumRemovable("DVTTWO")}));
    // Both unmounted by the program: nothing of theirs is in the mount table.
    QString mounts;
    run("cat", {"/proc/self/mountinfo"}, &mounts);
    QVERIFY(!mounts.contains("DVTONE") && !mounts.contains("DVTTWO"));
    pull("DVTTWO");
    const QByteArray joined = readFromImage("DVTONE", "report.doc.!00") + readFromImage("DVTTWO", "report.doc.!01");
    QVERIFY(joined == QByteArray::fromStdString(data));
    QVERIFY(readFromImage("DVTTWO", "MERGE.BAT").startsWith("ECHO OFF\r\n"));
    const QByteArray whole = QCryptographicHash::hash(joined, QCryptographicHash::Sha256).toHex();
    QVERIFY(readFromImage("DVTTWO", "report.doc.sha256").endsWith(whole + "  report.doc\n"));
    QVERIFY(readFromImage("DVTTWO", "merge.sh").startsWith("#!/bin/sh\n"));
    // A stick pulled out before it was let go (its object gone with it):
    // nothing to unmount, nothing to say.
    const auto gone = diskservice::Unmount("/org/freedesktop/UDisks2/block_devices/darvolt_pulled");
    QCOMPARE(int(gone.error), int(darvolt::error::None));
    QVERIFY(!gone.unmounted);
}

void tst_DiskService::busyStickIsReportedWithItsReasonUntilFreed()
{
    QFile source(m_dir->filePath("small.txt"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.write(QByteArray(5000, 's')) == 5000);
    source.close();
    PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    PosixPlatform platform(options);
    // Something else holds the stick's folder open from the moment the part
    // is written until the user is asked.
    struct HoldingView : RecordingView {
        PosixPlatform* platform = nullptr;
        int held = -1;
        void setStatusText(const std::string& text) override
        {
            RecordingView::setStatusText(text);
            if (held < 0)
                held = ::open(platform->driveFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
    } view;
    view.platform = &platform;
    view.onPrompt = [&](int n) { return n == 0 && plug("DVTONE").isEmpty(); };
    std::string asked;
    view.onRetry = [&](int n) {
        asked = view.log.back();
        if (n == 0)
            return true; // still held: asked again
        ::close(view.held);
        return true;
    };
    QCOMPARE(SplitFile(platform, view, {"small.txt", bytes(m_dir->path()) + "/", 0}).outcome, SplitOutcome::Done);
    QVERIFY(view.held >= 0);
    QCOMPARE(view.retries, 2);
    QVERIFY2(asked.starts_with("retry The medium DVTONE cannot be unmounted: ") && asked.find("busy") != std::string::npos,
             asked.c_str());
    QCOMPARE(view.notes(), std::vector<std::string>{texts::mediumRemovable("DVTONE")});
    pull("DVTONE");
    QCOMPARE(readFromImage("DVTONE", "small.txt.!00"), QByteArray(5000, 's'));
}

QTEST_GUILESS_MAIN(tst_DiskService)
#include "tst_diskservice.moc"
