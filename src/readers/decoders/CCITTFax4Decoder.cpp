#include "readers/decoders/CCITTFax4Decoder.h"

namespace ferronel {

void TCCITTFax4Decoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                               int32_t UnpackedSize) {
    if (!BeginStrip(Source, PackedSize, Dest, UnpackedSize)) return;
    for (uint32_t row = 0; row < RowCount(); ++row) {
        FBits.Refill();
        if (FBits.Empty()) break;
        const int32_t result = DecodeRow2D();
        FinishRow(row);
        // Each row depends on the one above: after the closing codes or damage nothing more
        // can be trusted.
        if (result != 0) break;
    }
}

} // namespace ferronel
