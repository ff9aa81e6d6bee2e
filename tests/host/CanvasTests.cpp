#include "host/Canvas.h"

#include "support/Bitmaps.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

// Blue, green, red of a 32-bit pixel as 0xRRGGBB.
uint32_t At(const TBitmap& b, int32_t x, int32_t y) {
    const uint8_t* p = b.ScanLine(y) + 4 * x;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

TEST(Canvas, FillIsClippedToTheBitmap) {
    auto b = test::MakeBitmap(pf32bit, 4, 3);
    b->Canvas().BrushColor = RGBColor(255, 0, 0);
    b->Canvas().FillRect(TRect{-5, 1, 2, 99});
    EXPECT_EQ(At(*b, 0, 0), 0u);
    EXPECT_EQ(At(*b, 1, 2), 0xFF0000u);
    EXPECT_EQ(At(*b, 2, 1), 0u);
}

TEST(Canvas, StretchingUsesTheNearestSourcePixel) {
    auto src = test::MakeBitmap(pf8bit, 2, 2);
    src->SetPalette(
        CreatePalette(TPaletteEntries{{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}}));
    src->ScanLine(0)[0] = 0, src->ScanLine(0)[1] = 1, src->ScanLine(1)[0] = 2, src->ScanLine(1)[1] = 3;
    auto dst = test::MakeBitmap(pf32bit, 5, 5);
    dst->Canvas().StretchDraw(TRect{1, 1, 5, 5}, *src);
    EXPECT_EQ(At(*dst, 0, 0), 0u);
    EXPECT_EQ(At(*dst, 2, 1), 0u);
    EXPECT_EQ(At(*dst, 3, 2), 0xFF0000u);
    EXPECT_EQ(At(*dst, 2, 3), 0x00FF00u);
    EXPECT_EQ(At(*dst, 4, 4), 0x0000FFu);

    // Shrinking and drawing partly outside the target.
    auto small = test::MakeBitmap(pf32bit, 2, 2);
    small->Canvas().StretchDraw(TRect{-1, -1, 3, 3}, *dst);
    EXPECT_EQ(At(*small, 1, 1), At(*dst, 2, 2));
}

TEST(Canvas, KeyColourMaskAndOpacity) {
    auto src = test::MakeBitmap(pf32bit, 2, 1);
    uint8_t* s = src->ScanLine(0);
    s[0] = 0, s[1] = 0, s[2] = 255, s[3] = 128; // red, half opaque
    s[4] = 255, s[5] = 0, s[6] = 0, s[7] = 255; // blue, opaque

    auto dst = test::MakeBitmap(pf32bit, 2, 1);
    dst->Canvas().BrushColor = RGBColor(0, 255, 0);
    dst->Canvas().FillRect(TRect{0, 0, 2, 1});
    dst->Canvas().StretchBitmap(TRect{0, 0, 2, 1}, *src, TRect{0, 0, 2, 1}, TCanvas::bmTransparentColor,
                                RGBColor(255, 0, 0));
    EXPECT_EQ(At(*dst, 0, 0), 0x00FF00u);
    EXPECT_EQ(At(*dst, 1, 0), 0x0000FFu);

    dst->Canvas().FillRect(TRect{0, 0, 2, 1});
    dst->Canvas().StretchBitmap(TRect{0, 0, 2, 1}, *src, TRect{0, 0, 2, 1}, TCanvas::bmAlpha);
    EXPECT_EQ(At(*dst, 0, 0), 0x807F00u);
    EXPECT_EQ(At(*dst, 1, 0), 0x0000FFu);

    auto mask = test::MakeBitmap(pf1bit, 2, 1);
    mask->ScanLine(0)[0] = 0x40; // second pixel transparent
    dst->Canvas().FillRect(TRect{0, 0, 2, 1});
    dst->Canvas().MaskBitmap(TRect{0, 0, 2, 1}, *src, TRect{0, 0, 2, 1}, *mask);
    EXPECT_EQ(At(*dst, 0, 0), 0xFF0000u);
    EXPECT_EQ(At(*dst, 1, 0), 0x00FF00u);
}

TEST(Canvas, DrawsIntoOtherFormatsRowByRow) {
    auto dst = test::MakeBitmap(pf24bit, 3, 1);
    dst->Canvas().BrushColor = RGBColor(1, 2, 3);
    dst->Canvas().FillRect(TRect{1, 0, 3, 1});
    const uint8_t* p = dst->ScanLine(0);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 9), (std::vector<uint8_t>{0, 0, 0, 3, 2, 1, 3, 2, 1}));

    auto indexed = test::MakeBitmap(pf8bit, 2, 1);
    indexed->SetPalette(CreatePalette(TPaletteEntries{{0, 0, 0, 0}, {250, 250, 250, 0}}));
    indexed->Canvas().BrushColor = clWhite;
    indexed->Canvas().FillRect(TRect{0, 0, 1, 1});
    EXPECT_EQ(indexed->ScanLine(0)[0], 1);
    EXPECT_EQ(indexed->ScanLine(0)[1], 0);
}

} // namespace
} // namespace ferronel
