#pragma once
// The .crc file that Windows file managers write beside the parts of a
// split (foo.001, foo.002, ...): the original file's name, size and CRC32,
// one "key=value" a line, CR LF or LF, as in
//
//   filename=foo
//   size=432998467868
//   crc32=21EB719A
//
// Both the size and the CRC32 are checked against the joined parts.

#include "parts/digest.h"
#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace darvolt {

struct CrcFile {
    std::string name; // bare
    std::int64_t size = 0;
    Digest crc;
};

// True for a name ending in ".crc", in any case.
bool IsCrcFileName(std::string_view name);

// Nothing unless the file holds the three keys, each once, with a bare
// name, a decimal size and eight hex digits; other keys are let be. Files
// far larger than that are not read.
std::optional<CrcFile> ReadCrcFile(File& file);
std::optional<CrcFile> ParseCrcText(std::string_view text);

} // namespace darvolt
