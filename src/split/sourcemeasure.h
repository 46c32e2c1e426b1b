#pragma once
// Measuring the selected file for the main window's size display.

#include "platform/platform.h"

#include <cstdint>
#include <string>

namespace darvolt {

struct SourceMeasure {
    // False for a name that is not an existing file (a folder, a FIFO,
    // socket or device count as not existing): the window then keeps the
    // size, the display and the Split button as they were.
    bool exists = false;
    // The window's SourceSize: the size in bytes, 0 when the file cannot be
    // opened for reading, 3 when its size cannot be read.
    std::int64_t sourceSize = 0;
    // sourceSize is the file's true size (not 0 or 3 for a file that could
    // not be opened or measured).
    bool sizeKnown = false;
    // "? (file in use)", "unknown", or size div 1024 + 1 followed by " kb".
    std::string sizeText;
    // Whether the Split button may be enabled.
    bool splittable = false;
    // Why the file could not be read: the attribute bits that rule it out
    // (Directory, Device) or the code of the failed open.
    std::uint32_t attributes = 0;
    ErrorCode openError = error::None;
};

// Opens the file for reading only, as the run will, and never blocks or
// changes the file or its attributes.
SourceMeasure MeasureSource(Platform& platform, const std::string& path);

} // namespace darvolt
