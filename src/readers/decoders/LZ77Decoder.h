// Deflate data in the zlib format, through zlib's inflate. One decoder serves one zlib stream that
// may arrive in many blocks (PNG image data) or, with a reset per call, one stream per block (TIFF
// strips).
#pragma once

#include "readers/decoders/Decoder.h"

#include <zlib.h>

namespace ferronel {

// Units: bytes. Decode advances Source past what inflate consumed and Dest past what it produced.
// Corrupt data raises nothing here: the rest of the block stays unwritten and LastResult tells.
class TLZ77Decoder : public TDecoder {
    FERRONEL_ABSTRACT_CLASS(TLZ77Decoder, TDecoder)
public:
    // FlushMode is passed to every inflate call (Z_PARTIAL_FLUSH, Z_SYNC_FLUSH, ...).
    TLZ77Decoder(int32_t FlushMode, bool AutoReset);
    ~TLZ77Decoder() override;
    TLZ77Decoder(const TLZ77Decoder&) = delete;
    TLZ77Decoder& operator=(const TLZ77Decoder&) = delete;

    void BeginDecode() override;
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
    void EndDecode() override;
    void Encode(const uint8_t*, uint8_t*, uint32_t, uint32_t& BytesStored) override { BytesStored = 0; }

    uint32_t InputLeft() const { return FZStream.avail_in; }
    uint32_t OutputLeft() const { return FZStream.avail_out; }
    int32_t LastResult() const { return FLastResult; }

private:
    z_stream FZStream{};
    int32_t FLastResult = Z_OK;
    int32_t FFlush;
    bool FResetPerCall;
    bool FInitialized = false;
};

} // namespace ferronel
