#include "split/sourcemeasure.h"

namespace darvolt {

SourceMeasure MeasureSource(Platform& platform, const std::string& path)
{
    SourceMeasure measure;
    const auto bits = platform.attributes(path);
    measure.attributes = bits.value;
    measure.openError = bits.error;
    if (!bits.ok() || (bits.value & (attribute::Directory | attribute::Device)) != 0)
        return measure;
    measure.exists = true;

    auto opened = platform.openForReading(path);
    if (!opened.ok()) {
        measure.openError = opened.error;
        measure.sizeText = "? (file in use)";
        return measure;
    }
    const auto size = opened.value->size();
    opened.value->close();
    measure.splittable = true;
    if (!size.ok() || size.value < 0) {
        measure.sourceSize = 3;
        measure.sizeText = "unknown";
        return measure;
    }
    measure.sourceSize = size.value;
    measure.sizeKnown = true;
    measure.sizeText = std::to_string(size.value / 1024 + 1) + " kb";
    return measure;
}

} // namespace darvolt
