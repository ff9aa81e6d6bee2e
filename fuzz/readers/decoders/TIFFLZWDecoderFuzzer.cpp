// Arbitrary bytes through the TIFF LZW decoder. The first two bytes set the output size; the decoder
// must stay inside both buffers and leave the pointers where they were.
#include "readers/decoders/TIFFLZWDecoder.h"

#include <vector>

using namespace ferronel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2) return 0;
    const size_t outSize = 1 + (size_t(Data[0]) << 8 | Data[1]);
    std::vector<uint8_t> in(Data + 2, Data + Size); // its own allocation, so an overread is caught
    std::vector<uint8_t> out(outSize);
    TTIFFLZWDecoder decoder;
    const uint8_t* s = in.data();
    uint8_t* d = out.data();
    decoder.Decode(s, d, int32_t(in.size()), int32_t(out.size()));
    if (s != in.data() || d != out.data()) __builtin_trap();
    return 0;
}
