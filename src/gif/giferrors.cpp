#include "giferrors.h"

#include <cstdio>

namespace darvolt {

namespace GifMessages {

std::string UnrecognizedExtensionText(unsigned label)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%.2X", label & 0xFFu);
    return std::string("Unrecognized extension block: ") + hex;
}

std::string TooLargeText(const char *what, long long width, long long height)
{
    return std::string("GIF ") + what + " of " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels is too large (at most " +
           std::to_string(MaxPixels / (1024 * 1024)) + " megapixels)";
}

std::string OverBudgetText(const char *what, long long width, long long height, long long budget)
{
    const bool megabytes = budget >= 1024 * 1024;
    const long long amount = megabytes ? budget / (1024 * 1024) : budget / 1024;
    return std::string("GIF ") + what + " of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is too large (at most " + std::to_string(amount) + (megabytes ? " MB" : " KB") +
           " of pixels at once)";
}

} // namespace GifMessages

} // namespace darvolt
