// The program's windows in the one classic scheme on a real X server,
// photographed: an error message has the grey 3-D face of the forms, not
// the desktop theme's, and a half-full progress bar shows separate navy
// blocks on that face. To the window manager the box is a dialog of the
// window it appeared over, with nothing to minimise or maximise.
#include "desktopsession.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr QRgb face = qRgb(192, 192, 192);
constexpr QRgb navy = qRgb(0, 0, 128);

QString xprop(const XSession &x, const QString &window, const char *name)
{
    return RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QLatin1String(name)}, x.Environment());
}

// Where a window's own area starts on the screen, inside its frame.
QPoint cornerOf(const XSession &x, const QString &window)
{
    static const QRegularExpression corner(
        QStringLiteral("upper-left X:\\s*(-?\\d+)\\s+Absolute upper-left Y:\\s*(-?\\d+)"));
    const QString info = RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}, x.Environment());
    const QRegularExpressionMatch match = corner.match(info);
    return {match.captured(1).toInt(), match.captured(2).toInt()};
}

// What the X server shows now.
QImage screen(const XSession &x, const QString &file)
{
    RunTool(QStringLiteral(CLASSIC_WINDOWS), {QStringLiteral("--grab"), file}, x.Environment());
    return QImage(file);
}

} // namespace

class TestClassicLookX11 : public QObject
{
    Q_OBJECT

private slots:
    // openbox lets every dialog be iconified, whatever the dialog asks.
    void theMessageBoxAndTheProgressBarWearTheClassicScheme_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::addColumn<QStringList>("withheld");
        const QStringList maximise{QStringLiteral("MAXIMIZE_HORZ"), QStringLiteral("MAXIMIZE_VERT")};
        QTest::newRow("openbox") << "openbox" << maximise;
        QTest::newRow("metacity") << "metacity" << maximise + QStringList{QStringLiteral("MINIMIZE")};
        QTest::newRow("xfwm4") << "xfwm4" << maximise + QStringList{QStringLiteral("MINIMIZE")};
    }
    void theMessageBoxAndTheProgressBarWearTheClassicScheme()
    {
        QFETCH(QString, windowManager);
        QFETCH(QStringList, withheld);
        XSession x;
        QVERIFY2(x.Started(), "Xvfb could not be started");
        QVERIFY2(x.StartWindowManager(windowManager), qPrintable(x.WindowManagerLog()));
        TestChild program(QStringLiteral(CLASSIC_WINDOWS), {}, x.Environment());
        QVERIFY(program.Started());
        const auto titled = [&x](const char *title) {
            return x.XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                              QLatin1String(title)}).trimmed();
        };
        QString main, box;
        // Generous deadlines: on a machine busy with other tests an X server,
        // a window manager and the program take their time to come up.
        QTRY_VERIFY_WITH_TIMEOUT(!(main = titled("^Classic windows$")).isEmpty(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!(box = titled("^Error$")).isEmpty(), 30000);

        QVERIFY(xprop(x, box, "_NET_WM_WINDOW_TYPE").contains(QLatin1String("_NET_WM_WINDOW_TYPE_DIALOG")));
        QCOMPARE(xprop(x, box, "WM_TRANSIENT_FOR").section(QLatin1Char('#'), 1).trimmed().toULongLong(nullptr, 16),
                 main.toULongLong());
        // Functions and decorations both given, neither "all" nor minimise
        // (8, 32) nor maximise (16, 64).
        const QStringList motif = xprop(x, box, "_MOTIF_WM_HINTS").section(QLatin1Char('='), 1).split(QLatin1Char(','));
        QCOMPARE(motif.value(0).trimmed().toUInt(nullptr, 0) & 3u, 3u);
        QCOMPARE(motif.value(1).trimmed().toUInt(nullptr, 0) & (1u | 8u | 16u), 0u);
        QCOMPARE(motif.value(2).trimmed().toUInt(nullptr, 0) & (1u | 32u | 64u), 0u);
        QString actions;
        QTRY_VERIFY_WITH_TIMEOUT((actions = xprop(x, box, "_NET_WM_ALLOWED_ACTIONS")).contains(QLatin1String("CLOSE")),
                                 15000);
        for (const QString &action : withheld)
            QVERIFY2(!actions.contains(QLatin1String("_NET_WM_ACTION_") + action), qPrintable(actions));

        // The box's face just inside its corner, once it has been painted.
        const QPoint boxCorner = cornerOf(x, box);
        const QRect bar = QRect(8, 8, 164, 16).translated(cornerOf(x, main)); // as classicwindows puts it
        const QString file = QDir(m_shots.path()).filePath(windowManager + QStringLiteral(".png"));
        QImage shot;
        QTRY_COMPARE_WITH_TIMEOUT((shot = screen(x, file)).pixel(boxCorner + QPoint(2, 2)) | 0xFF000000u, face, 30000);
        // Blocks two thirds of the inner height wide, two pixels apart,
        // from inside the sunken edge to half way; face beyond.
        for (const auto &[at, colour] : {std::pair{2, navy}, {9, navy}, {10, face}, {12, navy}, {120, face}})
            QCOMPARE(shot.pixel(bar.left() + at, bar.center().y()) | 0xFF000000u, colour);
    }

private:
    QTemporaryDir m_shots;
};

QTEST_GUILESS_MAIN(TestClassicLookX11)
#include "tst_classiclookx11.moc"
