// The program's windows in one classic scheme on a real X server under
// openbox: an error message and a progress bar, photographed. The box has
// the grey 3-D face of the forms, not the desktop theme's, and the bar's
// filled part is separate navy blocks on that face. To the window manager
// the box is a dialog of the window it appeared over, with nothing to
// minimise or maximise.
#include "desktopsession.h"

#include <QRegularExpression>
#include <QTest>

namespace {

constexpr QRgb face = qRgb(192, 192, 192);
constexpr QRgb navy = qRgb(0, 0, 128);

// The bar's place in its window, as classicwindows puts it.
const QRect bar(8, 8, 164, 16);

QString windowTitled(const XSession &x, const TestChild &program, const QString &title)
{
    for (const QString &window : x.VisibleWindows(program.Pid()))
        if (x.XDoTool({QStringLiteral("getwindowname"), window}).trimmed() == title)
            return window;
    return {};
}

QString windowProperty(const XSession &x, const QString &window, const QString &name)
{
    return RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, name}, x.Environment()).trimmed();
}

// Where a window's own area lies on the screen, its frame left out.
QRect placeOf(const XSession &x, const QString &window)
{
    const QString info = RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}, x.Environment());
    const auto field = [&info](const char *name) {
        static const QRegularExpression number(QStringLiteral(":\\s*(-?\\d+)"));
        return number.match(info, info.indexOf(QLatin1String(name))).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
}

// Whether the Motif hints let the window manager offer a function (the
// bits of the second field) or a decoration (the third); an "all" bit turns
// the meaning of the others round.
bool motifAllows(const QString &hints, int field, unsigned bit)
{
    const QStringList values = hints.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    if (values.size() < 3)
        return true;
    const unsigned flags = values[0].trimmed().toUInt(nullptr, 0);
    if (!(flags & (1u << (field - 1))))
        return true;
    const unsigned mask = values[field].trimmed().toUInt(nullptr, 0);
    return (mask & 1u) ? !(mask & bit) : (mask & bit) != 0;
}

// The colours along a row of the screen, with runs of one colour merged.
QList<QRgb> runs(const QImage &screen, int y, int from, int to)
{
    QList<QRgb> colours;
    for (int x = from; x < to; ++x) {
        const QRgb pixel = screen.pixel(x, y) | 0xFF000000u;
        if (colours.isEmpty() || colours.last() != pixel)
            colours << pixel;
    }
    return colours;
}

} // namespace

class TestClassicLookX11 : public QObject
{
    Q_OBJECT

private:
    QImage screen(const XSession &x)
    {
        const QString file = m_shots.filePath(QStringLiteral("screen.png"));
        QFile::remove(file);
        RunTool(QStringLiteral(CLASSIC_WINDOWS), {QStringLiteral("--grab"), file}, x.Environment());
        return QImage(file);
    }

    QTemporaryDir m_shots;

    // The program with its message box up, under a window manager; the
    // windows are named once both are visible.
    struct Session {
        XSession x;
        std::unique_ptr<TestChild> program;
        QString main;
        QString box;
    };
    void start(Session &session, const QString &windowManager)
    {
        XSession &x = session.x;
        QVERIFY2(x.Started(), "Xvfb could not be started");
        QVERIFY2(x.StartWindowManager(windowManager), qPrintable(x.WindowManagerLog()));
        session.program = std::make_unique<TestChild>(QStringLiteral(CLASSIC_WINDOWS), QStringList(), x.Environment());
        QVERIFY(session.program->Started());
        const TestChild &program = *session.program;
        QTRY_VERIFY_WITH_TIMEOUT(!(session.main = windowTitled(x, program, QStringLiteral("Classic windows"))).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!(session.box = windowTitled(x, program, QStringLiteral("Error"))).isEmpty(), 10000);
    }

private slots:
    // What the box tells the window manager, and what the window manager
    // makes of it: openbox lets any dialog be iconified, whatever it asks.
    void theMessageBoxIsADialogOfItsWindowWithoutMaximiseOrMinimise_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::addColumn<QStringList>("withheld");
        const QString minimise = QStringLiteral("_NET_WM_ACTION_MINIMIZE");
        const QStringList maximise{QStringLiteral("_NET_WM_ACTION_MAXIMIZE_HORZ"), QStringLiteral("_NET_WM_ACTION_MAXIMIZE_VERT")};
        QTest::newRow("openbox") << "openbox" << maximise;
        QTest::newRow("metacity") << "metacity" << maximise + QStringList{minimise};
        QTest::newRow("xfwm4") << "xfwm4" << maximise + QStringList{minimise};
    }
    void theMessageBoxIsADialogOfItsWindowWithoutMaximiseOrMinimise()
    {
        QFETCH(QString, windowManager);
        QFETCH(QStringList, withheld);
        Session session;
        start(session, windowManager);
        if (QTest::currentTestFailed())
            return;
        const XSession &x = session.x;
        const QString &box = session.box;
        QVERIFY(windowProperty(x, box, QStringLiteral("_NET_WM_WINDOW_TYPE")).contains(QLatin1String("_NET_WM_WINDOW_TYPE_DIALOG")));
        QCOMPARE(windowProperty(x, box, QStringLiteral("WM_TRANSIENT_FOR")).section(QLatin1Char('#'), 1).trimmed().toULongLong(nullptr, 16),
                 session.main.toULongLong());
        const QString motif = windowProperty(x, box, QStringLiteral("_MOTIF_WM_HINTS"));
        QVERIFY2(!motifAllows(motif, 1, 8) && !motifAllows(motif, 1, 16), qPrintable(motif));   // minimise, maximise
        QVERIFY2(!motifAllows(motif, 2, 32) && !motifAllows(motif, 2, 64), qPrintable(motif));  // their boxes
        QVERIFY2(motifAllows(motif, 1, 32), qPrintable(motif));                                 // close
        QString actions;
        QTRY_VERIFY_WITH_TIMEOUT((actions = windowProperty(x, box, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"))).contains(QLatin1String("_NET_WM_ACTION_CLOSE")), 5000);
        for (const QString &action : withheld)
            QVERIFY2(!actions.contains(action), qPrintable(actions));
    }

    void theMessageBoxAndTheProgressBarWearTheClassicScheme()
    {
        Session session;
        start(session, QStringLiteral("openbox"));
        if (QTest::currentTestFailed())
            return;
        // The box's face just inside its corner, once it has been painted.
        const QRect boxPlace = placeOf(session.x, session.box);
        const QRect mainPlace = placeOf(session.x, session.main);
        QVERIFY(!boxPlace.intersects(mainPlace));
        QImage shot;
        QTRY_COMPARE_WITH_TIMEOUT((shot = screen(session.x)).pixel(boxPlace.topLeft() + QPoint(2, 2)) | 0xFF000000u, face, 10000);

        // Half the bar is filled: at least two navy blocks with face between
        // them, and nothing but face after the last.
        const QRect place = bar.translated(mainPlace.topLeft());
        const QList<QRgb> filled = runs(shot, place.center().y(), place.left() + 2, place.center().x() - 8);
        const QSet<QRgb> colours(filled.begin(), filled.end());
        QVERIFY(filled.count(navy) >= 2);
        QCOMPARE(colours, (QSet<QRgb>{navy, face}));
        QCOMPARE(runs(shot, place.center().y(), place.center().x() + 8, place.right() - 2), QList<QRgb>{face});
    }
};

QTEST_GUILESS_MAIN(TestClassicLookX11)
#include "tst_classiclookx11.moc"
