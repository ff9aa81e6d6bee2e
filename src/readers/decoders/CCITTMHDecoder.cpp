#include "readers/decoders/CCITTMHDecoder.h"

namespace ferronel {

void TCCITTMHDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                             int32_t UnpackedSize) {
    if (!BeginStrip(Source, PackedSize, Dest, UnpackedSize)) return;
    for (uint32_t row = 0; row < RowCount(); ++row) {
        FBits.Refill();
        if (FBits.Empty()) break;
        // Without end-of-line codes there is nothing to resynchronise on: a stray code is passed
        // over and the row goes on.
        DecodeRow1D(false);
        FinishRow(row);
        // The coded input is aligned, not the output: output rows are always whole bytes apart.
        FBits.Align(AlignToWord() ? 16 : 8);
    }
}

} // namespace ferronel
