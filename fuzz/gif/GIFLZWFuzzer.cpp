// The LZW decoder fed directly: two bytes give the frame's width and height (1..64) and the
// interlace flag, the rest is image data (minimum code size byte and sub-blocks).
#include "gif/GIFDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    if (Size < 2) return 0;
    const uint32_t width = (Data[0] & 63u) + 1, height = (Data[1] & 63u) + 1;
    const bool interlaced = (Data[0] & 0x80) != 0;
    std::vector<uint8_t> pixels(size_t(width) * height, 0xA5);
    TGIFSource source(std::span<const uint8_t>(Data + 2, Size - 2));
    try {
        DecodeGIFPixels(source, pixels.data(), width, height, interlaced, [](const char*) {});
    } catch (const GIFException&) {
    }
    if (source.Position() > source.Size()) __builtin_trap();
    return 0;
}
