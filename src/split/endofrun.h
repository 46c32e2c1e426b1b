#pragma once
// The files a run writes beside its last part once every part is written
// (MERGE.BAT, the checksum file, merge.sh), and the room they take there. A
// spanned run keeps that room free on its last medium, so every file written
// at the end of a run is listed here, with its size as it will be written:
// the digests are not known until the last part is written, but each takes
// the same number of bytes whatever its value.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

struct EndOfRunFile {
    std::string name; // bare
    std::int64_t bytes = 0;
};

// For a run whose parts are bareParts (in order) of sourceName; without
// checksums, the run writes no checksum file and merge.sh holds no sums.
std::vector<EndOfRunFile> EndOfRunFiles(const std::vector<std::string>& bareParts, std::string_view sourceName,
                                        bool checksums);

// The room those files take on a file system that gives files room in
// units of allocationUnit bytes.
std::int64_t EndOfRunRoom(const std::vector<std::string>& bareParts, std::string_view sourceName, bool checksums,
                          std::int64_t allocationUnit);

} // namespace darvolt
