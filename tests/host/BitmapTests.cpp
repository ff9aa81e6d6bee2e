#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Limits.h"

#include "support/Bitmaps.h"
#include "support/LimitGuard.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

TEST(Bitmap, RowsArePaddedToFourBytes) {
    EXPECT_EQ(test::MakeBitmap(pf1bit, 33, 1)->RowBytes(), 8u);
    EXPECT_EQ(test::MakeBitmap(pf4bit, 9, 1)->RowBytes(), 8u);
    EXPECT_EQ(test::MakeBitmap(pf8bit, 5, 1)->RowBytes(), 8u);
    EXPECT_EQ(test::MakeBitmap(pf15bit, 3, 1)->RowBytes(), 8u);
    EXPECT_EQ(test::MakeBitmap(pf24bit, 5, 1)->RowBytes(), 16u);
    EXPECT_EQ(test::MakeBitmap(pf32bit, 3, 2)->RowBytes(), 12u);
}

TEST(Bitmap, ResizeKeepsTopLeftAndScanLineChecksRows) {
    auto b = test::MakeBitmap(pf8bit, 3, 2);
    b->ScanLine(0)[0] = 7;
    b->ScanLine(1)[2] = 9;
    b->SetSize(5, 3);
    EXPECT_EQ(b->ScanLine(0)[0], 7);
    EXPECT_EQ(b->ScanLine(1)[2], 9);
    EXPECT_EQ(b->ScanLine(2)[4], 0);
    EXPECT_THROW(b->ScanLine(3), EInvalidGraphicOperation);
    EXPECT_THROW(b->ScanLine(-1), EInvalidGraphicOperation);
}

TEST(Bitmap, SizesPastTheLimitAreRefusedBeforeAllocation) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    EXPECT_THROW(b.SetSize(100000, 100000), EInvalidGraphic); // 30 GB
    {
        const test::TPixelBufferLimitGuard limit(1000);
        EXPECT_THROW(b.SetSize(20, 20), EInvalidGraphic); // 1280 bytes
        b.SetSize(10, 10);                                // 320 bytes
    }
    EXPECT_EQ(PixelBufferLimit(), DefaultPixelBufferLimit);
    EXPECT_THROW(b.SetSize(-1, 5), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 10);
}

TEST(Bitmap, WideningIndexedFormatsKeepsIndicesAndPalette) {
    auto b = test::MakeBitmap(pf4bit, 3, 1);
    b->SetPalette(CreatePalette(TPaletteEntries(16, {1, 2, 3, 0})));
    b->ScanLine(0)[0] = 0xAB;
    b->ScanLine(0)[1] = 0xC0;
    b->SetPixelFormat(pf8bit);
    EXPECT_EQ(b->ScanLine(0)[0], 0xA);
    EXPECT_EQ(b->ScanLine(0)[1], 0xB);
    EXPECT_EQ(b->ScanLine(0)[2], 0xC);
    EXPECT_EQ(PaletteEntryCount(b->Palette()), 16u);

    auto mono = test::MakeBitmap(pf1bit, 10, 1);
    mono->ScanLine(0)[0] = 0x81;
    mono->ScanLine(0)[1] = 0x40;
    mono->SetPixelFormat(pf8bit);
    const uint8_t expected[10] = {1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
    EXPECT_EQ(std::vector<uint8_t>(mono->ScanLine(0), mono->ScanLine(0) + 10),
              std::vector<uint8_t>(expected, expected + 10));
}

TEST(Bitmap, IndexedToTrueColourLooksUpThePalette) {
    auto b = test::MakeBitmap(pf8bit, 2, 1);
    b->SetPalette(CreatePalette(TPaletteEntries{{10, 20, 30, 0}, {40, 50, 60, 0}}));
    b->ScanLine(0)[0] = 1;
    b->ScanLine(0)[1] = 5; // past the palette: black
    b->SetPixelFormat(pf24bit);
    const uint8_t* p = b->ScanLine(0);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 6), (std::vector<uint8_t>{60, 50, 40, 0, 0, 0}));
    EXPECT_EQ(b->Palette(), nullptr);
}

TEST(Bitmap, TrueColourFormatsConvertAmongThemselves) {
    auto b = test::MakeBitmap(pf24bit, 2, 1);
    uint8_t* p = b->ScanLine(0);
    const uint8_t pixels[6] = {255, 128, 0, 8, 16, 248};
    std::copy_n(pixels, 6, p);
    b->SetPixelFormat(pf16bit);
    const uint16_t v = uint16_t(b->ScanLine(0)[0] | b->ScanLine(0)[1] << 8);
    EXPECT_EQ(v, (0 << 11) | (32 << 5) | 31);
    b->SetPixelFormat(pf32bit);
    p = b->ScanLine(0);
    // 5 and 6-bit channels widen by repeating their top bits.
    EXPECT_EQ(std::vector<uint8_t>(p, p + 8), (std::vector<uint8_t>{255, 130, 0, 0, 8, 16, 255, 0}));
    b->SetPixelFormat(pf15bit);
    b->SetPixelFormat(pf24bit);
    p = b->ScanLine(0);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 6), (std::vector<uint8_t>{255, 132, 0, 8, 16, 255}));
}

TEST(Bitmap, ToIndexedPicksTheNearestPaletteColour) {
    auto b = test::MakeBitmap(pf24bit, 3, 1);
    b->SetPalette(CreatePalette(TPaletteEntries{{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}}));
    const uint8_t pixels[9] = {250, 5, 5, 5, 5, 240, 20, 20, 20}; // blue-ish, red-ish, dark
    std::copy_n(pixels, 9, b->ScanLine(0));
    b->SetPixelFormat(pf8bit);
    EXPECT_EQ(std::vector<uint8_t>(b->ScanLine(0), b->ScanLine(0) + 3), (std::vector<uint8_t>{2, 1, 0}));
}

TEST(Bitmap, AssignCopiesIndependently) {
    auto a = test::MakeBitmap(pf8bit, 2, 2);
    a->ScanLine(1)[1] = 42;
    TBitmap b;
    b.Assign(*a);
    a->ScanLine(1)[1] = 1;
    EXPECT_EQ(b.PixelFormat(), pf8bit);
    EXPECT_EQ(b.ScanLine(1)[1], 42);
}

} // namespace
} // namespace ferronel
