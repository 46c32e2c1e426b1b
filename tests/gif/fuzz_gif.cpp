// libFuzzer target: reads its input as a GIF, decodes every frame and
// composes every frame. Errors with the reader's messages are expected;
// crashes, hangs, leaks and sanitizer reports are not.

#include "gif/composeframe.h"
#include "gif/gifimage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>

namespace {

// Keeps one input's work bounded, so that the fuzzer spends its time on
// many inputs instead of zero-filling a few huge pictures.
constexpr long long PixelBudget = 16LL * 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    TGIFImage image;
    try {
        image.ReadGif(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)), true);
    } catch (const std::exception &) {
        // A failed read keeps the frames before the failure: use them too.
    }
    long long budget = PixelBudget;
    for (int i = 0; i < image.FrameCount(); ++i) {
        const TGIFFrame &frame = *image.Frame(i);
        budget -= 1 + static_cast<long long>(frame.EncodedImage->PixelWidth) * frame.EncodedImage->PixelHeight;
        if (budget < 0)
            return 0;
        try {
            image.Frame(i)->Bitmap();
        } catch (const std::exception &) {
        }
    }
    // Composing frame i draws frames 0 to i: the first few and the last one
    // reach every disposal path without making the work quadratic.
    const long long screen = static_cast<long long>(image.LogicalWidth()) * image.LogicalHeight();
    const int count = image.FrameCount();
    for (int i = 0; i < count && screen * (i + 1) <= PixelBudget; i = (i < 7 ? i + 1 : std::max(i + 1, count - 1))) {
        try {
            ComposeFrame(image, i);
        } catch (const std::exception &) {
        }
    }
    return 0;
}
