// The real program under openbox, worked from the keyboard alone as a person
// who does not reach for the mouse: the title band's menu opens with
// Shift+F10 and picks a parts folder, Alt+S splits there, Escape stops the
// split after asking, and the menu's Join parts... joins a set.
#include "desktopsession.h"

#include "toolkit/nonclient.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString mainTitle = QStringLiteral("Darvolt - The File Splitter");
constexpr qint64 standardPart = 1457664;

// The visible window of the process with that title, empty while none.
QString windowTitled(const XSession &x, const TestChild &program, const QString &title)
{
    for (const QString &window : x.VisibleWindows(program.Pid()))
        if (x.XDoTool({QStringLiteral("getwindowname"), window}).trimmed() == title)
            return window;
    return {};
}

QStringList partsIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.!*")}, QDir::Files, QDir::Name);
}

} // namespace

class TestWindowKeysX11 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyCommandFromTheKeyboard()
    {
        QTemporaryDir dir;
        XSession x;
        QVERIFY2(x.Started(), "Xvfb did not start (tools/setup-deps.sh test installs it)");
        QVERIFY2(x.StartWindowManager(QStringLiteral("openbox")), qPrintable(x.WindowManagerLog()));
        // Sparse, so that it costs nothing to make and takes seconds to
        // split: time enough to stop it.
        const QString big = dir.filePath(QStringLiteral("big.bin"));
        {
            QFile file(big);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(6) << 30));
        }
        const QString chosen = dir.filePath(QStringLiteral("chosen"));
        QVERIFY(QDir().mkpath(chosen));
        // No file manager here: the join's closing box says where its file is.
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
        QFile opener(dir.filePath(QStringLiteral("bin/xdg-open")));
        QVERIFY(opener.open(QIODevice::WriteOnly) && opener.write("#!/bin/sh\nexit 3\n") > 0);
        opener.close();
        opener.setPermissions(opener.permissions() | QFile::ExeOwner);
        QProcessEnvironment environment = x.Environment();
        environment.insert(QStringLiteral("PATH"), dir.filePath(QStringLiteral("bin")) + QLatin1Char(':')
                                                       + environment.value(QStringLiteral("PATH")));

        TestChild darvolt(QStringLiteral(DARVOLT_PROGRAM), {big}, environment);
        QString main;
        QTRY_VERIFY_WITH_TIMEOUT(!(main = windowTitled(x, darvolt, mainTitle)).isEmpty(), 10000);
        x.XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), main});
        const auto key = [&x](const QString &keys) { x.XDoTool({QStringLiteral("key"), keys}); };
        const auto type = [&x](const QString &text) { x.XDoTool({QStringLiteral("type"), text}); };
        // Return until the dialog has taken the typed path: the first one
        // may only pick the completion that the file dialog offered.
        const auto confirm = [&](const QString &title) {
            const auto gone = [&] { return windowTitled(x, darvolt, title).isEmpty(); };
            bool closed = false;
            for (int tries = 0; tries < 3 && !closed; ++tries) {
                key(QStringLiteral("Return"));
                closed = QTest::qWaitFor(gone, 3000);
            }
            QVERIFY2(closed, qPrintable(title));
        };

        // The parts folder, from the menu that Shift+F10 opens below the
        // band's icon, where a click on the icon opens it.
        key(QStringLiteral("shift+F10"));
        QTRY_COMPARE_WITH_TIMEOUT(x.VisibleWindows(darvolt.Pid()).size(), 2, 5000);
        QString menu = x.VisibleWindows(darvolt.Pid()).value(0);
        if (menu == main)
            menu = x.VisibleWindows(darvolt.Pid()).value(1);
        const QRect frame = x.Geometry(main).value_or(QRect());
        const QRect icon =
            darvolt::NonClientLayout(frame.size(), darvolt::bsSingle, darvolt::biSystemMenu | darvolt::biMinimize).icon;
        QCOMPARE(x.Geometry(menu).value_or(QRect()).topLeft(), frame.topLeft() + icon.bottomLeft() + QPoint(0, 1));
        key(QStringLiteral("f"));
        QTRY_VERIFY_WITH_TIMEOUT(!windowTitled(x, darvolt, QStringLiteral("Parts folder")).isEmpty(), 10000);
        type(chosen);
        confirm(QStringLiteral("Parts folder"));

        // Split there, and stop it after asking.
        key(QStringLiteral("alt+s"));
        QTRY_VERIFY_WITH_TIMEOUT(partsIn(chosen).size() >= 3, 20000);
        key(QStringLiteral("Escape"));
        QTRY_VERIFY_WITH_TIMEOUT(!windowTitled(x, darvolt, QStringLiteral("Darvolt")).isEmpty(), 10000);
        key(QStringLiteral("Return")); // Yes
        QTRY_VERIFY_WITH_TIMEOUT(!windowTitled(x, darvolt, QStringLiteral("Error")).isEmpty(), 20000);
        key(QStringLiteral("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(x.VisibleWindows(darvolt.Pid()), QStringList{main}, 10000);
        const QStringList stopped = partsIn(chosen);
        QVERIFY(stopped.size() < (qint64(6) << 30) / standardPart);
        for (const QString &part : stopped)
            QCOMPARE(QFileInfo(chosen + QLatin1Char('/') + part).size(), standardPart);
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/MERGE.BAT")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("BIG_PARTS"))));

        // Join a set of three parts with Join parts... of the same menu.
        const QString set = dir.filePath(QStringLiteral("set"));
        QVERIFY(QDir().mkpath(set));
        QByteArray data;
        for (int i = 0; i < 400000; ++i)
            data += char(i * 7 % 251);
        QFile source(set + QStringLiteral("/report.doc"));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data) == data.size());
        source.close();
        RunTool(QStringLiteral(DARVOLT_SPLIT),
                {QStringLiteral("-q"), QStringLiteral("-c"), QStringLiteral("150"), source.fileName()}, environment);
        QVERIFY(QFileInfo::exists(set + QStringLiteral("/REPORT_PARTS/report.doc.!02")));
        key(QStringLiteral("Menu"));
        QTRY_COMPARE_WITH_TIMEOUT(x.VisibleWindows(darvolt.Pid()).size(), 2, 5000);
        key(QStringLiteral("j"));
        QTRY_VERIFY_WITH_TIMEOUT(!windowTitled(x, darvolt, QStringLiteral("Join parts")).isEmpty(), 10000);
        type(set + QStringLiteral("/REPORT_PARTS/report.doc.!00"));
        confirm(QStringLiteral("Join parts"));
        QTRY_VERIFY_WITH_TIMEOUT(!windowTitled(x, darvolt, QStringLiteral("Information")).isEmpty(), 20000);
        key(QStringLiteral("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(x.VisibleWindows(darvolt.Pid()), QStringList{main}, 10000);
        QFile joined(set + QStringLiteral("/REPORT_PARTS/report.doc"));
        QVERIFY(joined.open(QIODevice::ReadOnly));
        QCOMPARE(joined.readAll(), data);

        key(QStringLiteral("alt+F4"));
        QTRY_VERIFY_WITH_TIMEOUT(!darvolt.Running(), 10000);
        QVERIFY(darvolt.EndedCleanly());
    }
};

QTEST_GUILESS_MAIN(TestWindowKeysX11)
#include "tst_windowkeysx11.moc"
