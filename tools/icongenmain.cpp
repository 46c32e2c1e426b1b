// icongen: draws the desktop icon for an icon theme.
//
//   icongen FOLDER SIZE...   writes FOLDER/<size>x<size>/apps/darvolt.png

#include "icongen.h"

#include <QDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: icongen FOLDER SIZE...\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "icongen: %s is not a size from 16 to 1024\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = root.filePath(folder + QStringLiteral("/darvolt.png"));
        if (!root.mkpath(folder) || !DrawDarvoltIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
