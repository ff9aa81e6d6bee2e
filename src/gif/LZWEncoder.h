// Dictionary LZW coding of a frame: the longest string already in the table is sent as one code, and
// the string one index longer becomes the next table entry; a clear code starts over when the table
// is full, so codes never grow past 12 bits.
#pragma once

#include "gif/GIFEncoder.h"
#include "gif/GIFHashTable.h"

namespace ferronel {

class TLZWEncoder : public TGIFEncoder {
    FERRONEL_CLASS(TLZWEncoder, TGIFEncoder)
protected:
    void EmitCode(uint32_t Code) override;
    void ResetCodes() override;
    void EncodePixels() override;

private:
    uint32_t FNextFreeCode = 0;
    THashTable FHashTable;
};

} // namespace ferronel
