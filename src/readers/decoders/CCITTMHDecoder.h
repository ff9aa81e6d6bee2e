// Modified Huffman fax data without end-of-line codes: every row is a string of runs, white and
// black by turns, and starts on the next byte (or, word-aligned, on the next 16-bit boundary of
// the strip).
#pragma once

#include "readers/decoders/CCITTDecoder.h"

namespace ferronel {

class TCCITTMHDecoder : public TCCITTDecoder {
    FERRONEL_ABSTRACT_CLASS(TCCITTMHDecoder, TCCITTDecoder)
public:
    using TCCITTDecoder::TCCITTDecoder;
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

} // namespace ferronel
