// bannergen: writes the banner resource (stored form: 32-bit count + GIF89a).
//
//   bannergen OUTPUT [PNGDIR]   PNGDIR, when given, receives each frame's
//                                full picture for looking at.

#include "bannergen.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bannergen OUTPUT [PNGDIR]\n");
        return 2;
    }
    try {
        QFile out(QString::fromLocal8Bit(argv[1]));
        const QByteArray stored = BannerStoredForm();
        if (!out.open(QIODevice::WriteOnly) || out.write(stored) != stored.size() || !out.flush()) {
            std::fprintf(stderr, "bannergen: cannot write %s\n", argv[1]);
            return 1;
        }
        if (argc == 3) {
            const QDir dir(QString::fromLocal8Bit(argv[2]));
            const QList<QImage> pictures = BannerPictures();
            for (int i = 0; i < pictures.size(); ++i)
                pictures[i].save(dir.filePath(QStringLiteral("banner-%1.png").arg(i, 2, 10, QLatin1Char('0'))));
        }
        std::printf("%lld bytes\n", static_cast<long long>(stored.size()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
