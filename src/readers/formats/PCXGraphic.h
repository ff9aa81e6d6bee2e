// ZSoft Paintbrush images and the Word 5.x screen captures that share their layout: 1, 2, 4 and
// 8-bit single-plane images, 16-colour images in bit planes, and 24 and 32-bit images in byte
// planes, uncompressed or run-length encoded.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

enum TPCXManufacturer : uint8_t {
    pmZSoft = 10,
    pmCanLoadAlso = 12, // accepted by CanLoad only
    pmScreenCapture = 205,
};

enum TPCXVersion : uint8_t { pvNoPalette = 3 };
enum TPCXEncoding : uint8_t { peNone = 0, peRLE = 1 };
enum TPCXPaletteInfo : uint16_t { ppColor = 1, ppGray = 2 };
// The byte in front of the 256-colour palette at the end of an 8-bit file.
enum : uint8_t { PCXPaletteMarker = 12 };
// The marker and 256 entries of red, green, blue.
inline constexpr size_t PCXPaletteBlockSize = 769;

// The 128-byte file header, little-endian, every field as stored.
struct TPCXHeader {
    static constexpr size_t Size = 128;

    uint8_t Manufacturer = 0;
    uint8_t Version = 0;
    uint8_t Encoding = peNone;
    uint8_t BitsPerPixel = 0; // per plane
    uint16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
    uint16_t HorizontalResolution = 0, VerticalResolution = 0;
    std::array<uint8_t, 48> ColorMap{}; // 16 entries of red, green, blue
    uint8_t Reserved = 0;
    uint8_t Planes = 0;
    uint16_t BytesPerLine = 0; // per plane
    uint16_t PaletteInfo = 0;

    static TPCXHeader Parse(std::span<const uint8_t, Size> Bytes);

    // Sizes in unsigned 16-bit arithmetic, as the format has them.
    uint16_t Width() const { return uint16_t(XMax - XMin + 1); }
    uint16_t Height() const { return uint16_t(YMax - YMin + 1); }
    // Bytes of one stored row, all planes.
    size_t LineBytes() const { return size_t(Planes) * BytesPerLine; }
};

// The one judgement of a header. CanLoad takes manufacturers 10 and 12 and wants a known version
// and encoding; loading takes manufacturers 10 and 205, a layout it can build and rows long enough
// for the width.
THeaderCheck CheckPCXHeader(const TPCXHeader& Header);

class TPCXGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TPCXGraphic, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    THeaderCheck ReadHeader(TStream& Stream);
    // Sets the palette; answers whether the file ends with a 256-colour palette block.
    bool MakePalette(TStream& Stream, int64_t DataStart);

    TPCXHeader FHeader;
};

} // namespace ferronel
