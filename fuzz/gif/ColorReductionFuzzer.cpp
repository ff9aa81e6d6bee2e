// Reduction of fuzzed true-colour rows. Byte 0: method (0..10), byte 1: dither kind (0..7), byte 2:
// depth (as a signed byte), byte 3: width - 1 (1..64); the rest: red, green, blue triples, row after
// row, which also give the custom palette. Every index written must be inside the palette.
#include "gif/ColorReduction.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    if (Size < 7) return 0;
    const uint8_t method = Data[0] % 11, dither = Data[1] % 8;
    const int32_t depth = int8_t(Data[2]);
    const int32_t width = (Data[3] & 63) + 1;
    const size_t pixels = (Size - 4) / 3;
    const int32_t height = int32_t((pixels + size_t(width) - 1) / size_t(width));
    TBitmap source;
    source.SetPixelFormat(pf24bit);
    source.SetSize(width, height);
    TPaletteEntries custom;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* rgb = Data + 4 + 3 * i;
        uint8_t* p = source.ScanLine(int32_t(i / size_t(width))) + 3 * (i % size_t(width));
        p[0] = rgb[2], p[1] = rgb[1], p[2] = rgb[0];
        if (i < 300) custom.push_back({rgb[0], rgb[1], rgb[2], 0});
    }
    const auto reduced = ReduceBitmapColors(source, method, dither, CreatePalette(custom), depth);
    if (reduced->Empty() || reduced->PixelFormat() != pf8bit) return 0;
    const size_t colors = reduced->EffectivePalette().size();
    if (reduced->Palette()->size() > 256 || reduced->Width() != width) __builtin_trap();
    for (int32_t y = 0; y < reduced->Height(); ++y)
        for (int32_t x = 0; x < width; ++x)
            if (reduced->ScanLine(y)[x] >= colors) __builtin_trap();
    return 0;
}
