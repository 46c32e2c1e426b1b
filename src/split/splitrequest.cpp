#include "split/splitrequest.h"

#include "parts/partnaming.h"
#include "split/splittexts.h"

#include <limits>

namespace darvolt {

SizeMode SizeModeFromRadios(bool radioButton1, bool /*radioButton2*/, bool radioButton3)
{
    if (radioButton1)
        return SizeMode::StandardDiskette;
    if (radioButton3)
        return SizeMode::SpanDiskettes;
    return SizeMode::CustomSize;
}

namespace {

int digitValue(char c, int base)
{
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

} // namespace

std::optional<std::int64_t> ParseCustomSize(std::string_view text)
{
    // The size in bytes must fit, so the KB count is bounded here rather than
    // at the 32 bits an older part size had.
    constexpr std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) / 1024;

    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    bool tooLarge = false;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            return std::nullopt;
        if (!tooLarge)
            value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        tooLarge = tooLarge || value > limit;
    }
    if (negative || value == 0 || tooLarge)
        return std::nullopt;
    return static_cast<std::int64_t>(value);
}

RequestResult BuildSplitRequest(std::string_view fileField, SizeMode mode, std::string_view customSizeText,
                                std::int64_t sourceSize, SplitView& view)
{
    std::int64_t partSize = 0;
    switch (mode) {
    case SizeMode::StandardDiskette:
        partSize = StandardPartSize;
        break;
    case SizeMode::SpanDiskettes:
        break;
    case SizeMode::CustomSize: {
        const auto kb = ParseCustomSize(customSizeText);
        if (!kb) {
            RequestResult rejected;
            rejected.status = RequestStatus::CustomSizeRejected;
            return rejected;
        }
        partSize = *kb * 1024;
        break;
    }
    }
    return BuildSplitRequestOfSize(fileField, partSize, sourceSize, view);
}

RequestResult BuildSplitRequestOfSize(std::string_view fileField, std::int64_t partSize, std::int64_t sourceSize,
                                      SplitView& view)
{
    RequestResult result;
    const SourcePath source = SplitSourcePath(fileField);
    result.request.sourceFolder = source.folder;
    result.request.sourceName = source.name;
    result.request.partSize = partSize;
    if (partSize >= sourceSize) {
        view.showError(std::string(texts::SizeTooLarge));
        result.status = RequestStatus::TooLarge;
    }
    return result;
}

SplitRequest SplitRequestUpTo(std::string_view fileField, std::int64_t partSize, std::int64_t sourceSize)
{
    const SourcePath source = SplitSourcePath(fileField);
    SplitRequest request{source.name, source.folder, partSize};
    if (sourceSize >= 0 && partSize >= sourceSize && sourceSize < std::numeric_limits<std::int64_t>::max())
        request.partSize = sourceSize + 1;
    return request;
}

} // namespace darvolt
