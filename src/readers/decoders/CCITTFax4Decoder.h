// Group 4 fax data: every row coded as changes against the row above (the first against a white
// row), without end-of-line codes; the strip may close with two of them.
#pragma once

#include "readers/decoders/CCITTDecoder.h"

namespace ferronel {

class TCCITTFax4Decoder : public TCCITTDecoder {
    FERRONEL_ABSTRACT_CLASS(TCCITTFax4Decoder, TCCITTDecoder)
public:
    TCCITTFax4Decoder(bool SwapBits, uint32_t Width) : TCCITTDecoder(0, SwapBits, false, Width) {}
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

} // namespace ferronel
