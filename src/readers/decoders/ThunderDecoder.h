// 4-bit grey scanner data: each code byte is a run of the last pixel, two or three small steps
// from it, or a pixel value of its own. Every row is coded on its own (its last pixel starts at 0)
// and is stored as (PixelWidth + 1) / 2 bytes, two pixels a byte, the first in the high half.
#pragma once

#include "readers/decoders/Decoder.h"

namespace ferronel {

// Units: bytes of packed rows. Rows are decoded one after another until the input or the output
// ends; codes past a row's width are cut, and nothing is written past UnpackedSize. Output the
// input does not reach is left as it was. Source and Dest are not moved.
class TThunderDecoder : public TDecoder {
    FERRONEL_ABSTRACT_CLASS(TThunderDecoder, TDecoder)
public:
    explicit TThunderDecoder(uint32_t PixelWidth) : FPixelWidth(PixelWidth) {}
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
    void Encode(const uint8_t*, uint8_t*, uint32_t, uint32_t& BytesStored) override { BytesStored = 0; }
    uint32_t PixelWidth() const { return FPixelWidth; }

private:
    uint32_t FPixelWidth;
};

} // namespace ferronel
