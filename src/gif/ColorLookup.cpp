#include "gif/ColorLookup.h"

namespace ferronel {

const TPaletteEntries& ColorCubeEntries() {
    static const TPaletteEntries entries = [] {
        TPaletteEntries e;
        e.reserve(216);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    e.push_back({uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51), 4});
        return e;
    }();
    return entries;
}

TSlowColorLookup::TSlowColorLookup(HPALETTE Palette)
    : TColorLookup(PaletteEntryCount(Palette)), FPalette(std::move(Palette)) {}

TPaletteEntries TSlowColorLookup::PaletteEntries() const { return FPalette ? *FPalette : TPaletteEntries{}; }

uint8_t TSlowColorLookup::Search(int Red, int Green, int Blue) const {
    const TPaletteEntries& entries = *FPalette;
    int best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < entries.size() && bestDistance > 0; ++i) {
        const int dr = entries[i].peRed - Red, dg = entries[i].peGreen - Green, db = entries[i].peBlue - Blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return uint8_t(best);
}

TPaletteEntries TNetscapeColorLookup::PaletteEntries() const { return ColorCubeEntries(); }

TPaletteEntries TGrayScaleLookup::PaletteEntries() const {
    TPaletteEntries e(256);
    for (int i = 0; i < 256; ++i) e[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i), 4};
    return e;
}

TPaletteEntries TMonochromeLookup::PaletteEntries() const { return {{0, 0, 0, 4}, {255, 255, 255, 4}}; }

} // namespace ferronel
