// Deflate-compressed TIFF strips and tiles: one whole zlib stream per Decode call. A strip is
// inflated in one go by libdeflate, about twice as fast as zlib's inflate; a strip libdeflate does
// not take whole (damaged, cut short, or longer than its rows) goes through TLZ77Decoder instead,
// which keeps every byte that decodes before the damage.
#pragma once

#include "readers/decoders/Decoder.h"
#include "readers/decoders/LZ77Decoder.h"

#include <cstdint>

struct libdeflate_decompressor;

namespace ferronel {

// Units: bytes. Source and Dest are not advanced; what the stream does not give stays 0.
class TTIFFDeflateDecoder : public TDecoder {
    FERRONEL_CLASS(TTIFFDeflateDecoder, TDecoder)
public:
    TTIFFDeflateDecoder();
    ~TTIFFDeflateDecoder() override;
    TTIFFDeflateDecoder(const TTIFFDeflateDecoder&) = delete;
    TTIFFDeflateDecoder& operator=(const TTIFFDeflateDecoder&) = delete;

    void BeginDecode() override;
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
    void EndDecode() override;

private:
    libdeflate_decompressor* FDecompressor = nullptr;
    TLZ77Decoder FFallback{Z_PARTIAL_FLUSH, true};
};

} // namespace ferronel
