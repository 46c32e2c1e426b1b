#pragma once

#include <cstdint>
#include <vector>

// GIF's variable-width LZW for the banner generator: the code size byte,
// the data in sub-blocks of up to 255 bytes, and the closing empty block.
// Starts with a clear code and clears again whenever the 12-bit table is
// full. `indices` are colour indices below 2^codeSize.
std::vector<std::uint8_t> LzwEncode(const std::vector<std::uint8_t> &indices, int codeSize);
