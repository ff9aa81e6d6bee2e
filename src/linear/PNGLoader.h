// The loader for PNG files and for the first PNG image embedded in an MNG file, and the host
// graphic classes that serve "png" and "mng" through it.
#pragma once

#include "host/HeaderCheck.h"
#include "linear/BaseStream.h"
#include "linear/BitmapLoader.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearGraphic.h"

#include <array>
#include <memory>
#include <span>

namespace ferronel::linear {

enum TPNGColorType : uint8_t { pcGrey = 0, pcRGB = 2, pcPalette = 3, pcGreyAlpha = 4, pcRGBAlpha = 6 };
enum TPNGInterlace : uint8_t { piNone = 0, piAdam7 = 1 };
enum TPNGFilterMethod : uint8_t { pfmAdaptive = 0, pfmIntrapixel = 64 };
enum TPNGRowFilter : uint8_t { prfNone, prfSub, prfUp, prfAverage, prfPaeth };

// The IHDR chunk's body.
struct TPNGImageHeader {
    static constexpr size_t Size = 13;
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t BitDepth = 0;
    uint8_t ColorType = 0;
    uint8_t CompressionMethod = 0;
    uint8_t FilterMethod = 0;
    uint8_t InterlaceMethod = 0;

    static TPNGImageHeader Parse(std::span<const uint8_t, Size> Bytes);
    void Serialize(std::span<uint8_t, Size> Bytes) const;
    // Samples a pixel has: 1 grey or palette, 2 grey and alpha, 3 RGB, 4 RGB and alpha.
    int Channels() const;
};

// Whether the header describes a picture this loader reads: a known colour type with one of the
// bit depths that colour type allows, and sides that fit the bitmap.
THeaderCheck CheckPNGImageHeader(const TPNGImageHeader& Header);

class TPNGLoader : public TBitmapLoader {
    FERRONEL_CLASS(TPNGLoader, TBitmapLoader)
public:
    bool CanLoad(const std::string& Ext) override;
    bool CanSave(const std::string& Ext) override { return CanLoad(Ext); }
    std::string GetLoadFilter() override;
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
    // Writes a PNG file, or with "MNG" an MNG file holding the picture as its one image.
    void SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;

    // With KeepExtras a true-colour image's palette, the transparency table and the opacity of
    // grey-alpha and RGB-alpha images are kept.
    bool KeepExtras = false;
    std::unique_ptr<TLinearPalette> ExtraPalette;
    std::unique_ptr<TLinearBitmap> AlphaBitmap;
    std::unique_ptr<std::array<uint8_t, 256>> AlphaTable;
    double Gamma = 0;
    int32_t TransparentColor = -1;
    uint8_t BitDepth = 0;
    // Writing: 0..4 always that row filter; per row, -1 the smallest sum of absolute values, -2 the
    // most runs; -3 the mode that gives the smallest file.
    int32_t FilterMode = -1;

private:
    void Reset();
};

class TPNGGraphic : public TLinearGraphic {
    FERRONEL_CLASS(TPNGGraphic, TLinearGraphic)
public:
    void LoadFromStream(TStream& Stream) override { LoadWithExtension(Stream, "PNG"); }
    void SaveToStream(TStream& Stream) override { SaveWithExtension(Stream, "PNG"); }
};

class TMNGGraphic : public TLinearGraphic {
    FERRONEL_CLASS(TMNGGraphic, TLinearGraphic)
public:
    void LoadFromStream(TStream& Stream) override { LoadWithExtension(Stream, "MNG"); }
    void SaveToStream(TStream& Stream) override { SaveWithExtension(Stream, "MNG"); }
};

// The module's start-up with the picture registry: "png" and "mng" join it; at exit they leave.
void InitializePNGLoader();
void FinalizePNGLoader();
TPNGLoader& PNGLoader();

} // namespace ferronel::linear
