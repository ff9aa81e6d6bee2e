// Run-length coding of a frame without a dictionary search. After a clear code the decoder's table
// learns, from codes the encoder chooses, strings of one index repeated 2, 3, 4, ... times; later
// runs of that index are sent as a few codes for those strings. The encoder follows the decoder's
// code width by counting codes, and clears before the width would pass 12 bits.
#pragma once

#include "gif/GIFEncoder.h"

namespace ferronel {

class TRLEEncoder : public TGIFEncoder {
    FERRONEL_CLASS(TRLEEncoder, TGIFEncoder)
protected:
    void ResetCodes() override;
    void EncodePixels() override;

private:
    void OutputPlain(uint32_t Code);
    void FlushRun(uint32_t Count);
    void FlushFromClear(uint32_t Count);
    void FlushClearOrRepeat(uint32_t Count);
    void FlushWithTable(uint32_t Count);
    void SuspendForcedClear() { FClearAt = FCodeBudget; }
    void RestoreForcedClear();
    // Codes a run of Count costs right after a clear.
    uint32_t TriangleCount(uint32_t Count) const;

    uint32_t FRunPixel = 0;
    uint32_t FTablePixel = 0;
    uint32_t FTableMax = 0; // the longest run of FTablePixel the decoder's table holds
    bool FJustCleared = false;
    uint32_t FCodeCount = 0; // codes since the last clear
    uint32_t FWidenAt = 0, FWidenAtInitial = 0;
    uint32_t FClearAt = 0, FClearAtInitial = 0;
    uint32_t FCodeBudget = 0;
};

} // namespace ferronel
