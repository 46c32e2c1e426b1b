// Decoding speed of this program's GIF reader against giflib, and the cost
// of composing the banner's last frame. Prints median times.
//
//   gifbench [TESTDATA_GIF_FOLDER]
//   gifbench --memory [GIF_FILE]
//
// With --memory: the peak memory of reading a picture, decoding every frame
// of it, and composing its last frame, each in a process of its own, against
// the image's budget of held pixels. The picture is by default 586 bytes of
// 40 frames of 8192 x 8191 pixels, each only a clear and an end code.

#include "gif/composeframe.h"
#include "gif/gifimage.h"
#include "gif/gifreader.h"
#include "gif/lzwdecoder.h"

#include <gif_lib.h>

#include <QBuffer>
#include <QFile>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace darvolt;

namespace {

using Clock = std::chrono::steady_clock;

double MedianMs(int runs, const std::function<void()> &work)
{
    work(); // warm caches
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Ours: parse, then decode every frame into an 8-bit index buffer.
std::size_t DecodeAllOurs(const std::vector<std::uint8_t> &bytes)
{
    GifStreamContent content;
    ReadGifStream(bytes, content);
    std::size_t pixels = 0;
    std::vector<std::uint8_t> buffer;
    for (const GifFrameRecord &frame : content.Frames) {
        const TGIFItem &item = *frame.EncodedImage;
        buffer.assign(GifRowSize(item.PixelWidth, 8) * std::size_t(item.PixelHeight), 0);
        DecodeFrame(item.CodeStream, item.PixelWidth, item.PixelHeight, 8, frame.IsInterlaced, item.PixelBits, true,
                    buffer);
        pixels += std::size_t(item.PixelWidth) * std::size_t(item.PixelHeight);
    }
    return pixels;
}

struct MemoryReader
{
    const std::vector<std::uint8_t> *bytes;
    std::size_t pos;
};

int ReadFromMemory(GifFileType *gif, GifByteType *dest, int count)
{
    auto *reader = static_cast<MemoryReader *>(gif->UserData);
    const std::size_t n = std::min(std::size_t(count), reader->bytes->size() - reader->pos);
    std::memcpy(dest, reader->bytes->data() + reader->pos, n);
    reader->pos += n;
    return int(n);
}

std::size_t DecodeAllGiflib(const std::vector<std::uint8_t> &bytes)
{
    MemoryReader reader{&bytes, 0};
    int error = 0;
    GifFileType *gif = DGifOpen(&reader, ReadFromMemory, &error);
    if (!gif)
        return 0;
    std::size_t pixels = 0;
    if (DGifSlurp(gif) == GIF_OK)
        for (int i = 0; i < gif->ImageCount; ++i)
            pixels += std::size_t(gif->SavedImages[i].ImageDesc.Width) * std::size_t(gif->SavedImages[i].ImageDesc.Height);
    DGifCloseFile(gif, &error);
    return pixels;
}

std::vector<std::uint8_t> ReadAll(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

QByteArray FortyEmptyFrames()
{
    QByteArray gif("GIF89a");
    const auto word = [&gif](int value) {
        gif.append(char(value & 0xFF));
        gif.append(char(value >> 8));
    };
    word(8192);
    word(8191);
    gif.append("\x81\x00\x00", 3); // a global table of 4 colours follows
    gif.append(12, '\0');
    for (int i = 0; i < 40; ++i) {
        gif.append(',');
        for (int value : {0, 0, 8192, 8191})
            word(value);
        // No local table; code size 2; one sub-block of one byte holding the
        // clear code (4) and the end code (5) at 3 bits each.
        gif.append("\x00\x02\x01\x2C\x00", 5);
    }
    gif.append(';');
    return gif;
}

struct Peak
{
    double seconds = 0;
    double peakMiB = 0;
    double heldMiB = 0; // what the image holds when the step is done
    bool ok = false;
};

// Runs the step in a child process, so that each step's peak is its own.
Peak InChild(const QByteArray &gif, const std::function<void(TGIFImage &)> &step)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        double report[2] = {0, 0};
        const auto start = Clock::now();
        try {
            TGIFImage image;
            image.ReadGif(gif, false);
            step(image);
            report[1] = double(image.HeldPixelBytes()) / (1024 * 1024);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "gifbench: %s\n", e.what());
            _exit(2);
        }
        report[0] = std::chrono::duration<double>(Clock::now() - start).count();
        _exit(write(fds[1], report, sizeof report) == sizeof report ? 0 : 3);
    }
    close(fds[1]);
    double report[2] = {0, 0};
    const bool reported = read(fds[0], report, sizeof report) == sizeof report;
    close(fds[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return {};
    return {report[0], double(usage.ru_maxrss) / 1024, report[1],
            reported && WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

int MeasureMemory(const char *path)
{
    QByteArray gif = FortyEmptyFrames();
    if (path) {
        QFile file(QString::fromLocal8Bit(path));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "gifbench: cannot read %s\n", path);
            return 1;
        }
        gif = file.readAll();
    }
    TGIFImage image;
    image.ReadGif(gif, false);
    const double budget = double(image.PixelBudget()) / (1024 * 1024);
    std::printf("%lld bytes, %d frames, logical screen %d x %d; budget of held pixels %.0f MiB\n",
                qint64(gif.size()), image.FrameCount(), image.LogicalWidth(), image.LogicalHeight(), budget);
    std::printf("%-24s %9s %12s %14s %12s\n", "step", "seconds", "peak MiB", "above read", "held MiB");
    const Peak read = InChild(gif, [](TGIFImage &) {});
    const int last = image.FrameCount() - 1;
    std::printf("%-24s %9.2f %12.1f\n", "read only", read.seconds, read.peakMiB);
    const struct
    {
        const char *name;
        std::function<void(TGIFImage &)> step;
    } steps[] = {
        {"decode every frame",
         [](TGIFImage &picture) {
             for (int i = 0; i < picture.FrameCount(); ++i)
                 picture.Frame(i)->Bitmap();
         }},
        {"compose the last frame", [last](TGIFImage &picture) { ComposeFrame(picture, last); }},
    };
    int status = read.ok ? 0 : 1;
    for (const auto &[name, step] : steps) {
        const Peak peak = InChild(gif, step);
        const double above = peak.peakMiB - read.peakMiB;
        std::printf("%-24s %9.2f %12.1f %14.1f %12.1f%s\n", name, peak.seconds, peak.peakMiB, above, peak.heldMiB,
                    !peak.ok ? "   failed" : above > budget ? "   over the budget" : "");
        if (!peak.ok || above > budget)
            status = 1;
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0)
        return MeasureMemory(argc > 2 ? argv[2] : nullptr);
    const std::string folder = argc > 1 ? argv[1] : DARVOLT_TESTDATA_GIF;
    int status = 0;
    std::printf("%-28s %8s %10s %10s %7s\n", "file", "frames", "ours ms", "giflib ms", "ratio");
    for (const char *name : {"harvesters.gif", "gifplayer-muybridge.gif"}) {
        const std::vector<std::uint8_t> bytes = ReadAll(folder + "/wuffs/" + name);
        if (bytes.empty()) {
            std::fprintf(stderr, "gifbench: cannot read %s/wuffs/%s\n", folder.c_str(), name);
            status = 1;
            continue;
        }
        if (DecodeAllOurs(bytes) != DecodeAllGiflib(bytes)) {
            std::fprintf(stderr, "gifbench: %s: the decoders disagree on the pixel count\n", name);
            status = 1;
        }
        GifStreamContent content;
        ReadGifStream(bytes, content);
        const double ours = MedianMs(21, [&] { DecodeAllOurs(bytes); });
        const double theirs = MedianMs(21, [&] { DecodeAllGiflib(bytes); });
        std::printf("%-28s %8zu %10.3f %10.3f %7.2f\n", name, content.Frames.size(), ours, theirs, ours / theirs);
    }

    QFile bannerFile(QStringLiteral(DARVOLT_BANNER_FILE));
    if (bannerFile.open(QIODevice::ReadOnly)) {
        TGIFImage banner;
        banner.ReadData(bannerFile);
        const double compose = MedianMs(501, [&] { ComposeFrame(banner, 43); });
        std::printf("ComposeFrame(banner, 43) median: %.3f ms (%d frames of %dx%d)\n", compose, banner.FrameCount(),
                    banner.LogicalWidth(), banner.LogicalHeight());
    } else {
        std::fprintf(stderr, "gifbench: cannot read the banner resource\n");
        status = 1;
    }
    return status;
}
