#include "readers/ColorManager.h"

#include "readers/ReaderStrings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ferronel {

using namespace readers;

TColorManager::TColorManager() { SetGammaValues(1.0f, 2.2f); }

void TColorManager::SetSourceBitsPerSample(uint8_t Value) {
    if (Value == 0 || Value > 16) throw EColorConversionError(gesInvalidSampleDepth);
    if (Value != FSourceBPS) FSourceBPS = Value, FChanged = true;
}

void TColorManager::SetTargetBitsPerSample(uint8_t Value) {
    if (Value == 0 || Value > 16) throw EColorConversionError(gesInvalidSampleDepth);
    if (Value != FTargetBPS) FTargetBPS = Value, FChanged = true;
}

void TColorManager::SetSourceSamplesPerPixel(uint8_t Value) {
    if (Value == 0 || Value > 4) throw EColorConversionError(gesInvalidPixelDepth);
    if (Value != FSourceSPP) FSourceSPP = Value, FChanged = true;
}

void TColorManager::SetTargetSamplesPerPixel(uint8_t Value) {
    if (Value == 0 || Value > 4) throw EColorConversionError(gesInvalidPixelDepth);
    if (Value != FTargetSPP) FTargetSPP = Value, FChanged = true;
}

void TColorManager::SetSourceColorScheme(TColorScheme Value) {
    if (Value != FSourceScheme) FSourceScheme = Value, FChanged = true;
}

void TColorManager::SetTargetColorScheme(TColorScheme Value) {
    if (Value != FTargetScheme) FTargetScheme = Value, FChanged = true;
}

namespace {

bool HasAlpha(TColorScheme s) { return s == csGrayAlpha || s == csRGBA || s == csBGRA; }

// The row routines step through interleaved samples by the scheme, not by the count, so a count
// that differs would make them read or write other pixels than the caller's.
bool SourceSamplesFit(TColorScheme scheme, uint8_t samples) {
    switch (scheme) {
    case csIndexed:
    case csGray: return samples == 1;
    // Grey with alpha is read two samples a pixel; readers count it as one sample or as two.
    case csGrayAlpha: return samples == 1 || samples == 2;
    case csRGB:
    case csBGR:
    case csCMY:
    case csCIELab:
    case csYCbCr:
    case csPhotoYCC: return samples == 3;
    case csRGBA:
    case csBGRA:
    case csCMYK: return samples == 4;
    default: return true; // no routine reads it
    }
}

bool TargetSamplesFit(TColorScheme target, TColorScheme source, uint8_t samples) {
    switch (target) {
    // One sample a pixel is written; a grey-with-alpha source may pass its own count of two on.
    case csIndexed:
    case csGray: return samples == 1 || (samples == 2 && source == csGrayAlpha);
    case csRGB:
    case csBGR: return samples == 3;
    case csRGBA:
    case csBGRA: return samples == 4;
    default: return true; // no routine writes it
    }
}

// Packed indexed and grey rows hold fields of 1, 2, 4 or 8 bits; 16 bits have routines of their own.
bool IsIndexedDepth(uint8_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

// Luma weights from a file must make finite chroma factors of a sane size: the standard ones are
// under 2, and a bound of 1024 keeps every table entry and every sum of entries far inside 32 bits.
bool UsableLumaWeights(const std::array<float, 3>& k) {
    for (const float w : k)
        if (!(w > 0 && w < 1)) return false; // also refuses NaN
    const double kr = k[0], kg = k[1], kb = k[2];
    const double fr = 2 - 2 * kr, fb = 2 - 2 * kb;
    for (const double f : {fr, fb, kr * fr / kg, kb * fb / kg})
        if (!(std::fabs(f) <= 1024)) return false;
    return true;
}

} // namespace

void TColorManager::Prepare() {
    // Every check comes before any state changes, so a failed preparation leaves the manager as it
    // was and the next row fails the same way.
    const bool sourceIndexed =
        FSourceScheme == csIndexed || FSourceScheme == csGray || FSourceScheme == csGrayAlpha;
    const bool targetIndexed = FTargetScheme == csIndexed || FTargetScheme == csGray;
    if (sourceIndexed != targetIndexed) throw EColorConversionError(gesIndexedNotSupported);
    if (!SourceSamplesFit(FSourceScheme, FSourceSPP) ||
        !TargetSamplesFit(FTargetScheme, FSourceScheme, FTargetSPP))
        throw EColorConversionError(gesInvalidPixelDepth);
    const TConvertMethod method = SelectConvertMethod(*this);
    if (method) {
        if ((FSourceScheme == csIndexed || FSourceScheme == csGray) &&
            !(IsIndexedDepth(FSourceBPS) && IsIndexedDepth(FTargetBPS)))
            throw EColorConversionError(gesInvalidSampleDepth);
        // Readers size the bitmap by PixelFormatFor, whose formats are at most 32 bits a pixel, so
        // wider targets (16 bits a sample) would be written past the row. No bitmap has the custom
        // format: its callers size rows themselves.
        const TPixelFormat format = PixelFormatFor(true);
        const uint32_t written = targetIndexed ? FTargetBPS : uint32_t(FTargetSPP) * FTargetBPS;
        if (format != pfCustom && written > uint32_t(BitsPerPixelOf(format)))
            throw EColorConversionError(gesTargetFormatTooNarrow);
    }
    if (HasAlpha(FSourceScheme))
        SourceOptions.Include(coxAlpha);
    else
        SourceOptions.Exclude(coxAlpha);
    if (HasAlpha(FTargetScheme))
        TargetOptions.Include(coxAlpha);
    else
        TargetOptions.Exclude(coxAlpha);
    if (FSourceScheme == csYCbCr || FSourceScheme == csPhotoYCC) BuildChromaTables();
    FConvertMethod = method;
    FPreparedSourceOptions = SourceOptions;
    FPreparedTargetOptions = TargetOptions;
    FChanged = false;
}

void TColorManager::ConvertScanline(TSourceRows Source, void* Target, uint32_t Count, uint8_t Mask) {
    // The options are plain fields, so a change to them is noticed here rather than by a setter.
    if (FChanged || SourceOptions != FPreparedSourceOptions || TargetOptions != FPreparedTargetOptions)
        Prepare();
    if (!FConvertMethod) throw EColorConversionError(gesConversionUnsupported);
    if (Source.empty() || !Source[0]) return;
    FConvertMethod(*this, Source, static_cast<uint8_t*>(Target), Count, Mask);
}

uint64_t TColorManager::SourceRowBytes(uint32_t Count, bool Planar) const {
    const uint64_t samples = Planar ? 1 : FSourceSPP;
    return (uint64_t(Count) * samples * FSourceBPS + 7) / 8;
}

uint64_t TColorManager::TargetRowBytes(uint32_t Count) const {
    return (uint64_t(Count) * FTargetSPP * FTargetBPS + 7) / 8;
}

TPixelFormat TColorManager::PixelFormatFor(bool Target) const {
    const uint8_t samples = Target ? FTargetSPP : FSourceSPP;
    const uint8_t bits = Target ? FTargetBPS : FSourceBPS;
    switch (samples) {
    case 1:
        if (bits == 1) return pf1bit;
        if (bits >= 2 && bits <= 4) return pf4bit;
        if (bits >= 8) return pf8bit;
        break;
    case 3: return bits <= 5 ? pf15bit : pf24bit;
    case 4:
        if (bits >= 8) return pf32bit;
        break;
    }
    return pfCustom;
}

HPALETTE TColorManager::MakeGrayPalette(bool MinimumIsWhite) const {
    const uint32_t n = 1u << std::min(uint32_t(FTargetBPS) * FTargetSPP, 8u);
    const uint32_t step = 255 / (n - 1);
    const bool gamma = TargetOptions.Contains(coxApplyGamma);
    TPaletteEntries entries(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t v = gamma ? FGammaTable[i * step] : uint8_t(i * step);
        entries[MinimumIsWhite ? n - 1 - i : i] = {v, v, v, 0};
    }
    return CreatePalette(std::move(entries));
}

HPALETTE TColorManager::MakeColorMapPalette(std::initializer_list<std::span<const uint8_t>> Data,
                                            uint8_t DataFormat, uint32_t ColorCount, bool BGROrder) const {
    uint32_t n = std::min<uint32_t>(ColorCount, 256);
    std::array<TPaletteEntry, 256> entries{};
    const std::vector<std::span<const uint8_t>> data(Data);
    const bool gamma = TargetOptions.Contains(coxApplyGamma);
    const bool swap = SourceOptions.Contains(coxSwapBytes);
    auto by8 = [&](uint8_t v) { return gamma ? FGammaTable[v] : v; };
    auto by16 = [&](std::span<const uint8_t> plane, size_t index) -> uint8_t {
        uint16_t v = uint16_t(plane[2 * index] | plane[2 * index + 1] << 8);
        if (swap) v = uint16_t(v << 8 | v >> 8);
        return by8(uint8_t(v * 255u / 65535u));
    };
    auto set = [&](TPaletteEntry& e, uint8_t a, uint8_t b, uint8_t c) {
        e = BGROrder ? TPaletteEntry{c, b, a, 0} : TPaletteEntry{a, b, c, 0};
    };
    // An entry is filled only when all of its bytes are there.
    switch (DataFormat) {
    case 0:
    case 1: {
        const size_t size = DataFormat == 0 ? 3 : 4;
        if (data.empty()) break;
        for (uint32_t i = 0; i < n && (i + 1) * size <= data[0].size(); ++i) {
            const uint8_t* p = data[0].data() + i * size;
            set(entries[i], by8(p[0]), by8(p[1]), by8(p[2]));
        }
        break;
    }
    case 2:
    case 3:
        if (data.size() < 3) break;
        for (uint32_t i = 0; i < n && i < data[0].size() && i < data[1].size() && i < data[2].size(); ++i)
            entries[i] = {by8(data[0][i]), by8(data[1][i]), by8(data[2][i]), 0};
        break;
    case 4:
    case 5: {
        const size_t values = DataFormat == 4 ? 3 : 4;
        if (data.empty()) break;
        for (uint32_t i = 0; i < n && (i + 1) * values * 2 <= data[0].size(); ++i)
            set(entries[i], by16(data[0], i * values), by16(data[0], i * values + 1),
                by16(data[0], i * values + 2));
        break;
    }
    case 6:
    case 7:
        if (data.size() < 3) break;
        for (uint32_t i = 0;
             i < n && 2 * i + 1 < data[0].size() && 2 * i + 1 < data[1].size() && 2 * i + 1 < data[2].size();
             ++i)
            entries[i] = {by16(data[0], i), by16(data[1], i), by16(data[2], i), 0};
        break;
    default: break;
    }
    // Fit the map to the target depth: entry i takes the entry its value scales from. Entries past
    // the 256 a palette holds read as black.
    if (FTargetBPS <= 8) {
        const uint64_t sMax = (uint64_t(1) << FSourceBPS) - 1, tMax = (uint64_t(1) << FTargetBPS) - 1;
        if (sMax != tMax) {
            auto from = [&](uint64_t i) {
                const uint64_t k = i * sMax / tMax;
                return k < entries.size() ? entries[k] : TPaletteEntry{};
            };
            if (sMax >= tMax)
                for (uint64_t i = 0; i <= tMax; ++i) entries[i] = from(i);
            else
                for (uint64_t i = tMax + 1; i-- > 0;) entries[i] = from(i);
            n = uint32_t(tMax + 1);
        }
    }
    return CreatePalette(TPaletteEntries(entries.begin(), entries.begin() + n));
}

void TColorManager::SetGammaValues(float MainGamma, float DisplayGamma) {
    FMainGamma = MainGamma > 0 ? MainGamma : 1.0f;
    FDisplayGamma = DisplayGamma > 0 ? DisplayGamma : 2.2f;
    const double e = 1.0 / (double(FMainGamma) * double(FDisplayGamma));
    const uint32_t max = FSourceBPS >= 8 ? 255 : std::min((1u << FTargetBPS) - 1, 255u);
    const double scale = FTargetBPS >= 8 ? 255.0 : double((1u << FTargetBPS) - 1);
    for (uint32_t i = 0; i <= max; ++i)
        FGammaTable[i] = uint8_t(std::nearbyint(std::pow(double(i) / max, e) * scale));
}

void TColorManager::SetYCbCrValues(std::span<const float> Coefficients, uint8_t HorizontalSubsampling,
                                   uint8_t VerticalSubsampling) {
    std::array<float, 3> k = FYCbCrCoefficients;
    for (size_t i = 0; i < std::min<size_t>(Coefficients.size(), 3); ++i) k[i] = Coefficients[i];
    // The weights come from files. A set that cannot make tables is replaced as a whole by the
    // standard weights rather than refused: such files are almost always standard YCbCr, and a
    // mixed set would be neither.
    FYCbCrCoefficients = UsableLumaWeights(k) ? k : std::array<float, 3>{0.299f, 0.587f, 0.114f};
    auto valid = [](uint8_t v) { return v == 1 || v == 2 || v == 4; };
    if (!valid(HorizontalSubsampling) || !valid(VerticalSubsampling))
        throw EColorConversionError(gesInvalidSubSampling);
    if (HorizontalSubsampling < VerticalSubsampling) throw EColorConversionError(gesVerticalSubSamplingError);
    FHorizontalSubsampling = HorizontalSubsampling;
    FVerticalSubsampling = VerticalSubsampling;
}

void TColorManager::BuildChromaTables() {
    // In double: in float, products that lie just off a half (Fb x -125 = -221.49999998) round to
    // the half and then to the wrong neighbour.
    const double kr = FYCbCrCoefficients[0], kg = FYCbCrCoefficients[1], kb = FYCbCrCoefficients[2];
    const double fr = 2 - 2 * kr, fb = 2 - 2 * kb;
    const double frg = kr * fr / kg, fbg = kb * fb / kg;
    const bool photo = FSourceScheme == csPhotoYCC;
    for (int i = 0; i < 256; ++i) {
        const double dr = i - (photo ? 137 : 128), db = i - (photo ? 156 : 128);
        FChroma.CrToRed[size_t(i)] = int32_t(std::nearbyint(fr * dr));
        FChroma.CbToBlue[size_t(i)] = int32_t(std::nearbyint(fb * db));
        FChroma.CrToGreen[size_t(i)] = -int32_t(std::nearbyint(frg * dr));
        FChroma.CbToGreen[size_t(i)] = -int32_t(std::nearbyint(fbg * db));
    }
    // The vector routine multiplies in 1/16384 units and rounds halves up; use it only with factors
    // that reproduce every table entry (a neighbour of the nearest factor may, where ties differ).
    const int32_t crOffset = photo ? 137 : 128, cbOffset = photo ? 156 : 128;
    auto fit = [](double f, const std::array<int32_t, 256>& table, int32_t offset, int32_t sign, int16_t& k) {
        const double nearest = std::nearbyint(f * 16384);
        for (const double candidate : {nearest, nearest + 1, nearest - 1, nearest + 2, nearest - 2}) {
            if (std::fabs(candidate) >= 32768) continue;
            bool exact = true;
            for (int32_t i = 0; i < 256 && exact; ++i)
                exact = table[size_t(i)] == sign * simd::MulHighRound(2 * (i - offset), int32_t(candidate));
            if (exact) {
                k = int16_t(candidate);
                return true;
            }
        }
        return false;
    };
    simd::TYccFactors& k = FChroma.Factors;
    k.CrOffset = int16_t(crOffset);
    k.CbOffset = int16_t(cbOffset);
    FChroma.FactorsExact = fit(fr, FChroma.CrToRed, crOffset, 1, k.CrToRed) &&
                           fit(fb, FChroma.CbToBlue, cbOffset, 1, k.CbToBlue) &&
                           fit(frg, FChroma.CrToGreen, crOffset, -1, k.CrToGreen) &&
                           fit(fbg, FChroma.CbToGreen, cbOffset, -1, k.CbToGreen);
}

} // namespace ferronel
