// Logical palettes. A palette record (version 768, entries red, green, blue, flag) is turned into an
// immutable palette handle that bitmaps share.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace ferronel {

struct TPaletteEntry {
    uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
    bool operator==(const TPaletteEntry&) const = default;
};

constexpr uint16_t PaletteVersion = 0x300;

struct TLogPalette {
    uint16_t palVersion = PaletteVersion;
    uint16_t palNumEntries = 0;
    TPaletteEntry palPalEntry[256] = {};
};

using TPaletteEntries = std::vector<TPaletteEntry>;
// A palette handle; null means no palette.
using HPALETTE = std::shared_ptr<const TPaletteEntries>;

// Makes a palette from a record; the count is capped at 256. A wrong version raises
// EInvalidGraphicOperation, as the platform refuses such a record.
HPALETTE CreatePalette(const TLogPalette& LogPalette);
HPALETTE CreatePalette(TPaletteEntries Entries);
// Copies up to Count entries from StartIndex; answers how many were copied.
uint32_t GetPaletteEntries(const HPALETTE& Palette, uint32_t StartIndex, uint32_t Count,
                           TPaletteEntry* Entries);
uint32_t PaletteEntryCount(const HPALETTE& Palette);

// The palettes a bitmap uses when it has none of its own: black and white, the 16 standard colours,
// and for 8 bits a grey ramp.
const TPaletteEntries& DefaultPaletteEntries(int BitsPerPixel);

} // namespace ferronel
