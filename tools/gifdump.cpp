// gifdump: prints what the GIF reader makes of a file, for developers.
//
//   gifdump FILE               header and one line per frame
//   gifdump --indices N FILE   frame N's colour indices, one byte a pixel, top row first
//   gifdump --compose N FILE   ComposeFrame(N) as a binary PPM (P6)

#include "gif/composeframe.h"
#include "gif/gifimage.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

using namespace darvolt;

namespace {

std::string Hex(TColor color)
{
    if (color == clNone)
        return "none";
    const QColor rgb = ColorToRGB(color);
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", rgb.red(), rgb.green(), rgb.blue());
    return text;
}

void PrintSummary(TGIFImage &image)
{
    std::printf("GIF version=%s width=%d height=%d frames=%d background=%s loop=%s\n",
                image.GifVersion == 1 ? "87a" : image.GifVersion == 2 ? "89a" : "none",
                image.ScreenWidth(), image.ScreenHeight(), image.FrameCount(), Hex(image.BackColor).c_str(),
                image.LoopFlag ? std::to_string(image.LoopCount).c_str() : "none");
    for (int i = 0; i < image.FrameCount(); ++i) {
        TGIFFrame &frame = *image.Frame(i);
        frame.Bitmap(); // decoding is what finds most corrupt frames
        std::printf("frame %d left=%d top=%d width=%d height=%d delay=%u disposal=%u key=%s "
                    "interlaced=%d local=%d corrupt=%d\n",
                    i, frame.FrameLeft, frame.FrameTop, frame.EncodedImage->PixelWidth,
                    frame.EncodedImage->PixelHeight, unsigned(frame.DelayMs), unsigned(frame.Disposal),
                    Hex(frame.KeyColor).c_str(), int(frame.IsInterlaced), int(frame.HasLocalColors),
                    int(frame.IsCorrupt));
    }
}

int PrintIndices(TGIFImage &image, int index)
{
    TGIFFrame *frame = image.Frame(index);
    if (!frame) {
        std::fprintf(stderr, "gifdump: no frame %d\n", index);
        return 1;
    }
    const QImage &bitmap = frame->Bitmap();
    std::string row;
    for (int y = 0; y < bitmap.height(); ++y) {
        row.assign(std::size_t(bitmap.width()), '\0');
        for (int x = 0; x < bitmap.width(); ++x)
            row[std::size_t(x)] = char(bitmap.pixelIndex(x, y));
        std::fwrite(row.data(), 1, row.size(), stdout);
    }
    return 0;
}

int PrintComposed(TGIFImage &image, int index)
{
    const QImage picture = ComposeFrame(image, index);
    std::printf("P6\n%d %d\n255\n", picture.width(), picture.height());
    std::string row;
    for (int y = 0; y < picture.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        row.clear();
        for (int x = 0; x < picture.width(); ++x) {
            row.push_back(char(qRed(line[x])));
            row.push_back(char(qGreen(line[x])));
            row.push_back(char(qBlue(line[x])));
        }
        std::fwrite(row.data(), 1, row.size(), stdout);
    }
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: gifdump [--indices N | --compose N] FILE\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    enum { Summary, Indices, Compose } mode = Summary;
    int index = 0;
    const char *path = nullptr;
    if (argc == 2) {
        path = argv[1];
    } else if (argc == 4 && (!std::strcmp(argv[1], "--indices") || !std::strcmp(argv[1], "--compose"))) {
        mode = argv[1][2] == 'i' ? Indices : Compose;
        char *end = nullptr;
        index = int(std::strtol(argv[2], &end, 10));
        if (!end || *end)
            return Usage();
        path = argv[3];
    } else {
        return Usage();
    }

    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "gifdump: cannot open %s: %s\n", path, qPrintable(file.errorString()));
        return 1;
    }
    try {
        TGIFImage image;
        image.LoadFromStream(file);
        switch (mode) {
        case Summary: PrintSummary(image); return 0;
        case Indices: return PrintIndices(image, index);
        case Compose: return PrintComposed(image, index);
        }
    } catch (const std::exception &e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
