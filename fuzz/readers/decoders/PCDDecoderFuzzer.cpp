// Runs the Photo-CD residual decoder over an arbitrary stream. The first two bytes give the
// luminance width (the stride, so above 1536 three tables are read), the next one the rows of
// luminance, the next two the row that ends decoding; the planes are exactly sized heap blocks.
// The stream's own read error ends an input quietly.
#include "readers/decoders/PCDDecoder.h"

#include "host/Exceptions.h"
#include "host/Stream.h"

#include <memory>

using namespace ferronel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 5) return 0;
    const uint32_t width = uint32_t(Data[0] | Data[1] << 8) % 4096;
    const uint32_t rows = Data[2] % 64;
    const uint32_t endRow = uint32_t(Data[3] | Data[4] << 8);
    TMemoryStream stream(Data + 5, Size - 5);
    const size_t lumaSize = size_t(width) * rows, chromaSize = size_t(width) * (rows / 2);
    std::unique_ptr<uint8_t[]> luma(new uint8_t[lumaSize + 1]()), c1(new uint8_t[chromaSize + 1]()),
        c2(new uint8_t[chromaSize + 1]());
    const TPCDPlanes planes{{luma.get(), lumaSize, width}, {c1.get(), chromaSize, width / 2},
                            {c2.get(), chromaSize, width / 2}};
    TPCDDecoder decoder(stream);
    try {
        decoder.DecodePlanes(planes, width, endRow);
    } catch (const EReadError&) {
    }
    return 0;
}
