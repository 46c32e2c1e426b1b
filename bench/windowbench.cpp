// Two figures for the window program.
//
// Start-up: the time from starting a process to its first painted main
// window (offscreen), for darvolt and for a minimal Qt program that shows one
// 390 x 256 window, empty and with one line of text in the main window's
// font; medians over alternating starts, and their ratios (target: at most
// 1.5 against the window with text, which pays the font system's start as
// darvolt does). With --instructions, and valgrind installed, the same
// starts are also counted in instructions under callgrind: one run each,
// the same on a busy machine as on an idle one.
//
// Throughput: one large file (1 GiB unless --size says otherwise) split into
// 10 MiB parts, once driven through the main window (its controls set, its
// Split handler run, the engine pumping the window's messages) and once by
// darvolt-split; runs alternate, each into a fresh folder after the previous
// one's data reached the disk; medians and their ratio (target: at most 1.1).

#include "app/startup.h"
#include "app/tform4.h"
#include "platform/posixplatform.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace darvolt;

namespace {

struct Options {
    qint64 size = qint64(1) << 30;
    int runs = 3;
    int starts = 15;
    QString dir = QDir::tempPath();
    bool instructions = false;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

qint64 monotonicNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Milliseconds from starting the program to its first painted window; a
// negative value when it did not report one.
double startToFirstPaint(const QString &program, const QStringList &arguments = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    const qint64 started = monotonicNanoseconds();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return -1;
    bool ok = false;
    const qint64 painted = process.readAllStandardOutput().trimmed().toLongLong(&ok);
    return ok ? double(painted - started) / 1e6 : -1;
}

void measureStartUp(const Options &options)
{
    const QString bin = QCoreApplication::applicationDirPath();
    const QString minimal = bin + QStringLiteral("/windowbench-minimal");
    const QString darvolt = bin + QStringLiteral("/windowbench-darvolt");
    // One start of each first, so that both find their libraries cached.
    startToFirstPaint(minimal);
    startToFirstPaint(darvolt);
    const QStringList text{QStringLiteral("--text")};
    std::vector<double> minimalTimes, textTimes, darvoltTimes;
    for (int i = 0; i < options.starts; ++i) {
        minimalTimes.push_back(startToFirstPaint(minimal));
        textTimes.push_back(startToFirstPaint(minimal, text));
        darvoltTimes.push_back(startToFirstPaint(darvolt));
    }
    for (const auto *times : {&minimalTimes, &textTimes, &darvoltTimes}) {
        if (std::any_of(times->begin(), times->end(), [](double t) { return t < 0; })) {
            std::printf("start-up: a probe did not report its first paint\n");
            return;
        }
    }
    const double m = median(minimalTimes), t = median(textTimes), d = median(darvoltTimes);
    std::printf("start-up to first painted window, median of %d starts (offscreen):\n", options.starts);
    std::printf("  minimal Qt program (empty 390 x 256 window): %8.1f ms\n", m);
    std::printf("  the same with one line of text in its font:  %8.1f ms\n", t);
    std::printf("  darvolt main window:                         %8.1f ms\n", d);
    std::printf("  ratio darvolt / minimal:                     %8.2f\n", d / m);
    std::printf("  ratio darvolt / minimal with text:           %8.2f   (target <= 1.5)\n", d / t);
}

// Instructions from starting the program to its first painted window, as
// callgrind counts them up to the probe's dump at the first paint; a
// negative value when the count could not be had.
double instructionsToFirstPaint(const QString &valgrind, const QString &program, const QStringList &arguments = {})
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return -1;
    const QString out = dir.filePath(QStringLiteral("callgrind.out"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(valgrind, QStringList{QStringLiteral("--tool=callgrind"), QStringLiteral("--callgrind-out-file=") + out,
                                        program}
                                + arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        return -1;
    QFile dump(out + QStringLiteral(".1"));
    if (!dump.open(QIODevice::ReadOnly))
        return -1;
    while (!dump.atEnd()) {
        const QByteArray line = dump.readLine().trimmed();
        if (line.startsWith("totals:"))
            return line.mid(7).trimmed().toDouble();
    }
    return -1;
}

void measureInstructions()
{
    const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
    if (valgrind.isEmpty()) {
        std::printf("instructions: valgrind is not installed; skipped\n");
        return;
    }
    const QString bin = QCoreApplication::applicationDirPath();
    const double t = instructionsToFirstPaint(valgrind, bin + QStringLiteral("/windowbench-minimal"), {QStringLiteral("--text")});
    const double d = instructionsToFirstPaint(valgrind, bin + QStringLiteral("/windowbench-darvolt"));
    if (t <= 0 || d <= 0) {
        std::printf("instructions: a probe was not counted to its first paint\n");
        return;
    }
    std::printf("instructions to first painted window (callgrind):\n");
    std::printf("  minimal Qt program with one line of text: %12.0f\n", t);
    std::printf("  darvolt main window:                      %12.0f\n", d);
    std::printf("  ratio darvolt / minimal with text:        %12.2f\n", d / t);
}

bool makeSource(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 2654435761u) >> 24);
    for (qint64 written = 0; written < size;) {
        const qint64 n = std::min<qint64>(block.size(), size - written);
        block[0] = static_cast<char>(written >> 20); // no two blocks alike
        if (file.write(block.constData(), n) != n)
            return false;
        written += n;
    }
    return true;
}

// Seconds for darvolt-split on the file, or a negative value on failure.
double splitWithCommand(const QString &file)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(DARVOLT_SPLIT_PROGRAM), {QStringLiteral("--custom"), QStringLiteral("10240"), file});
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::printf("darvolt-split failed: %s\n", process.readAllStandardError().constData());
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

// Seconds for the same split through the main window.
double splitWithWindow(const QString &file)
{
    darvolt::PosixPlatform platform;
    TForm4 form(&platform);
    form.SetArguments({file});
    // darvolt-split opens no file manager; neither does this run.
    form.RunOptions().openFileManager = false;
    form.show();
    TApplication::ProcessMessages();
    const Ui::TForm4 &ui = form.Controls();
    ui.RadioButton2->click();
    ui.Edit2->setText(QStringLiteral("10240"));
    QElapsedTimer timer;
    timer.start();
    form.FlatSpeedButton1Click(ui.FlatSpeedButton1);
    return double(timer.nsecsElapsed()) / 1e9;
}

void measureThroughput(const Options &options)
{
    if (!QFile::exists(QStringLiteral(DARVOLT_SPLIT_PROGRAM))) {
        std::printf("throughput: darvolt-split is not built; skipped\n");
        return;
    }
    QTemporaryDir dir(options.dir + QStringLiteral("/windowbench-XXXXXX"));
    if (!dir.isValid()) {
        std::printf("throughput: cannot make a folder in %s\n", qPrintable(options.dir));
        return;
    }
    const QString file = dir.filePath(QStringLiteral("source.bin"));
    if (!makeSource(file, options.size)) {
        std::printf("throughput: cannot write %lld bytes in %s\n", static_cast<long long>(options.size),
                    qPrintable(options.dir));
        return;
    }
    const QString parts = dir.filePath(QStringLiteral("SOURCE_PARTS"));
    int shown = 0;
    const TMessageDialogHandler previous = SetMessageDialogHandler([&shown](const TMessageDialogRequest &request) {
        ++shown;
        std::printf("  dialog: %s\n", qPrintable(request.text));
        return mrOk;
    });
    std::vector<double> windowTimes, commandTimes;
    for (int i = 0; i < options.runs; ++i) {
        for (int which = 0; which < 2; ++which) {
            QDir(parts).removeRecursively();
            ::sync();
            const bool windowFirst = i % 2 == 0;
            const bool window = (which == 0) == windowFirst;
            const double t = window ? splitWithWindow(file) : splitWithCommand(file);
            if (t < 0) {
                SetMessageDialogHandler(previous);
                return;
            }
            (window ? windowTimes : commandTimes).push_back(t);
        }
    }
    SetMessageDialogHandler(previous);
    QDir(parts).removeRecursively();
    const double mib = double(options.size) / double(1 << 20);
    const double w = median(windowTimes), c = median(commandTimes);
    std::printf("split of %.0f MiB into 10 MiB parts, median of %d runs each (in %s):\n", mib, options.runs,
                qPrintable(options.dir));
    std::printf("  darvolt-split:           %7.2f s  %8.1f MiB/s\n", c, mib / c);
    std::printf("  through the main window: %7.2f s  %8.1f MiB/s\n", w, mib / w);
    std::printf("  ratio window / command:  %7.2f     (target <= 1.1)\n", w / c);
    if (shown)
        std::printf("  (%d dialogs were shown during the runs)\n", shown);
}

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--instructions")) {
            options.instructions = true;
            continue;
        }
        if (i + 1 >= args.size())
            break;
        if (args[i] == QLatin1String("--size"))
            options.size = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--runs"))
            options.runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--starts"))
            options.starts = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--dir"))
            options.dir = args[i + 1];
        ++i;
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    PrepareApplication(app);
    const Options options = parseOptions(QCoreApplication::arguments());
    measureStartUp(options);
    if (options.instructions)
        measureInstructions();
    measureThroughput(options);
    return 0;
}
