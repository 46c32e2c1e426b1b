// The files that put Darvolt into a desktop's menu and software centre: the
// desktop entry and the AppStream metadata as their validators read them, the
// release records, and the icon in every size of the icon theme.

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>

#include <cstdlib>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The part of a pixel that is neither fully there nor fully gone.
bool blurred(QRgb pixel) { return qAlpha(pixel) != 0 && qAlpha(pixel) != 255; }

} // namespace

class TestDesktopFiles : public QObject
{
    Q_OBJECT

private slots:
    void validatorsFindNothing_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("desktop entry") << QStringList{QStringLiteral("desktop-file-validate"),
                                                      QStringLiteral(DARVOLT_DESKTOP_DIR "/darvolt.desktop")};
        QTest::newRow("AppStream metadata")
            << QStringList{QStringLiteral("appstreamcli"), QStringLiteral("validate"), QStringLiteral("--no-net"),
                           QStringLiteral("--pedantic"),
                           QStringLiteral(DARVOLT_DESKTOP_DIR "/org.example.darvolt.metainfo.xml")};
    }

    void validatorsFindNothing()
    {
        QFETCH(QStringList, command);
        const QString tool = QStandardPaths::findExecutable(command.first());
        if (tool.isEmpty()) {
            const QByteArray why = command.first().toUtf8() + " is not installed";
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL(why.constData());
            QSKIP(why.constData());
        }
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tool, command.mid(1));
        QVERIFY(process.waitForFinished(60000));
        // Whatever a validator says beyond its word of success is a finding.
        QString said = QString::fromUtf8(process.readAll());
        said.remove(QRegularExpression(QStringLiteral(".*Validation was successful\\.")));
        QCOMPARE(said.trimmed(), QString());
        QCOMPARE(process.exitCode(), 0);
    }

    void releaseRecordsNameThisVersion()
    {
        // The newest changelog entry: "darvolt (2.1.0) ..." and its signature's date.
        const QString changelog = QString::fromUtf8(contents(QStringLiteral(DARVOLT_CHANGELOG)));
        const auto entry = QRegularExpression(QStringLiteral(R"(^darvolt \(([^)]+)\) )")).match(changelog);
        QVERIFY(entry.hasMatch());
        const auto signed_ = QRegularExpression(QStringLiteral(R"(^ -- .+>  \w+, (\d\d \w+ \d{4}) )"),
                                                QRegularExpression::MultilineOption)
                                 .match(changelog);
        QVERIFY(signed_.hasMatch());
        const QDate changelogDate = QLocale::c().toDate(signed_.captured(1), QStringLiteral("dd MMM yyyy"));

        // The newest release of the metadata comes first.
        QXmlStreamReader metainfo(contents(QStringLiteral(DARVOLT_DESKTOP_DIR "/org.example.darvolt.metainfo.xml")));
        while (!metainfo.atEnd() && !(metainfo.readNextStartElement() && metainfo.name() == u"release")) {
        }
        QVERIFY(!metainfo.hasError() && metainfo.name() == u"release");

        QCOMPARE(entry.captured(1), QStringLiteral(DARVOLT_VERSION));
        QCOMPARE(metainfo.attributes().value(QStringLiteral("version")).toString(), QStringLiteral(DARVOLT_VERSION));
        QCOMPARE(QDate::fromString(metainfo.attributes().value(QStringLiteral("date")).toString(), Qt::ISODate), changelogDate);
    }

    void iconIsSharpAndTheSamePictureInEverySize_data()
    {
        QTest::addColumn<int>("size");
        // What desktops ask for, from the menu to the software centre.
        for (const int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("%d", size) << size;
    }

    void iconIsSharpAndTheSamePictureInEverySize()
    {
        QFETCH(int, size);
        const QImage icon = QImage(QStringLiteral(DARVOLT_ICON_DIR "/%1x%1/apps/darvolt.png").arg(size))
                                .convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(icon.size(), QSize(size, size));

        // Edges on whole pixels: only the folded corner's diagonal is smoothed.
        int soft = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                soft += blurred(icon.pixel(x, y));
        QVERIFY2(soft * 50 < size * size, qPrintable(QString::number(soft)));

        // Drawn anew for each size, yet the same shape as the biggest one
        // when both are looked at from afar. Edges moved onto whole pixels
        // shift by up to half a pixel, which at 16 pixels is much of a
        // stroke.
        const auto afar = [](const QImage &image) {
            return image.scaled(8, 8, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_ARGB32);
        };
        const QImage small = afar(icon);
        const QImage biggest = afar(QImage(QStringLiteral(DARVOLT_ICON_DIR "/256x256/apps/darvolt.png")));
        int difference = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                difference += std::abs(qAlpha(small.pixel(x, y)) - qAlpha(biggest.pixel(x, y)));
        QVERIFY2(difference * 8 < 255 * 8 * 8, qPrintable(QString::number(difference)));
    }

    void menuIconIsTheWindowIconRedrawn()
    {
        const QImage menu = QImage(QStringLiteral(DARVOLT_ICON_DIR "/32x32/apps/darvolt.png"))
                                .convertToFormat(QImage::Format_ARGB32);
        const QImage window = QImage(QStringLiteral(DARVOLT_WINDOW_ICON)).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(window.size(), menu.size());
        int same = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                same += menu.pixel(x, y) == window.pixel(x, y);
        // At least three pixels in four, so that the menu and the title band
        // show the same picture.
        QVERIFY2(same * 4 >= 32 * 32 * 3, qPrintable(QString::number(same)));
    }
};

QTEST_MAIN(TestDesktopFiles)
#include "tst_desktopfiles.moc"
