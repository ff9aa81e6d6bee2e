// Runs the fax decoders over arbitrary strips. The first byte picks the variant (modified Huffman,
// word-aligned, Group 3 with and without two-dimensional rows and fill bits, Group 4) and the fill
// order, the next two the row width, the next two the output size; the rest is the strip, in a heap
// block of exactly its size. Output guards must survive and the input must not change.
#include "readers/decoders/CCITTFax3Decoder.h"
#include "readers/decoders/CCITTFax4Decoder.h"
#include "readers/decoders/CCITTMHDecoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using namespace ferronel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 5) return 0;
    const uint8_t kind = Data[0] % 6;
    const bool swap = Data[0] & 0x80;
    const uint32_t width = uint32_t(Data[1] | Data[2] << 8);
    const size_t unpacked = size_t(Data[3] | Data[4] << 8);
    Data += 5;
    Size -= 5;
    std::unique_ptr<TCCITTDecoder> decoder;
    switch (kind) {
    case 0: decoder = std::make_unique<TCCITTMHDecoder>(0, swap, false, width); break;
    case 1: decoder = std::make_unique<TCCITTMHDecoder>(0, swap, true, width); break;
    case 2: decoder = std::make_unique<TCCITTFax3Decoder>(0, swap, false, width); break;
    case 3: decoder = std::make_unique<TCCITTFax3Decoder>(t4FillBits, swap, false, width); break;
    case 4: decoder = std::make_unique<TCCITTFax3Decoder>(t4TwoDimensional, swap, false, width); break;
    default: decoder = std::make_unique<TCCITTFax4Decoder>(swap, width); break;
    }
    std::unique_ptr<uint8_t[]> source(new uint8_t[Size ? Size : 1]);
    std::copy(Data, Data + Size, source.get());
    std::vector<uint8_t> dest(unpacked + 2, 0xA5);
    for (int pass = 0; pass < 2; ++pass) {
        const uint8_t* s = source.get();
        uint8_t* d = dest.data() + 1;
        decoder->Decode(s, d, int32_t(Size), int32_t(unpacked));
        if (s != source.get() || d != dest.data() + 1) __builtin_trap();
        if (dest.front() != 0xA5 || dest.back() != 0xA5) __builtin_trap();
        if (std::memcmp(source.get(), Data, Size) != 0) __builtin_trap();
    }
    return 0;
}
