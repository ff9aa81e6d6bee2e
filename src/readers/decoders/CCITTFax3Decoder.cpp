#include "readers/decoders/CCITTFax3Decoder.h"

namespace ferronel {

void TCCITTFax3Decoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                               int32_t UnpackedSize) {
    if (!BeginStrip(Source, PackedSize, Dest, UnpackedSize)) return;
    const bool twoDimensional = (T4Options() & t4TwoDimensional) != 0;
    // An end-of-line code that ended the previous row early has already been read. Some writers
    // leave out the first row's end-of-line code: no row's codes start with eleven zero bits, so a
    // one-dimensional strip that does not is read from its first bit.
    FBits.Refill();
    bool atRowStart = !twoDimensional && FBits.Count >= 11 && FBits.Peek(11) != 0;
    for (uint32_t row = 0; row < RowCount(); ++row) {
        if (!atRowStart && !SkipToEndOfLine()) break;
        atRowStart = false;
        bool oneDimensional = true;
        if (twoDimensional) {
            FBits.Refill();
            if (FBits.Empty()) break;
            oneDimensional = FBits.Peek(1) != 0;
            FBits.Skip(1);
        }
        const int32_t result = oneDimensional ? DecodeRow1D(true) : DecodeRow2D();
        FinishRow(row);
        atRowStart = result == EndOfLine;
    }
}

} // namespace ferronel
