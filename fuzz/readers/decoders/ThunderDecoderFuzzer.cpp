// Runs the Thunderscan decoder over arbitrary codes: the first two bytes give the width in pixels,
// the next two the output size; the rest are the codes, in a heap block of exactly their size, and
// the output is exactly its size too.
#include "readers/decoders/ThunderDecoder.h"

#include <algorithm>
#include <memory>

using namespace ferronel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 4) return 0;
    const uint32_t width = uint32_t(Data[0] | Data[1] << 8);
    const size_t unpacked = size_t(Data[2] | Data[3] << 8);
    Data += 4;
    Size -= 4;
    std::unique_ptr<uint8_t[]> source(new uint8_t[Size ? Size : 1]);
    std::copy(Data, Data + Size, source.get());
    std::unique_ptr<uint8_t[]> dest(new uint8_t[unpacked ? unpacked : 1]);
    const uint8_t* s = source.get();
    uint8_t* d = dest.get();
    TThunderDecoder decoder(width);
    decoder.Decode(s, d, int32_t(Size), int32_t(unpacked));
    if (s != source.get() || d != dest.get()) __builtin_trap();
    return 0;
}
