// Arbitrary bytes through the LZ77 decoder in blocks. The first byte sets the output block size and
// whether each block is a stream of its own, the second the input block size. The decoder must stay
// inside both blocks and move its pointers only forward within them.
#include "readers/decoders/LZ77Decoder.h"

#include <algorithm>
#include <vector>

using namespace ferronel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2) return 0;
    const bool reset = Data[0] & 1;
    const size_t outSize = 1 + (Data[0] >> 1);
    const size_t block = 1 + Data[1] % 64;
    TLZ77Decoder decoder(Z_PARTIAL_FLUSH, reset);
    decoder.BeginDecode();
    std::vector<uint8_t> out(outSize);
    const uint8_t* source = Data + 2;
    size_t left = Size - 2;
    while (left > 0) {
        const size_t n = std::min(block, left);
        const uint8_t* s = source;
        uint8_t* d = out.data();
        decoder.Decode(s, d, int32_t(n), int32_t(out.size()));
        if (s < source || s > source + n || d < out.data() || d > out.data() + out.size()) __builtin_trap();
        // A block the decoder does not take (after the end or an error) is passed over.
        const size_t used = s == source ? n : size_t(s - source);
        source += used;
        left -= used;
    }
    try {
        decoder.EndDecode();
    } catch (const Exception&) {
    }
    return 0;
}
