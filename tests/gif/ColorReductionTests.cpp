#include "gif/ColorQuantizer.h"
#include "gif/ColorReduction.h"
#include "gif/GIFBuilder.h"
#include "gif/GIFImage.h"
#include "host/Stream.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace ferronel {
namespace {

// A 24-bit bitmap of one colour, or of Pixel(x, y) answering {red, green, blue}.
template <typename F> std::unique_ptr<TBitmap> TrueColor(int32_t W, int32_t H, F Pixel) {
    auto bitmap = std::make_unique<TBitmap>();
    TBitmap& b = *bitmap;
    b.SetPixelFormat(pf24bit);
    b.SetSize(W, H);
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
            const std::array<uint8_t, 3> c = Pixel(x, y);
            uint8_t* p = b.ScanLine(y) + 3 * x;
            p[0] = c[2], p[1] = c[1], p[2] = c[0];
        }
    return bitmap;
}
std::unique_ptr<TBitmap> Flat(int32_t W, int32_t H, uint8_t R, uint8_t G, uint8_t B) {
    return TrueColor(W, H, [&](int32_t, int32_t) { return std::array<uint8_t, 3>{R, G, B}; });
}

std::set<uint8_t> IndicesOf(const TBitmap& B) {
    std::set<uint8_t> s;
    for (int32_t y = 0; y < B.Height(); ++y) s.insert(B.ScanLine(y), B.ScanLine(y) + B.Width());
    return s;
}

TEST(ColorLookups, ThresholdsAndLevels) {
    uint8_t r, g, b;
    const TMonochromeLookup mono;
    EXPECT_EQ(mono.Lookup(128, 128, 128, r, g, b), 1);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(mono.Lookup(127, 127, 127, r, g, b), 0);
    EXPECT_EQ(r, 0);

    // Each component goes to its nearest level of 51.
    const TNetscapeColorLookup cube;
    EXPECT_EQ(cube.Lookup(25, 0, 0, r, g, b), 0);
    EXPECT_EQ(cube.Lookup(26, 0, 0, r, g, b), 36);
    EXPECT_EQ(r, 51);
    EXPECT_EQ(cube.Lookup(48, 76, 77, r, g, b), 36 + 6 + 2);
    EXPECT_EQ(cube.Lookup(255, 255, 255, r, g, b), 215);

    const TGrayScaleLookup grey;
    EXPECT_EQ(grey.Lookup(255, 255, 255, r, g, b), 255);
    EXPECT_EQ(grey.Lookup(100, 0, 0, r, g, b), 30);

    const TSlowColorLookup slow(
        CreatePalette({{0, 0, 0, 0}, {200, 10, 10, 0}, {10, 200, 10, 0}, {200, 10, 10, 0}}));
    EXPECT_EQ(slow.Lookup(180, 40, 0, r, g, b), 1);
    EXPECT_EQ(slow.Lookup(180, 40, 0, r, g, b), 1); // remembered
    EXPECT_EQ(r, 200);
    EXPECT_EQ(slow.Lookup(0, 150, 0, r, g, b), 2);
    EXPECT_EQ(TSlowColorLookup(nullptr).Lookup(1, 2, 3, r, g, b), 0);
}

TEST(ColorLookups, NearestEntryIsTheFirstOfTheClosest) {
    std::mt19937 random(9);
    TPaletteEntries palette;
    for (int i = 0; i < 200; ++i)
        palette.push_back({uint8_t(random() % 8 * 32), uint8_t(random()), uint8_t(random() % 4 * 80), 0});
    palette.push_back(palette[17]); // a duplicate never wins over the first
    const TSlowColorLookup lookup(CreatePalette(palette));
    for (int n = 0; n < 3000; ++n) {
        const uint8_t r = uint8_t(random()), g = uint8_t(random()), b = uint8_t(random());
        size_t best = 0;
        int bestDistance = 1 << 30;
        for (size_t i = 0; i < palette.size(); ++i) {
            const int dr = palette[i].peRed - r, dg = palette[i].peGreen - g, db = palette[i].peBlue - b;
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = i;
            }
        }
        uint8_t rr, gg, bb;
        ASSERT_EQ(lookup.Lookup(r, g, b, rr, gg, bb), best);
    }
}

TEST(ColorQuantizer, MergesTheDeepestNodeFirst) {
    // Two colours that differ in the last bit of blue only share a node at the deepest level.
    TColorQuantizer q(2, 8);
    q.AddColor(10, 20, 30);
    q.AddColor(200, 0, 0);
    q.AddColor(10, 20, 31);
    EXPECT_EQ(q.LeafCount(), 2u);
    EXPECT_EQ(q.Palette(), (TPaletteEntries{{10, 20, 30, 4}, {200, 0, 0, 4}}));

    TColorQuantizer one(1, 8);
    for (int i = 0; i < 256; ++i) one.AddColor(uint8_t(i), 0, uint8_t(255 - i));
    EXPECT_EQ(one.Palette(), (TPaletteEntries{{127, 0, 127, 4}}));

    TColorQuantizer many(256, 8);
    for (int i = 0; i < 4096; ++i) many.AddColor(uint8_t(i * 37), uint8_t(i * 11), uint8_t(i >> 4));
    EXPECT_LE(many.Palette().size(), 256u);
    EXPECT_GT(many.Palette().size(), 200u);
}

TEST(ColorReduction, FlatColoursInThePaletteStayExact) {
    for (uint8_t dither = dkNone; dither <= dkBurkes; ++dither) {
        const auto cube = ReduceBitmapColors(*Flat(17, 9, 51, 102, 153), rmColorCube, dither, nullptr, 8);
        EXPECT_EQ(IndicesOf(*cube), std::set<uint8_t>{36 + 12 + 3}) << int(dither);
        const auto reserved =
            ReduceBitmapColors(*Flat(17, 9, 12, 34, 56), rmQuantizeReserved, dither, nullptr, 8);
        ASSERT_EQ(IndicesOf(*reserved).size(), 1u);
        const TPaletteEntry e = reserved->EffectivePalette()[*IndicesOf(*reserved).begin()];
        EXPECT_EQ((std::array<uint8_t, 3>{e.peRed, e.peGreen, e.peBlue}),
                  (std::array<uint8_t, 3>{12, 34, 56}));
    }
}

TEST(ColorReduction, DitheringKeepsTheMeanLevel) {
    // Grey 100 on black and white: about 100 / 255 of the pixels white, whatever the kernel.
    for (uint8_t dither = dkFloydSteinberg; dither <= dkBurkes; ++dither) {
        const auto mono = ReduceBitmapColors(*Flat(64, 64, 100, 100, 100), rmMonochrome, dither, nullptr, 8);
        ASSERT_EQ(mono->Width(), 64);
        int white = 0;
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 64; ++x) white += mono->ScanLine(y)[x];
        EXPECT_NEAR(white / 4096.0, 100 / 255.0, 0.02) << int(dither);
    }
    // Without dithering it is all black.
    EXPECT_EQ(IndicesOf(*ReduceBitmapColors(*Flat(8, 8, 100, 100, 100), rmMonochrome, dkNone, nullptr, 8)),
              std::set<uint8_t>{0});
}

TEST(ColorReduction, PalettesAndSettings) {
    const auto rampBitmap = TrueColor(256, 8, [](int32_t x, int32_t y) {
        return std::array<uint8_t, 3>{uint8_t(x), uint8_t(255 - x), uint8_t(y * 32)};
    });
    const TBitmap& ramp = *rampBitmap;
    const auto reserved = ReduceBitmapColors(ramp, rmQuantizeReserved, dkNone, nullptr, 8);
    const TPaletteEntries& p = *reserved->Palette();
    ASSERT_LE(p.size(), 256u);
    EXPECT_EQ(TPaletteEntries(p.begin(), p.begin() + 10),
              TPaletteEntries(SystemColorEntries().begin(), SystemColorEntries().begin() + 10));
    EXPECT_EQ(TPaletteEntries(p.end() - 10, p.end()),
              TPaletteEntries(SystemColorEntries().end() - 10, SystemColorEntries().end()));
    EXPECT_EQ(ReduceBitmapColors(ramp, rmHalftone, dkNone, nullptr, 8)->Palette()->size(), 256u);
    EXPECT_EQ(ReduceBitmapColors(ramp, rmFourGreys, dkNone, nullptr, 8)->Palette()->size(), 4u);
    // Depths outside 1..8 are clamped rather than asking for no colours or for too many.
    EXPECT_LE(ReduceBitmapColors(ramp, rmQuantize, dkNone, nullptr, 0)->Palette()->size(), 2u);
    EXPECT_LE(ReduceBitmapColors(ramp, rmQuantize, dkNone, nullptr, 40)->Palette()->size(), 256u);
    EXPECT_LE(IndicesOf(*ReduceBitmapColors(ramp, rmQuantize, dkSierra, nullptr, 3)).size(), 8u);
    const auto custom =
        ReduceBitmapColors(ramp, rmCustomPalette, dkNone, CreatePalette({{255, 0, 0, 0}, {0, 255, 0, 0}}), 8);
    EXPECT_EQ(IndicesOf(*custom), (std::set<uint8_t>{0, 1}));
    EXPECT_EQ(ReduceBitmapColors(ramp, rmNone, dkNone, nullptr, 8)->PixelFormat(), pf24bit);
    // Unknown settings and an empty palette give an empty bitmap.
    EXPECT_TRUE(ReduceBitmapColors(ramp, 10, dkNone, nullptr, 8)->Empty());
    EXPECT_TRUE(ReduceBitmapColors(ramp, rmColorCube, 7, nullptr, 8)->Empty());
    EXPECT_TRUE(ReduceBitmapColors(ramp, rmCustomPalette, dkNone, nullptr, 8)->Empty());
}

TEST(ColorReduction, AddingTrueColourToAnImage) {
    TGIFImage image;
    auto picture = Flat(5, 3, 255, 0, 0);
    TGIFSubImage& frame = image.Add(*picture);
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.Header().GlobalMap.EntryCount(), 216u); // the default: the colour cube
    EXPECT_EQ(frame.PixelData, std::vector<uint8_t>(15, 180));
    image.ReductionMethod = rmCustomPalette; // no palette given
    EXPECT_THROW(image.Add(*picture), GIFException);
    EXPECT_EQ(image.Images().size(), 1u);
}

TEST(GIFDitheredFrames, TableColoursSpreadOverTheCube) {
    // Entry i of the builder's table is (i, 255 - i, i * 7); index 2 is transparent.
    const test::GifBytes pixels{0, 1, 2, 3, 3, 2, 1, 0};
    const test::GifBytes file =
        test::TGifBuilder().Screen(4, 2, 2).Control(0, 0, 2).Frame(0, 0, 4, 2, pixels).Trailer().Data();
    TGIFImage image;
    image.RenderFlags = image.RenderFlags - TGIFRenderFlags{rfDitherOnPaletteScreen};
    TMemoryStream s(file);
    image.LoadFromStream(s);
    TGIFSubImage& frame = *image.Images()[0];
    const TBitmap& bitmap = frame.Bitmap();
    EXPECT_EQ(*image.Palette(), TPaletteEntries(ColorCubeEntries().begin(), ColorCubeEntries().end()));
    EXPECT_EQ(bitmap.EffectivePalette()[215], (TPaletteEntry{255, 255, 255, 4}));
    // (0, 255, 0) is in the cube exactly.
    EXPECT_EQ(bitmap.ScanLine(0)[0], 30);
    EXPECT_EQ(bitmap.ScanLine(1)[3], 30);
    ASSERT_TRUE(frame.Mask());
    EXPECT_EQ(frame.Mask()->ScanLine(0)[0], 0x20);
    EXPECT_EQ(frame.Mask()->ScanLine(1)[0], 0x40);

    // By default the screen is true colour and frames keep their own indices.
    TGIFImage plain;
    TMemoryStream s2(file);
    plain.LoadFromStream(s2);
    EXPECT_EQ(plain.Images()[0]->Bitmap().ScanLine(0)[1], 1);
}

} // namespace
} // namespace ferronel
