// Decoding of a frame's pixel data: the minimum code size byte, then variable-length LZW codes
// packed low bit first into data sub-blocks that end with a zero-length block.
#pragma once

#include "gif/GIFSource.h"

#include <cstdint>
#include <functional>

namespace ferronel {

// Receives the warnings of decoding (damaged data that still gives a picture).
using TGIFWarningSink = std::function<void(const char* Message)>;

// The largest minimum code size: codes are at most 12 bits wide.
constexpr uint8_t MaxGIFMinCodeSize = 11;

// Decodes the image data at the source position into Pixels (Width x Height indices, row after
// row, top row first), which the caller has filled with the value unreached pixels keep. Interlaced
// data arrives in the four-pass row order and is put in display order. The source is left after
// the data's terminator block (or at its end). Raises GIFException "Invalid GIF data" for a minimum
// code size past 11; codes that would refer outside the table end decoding with that warning.
void DecodeGIFPixels(TGIFSource& Source, uint8_t* Pixels, uint32_t Width, uint32_t Height, bool Interlaced,
                     const TGIFWarningSink& Warning);

// The rows of an interlaced frame in the order they are stored: every 8th from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1. Calls Row(y) for each.
template <typename F> void ForEachInterlacedRow(uint32_t Height, F Row) {
    static constexpr uint32_t Start[4] = {0, 4, 2, 1}, Step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (uint32_t y = Start[pass]; y < Height; y += Step[pass]) Row(y);
}

} // namespace ferronel
