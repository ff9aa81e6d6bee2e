#include "gif/ColorLookup.h"

#include <algorithm>

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
    : TColorLookup(PaletteEntryCount(Palette)), FPalette(std::move(Palette)) {
    if (!FPalette) return;
    for (size_t i = 0; i < FPalette->size(); ++i) {
        const TPaletteEntry& e = (*FPalette)[i];
        FByRed.push_back({e.peRed, e.peGreen, e.peBlue, uint8_t(i)});
    }
    std::sort(FByRed.begin(), FByRed.end(), [](const TSortedEntry& a, const TSortedEntry& b) {
        return a.Red != b.Red ? a.Red < b.Red : a.Index < b.Index;
    });
}

TPaletteEntries TSlowColorLookup::PaletteEntries() const { return FPalette ? *FPalette : TPaletteEntries{}; }

uint8_t TSlowColorLookup::Search(int Red, int Green, int Blue) const {
    // Outwards from the first entry at or above Red, in both directions, until the red difference
    // alone is no better than the best found; among equals the lowest index wins.
    const auto start = std::lower_bound(FByRed.begin(), FByRed.end(), Red,
                                        [](const TSortedEntry& e, int r) { return e.Red < r; });
    int best = 256, bestDistance = 1 << 30;
    auto consider = [&](const TSortedEntry& e) {
        const int dg = e.Green - Green, db = e.Blue - Blue, dr = e.Red - Red;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance || (d == bestDistance && e.Index < best)) {
            bestDistance = d;
            best = e.Index;
        }
    };
    auto up = start;
    auto down = start;
    bool upOpen = up != FByRed.end(), downOpen = down != FByRed.begin();
    while (upOpen || downOpen) {
        if (upOpen) {
            const int dr = up->Red - Red;
            if (dr * dr > bestDistance) {
                upOpen = false;
            } else {
                consider(*up);
                upOpen = ++up != FByRed.end();
            }
        }
        if (downOpen) {
            const int dr = Red - (down - 1)->Red;
            if (dr * dr > bestDistance) {
                downOpen = false;
            } else {
                consider(*--down);
                downOpen = down != FByRed.begin();
            }
        }
    }
    return uint8_t(best == 256 ? 0 : best);
}

TPaletteEntries TNetscapeColorLookup::PaletteEntries() const { return ColorCubeEntries(); }

TPaletteEntries TGrayScaleLookup::PaletteEntries() const {
    TPaletteEntries e(256);
    for (int i = 0; i < 256; ++i) e[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i), 4};
    return e;
}

TPaletteEntries TMonochromeLookup::PaletteEntries() const { return {{0, 0, 0, 4}, {255, 255, 255, 4}}; }

} // namespace ferronel
