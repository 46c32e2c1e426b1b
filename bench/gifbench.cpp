// Decoding speed of this program's GIF reader against giflib, and the cost
// of composing the banner's last frame. Prints median times.
//
//   gifbench [TESTDATA_GIF_FOLDER]

#include "gif/composeframe.h"
#include "gif/gifimage.h"
#include "gif/gifreader.h"
#include "gif/lzwdecoder.h"

#include <gif_lib.h>

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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

} // namespace

int main(int argc, char **argv)
{
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
