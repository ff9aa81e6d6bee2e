// Pixel formats of the host bitmap and the row codecs that turn any of them into 32-bit
// blue-green-red-fourth rows and back. Format changes and drawing go through these, a row at a time.
#pragma once

#include "host/Palette.h"

#include <array>
#include <cstdint>

namespace ferronel {

enum TPixelFormat : uint8_t {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};

// Bits per pixel of a format; the device format is the 32-bit screen. pfCustom has none (0).
int BitsPerPixelOf(TPixelFormat Format);
bool IsIndexedFormat(TPixelFormat Format);
// Bytes of one row padded to 4 bytes.
uint64_t BytesPerScanline(uint64_t Width, int BitsPerPixel);

// Expands the 5-bit (or 6-bit) channel values of 16-bit pixels to 8 bits, repeating the top bits.
inline uint8_t Expand5(uint32_t v) { return uint8_t((v << 3) | (v >> 2)); }
inline uint8_t Expand6(uint32_t v) { return uint8_t((v << 2) | (v >> 4)); }

// Finds the nearest palette entry for a colour, remembering recent answers.
class TColorMatcher {
public:
    explicit TColorMatcher(const TPaletteEntries& Palette);
    uint8_t Match(uint8_t Red, uint8_t Green, uint8_t Blue);

private:
    TPaletteEntries FPalette;
    std::array<uint32_t, 4096> FKeys;
    std::array<uint8_t, 4096> FValues;
};

// Decodes Width pixels of a row in Format into 4-byte blue, green, red, fourth pixels. Indexed rows
// look their colours up in Palette (an index past its end gives black); the fourth byte is the
// source's own for 32-bit rows and 0 otherwise.
void DecodeRow(TPixelFormat Format, const uint8_t* Source, uint8_t* Dest, uint32_t Width,
               const TPaletteEntries& Palette);
// Encodes Width 4-byte pixels into a row of Format; indexed formats need Matcher.
void EncodeRow(TPixelFormat Format, const uint8_t* Source, uint8_t* Dest, uint32_t Width,
               TColorMatcher* Matcher);

} // namespace ferronel
