#include "readers/ColorManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EColorConversionError& e) {
        return e.Message();
    }
    return "no error";
}

// A manager for Source -> Target with the given depths and samples.
std::unique_ptr<TColorManager> Manager(TColorScheme source, TColorScheme target, uint8_t sourceBits,
                                       uint8_t targetBits, uint8_t sourceSamples = 3,
                                       uint8_t targetSamples = 3) {
    auto m = std::make_unique<TColorManager>();
    m->SetSourceColorScheme(source);
    m->SetTargetColorScheme(target);
    m->SetSourceBitsPerSample(sourceBits);
    m->SetTargetBitsPerSample(targetBits);
    m->SetSourceSamplesPerPixel(sourceSamples);
    m->SetTargetSamplesPerPixel(targetSamples);
    return m;
}

// Converts into a target surrounded by guard bytes and checks the guards survived.
Bytes Convert(TColorManager& m, TSourceRows rows, uint32_t count, uint8_t mask, size_t targetBytes,
              uint8_t fill = 0xEE) {
    Bytes buffer(targetBytes + 32, fill);
    m.ConvertScanline(rows, buffer.data() + 16, count, mask);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(buffer[i], fill) << "guard before the row";
        EXPECT_EQ(buffer[buffer.size() - 1 - i], fill) << "guard after the row";
    }
    return Bytes(buffer.begin() + 16, buffer.end() - 16);
}

Bytes Convert(TColorManager& m, const Bytes& source, uint32_t count, uint8_t mask, size_t targetBytes,
              uint8_t fill = 0xEE) {
    const uint8_t* rows[1] = {source.data()};
    return Convert(m, TSourceRows(rows), count, mask, targetBytes, fill);
}

// Rows into 16-bit targets: ConvertScanline refuses them, as no bitmap format holds such pixels, but
// their routines keep their rules. This prepares the manager (options, chroma tables) with an 8-bit
// target, then runs the routine chosen for the 16-bit target directly.
Bytes ConvertWide(TColorManager& m, const Bytes& source, uint32_t count, size_t targetBytes) {
    const uint8_t bits = m.TargetBitsPerSample();
    m.SetTargetBitsPerSample(8);
    uint8_t unused = 0;
    m.ConvertScanline(source.data(), &unused, 0, 0xFF);
    m.SetTargetBitsPerSample(bits);
    const TColorManager::TConvertMethod method = SelectConvertMethod(m);
    EXPECT_NE(method, nullptr);
    Bytes buffer(targetBytes + 32, 0xEE);
    const uint8_t* rows[1] = {source.data()};
    if (method) method(m, TSourceRows(rows), buffer.data() + 16, count, 0xFF);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(buffer[i], 0xEE) << "guard before the row";
        EXPECT_EQ(buffer[buffer.size() - 1 - i], 0xEE) << "guard after the row";
    }
    return Bytes(buffer.begin() + 16, buffer.end() - 16);
}

TEST(ColorManager, DefaultsConvertRgbToBgr) {
    TColorManager m;
    EXPECT_EQ(m.PixelFormatFor(true), pf24bit);
    EXPECT_EQ(Convert(m, Bytes{10, 20, 30, 40, 50, 60}, 2, 0xFF, 6), (Bytes{30, 20, 10, 60, 50, 40}));
}

TEST(ColorManager, SettersCheckTheirValues) {
    TColorManager m;
    EXPECT_EQ(ErrorOf([&] { m.SetSourceBitsPerSample(17); }),
              "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
    EXPECT_EQ(ErrorOf([&] { m.SetTargetBitsPerSample(0); }),
              "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
    EXPECT_EQ(m.SourceBitsPerSample(), 8);
    m.SetSourceBitsPerSample(3);
    EXPECT_EQ(m.SourceBitsPerSample(), 3);
    EXPECT_EQ(ErrorOf([&] { m.SetSourceSamplesPerPixel(5); }),
              "Sample count per pixel does not correspond to the given color scheme.");

    const float coefficients[] = {0.2f};
    EXPECT_EQ(ErrorOf([&] { m.SetYCbCrValues(coefficients, 2, 4); }),
              "Vertical subsampling value must be <= horizontal subsampling value.");
    EXPECT_EQ(ErrorOf([&] { m.SetYCbCrValues(coefficients, 3, 1); }),
              "Subsampling value is invalid. Allowed are 1, 2 and 4.");
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[0], 0.2f); // copied before the check
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[1], 0.587f);
    EXPECT_EQ(m.HorizontalSubsampling(), 1);
}

TEST(ColorManager, UnsupportedPairsFailOnEveryCall) {
    uint8_t row[8] = {};
    auto grey = Manager(csGray, csBGR, 8, 8, 1, 3);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ErrorOf([&] { grey->ConvertScanline(row, row, 1, 0xFF); }),
                  "Conversion between indexed and non-indexed pixel formats is not supported.");
    auto cmy = Manager(csCMY, csBGR, 8, 8);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ErrorOf([&] { cmy->ConvertScanline(row, row, 1, 0xFF); }),
                  "Color conversion failed. Could not find a proper method.");
    auto greyAlphaTarget = Manager(csGray, csGrayAlpha, 8, 8, 1, 2);
    EXPECT_EQ(ErrorOf([&] { greyAlphaTarget->ConvertScanline(row, row, 1, 0xFF); }),
              "Conversion between indexed and non-indexed pixel formats is not supported.");
    // A grey side of 16 bits with the other under 8 has no routine.
    auto mixed = Manager(csGray, csGray, 16, 4, 1, 1);
    EXPECT_EQ(ErrorOf([&] { mixed->ConvertScanline(row, row, 1, 0xFF); }),
              "Color conversion failed. Could not find a proper method.");
}

// What the readers program must keep converting; layouts that do not fit their schemes, or that
// write wider pixels than the format PixelFormatFor gives, are refused before any row is written.
TEST(ColorManager, PreparationChecksSamplesDepthsAndWidth) {
    const std::string samples = "Sample count per pixel does not correspond to the given color scheme.";
    const std::string depth = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
    const std::string wide = "Color conversion failed. No bitmap pixel format holds the target layout.";
    struct Case {
        TColorScheme source, target;
        uint8_t sourceBits, targetBits, sourceSamples, targetSamples;
        std::string error; // empty: converts
    };
    const Case cases[] = {
        // Accepted: the layouts the readers use.
        {csRGB, csBGR, 8, 8, 3, 3, ""},
        {csRGBA, csBGRA, 16, 8, 4, 4, ""},
        {csRGB, csBGRA, 8, 8, 3, 4, ""},
        {csCMYK, csBGR, 8, 8, 4, 3, ""},
        {csCIELab, csBGR, 8, 8, 3, 3, ""},
        {csYCbCr, csBGR, 16, 8, 3, 3, ""},
        {csIndexed, csIndexed, 2, 4, 1, 1, ""}, // 2-bit files widened into 4-bit rows
        {csIndexed, csIndexed, 16, 8, 1, 1, ""},
        {csGray, csGray, 16, 8, 1, 1, ""},
        {csGrayAlpha, csIndexed, 8, 8, 1, 1, ""}, // grey + alpha counted as one sample
        {csGrayAlpha, csIndexed, 8, 8, 2, 2, ""}, // ... or as two, into rows the caller sizes
        // Sample counts that do not fit the scheme.
        {csRGB, csBGRA, 8, 8, 3, 3, samples},
        {csRGB, csBGR, 8, 8, 3, 4, samples},
        {csRGBA, csBGRA, 8, 8, 2, 4, samples},
        {csCMYK, csBGR, 8, 8, 3, 3, samples},
        {csYCbCr, csBGR, 8, 8, 1, 3, samples},
        {csIndexed, csIndexed, 1, 1, 3, 3, samples},
        {csGray, csGray, 8, 8, 2, 2, samples},
        // Indexed and grey fields other than 1, 2, 4 and 8 bits (16 has routines of its own).
        {csIndexed, csIndexed, 3, 3, 1, 1, depth},
        {csIndexed, csIndexed, 12, 12, 1, 1, depth},
        {csIndexed, csIndexed, 3, 8, 1, 1, depth},
        {csIndexed, csIndexed, 16, 6, 1, 1, depth},
        {csGray, csGray, 12, 8, 1, 1, depth},
        // Wider than the format: 16-bit targets (PixelFormatFor gives 8, 24 or 32 bits).
        {csGray, csGray, 8, 16, 1, 1, wide},
        {csIndexed, csIndexed, 16, 16, 1, 1, wide},
        {csRGBA, csBGRA, 16, 16, 4, 4, wide},
        {csCMYK, csRGB, 8, 16, 4, 3, wide},
    };
    for (const Case& c : cases) {
        auto m = Manager(c.source, c.target, c.sourceBits, c.targetBits, c.sourceSamples, c.targetSamples);
        Bytes source(64, 0x40), target(128, 0);
        const std::string error = ErrorOf([&] { m->ConvertScanline(source.data(), target.data(), 4, 0xFF); });
        EXPECT_EQ(error, c.error.empty() ? "no error" : c.error)
            << int(c.source) << " -> " << int(c.target) << ", bits " << int(c.sourceBits) << "/"
            << int(c.targetBits) << ", samples " << int(c.sourceSamples) << "/" << int(c.targetSamples);
        if (!c.error.empty()) { // a failed preparation fails again on the next row
            EXPECT_EQ(ErrorOf([&] { m->ConvertScanline(source.data(), target.data(), 4, 0xFF); }), c.error);
        }
    }
}

// Whatever a caller programs, a row it sizes by PixelFormatFor(true) (or, for the custom format no
// bitmap has, by the samples and bits it gave) is never written past.
TEST(ColorManager, NoAcceptedLayoutWritesPastItsPixelFormat) {
    const uint8_t depths[] = {1, 2, 4, 5, 8, 16};
    const Bytes source(256, 0xA5);
    constexpr uint32_t count = 9;
    constexpr size_t guard = 128; // more than any layout could write past
    int accepted = 0, overruns = 0;
    for (int s = csUnknown; s <= csPhotoYCC; ++s)
        for (int t = csUnknown; t <= csBGRA; ++t) // no routine writes the schemes after these
            for (uint8_t sb : depths)
                for (uint8_t tb : depths)
                    for (uint8_t ss = 1; ss <= 4; ++ss)
                        for (uint8_t ts = 1; ts <= 4; ++ts) {
                            auto m = Manager(TColorScheme(s), TColorScheme(t), sb, tb, ss, ts);
                            const TPixelFormat format = m->PixelFormatFor(true);
                            const uint64_t bits =
                                format == pfCustom ? uint64_t(ts) * tb : BitsPerPixelOf(format);
                            const size_t row = size_t((count * bits + 7) / 8);
                            Bytes target(row + guard, 0xEE);
                            try {
                                m->ConvertScanline(source.data(), target.data(), count, 0xFF);
                            } catch (const EColorConversionError&) {
                                continue;
                            }
                            ++accepted;
                            if (std::any_of(target.begin() + ptrdiff_t(row), target.end(),
                                            [](uint8_t b) { return b != 0xEE; }) &&
                                ++overruns <= 5)
                                ADD_FAILURE()
                                    << "written past the row: " << s << " -> " << t << ", bits " << int(sb)
                                    << "/" << int(tb) << ", samples " << int(ss) << "/" << int(ts);
                        }
    EXPECT_EQ(overruns, 0);
    EXPECT_GT(accepted, 100); // the check is not vacuous
}

// Options are plain fields; writing them after a row was converted must not lose what preparation
// derived from the schemes (the alpha option).
TEST(ColorManager, OptionsWrittenAfterPreparationTakeEffect) {
    auto m = Manager(csRGBA, csBGRA, 8, 8, 4, 4);
    const Bytes rgba{1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes bgra{3, 2, 1, 4, 7, 6, 5, 8};
    EXPECT_EQ(Convert(*m, rgba, 2, 0xFF, 8), bgra);
    m->SourceOptions = {}; // a reader resetting its options between images
    m->TargetOptions = {};
    EXPECT_EQ(Convert(*m, rgba, 2, 0xFF, 8), bgra);
    EXPECT_TRUE(m->SourceOptions.Contains(coxAlpha));

    // A new option after preparation is used, and the alpha option survives it.
    auto deep = Manager(csRGBA, csBGRA, 16, 8, 4, 4);
    const Bytes be{0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x40, 0x00};
    EXPECT_EQ(Convert(*deep, be, 1, 0xFF, 4), (Bytes{0, 0, 255, 0})); // read as little-endian
    deep->SourceOptions = {coxSwapBytes};
    EXPECT_EQ(Convert(*deep, be, 1, 0xFF, 4), (Bytes{0, 127, 255, 63}));
}

// Luma weights come from files. Sets that cannot make chroma tables (a zero green weight, values
// that are not numbers, or so large or small that the factors leave any integer range) fall back to
// the standard weights, and such a file converts as a standard one.
TEST(ColorManager, UnusableYCbCrWeightsFallBackToTheStandard) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<float>> sets = {
        {0, 0, 0},
        {0.299f, 0, 0.114f},
        {nan, 0.587f, 0.114f},
        {0.299f, 1e-30f, 0.114f}, // a finite weight whose factors are not
        {1e30f, 0.587f, 0.114f},
        {-0.5f, 0.587f, 0.114f},
        {0.299f, -0.587f}, // two values: the third keeps its value
    };
    for (const auto& set : sets) {
        auto m = Manager(csYCbCr, csBGR, 8, 8);
        m->SetYCbCrValues(set, 1, 1);
        EXPECT_FLOAT_EQ(m->YCbCrCoefficients()[0], 0.299f) << set[0] << " " << set[1];
        EXPECT_FLOAT_EQ(m->YCbCrCoefficients()[1], 0.587f);
        EXPECT_FLOAT_EQ(m->YCbCrCoefficients()[2], 0.114f);
        EXPECT_EQ(Convert(*m, Bytes{76, 85, 255, 128, 128, 128}, 2, 0xFF, 6),
                  (Bytes{0, 0, 254, 128, 128, 128}));
    }
    // A usable set is kept as given.
    TColorManager m;
    const float rec709[] = {0.2126f, 0.7152f, 0.0722f};
    m.SetYCbCrValues(rec709, 1, 1);
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[1], 0.7152f);
}

// Table entries are rounded from the factors in double precision. The stored weights are floats:
// 0.114f is 0.11400000005960464, so Fb = 2 - 2 Kb = 1.7719999998807907, and Fb x (3 - 128) is
// -221.49999998509884, which rounds to -221 (in float the product becomes -221.5 and rounds to the
// even -222). The same holds for Cb 253 (+221) and for PhotoYCC's Cb 31 (31 - 156 = -125). With
// Photo-CD weights 0.2125f (0.21250000596046448), Fr = 1.574999988079071: x -100 gives -157.4999988
// (-157, not -158) and x 20 gives 31.49999976 (31, not 32).
TEST(ColorManager, ChromaTablesRoundInDoublePrecision) {
    auto ycc = Manager(csYCbCr, csBGR, 8, 8);
    EXPECT_EQ(Convert(*ycc, Bytes{250, 3, 128}, 1, 0xFF, 3)[0], 29); // blue: 250 - 221
    const auto& t = ycc->ChromaTables();
    EXPECT_EQ(t.CbToBlue[3], -221);
    EXPECT_EQ(t.CbToBlue[253], 221);
    EXPECT_EQ(t.CbToBlue[128], 0);
    EXPECT_EQ(t.CrToRed[255], 178); // 1.402 x 127 = 178.05
    EXPECT_EQ(t.CrToGreen[0], 91);  // -(0.71414 x -128 = -91.41)
    EXPECT_EQ(t.CbToGreen[0], 44);  // -(0.34414 x -128 = -44.05)

    auto photo = Manager(csPhotoYCC, csBGR, 8, 8);
    uint8_t row[3] = {};
    photo->ConvertScanline(row, row, 1, 0xFF);
    EXPECT_EQ(photo->ChromaTables().CbToBlue[31], -221);
    const float photoCd[] = {0.2125f, 0.7154f, 0.0721f};
    photo->SetYCbCrValues(photoCd, 2, 2);
    photo->SetTargetColorScheme(csRGB); // any change prepares again
    photo->ConvertScanline(row, row, 1, 0xFF);
    EXPECT_EQ(photo->ChromaTables().CrToRed[37], -157);
    EXPECT_EQ(photo->ChromaTables().CrToRed[157], 31);
}

TEST(ColorManager, PixelFormats) {
    struct Case {
        uint8_t samples, bits;
        TPixelFormat format;
    };
    for (const Case& c :
         {Case{1, 1, pf1bit}, Case{1, 2, pf4bit}, Case{1, 4, pf4bit}, Case{1, 5, pfCustom},
          Case{1, 8, pf8bit}, Case{1, 16, pf8bit}, Case{3, 5, pf15bit}, Case{3, 8, pf24bit},
          Case{3, 16, pf24bit}, Case{4, 4, pfCustom}, Case{4, 8, pf32bit}, Case{2, 8, pfCustom}}) {
        TColorManager m;
        m.SetTargetSamplesPerPixel(c.samples);
        m.SetTargetBitsPerSample(c.bits);
        EXPECT_EQ(m.PixelFormatFor(true), c.format) << int(c.samples) << " x " << int(c.bits);
        EXPECT_EQ(m.PixelFormatFor(false), pf24bit);
    }
}

TEST(ColorManager, MaskWritesOnlySelectedPixelsInterleavedAndPlanar) {
    auto m = Manager(csRGB, csBGR, 8, 8);
    const Bytes source{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const Bytes expected{0xEE, 0xEE, 0xEE, 3, 2, 1, 0xEE, 0xEE, 0xEE, 6,  5,  4,
                         0xEE, 0xEE, 0xEE, 9, 8, 7, 0xEE, 0xEE, 0xEE, 12, 11, 10};
    EXPECT_EQ(Convert(*m, source, 8, 0x55, 24), expected);

    const Bytes r{1, 4, 7, 10}, g{2, 5, 8, 11}, b{3, 6, 9, 12};
    const uint8_t* planes[3] = {r.data(), g.data(), b.data()};
    EXPECT_EQ(Convert(*m, TSourceRows(planes), 8, 0x55, 24), expected);

    // The mask repeats every 8 pixels: 0x80 selects pixels 0 and 8.
    auto grey = Manager(csGray, csGray, 8, 8, 1, 1);
    EXPECT_EQ(Convert(*grey, Bytes{7, 9}, 10, 0x80, 10),
              (Bytes{7, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 9, 0xEE}));
}

TEST(ColorManager, AlphaSixteenBitsSwapsAndGamma) {
    // RGBA 16-bit big-endian to BGRA 8-bit: swapped, scaled, alpha kept.
    auto m = Manager(csRGBA, csBGRA, 16, 8, 4, 4);
    m->SourceOptions = {coxSwapBytes};
    const Bytes be{0xFF, 0xFF, 0x80, 0x00, 0x00, 0x10, 0x40, 0x00};
    EXPECT_EQ(Convert(*m, be, 1, 0xFF, 4), (Bytes{0, 127, 255, 63}));
    // The same samples as planes.
    const Bytes r{0xFF, 0xFF}, g{0x80, 0x00}, b{0x00, 0x10}, a{0x40, 0x00};
    const uint8_t* planes[4] = {r.data(), g.data(), b.data(), a.data()};
    EXPECT_EQ(Convert(*m, TSourceRows(planes), 1, 0xFF, 4), (Bytes{0, 127, 255, 63}));

    // 8-bit to 16-bit with gamma: gamma first, then x 257, then swapped; alpha without gamma.
    auto w = Manager(csRGBA, csRGBA, 8, 16, 4, 4);
    w->SourceOptions = {coxSwapBytes};
    w->TargetOptions = {coxApplyGamma};
    EXPECT_EQ(ConvertWide(*w, Bytes{128, 0, 255, 128}, 1, 8), (Bytes{186, 186, 0, 0, 255, 255, 128, 128}));

    // 16 to 8 bits with gamma from planes: swapped, scaled, then through the table.
    auto gm = Manager(csRGB, csBGR, 16, 8);
    gm->SourceOptions = {coxSwapBytes};
    gm->TargetOptions = {coxApplyGamma};
    const Bytes gr{0x80, 0x80}, gg{0xFF, 0xFF}, gb{0x00, 0x00};
    const uint8_t* gammaPlanes[3] = {gr.data(), gg.data(), gb.data()};
    EXPECT_EQ(Convert(*gm, TSourceRows(gammaPlanes), 1, 0xFF, 3), (Bytes{0, 255, gm->GammaTable()[128]}));

    // Only the target has alpha: its alpha byte is left alone. Only the source: skipped.
    auto t = Manager(csRGB, csBGRA, 8, 8, 3, 4);
    EXPECT_EQ(Convert(*t, Bytes{1, 2, 3}, 1, 0xFF, 4), (Bytes{3, 2, 1, 0xEE}));
    auto s = Manager(csRGBA, csBGR, 8, 8, 4, 3);
    EXPECT_EQ(Convert(*s, Bytes{1, 2, 3, 9, 4, 5, 6, 9}, 2, 0xFF, 6), (Bytes{3, 2, 1, 6, 5, 4}));

    // 16 to 16 keeps full precision, swapped when asked.
    auto deep = Manager(csBGR, csBGR, 16, 16);
    deep->SourceOptions = {coxSwapBytes};
    EXPECT_EQ(ConvertWide(*deep, Bytes{1, 2, 3, 4, 5, 6}, 1, 6), (Bytes{2, 1, 4, 3, 6, 5}));
}

TEST(ColorManager, GammaTable) {
    TColorManager m;
    EXPECT_EQ(m.GammaTable()[0], 0);
    EXPECT_EQ(m.GammaTable()[128], 186);
    EXPECT_EQ(m.GammaTable()[255], 255);
    m.SetGammaValues(-1, 0); // both fall back
    EXPECT_FLOAT_EQ(m.MainGamma(), 1.0f);
    EXPECT_FLOAT_EQ(m.DisplayGamma(), 2.2f);
    m.SetGammaValues(1.0f / 2.2f, 2.2f); // the identity
    for (int i = 0; i < 256; ++i) EXPECT_EQ(m.GammaTable()[size_t(i)], i);
}

TEST(ColorManager, IndexedFieldsAreRescaledAndPacked) {
    auto up = Manager(csIndexed, csIndexed, 1, 8, 1, 1);
    EXPECT_EQ(Convert(*up, Bytes{0xA0}, 4, 0xFF, 4), (Bytes{255, 0, 255, 0}));

    // 4 to 2 bits under a mask: selected pixels 0 and 2 take the first two source fields; the other
    // fields of the target byte keep their bits.
    auto down = Manager(csIndexed, csIndexed, 4, 2, 1, 1);
    EXPECT_EQ(Convert(*down, Bytes{0xF5}, 4, 0xA0, 1, 0x00), (Bytes{0xC4}));
    EXPECT_EQ(Convert(*down, Bytes{0xF5}, 4, 0xA0, 1, 0xFF), (Bytes{0xF7}));

    auto wide = Manager(csIndexed, csIndexed, 16, 16, 1, 1);
    wide->SourceOptions = {coxSwapBytes};
    EXPECT_EQ(ConvertWide(*wide, Bytes{1, 2, 3, 4}, 2, 4), (Bytes{2, 1, 4, 3}));
    auto narrow = Manager(csIndexed, csIndexed, 16, 4, 1, 1);
    EXPECT_EQ(Convert(*narrow, Bytes{0xFF, 0xFF, 0x00, 0x80}, 2, 0xFF, 1, 0), (Bytes{0xF7}));
    auto widen = Manager(csIndexed, csIndexed, 2, 16, 1, 1);
    EXPECT_EQ(ConvertWide(*widen, Bytes{0x6C}, 2, 4), (Bytes{0x55, 0x55, 0xAA, 0xAA}));

    // Grey with alpha keeps the grey sample only.
    auto ga = Manager(csGrayAlpha, csIndexed, 8, 8, 1, 1);
    EXPECT_EQ(Convert(*ga, Bytes{10, 99, 20, 99}, 2, 0xFF, 2), (Bytes{10, 20}));
}

TEST(ColorManager, CmykLabAndYcc) {
    auto cmyk = Manager(csCMYK, csBGR, 8, 8, 4, 3);
    EXPECT_EQ(Convert(*cmyk, Bytes{0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0}, 3, 0xFF, 9),
              (Bytes{255, 255, 255, 0, 0, 0, 255, 255, 0}));
    auto cmyk16 = Manager(csCMYK, csRGB, 16, 16, 4, 3);
    const Bytes white16(8, 0);
    EXPECT_EQ(ConvertWide(*cmyk16, white16, 1, 6), Bytes(6, 0xFF));

    auto lab = Manager(csCIELab, csBGR, 8, 8);
    EXPECT_EQ(Convert(*lab, Bytes{100, 0, 0}, 1, 0xFF, 3), (Bytes{255, 255, 255}));
    lab->SourceOptions = {coxLabByteLightness, coxLabChromaOffset};
    EXPECT_EQ(Convert(*lab, Bytes{255, 128, 128, 0, 128, 128}, 2, 0xFF, 6), (Bytes{255, 255, 255, 0, 0, 0}));

    auto ycc = Manager(csYCbCr, csBGR, 8, 8);
    EXPECT_EQ(Convert(*ycc, Bytes{128, 128, 128}, 1, 0xFF, 3), (Bytes{128, 128, 128}));
    // Pure red in the default coefficients: Y 76, Cb 85, Cr 255.
    EXPECT_EQ(Convert(*ycc, Bytes{76, 85, 255}, 1, 0xFF, 3), (Bytes{0, 0, 254}));
    auto photo = Manager(csPhotoYCC, csRGB, 8, 16);
    EXPECT_EQ(ConvertWide(*photo, Bytes{128, 156, 137}, 1, 6), Bytes(6, 128));
}

// The vector rows must give exactly what the chroma tables and a plain byte swap give, on every
// chroma pair, for any row length, and in place.
TEST(ColorManager, FastRowsMatchThePlainRules) {
    const float customCoefficients[] = {0.2126f, 0.7152f, 0.0722f};
    for (TColorScheme scheme : {csYCbCr, csPhotoYCC})
        for (TColorScheme target : {csBGR, csRGB})
            for (bool custom : {false, true}) {
                auto m = Manager(scheme, target, 8, 8);
                if (custom) m->SetYCbCrValues(customCoefficients, 1, 1);
                const uint32_t count = 65536 + 13;
                Bytes source(size_t(count) * 3);
                for (uint32_t i = 0; i < count; ++i) {
                    source[3 * i] = uint8_t(i * 7 + i / 256);
                    source[3 * i + 1] = uint8_t(i);
                    source[3 * i + 2] = uint8_t(i >> 8);
                }
                const Bytes converted = Convert(*m, source, count, 0xFF, source.size());
                const auto& t = m->ChromaTables();
                for (uint32_t i = 0; i < count; ++i) {
                    const int y = source[3 * i], cb = source[3 * i + 1], cr = source[3 * i + 2];
                    const auto clamp = [](int v) { return uint8_t(std::min(255, std::max(0, v))); };
                    const uint8_t b = clamp(y + t.CbToBlue[size_t(cb)]);
                    const uint8_t g = clamp(y + t.CbToGreen[size_t(cb)] + t.CrToGreen[size_t(cr)]);
                    const uint8_t r = clamp(y + t.CrToRed[size_t(cr)]);
                    const Bytes expected = target == csBGR ? Bytes{b, g, r} : Bytes{r, g, b};
                    ASSERT_EQ(Bytes(converted.begin() + 3 * i, converted.begin() + 3 * i + 3), expected)
                        << "pixel " << i << " scheme " << int(scheme) << (custom ? " custom" : "");
                }
            }

    auto swap = Manager(csRGB, csBGR, 8, 8);
    for (uint32_t count : {1u, 5u, 6u, 7u, 1001u}) {
        Bytes row(size_t(count) * 3);
        for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 13);
        Bytes expected(row.size());
        for (size_t i = 0; i < count; ++i)
            expected[3 * i] = row[3 * i + 2], expected[3 * i + 1] = row[3 * i + 1],
                         expected[3 * i + 2] = row[3 * i];
        EXPECT_EQ(Convert(*swap, row, count, 0xFF, row.size()), expected) << count;
        swap->ConvertScanline(row.data(), row.data(), count, 0xFF); // in place
        EXPECT_EQ(row, expected) << count << " in place";
    }
}

TEST(ColorManager, GrayAndColourMapPalettes) {
    auto m = Manager(csIndexed, csIndexed, 1, 1, 1, 1);
    auto white = m->MakeGrayPalette(true);
    ASSERT_EQ(white->size(), 2u);
    EXPECT_EQ((*white)[0], (TPaletteEntry{255, 255, 255, 0}));
    EXPECT_EQ((*white)[1], (TPaletteEntry{0, 0, 0, 0}));
    m->SetTargetBitsPerSample(2);
    auto four = m->MakeGrayPalette(false);
    ASSERT_EQ(four->size(), 4u);
    EXPECT_EQ((*four)[1].peRed, 85);

    // 256 entries, source 8 bits, target 1 bit: two entries, the second from entry 255.
    Bytes map(256 * 3);
    for (size_t i = 0; i < 256; ++i) map[3 * i] = uint8_t(i), map[3 * i + 1] = 1, map[3 * i + 2] = 2;
    m->SetSourceBitsPerSample(8);
    m->SetTargetBitsPerSample(1);
    auto two = m->MakeColorMapPalette({map}, 0, 256, false);
    ASSERT_EQ(two->size(), 2u);
    EXPECT_EQ((*two)[0], (TPaletteEntry{0, 1, 2, 0}));
    EXPECT_EQ((*two)[1], (TPaletteEntry{255, 1, 2, 0}));

    // Upward: a 1-bit map to 8 bits repeats entry 0 and puts entry 1 last.
    m->SetSourceBitsPerSample(1);
    m->SetTargetBitsPerSample(8);
    auto spread = m->MakeColorMapPalette({Bytes{9, 9, 9, 0, 7, 7, 7, 0}}, 1, 2, true);
    ASSERT_EQ(spread->size(), 256u);
    EXPECT_EQ((*spread)[254], (TPaletteEntry{9, 9, 9, 0}));
    EXPECT_EQ((*spread)[255], (TPaletteEntry{7, 7, 7, 0}));

    // 16-bit planes, swapped, with gamma; a map shorter than its count leaves black entries.
    m->SetSourceBitsPerSample(8);
    m->SourceOptions = {coxSwapBytes};
    m->TargetOptions = {coxApplyGamma};
    const Bytes red{0x80, 0x00, 0xFF, 0xFF}, green{0, 0, 0, 0}, blue{0xFF, 0xFF};
    auto planes = m->MakeColorMapPalette({red, green, blue}, 6, 2, false);
    ASSERT_EQ(planes->size(), 2u);
    EXPECT_EQ((*planes)[0], (TPaletteEntry{186, 0, 255, 0}));
    EXPECT_EQ((*planes)[1], (TPaletteEntry{0, 0, 0, 0}));
    // A 16-bit source resampled to 8 bits reads past the 256 entries a palette holds: black.
    m->SetSourceBitsPerSample(16);
    m->TargetOptions = {};
    auto deep = m->MakeColorMapPalette({map}, 0, 256, false);
    EXPECT_EQ((*deep)[0], (TPaletteEntry{0, 1, 2, 0}));
    EXPECT_EQ((*deep)[1], (TPaletteEntry{0, 0, 0, 0}));
}

} // namespace
} // namespace ferronel
