#pragma once
// What darvolt-split's -b SIZE and -n N mean.

#include <cstdint>
#include <optional>
#include <string_view>

namespace darvolt {

// A size as GNU split's -b takes it: digits, then nothing (bytes) or one of
// K, M, G, T (powers of 1024, also written KiB, MiB, ...) or KB, MB, GB, TB
// (powers of 1000). The letter may be written small ("25m", as 7z's -v
// takes it). Nothing for 0, for anything else and for more bytes than 64
// bits hold.
std::optional<std::int64_t> ParseByteSize(std::string_view text);

// The part size that cuts sourceSize bytes into `count` parts (count >= 2)
// of nearly equal size: count - 1 parts of sourceSize / count + 1 bytes and
// a last one at most `count` bytes smaller. One byte more than an even share
// keeps the size from dividing the source exactly, which would add an empty
// part. Nothing when the source is too small for that to leave data in the
// last part (sourceSize / count below about count).
std::optional<std::int64_t> PartSizeForCount(std::int64_t sourceSize, std::int64_t count);

} // namespace darvolt
