#pragma once
// The start header that begins every 7-Zip archive, and so the first of
// its volumes: after the signature and version, a CRC32 of the 20 bytes
// that give where the archive's closing header lies and how long it is.
// Those say how long the archive is, which is how a set of volumes whose
// last ones were lost is told from a whole one.

#include "platform/platform.h"

#include <cstdint>
#include <optional>

namespace darvolt {

// The archive's size in bytes, when the file begins with a 7-Zip start
// header whose CRC32 holds; nothing otherwise.
std::optional<std::int64_t> SevenZipArchiveSize(File& firstVolume);

} // namespace darvolt
