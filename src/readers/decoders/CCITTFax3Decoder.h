// Group 3 fax data: every row is introduced by an end-of-line code (possibly after fill bits) and
// coded as runs, or, with two-dimensional coding in the options, by a tag bit after the
// end-of-line code choosing runs (1) or changes against the row above (0). A damaged row ends at
// the damage and decoding picks up again at the next end-of-line code.
#pragma once

#include "readers/decoders/CCITTDecoder.h"

namespace ferronel {

class TCCITTFax3Decoder : public TCCITTDecoder {
    FERRONEL_ABSTRACT_CLASS(TCCITTFax3Decoder, TCCITTDecoder)
public:
    using TCCITTDecoder::TCCITTDecoder;
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

} // namespace ferronel
