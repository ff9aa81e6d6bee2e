// The colour manager: turns rows of samples in a file's layout (colour scheme, bits per sample,
// samples per pixel, planar or interleaved) into the rows of a bitmap, through one routine chosen
// for the pair of layouts. It also makes grey and colour-map palettes and tells which bitmap format
// fits a layout.
#pragma once

#include "host/Exceptions.h"
#include "host/Object.h"
#include "host/Palette.h"
#include "host/PixelFormat.h"
#include "host/Set.h"
#include "readers/ColorRoutinesSimd.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace ferronel {

FERRONEL_EXCEPTION(EColorConversionError, Exception);

// The ordinal values are fixed; code compares them by range. The schemes with alpha are 3, 5 and 7.
enum TColorScheme : uint8_t {
    csUnknown,
    csIndexed,
    csGray,
    csGrayAlpha,
    csRGB,
    csRGBA,
    csBGR,
    csBGRA,
    csCMY,
    csCMYK,
    csCIELab,
    csYCbCr,
    csPhotoYCC,
};

enum TConvertOption : uint8_t {
    coxAlpha,            // the side carries an alpha sample (set by the manager from the scheme)
    coxApplyGamma,       // target: 8-bit colour results pass through the gamma table
    coxSwapBytes,        // source: 16-bit samples are stored high byte first
    coxLabByteLightness, // source L*a*b*: L* stored as 0..255
    coxLabChromaOffset,  // source L*a*b*: a* and b* stored with an offset of 128
};
using TConvertOptions = TSet<TConvertOption, uint8_t>;

// Source rows: one pointer for interleaved samples, one per plane (in the scheme's order) for
// planar data.
using TSourceRows = std::span<const uint8_t* const>;

class TColorManager : public TObject {
    FERRONEL_CLASS(TColorManager, TObject)
public:
    TColorManager();

    uint8_t SourceBitsPerSample() const { return FSourceBPS; }
    uint8_t TargetBitsPerSample() const { return FTargetBPS; }
    uint8_t SourceSamplesPerPixel() const { return FSourceSPP; }
    uint8_t TargetSamplesPerPixel() const { return FTargetSPP; }
    TColorScheme SourceColorScheme() const { return FSourceScheme; }
    TColorScheme TargetColorScheme() const { return FTargetScheme; }
    void SetSourceBitsPerSample(uint8_t Value);
    void SetTargetBitsPerSample(uint8_t Value);
    void SetSourceSamplesPerPixel(uint8_t Value);
    void SetTargetSamplesPerPixel(uint8_t Value);
    void SetSourceColorScheme(TColorScheme Value);
    void SetTargetColorScheme(TColorScheme Value);

    // Written directly by the readers. The next row sees a change and prepares again, which
    // re-derives the alpha option from the schemes.
    TConvertOptions SourceOptions;
    TConvertOptions TargetOptions;

    // Converts Count target pixels. The first row after a change checks the layouts: each side's
    // samples per pixel must fit its scheme, indexed and grey fields be 1, 2, 4, 8 or 16 bits, and
    // target pixels fit the format PixelFormatFor(true) gives, so a bitmap of that format is never
    // written past. Mask selects the pixels to write: bit 7 for pixel 0 down to bit
    // 0 for pixel 7, repeating; the source holds only the selected pixels, packed, and unselected
    // target pixels keep their bytes. The source must hold SourceRowBytes(selected pixels) bytes per
    // row (per plane for planar data) and the target TargetRowBytes(Count); for the custom format,
    // which no bitmap has, that is the only bound.
    void ConvertScanline(TSourceRows Source, void* Target, uint32_t Count, uint8_t Mask);
    void ConvertScanline(const void* Source, void* Target, uint32_t Count, uint8_t Mask) {
        const uint8_t* rows[1] = {static_cast<const uint8_t*>(Source)};
        ConvertScanline(TSourceRows(rows), Target, Count, Mask);
    }
    // Bytes of Count pixels of interleaved source data (per plane when Planar) and of target data.
    uint64_t SourceRowBytes(uint32_t Count, bool Planar = false) const;
    uint64_t TargetRowBytes(uint32_t Count) const;

    // The bitmap format for the target (true) or source (false) layout.
    TPixelFormat PixelFormatFor(bool Target) const;
    HPALETTE MakeGrayPalette(bool MinimumIsWhite) const;
    // DataFormat: 0 one run of 3-byte entries, 1 of 4-byte entries, 2/3 three byte planes, 4 one run
    // of three 16-bit values, 5 of four, 6/7 three 16-bit planes. Entries whose bytes are not in
    // Data stay black.
    HPALETTE MakeColorMapPalette(std::initializer_list<std::span<const uint8_t>> Data, uint8_t DataFormat,
                                 uint32_t ColorCount, bool BGROrder) const;
    void SetGammaValues(float MainGamma, float DisplayGamma);
    // Coefficients that cannot make chroma tables (not numbers, outside 0..1, or a green weight so
    // small that the factors overflow) are replaced, all three, by the standard 0.299, 0.587, 0.114.
    void SetYCbCrValues(std::span<const float> Coefficients, uint8_t HorizontalSubsampling,
                        uint8_t VerticalSubsampling);

    float MainGamma() const { return FMainGamma; }
    float DisplayGamma() const { return FDisplayGamma; }
    const std::array<uint8_t, 256>& GammaTable() const { return FGammaTable; }
    const std::array<float, 3>& YCbCrCoefficients() const { return FYCbCrCoefficients; }
    uint8_t HorizontalSubsampling() const { return FHorizontalSubsampling; }
    uint8_t VerticalSubsampling() const { return FVerticalSubsampling; }

    // One row routine; see ColorRoutines.cpp.
    using TConvertMethod = void (*)(const TColorManager& Manager, TSourceRows Source, uint8_t* Target,
                                    uint32_t Count, uint8_t Mask);

    // Chroma tables of YCbCr and PhotoYCC sources, built when such a source is prepared.
    struct TChromaTables {
        std::array<int32_t, 256> CrToRed{}, CbToBlue{}, CrToGreen{}, CbToGreen{};
        // The same tables as fixed-point factors, when those give exactly the same values.
        simd::TYccFactors Factors{};
        bool FactorsExact = false;
    };
    const TChromaTables& ChromaTables() const { return FChroma; }

private:
    void Prepare();
    void BuildChromaTables();

    bool FChanged = true;
    uint8_t FSourceBPS = 8, FTargetBPS = 8, FSourceSPP = 3, FTargetSPP = 3;
    float FMainGamma = 1.0f, FDisplayGamma = 2.2f;
    std::array<uint8_t, 256> FGammaTable{};
    std::array<float, 3> FYCbCrCoefficients{0.299f, 0.587f, 0.114f};
    uint8_t FHorizontalSubsampling = 1, FVerticalSubsampling = 1;
    TChromaTables FChroma;
    TColorScheme FSourceScheme = csRGB, FTargetScheme = csBGR;
    TConvertMethod FConvertMethod = nullptr;
    // The options as the last preparation left them.
    TConvertOptions FPreparedSourceOptions, FPreparedTargetOptions;
};

// The routine the selection table gives for a manager's settings, or null; exposed for the manager.
TColorManager::TConvertMethod SelectConvertMethod(const TColorManager& Manager);

} // namespace ferronel
