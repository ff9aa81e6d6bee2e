// The linear library's PCX loader: 8-bit pictures with one plane (with a palette) or three planes
// (red, green, blue), run-length encoded; and the host graphic that serves "pcx" through it.
#pragma once

#include "host/HeaderCheck.h"
#include "linear/BitmapLoader.h"
#include "linear/LinearGraphic.h"

#include <cstdint>
#include <span>

namespace ferronel::linear {

enum TPCXManufacturer : uint8_t { pmZSoft = 10 };
enum TPCXVersion : uint8_t { pvWithPalette = 5 };
enum TPCXEncoding : uint8_t { peRunLength = 1 };
enum TPCXPlanes : uint8_t { ppIndexed = 1, ppRGB = 3 };

// The 128-byte file header (16-bit fields little-endian).
struct TPCXHeader {
    static constexpr size_t Size = 128;
    uint8_t Manufacturer = 0;
    uint8_t Version = 0;
    uint8_t Encoding = 0;
    uint8_t BitsPerPixel = 0;
    uint16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
    uint16_t HorizontalDPI = 0, VerticalDPI = 0;
    uint8_t Reserved = 0; // byte 64
    uint8_t Planes = 0;   // byte 65
    uint16_t BytesPerLine = 0;

    static TPCXHeader Parse(std::span<const uint8_t, Size> Bytes);
    // Every byte not named above is 0.
    void Serialize(std::span<uint8_t, Size> Bytes) const;
    // XMax - XMin + 1 and YMax - YMin + 1 (0 or less when the bounds are reversed).
    int32_t Width() const { return int32_t(XMax) - int32_t(XMin) + 1; }
    int32_t Height() const { return int32_t(YMax) - int32_t(YMin) + 1; }
};

// 8 bits per pixel, one or three planes, run-length encoded, version 5, with bounds that give a
// picture no wider than a stored line.
THeaderCheck CheckPCXHeader(const TPCXHeader& Header);

class TPCXLoader : public TBitmapLoader {
    FERRONEL_CLASS(TPCXLoader, TBitmapLoader)
public:
    bool CanLoad(const std::string& Ext) override { return Ext == "PCX"; }
    bool CanSave(const std::string& Ext) override { return Ext == "PCX"; }
    std::string GetLoadFilter() override;
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
    // 8-bit bitmaps as one plane with a palette, 24-bit ones as three planes.
    void SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
};

class TPCXGraphic : public TLinearGraphic {
    FERRONEL_CLASS(TPCXGraphic, TLinearGraphic)
public:
    void LoadFromStream(TStream& Stream) override { LoadWithExtension(Stream, "PCX"); }
    void SaveToStream(TStream& Stream) override { SaveWithExtension(Stream, "PCX"); }
};

TPCXLoader& PCXLoader();
// "pcx" joins the picture registry (the reader library registers its own reader later, which wins
// in the viewer); at exit it leaves.
void InitializePCXLoader();
void FinalizePCXLoader();

} // namespace ferronel::linear
