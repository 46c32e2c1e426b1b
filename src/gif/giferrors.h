#pragma once

#include <stdexcept>
#include <string>

namespace darvolt {

// Errors of the GIF reader and image model. The messages are shown to users
// and compared by callers, so they are kept word for word in one place.
class EInvalidGraphicOperation : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A read that came short: the stream layer's own error.
class EReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace GifMessages {
inline constexpr const char *UnknownVersion = "Unknown GIF version";
inline constexpr const char *CorruptData = "GIF encoded data is corrupt";
inline constexpr const char *CodeSizeRange = "GIF code size not in range 2 to 9";
inline constexpr const char *WrongColorCount = "Wrong number of colors; must be a power of 2";
inline constexpr const char *UnrecognizedExtension = "Unrecognized extension block: %.2x";
inline constexpr const char *StreamRead = "Stream read error";
inline constexpr const char *CannotChangeSize = "Cannot change the Size of a GIF image";

// Largest picture the model will allocate (frame bitmap or composed
// screen): a hostile header must not be able to exhaust memory.
inline constexpr long long MaxPixels = 64LL * 1024 * 1024;

// Bytes of decoded pixels one image may hold at once, over all its frames
// and the composed screen (see TGIFImage::PixelBudget). It is what the
// largest step needs: the largest screen at 4 bytes a pixel beside the
// largest frame being decoded (1 byte a pixel for the bitmap, 1 for the
// decoder's work), with room to spare.
inline constexpr long long MaxHeldBytes = 400LL * 1024 * 1024;

// "Unrecognized extension block: 3A" for label 0x3a.
std::string UnrecognizedExtensionText(unsigned label);

// The message for a frame or screen larger than MaxPixels.
std::string TooLargeText(const char *what, long long width, long long height);

// The message for a frame or screen that does not fit into an image's
// budget of held pixels (in bytes) beside what the image cannot let go.
std::string OverBudgetText(const char *what, long long width, long long height, long long budget);
} // namespace GifMessages

} // namespace darvolt
