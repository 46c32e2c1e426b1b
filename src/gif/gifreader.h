#pragma once

#include "extension.h"
#include "gifcolortable.h"
#include "sharedimage.h"

#include <cstdint>
#include <span>
#include <vector>

namespace darvolt {

// One image block as the reader leaves it: still encoded, with the values
// its graphic control extensions gave.
struct GifFrameRecord
{
    SharedRef<TGIFItem> EncodedImage = SharedRef<TGIFItem>::Make();
    std::vector<TExtension> ExtensionList; // graphic control and comment extensions before the frame
    std::int32_t FrameLeft = 0;
    std::int32_t FrameTop = 0;
    bool IsInterlaced = false;
    bool HasLocalColors = false;
    bool IsCorrupt = false; // a data sub-block ran past the end of the stream
    GifColor KeyColor = GifNoColor;
    std::uint16_t DelayMs = 0;
    std::uint8_t Disposal = 0;
};

// Everything a GIF stream holds, as the image model takes it over.
struct GifStreamContent
{
    SharedRef<TGIFData> HeaderData = SharedRef<TGIFData>::Make();
    int GifVersion = 0; // 1 for 87a, 2 for 89a
    std::uint16_t LogicalWidth = 0;
    std::uint16_t LogicalHeight = 0;
    GifColor BackColor = GifNoColor;
    bool LoopFlag = false;
    std::uint16_t LoopCount = 1;
    std::vector<GifFrameRecord> Frames;
};

// The loop count a NETSCAPE2.0 extension may ask for; larger ones are capped.
inline constexpr std::uint16_t GifMaxLoopCount = 30000;

// Parses a whole GIF stream; frames stay LZW-encoded. Raises
// EInvalidGraphicOperation or EReadError with the reader's messages. When it
// raises, `content` holds what was read before the failure (complete frames
// only), so the caller can keep it.
void ReadGifStream(std::span<const std::uint8_t> bytes, GifStreamContent &content);

} // namespace darvolt
