// Colour lookups: a colour in, the index of the palette entry that stands for it and that entry's
// colour out. The concrete lookups are final and answer through an inline Map, so that the reduction
// loops call them without a virtual call per pixel.
#pragma once

#include "host/Object.h"
#include "host/Palette.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ferronel {

class TColorLookup : public TObject {
    FERRONEL_ABSTRACT_CLASS(TColorLookup, TObject)
public:
    explicit TColorLookup(uint32_t Colors) : FColors(Colors) {}
    uint32_t Colors() const { return FColors; }
    virtual uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                           uint8_t& B) const = 0;
    // The palette the indices refer to.
    virtual TPaletteEntries PaletteEntries() const = 0;

private:
    uint32_t FColors;
};

// The nearest entry of a palette (least squared distance; the first of equals).
class TSlowColorLookup final : public TColorLookup {
    FERRONEL_ABSTRACT_CLASS(TSlowColorLookup, TColorLookup)
public:
    explicit TSlowColorLookup(HPALETTE Palette);
    uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                   uint8_t& B) const override {
        return Map(Red, Green, Blue, R, G, B);
    }
    TPaletteEntries PaletteEntries() const override;

    uint8_t Map(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) const {
        if (Colors() == 0) {
            R = G = B = 0;
            return 0;
        }
        const uint32_t key = (uint32_t(Red) << 16) | (uint32_t(Green) << 8) | Blue;
        TCacheEntry& slot = FCache[(key ^ (key >> 11) ^ (key >> 19)) & (CacheSize - 1)];
        if (slot.Key != key + 1) slot = {key + 1, Search(Red, Green, Blue)};
        const TPaletteEntry& e = (*FPalette)[slot.Index];
        R = e.peRed;
        G = e.peGreen;
        B = e.peBlue;
        return slot.Index;
    }

private:
    uint8_t Search(int Red, int Green, int Blue) const;

    // Photographs repeat colours often enough that remembering the last answers pays.
    static constexpr uint32_t CacheSize = 1u << 14;
    struct TCacheEntry {
        uint32_t Key = 0; // colour + 1; 0 when empty
        uint8_t Index = 0;
    };
    HPALETTE FPalette;
    // The entries ordered by red (then index), so that a search can stop once red alone is too far.
    struct TSortedEntry {
        int Red, Green, Blue;
        uint8_t Index;
    };
    std::vector<TSortedEntry> FByRed;
    mutable std::array<TCacheEntry, CacheSize> FCache{};
};

// The 6 x 6 x 6 colour cube: index r * 36 + g * 6 + b, levels of 51. Each component goes to its
// nearest level.
class TNetscapeColorLookup final : public TColorLookup {
    FERRONEL_ABSTRACT_CLASS(TNetscapeColorLookup, TColorLookup)
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    static uint8_t Level(uint8_t Component) { return uint8_t((Component + 25) / 51); }
    uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                   uint8_t& B) const override {
        return Map(Red, Green, Blue, R, G, B);
    }
    TPaletteEntries PaletteEntries() const override;

    uint8_t Map(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) const {
        const uint8_t r = Level(Red), g = Level(Green), b = Level(Blue);
        R = uint8_t(r * 51);
        G = uint8_t(g * 51);
        B = uint8_t(b * 51);
        return uint8_t(r * 36 + g * 6 + b);
    }
};

// 256 greys by weighted luminance.
class TGrayScaleLookup final : public TColorLookup {
    FERRONEL_ABSTRACT_CLASS(TGrayScaleLookup, TColorLookup)
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                   uint8_t& B) const override {
        return Map(Red, Green, Blue, R, G, B);
    }
    TPaletteEntries PaletteEntries() const override;

    uint8_t Map(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) const {
        const uint8_t grey = uint8_t((Red * 77 + Green * 150 + Blue * 29) >> 8);
        R = G = B = grey;
        return grey;
    }
};

// Black (0) or white (1) by weighted luminance; mid-grey 128 is white.
class TMonochromeLookup final : public TColorLookup {
    FERRONEL_ABSTRACT_CLASS(TMonochromeLookup, TColorLookup)
public:
    TMonochromeLookup() : TColorLookup(2) {}
    uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                   uint8_t& B) const override {
        return Map(Red, Green, Blue, R, G, B);
    }
    TPaletteEntries PaletteEntries() const override;

    uint8_t Map(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) const {
        const bool white = Red * 77 + Green * 150 + Blue * 29 >= 32513;
        R = G = B = white ? 255 : 0;
        return white ? 1 : 0;
    }
};

// The 216 colours of the cube in index order.
const TPaletteEntries& ColorCubeEntries();

} // namespace ferronel
