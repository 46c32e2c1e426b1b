#pragma once

#include "gifreader.h"

#include <cstdint>
#include <span>
#include <vector>

namespace darvolt {

// Writes the model back as a GIF stream. Frames keep their CodeStream byte
// for byte, so nothing is re-encoded; each frame gets one graphic control
// extension that carries its own delay, disposal and transparent colour,
// followed by its comment extensions. The header's comment is written as
// one comment block at the end. Reading the result gives the same model.
std::vector<std::uint8_t> WriteGifStream(const GifStreamContent &content);

// A CodeStream for pixels that have no encoded form yet (a frame made from
// a plain bitmap): one literal code per pixel, with a clear code before the
// code width would grow. Not compact, but any decoder reads it exactly.
// `indices` holds width x height colour indices, top row first, each below
// 2^bits (bits 1 to 8).
std::vector<std::uint8_t> EncodeLiteralCodeStream(std::span<const std::uint8_t> indices, int bits);

} // namespace darvolt
