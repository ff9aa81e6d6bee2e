#include "host/Palette.h"

#include "host/Exceptions.h"

#include <algorithm>

namespace ferronel {

HPALETTE CreatePalette(const TLogPalette& LogPalette) {
    if (LogPalette.palVersion != PaletteVersion) throw EInvalidGraphicOperation("Invalid palette version");
    const size_t count = std::min<size_t>(LogPalette.palNumEntries, 256);
    return std::make_shared<const TPaletteEntries>(LogPalette.palPalEntry, LogPalette.palPalEntry + count);
}

HPALETTE CreatePalette(TPaletteEntries Entries) {
    if (Entries.size() > 256) Entries.resize(256);
    return std::make_shared<const TPaletteEntries>(std::move(Entries));
}

uint32_t GetPaletteEntries(const HPALETTE& Palette, uint32_t StartIndex, uint32_t Count,
                           TPaletteEntry* Entries) {
    if (!Palette || StartIndex >= Palette->size()) return 0;
    const uint32_t n = std::min<uint32_t>(Count, uint32_t(Palette->size()) - StartIndex);
    std::copy_n(Palette->begin() + StartIndex, n, Entries);
    return n;
}

uint32_t PaletteEntryCount(const HPALETTE& Palette) { return Palette ? uint32_t(Palette->size()) : 0; }

const TPaletteEntries& DefaultPaletteEntries(int BitsPerPixel) {
    static const TPaletteEntries mono{{0, 0, 0, 0}, {255, 255, 255, 0}};
    static const TPaletteEntries vga{
        {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
        {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
        {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
        {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0}};
    static const TPaletteEntries grey = [] {
        TPaletteEntries p(256);
        for (int i = 0; i < 256; ++i) p[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
        return p;
    }();
    return BitsPerPixel <= 1 ? mono : BitsPerPixel <= 4 ? vga : grey;
}

} // namespace ferronel
