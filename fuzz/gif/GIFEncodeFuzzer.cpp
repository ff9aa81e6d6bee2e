// Encode, then decode: a fuzzed frame goes through both encoders and the decoder must give back the
// same indices. Byte 0: bits per pixel (low 3 bits + 1), interlace (bit 3), run mode (bit 4: the rest
// is (count, index) pairs, so that long runs and table resets are reached); byte 1: width - 1; the
// rest: the indices (masked to the bits), row after row.
#include "gif/GIFDecoder.h"
#include "gif/GIFEncoder.h"
#include "host/Stream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    if (Size < 3) return 0;
    const int bits = (Data[0] & 7) + 1;
    const bool interlaced = (Data[0] & 8) != 0, runs = (Data[0] & 16) != 0;
    const uint32_t width = uint32_t(Data[1]) + 1;
    std::vector<uint8_t> pixels;
    const uint8_t mask = uint8_t((1u << bits) - 1);
    if (runs) {
        for (size_t i = 2; i + 1 < Size && pixels.size() < 1u << 20; i += 2)
            pixels.insert(pixels.end(), size_t(Data[i]) * 64 + 1, uint8_t(Data[i + 1] & mask));
    } else {
        for (size_t i = 2; i < Size; ++i) pixels.push_back(Data[i] & mask);
    }
    const uint32_t height = uint32_t((pixels.size() + width - 1) / width);
    pixels.resize(size_t(width) * height, 0);
    for (uint8_t kind : {0, 1}) {
        TMemoryStream out;
        MakeGIFEncoder(kind)->EncodeFrame(out, bits, 1u << bits, pixels.data(), interlaced, int32_t(height),
                                          int32_t(width));
        std::vector<uint8_t> decoded(pixels.size(), 0xEE);
        TGIFSource source(out.Data());
        bool warned = false;
        DecodeGIFPixels(source, decoded.data(), width, height, interlaced,
                        [&](const char*) { warned = true; });
        if (decoded != pixels || warned || source.Position() != out.Data().size()) __builtin_trap();
    }
    return 0;
}
