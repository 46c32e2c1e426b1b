// libFuzzer target: reads its input as a GIF, decodes every frame and
// composes frames, under a small budget of held pixels so that letting
// frames go and decoding them again happens on any input with a few large
// frames. Errors with the reader's messages are expected; crashes, hangs,
// leaks, sanitizer reports and memory held beyond the budget are not.

#include "gif/composeframe.h"
#include "gif/gifimage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/allocator_interface.h>

using namespace darvolt;
#define DARVOLT_HEAP_IN_USE() __sanitizer_get_current_allocated_bytes()
#endif
#endif
#ifndef DARVOLT_HEAP_IN_USE
#define DARVOLT_HEAP_IN_USE() std::size_t(0)
#endif

namespace {

// What one image may hold: a few frames of a megapixel or two.
constexpr long long HeldBudget = 16LL * 1024 * 1024;
// What one input may cost, in bytes of pixels decoded and drawn: dozens of
// frames of a megapixel, eight times the budget, so that an image that kept
// every frame would outgrow it, yet small enough that the fuzzer gets
// through many inputs a second.
constexpr long long WorkBudget = 8 * HeldBudget;
// The heap besides pixels: a colour table and a picture header for each
// decoded frame, and what the toolkit sets up on first use.
constexpr long long SlackPerFrame = 2048;
constexpr long long Slack = 1024 * 1024;

// Decoding and drawing a frame; one that cannot fit fails before it costs.
long long FrameCost(const TGIFFrame &frame)
{
    const long long pixels = static_cast<long long>(frame.EncodedImage->PixelWidth) * frame.EncodedImage->PixelHeight;
    return 2 * pixels <= HeldBudget ? 3 * pixels + 1 : 1;
}

// The image must never hold more than its budget beyond what reading it
// took; with the address sanitizer the heap itself is watched.
class HeapWatch
{
public:
    explicit HeapWatch(std::size_t before) : Before_(before) {}

    void Check(const TGIFImage &image, const char *step) const
    {
        if (image.HeldPixelBytes() > image.PixelBudget()) {
            std::fprintf(stderr, "fuzz_gif: %s: %lld bytes of pixels held, budget %lld\n", step,
                         image.HeldPixelBytes(), image.PixelBudget());
            std::abort();
        }
        const long long grown = static_cast<long long>(DARVOLT_HEAP_IN_USE()) - static_cast<long long>(Before_);
        const long long allowed = Structure_ + image.PixelBudget() + Slack + SlackPerFrame * image.FrameCount();
        if (grown > allowed) {
            std::fprintf(stderr, "fuzz_gif: %s: the heap grew by %lld bytes, at most %lld expected\n", step, grown,
                         allowed);
            std::abort();
        }
    }

    // What the image holds besides pixels: frames and their encoded data.
    void StructureRead()
    {
        Structure_ = static_cast<long long>(DARVOLT_HEAP_IN_USE()) - static_cast<long long>(Before_);
    }

private:
    std::size_t Before_;
    long long Structure_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    HeapWatch heap(DARVOLT_HEAP_IN_USE());
    {
        TGIFImage image;
        image.SetPixelBudget(HeldBudget);
        try {
            image.ReadGif(bytes, false);
        } catch (const std::exception &) {
            // A failed read keeps the frames before the failure: use them too.
        }
        heap.StructureRead();

        long long work = 0;
        std::vector<long long> drawnUpTo; // cost of composing frame i at most
        for (int i = 0; i < image.FrameCount(); ++i) {
            const long long cost = FrameCost(*image.Frame(i));
            drawnUpTo.push_back((drawnUpTo.empty() ? 0 : drawnUpTo.back()) + cost);
            if ((work += cost) > WorkBudget)
                return 0;
            try {
                image.Frame(i)->Bitmap();
            } catch (const std::exception &) {
            }
            heap.Check(image, "decoding");
        }
        // Composing frame i draws frames 0 to i: the first few and the last
        // one reach every disposal path without making the work quadratic.
        const long long screen = 4LL * image.LogicalWidth() * image.LogicalHeight();
        const int count = image.FrameCount();
        for (int i = 0; i < count; i = (i < 7 ? i + 1 : std::max(i + 1, count - 1))) {
            if ((work += std::min(screen, HeldBudget) + drawnUpTo[std::size_t(i)]) > WorkBudget)
                break;
            try {
                const QImage picture = ComposeFrame(image, i);
                heap.Check(image, "composing");
            } catch (const std::exception &) {
            }
        }
    }
    // A picture that is loaded decodes its first frame at once.
    TGIFImage loaded;
    loaded.SetPixelBudget(HeldBudget);
    try {
        loaded.ReadGif(bytes, true);
    } catch (const std::exception &) {
    }
    return 0;
}
