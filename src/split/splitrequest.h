#pragma once
// Building a split request from the main window's controls, as the Split
// button does it.

#include "split/splitview.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace darvolt {

// The part-size choice of the three radio buttons.
enum class SizeMode { StandardDiskette, CustomSize, SpanDiskettes };

// Bytes per part of a standard diskette: 1423.5 KB, what a 1.44 MB diskette
// holds after its file system, not 1474560.
inline constexpr std::int64_t StandardPartSize = 1457664;

// The checked mode, tested in the order RadioButton1 (standard), RadioButton3
// (span), then anything else counts as RadioButton2 (custom).
SizeMode SizeModeFromRadios(bool radioButton1, bool radioButton2, bool radioButton3);

// Reads the custom-size text as a number of KB: leading blanks (code 32),
// then decimal digits with an optional "+" or "-", or "$" and hexadecimal
// digits; nothing after the digits. Answers nothing for anything else, for 0
// and negative numbers, and for a size whose bytes do not fit in 64 bits.
std::optional<std::int64_t> ParseCustomSize(std::string_view text);


struct SplitRequest {
    std::string sourceName;   // bare, as typed
    std::string sourceFolder; // ending in "/", or empty
    std::int64_t partSize = 0; // bytes per part; 0 spans diskettes
    // Where the parts and the run's files go in folder mode, made when
    // missing; empty: NAME_PARTS beside the source.
    std::string outputFolder = {};
};

enum class RequestStatus {
    Ready,              // call SplitFile with the request
    CustomSizeRejected, // select all of Edit2 and focus it; nothing was shown
    TooLarge,           // the error dialog has been shown through the view
};

struct RequestResult {
    RequestStatus status = RequestStatus::Ready;
    SplitRequest request;
};

// fileField: the file field's text (quotes already removed by the window).
// sourceSize: the window's SourceSize (0 for a file it could not open, 3 for
// an unknown size). A part size not smaller than sourceSize shows
// texts::SizeTooLarge through view.showError.
RequestResult BuildSplitRequest(std::string_view fileField, SizeMode mode, std::string_view customSizeText,
                                std::int64_t sourceSize, SplitView& view);

// The same for a part size in bytes that is already known (0 spans
// diskettes), as darvolt-split's options give it.
RequestResult BuildSplitRequestOfSize(std::string_view fileField, std::int64_t partSize, std::int64_t sourceSize,
                                      SplitView& view);

// darvolt-split's -b and -n, which take sizes as GNU split does: a source
// not larger than the part size is not refused but gives one part holding
// all of it (the part size becomes one byte more than the source, so that no
// empty part follows). sourceSize < 0: not known, the size is kept.
SplitRequest SplitRequestUpTo(std::string_view fileField, std::int64_t partSize, std::int64_t sourceSize);

} // namespace darvolt
