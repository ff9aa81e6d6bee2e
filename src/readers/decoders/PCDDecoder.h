// Photo-CD residual planes: Huffman-coded corrections added to the luminance and the two chroma
// planes of an upsampled picture, read straight from a stream. The stream holds one or three code
// tables, then rows, each introduced by a header that names its row and plane.
#pragma once

#include "readers/decoders/Decoder.h"

#include <cstddef>
#include <cstdint>

namespace ferronel {

class TStream;

// One plane the corrections are added to: rows of Width samples, the decoder's stride apart, in
// the Size bytes at Data. Rows that do not fit and samples past Width are never written.
struct TPCDPlane {
    uint8_t* Data = nullptr;
    size_t Size = 0;
    uint32_t Width = 0;
};

// The chroma planes have half the rows of the luminance; row headers count luminance rows.
struct TPCDPlanes {
    TPCDPlane Luma, Chroma1, Chroma2;
};

class TPCDDecoder : public TDecoder {
    FERRONEL_ABSTRACT_CLASS(TPCDDecoder, TDecoder)
public:
    // The stream is read from its position; it is not owned.
    explicit TPCDDecoder(TStream& Stream) : FSourceStream(Stream) {}

    // Source: the address of a TPCDPlanes; PackedSize: the row stride of the planes in bytes
    // (above 1536, three code tables are read, one a plane); UnpackedSize: the row number whose
    // header ends decoding. Dest is not used. A read past the end of the stream raises the stream
    // read error; a header naming plane 1 or a code longer than 16 bits ends decoding quietly.
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
    void Encode(const uint8_t*, uint8_t*, uint32_t, uint32_t& BytesStored) override { BytesStored = 0; }

    // The same with its arguments typed.
    void DecodePlanes(const TPCDPlanes& Planes, uint32_t Stride, uint32_t EndRow);

private:
    TStream& FSourceStream;
};

} // namespace ferronel
