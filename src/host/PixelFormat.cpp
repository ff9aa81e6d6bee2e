#include "host/PixelFormat.h"

#include "host/ByteReader.h"

#include <cstring>

namespace ferronel {

int BitsPerPixelOf(TPixelFormat Format) {
    switch (Format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pfDevice:
    case pf32bit: return 32;
    case pfCustom: break;
    }
    return 0;
}

bool IsIndexedFormat(TPixelFormat Format) { return Format == pf1bit || Format == pf4bit || Format == pf8bit; }

uint64_t BytesPerScanline(uint64_t Width, int BitsPerPixel) {
    return ((Width * uint64_t(BitsPerPixel) + 31) / 32) * 4;
}

TColorMatcher::TColorMatcher(const TPaletteEntries& Palette) : FPalette(Palette) {
    FKeys.fill(0xFFFFFFFF);
    FValues.fill(0);
    if (FPalette.empty()) FPalette.push_back({0, 0, 0, 0});
}

uint8_t TColorMatcher::Match(uint8_t Red, uint8_t Green, uint8_t Blue) {
    const uint32_t key = uint32_t(Red) << 16 | uint32_t(Green) << 8 | Blue;
    const uint32_t slot = (key * 2654435761u) >> 20;
    if (FKeys[slot] == key) return FValues[slot];
    int best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < FPalette.size(); ++i) {
        const int dr = int(FPalette[i].peRed) - Red, dg = int(FPalette[i].peGreen) - Green,
                  db = int(FPalette[i].peBlue) - Blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    FKeys[slot] = key;
    FValues[slot] = uint8_t(best);
    return uint8_t(best);
}

namespace {

inline void PutIndexed(uint8_t* d, const TPaletteEntries& pal, uint32_t index) {
    if (index < pal.size()) {
        const TPaletteEntry& e = pal[index];
        d[0] = e.peBlue;
        d[1] = e.peGreen;
        d[2] = e.peRed;
    } else {
        d[0] = d[1] = d[2] = 0;
    }
    d[3] = 0;
}

} // namespace

void DecodeRow(TPixelFormat Format, const uint8_t* s, uint8_t* d, uint32_t Width,
               const TPaletteEntries& Palette) {
    switch (Format) {
    case pf1bit:
        for (uint32_t x = 0; x < Width; ++x, d += 4) PutIndexed(d, Palette, (s[x >> 3] >> (7 - (x & 7))) & 1);
        break;
    case pf4bit:
        for (uint32_t x = 0; x < Width; ++x, d += 4)
            PutIndexed(d, Palette, (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
        break;
    case pf8bit:
        for (uint32_t x = 0; x < Width; ++x, d += 4) PutIndexed(d, Palette, s[x]);
        break;
    case pf15bit:
        for (uint32_t x = 0; x < Width; ++x, d += 4, s += 2) {
            const uint32_t v = LoadU16LE(s);
            d[0] = Expand5(v & 31);
            d[1] = Expand5((v >> 5) & 31);
            d[2] = Expand5((v >> 10) & 31);
            d[3] = 0;
        }
        break;
    case pf16bit:
        for (uint32_t x = 0; x < Width; ++x, d += 4, s += 2) {
            const uint32_t v = LoadU16LE(s);
            d[0] = Expand5(v & 31);
            d[1] = Expand6((v >> 5) & 63);
            d[2] = Expand5((v >> 11) & 31);
            d[3] = 0;
        }
        break;
    case pf24bit:
        for (uint32_t x = 0; x < Width; ++x, d += 4, s += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = 0;
        }
        break;
    case pfDevice:
    case pf32bit: std::memcpy(d, s, size_t(Width) * 4); break;
    case pfCustom: std::memset(d, 0, size_t(Width) * 4); break;
    }
}

void EncodeRow(TPixelFormat Format, const uint8_t* s, uint8_t* d, uint32_t Width, TColorMatcher* Matcher) {
    switch (Format) {
    case pf1bit:
        std::memset(d, 0, (size_t(Width) + 7) / 8);
        for (uint32_t x = 0; x < Width; ++x, s += 4)
            d[x >> 3] = uint8_t(d[x >> 3] | (Matcher->Match(s[2], s[1], s[0]) & 1) << (7 - (x & 7)));
        break;
    case pf4bit:
        std::memset(d, 0, (size_t(Width) + 1) / 2);
        for (uint32_t x = 0; x < Width; ++x, s += 4)
            d[x >> 1] = uint8_t(d[x >> 1] | (Matcher->Match(s[2], s[1], s[0]) & 15) << ((x & 1) ? 0 : 4));
        break;
    case pf8bit:
        for (uint32_t x = 0; x < Width; ++x, s += 4) d[x] = Matcher->Match(s[2], s[1], s[0]);
        break;
    case pf15bit:
        for (uint32_t x = 0; x < Width; ++x, s += 4, d += 2) {
            const uint32_t v = uint32_t(s[0] >> 3) | uint32_t(s[1] >> 3) << 5 | uint32_t(s[2] >> 3) << 10;
            d[0] = uint8_t(v);
            d[1] = uint8_t(v >> 8);
        }
        break;
    case pf16bit:
        for (uint32_t x = 0; x < Width; ++x, s += 4, d += 2) {
            const uint32_t v = uint32_t(s[0] >> 3) | uint32_t(s[1] >> 2) << 5 | uint32_t(s[2] >> 3) << 11;
            d[0] = uint8_t(v);
            d[1] = uint8_t(v >> 8);
        }
        break;
    case pf24bit:
        for (uint32_t x = 0; x < Width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
        break;
    case pfDevice:
    case pf32bit: std::memcpy(d, s, size_t(Width) * 4); break;
    case pfCustom: break;
    }
}

} // namespace ferronel
