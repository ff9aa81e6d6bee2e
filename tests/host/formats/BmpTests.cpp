#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "support/Bytes.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

using test::BmpFile;
using test::InfoHeader;
using test::TBytes;

std::unique_ptr<TBitmap> Load(const std::vector<uint8_t>& bytes) {
    TMemoryStream s(bytes);
    auto b = std::make_unique<TBitmap>();
    b->LoadFromStream(s);
    return b;
}

std::vector<uint8_t> Row(const TBitmap& b, int32_t y, size_t n) {
    return std::vector<uint8_t>(b.ScanLine(y), b.ScanLine(y) + n);
}

TBytes GreyTable(int n) {
    TBytes t;
    for (int i = 0; i < n; ++i) t.U8({uint8_t(i), uint8_t(i), uint8_t(i), 0});
    return t;
}

TEST(BmpReader, Rle8CodesThatReachPastTheBitmapAreClipped) {
    TBytes rle;
    rle.U8({6, 1});             // a run of 6 into a row of 4
    rle.U8({0, 0});             // end of line
    rle.U8({0, 3, 7, 8, 9, 0}); // absolute run of 3, padded
    rle.U8({0, 2, 250, 0});     // delta far to the right: later pixels of the row fall outside
    rle.U8({5, 5});
    rle.U8({0, 2, 0, 200}); // delta far up: the picture ends
    rle.U8({3, 3});
    const auto b = Load(BmpFile(InfoHeader(4, 3, 8, 1), GreyTable(256), rle));
    EXPECT_EQ(b->PixelFormat(), pf8bit);
    EXPECT_EQ(Row(*b, 2, 4), (std::vector<uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(Row(*b, 1, 4), (std::vector<uint8_t>{7, 8, 9, 0}));
    EXPECT_EQ(Row(*b, 0, 4), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(BmpReader, RleDataThatEndsEarlyLeavesTheRestAtZero) {
    TBytes rle;
    rle.U8({0, 9, 1, 2, 3}); // absolute run of 9 with only 3 bytes left
    const auto b8 = Load(BmpFile(InfoHeader(4, 1, 8, 1), GreyTable(256), rle));
    EXPECT_EQ(Row(*b8, 0, 4), (std::vector<uint8_t>{1, 2, 3, 0}));

    TBytes rle4;
    rle4.U8({0, 7, 0x12, 0x34}); // 7 nibbles announced, 4 present
    const auto b4 = Load(BmpFile(InfoHeader(8, 1, 4, 2), GreyTable(16), rle4));
    EXPECT_EQ(b4->PixelFormat(), pf4bit);
    EXPECT_EQ(Row(*b4, 0, 4), (std::vector<uint8_t>{0x12, 0x34, 0, 0}));
}

TEST(BmpReader, DamagedHeadersGiveClearErrors) {
    const TBytes pixels = TBytes().Fill(64, 0);
    auto message = [](const std::vector<uint8_t>& bytes) -> std::string {
        try {
            Load(bytes);
        } catch (const Exception& e) {
            return e.Message();
        }
        return "no error";
    };
    EXPECT_EQ(message({'X', 'M', 0, 0}), "Stream read error");
    EXPECT_EQ(message(TBytes().U8({'P', 'K'}).Fill(60, 0).Data), "Bitmap image is not valid");
    EXPECT_EQ(message(BmpFile(InfoHeader(0, 4, 24, 0), {}, pixels)),
              "Bitmap image is not valid (size 0 x 4)");
    EXPECT_EQ(message(BmpFile(InfoHeader(4, 4, 7, 0), {}, pixels)), "Unsupported bitmap: 7 bits per pixel");
    EXPECT_EQ(message(BmpFile(InfoHeader(4, 4, 24, 4), {}, pixels)), "Unsupported bitmap: compression 4");
    EXPECT_EQ(message(BmpFile(InfoHeader(4, -4, 8, 1), GreyTable(256), pixels)),
              "Bitmap image is not valid (run-length encoded rows stored top-down)");
    EXPECT_EQ(message(BmpFile(InfoHeader(4, 4, 24, 1), {}, pixels)),
              "Bitmap image is not valid (run-length encoding with a wrong depth)");
    EXPECT_EQ(message(BmpFile(InfoHeader(4, int32_t(0x80000000u), 24, 0), {}, pixels)),
              "Bitmap image is not valid (height out of range)");
    // Huge sizes are refused before the pixels are allocated.
    EXPECT_NE(message(BmpFile(InfoHeader(0x7FFFFFFF, 0x7FFFFFFF, 32, 0), {}, pixels)).find("too large"),
              std::string::npos);
    // Rows that are not all there.
    EXPECT_EQ(message(BmpFile(InfoHeader(100, 100, 24, 0), {}, pixels)), "Stream read error");
}

TEST(BmpReader, ColourTableCountsAndPixelOffsetsFromTheFileAreBounded) {
    // 1000 colours claimed for a 1-bit image: 2 are used, the rest skipped.
    TBytes table = GreyTable(2);
    table.U8({0, 0, 255, 0});
    table.Fill(997 * 4, 0);
    TBytes pixels;
    pixels.U32(0x80); // one row, first pixel set
    const auto b = Load(BmpFile(InfoHeader(2, 1, 1, 0, 1000), table, pixels));
    EXPECT_EQ(b->PixelFormat(), pf1bit);
    EXPECT_EQ(b->ScanLine(0)[0], 0x80);
    ASSERT_EQ(b->Palette()->size(), 2u);
    EXPECT_EQ((*b->Palette())[1], (TPaletteEntry{1, 1, 1, 0}));

    // An offset past the end of the file: the pixels follow the headers.
    std::vector<uint8_t> file = BmpFile(InfoHeader(1, 1, 24, 0), {}, TBytes().U8({1, 2, 3, 0}));
    file[10] = 0xFF;
    file[11] = 0xFF;
    EXPECT_EQ(Row(*Load(file), 0, 3), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(BmpReader, UnusualBitFieldMasksWidenEachChannel) {
    // 16 bits as 4-4-4-4 with opacity in the top bits.
    TBytes info = InfoHeader(2, 1, 16, 3);
    TBytes masks;
    masks.U32(0x0F00).U32(0x00F0).U32(0x000F);
    TBytes pixels;
    pixels.U16(0x0F80).U16(0x00F1);
    const auto b = Load(BmpFile(info, masks, pixels));
    EXPECT_EQ(b->PixelFormat(), pf32bit);
    EXPECT_EQ(Row(*b, 0, 8), (std::vector<uint8_t>{0, 136, 255, 0, 17, 255, 0, 0}));
}

TEST(BmpWriter, EveryFormatReadsBackTheSame) {
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        TBitmap b;
        b.SetPixelFormat(f);
        b.SetSize(7, 3);
        if (IsIndexedFormat(f)) {
            b.SetPalette(CreatePalette(TPaletteEntries(size_t(1) << BitsPerPixelOf(f), {9, 8, 7, 0})));
        }
        for (int32_t y = 0; y < 3; ++y)
            for (size_t i = 0; i < b.RowBytes(); ++i) b.ScanLine(y)[i] = uint8_t(y * 31 + i * 7);
        if (f == pf32bit) b.SetAlphaFormat(afDefined);
        TMemoryStream s;
        b.SaveToStream(s);
        s.SetPosition(0);
        TBitmap back;
        back.LoadFromStream(s);
        EXPECT_EQ(back.PixelFormat(), f);
        EXPECT_EQ(back.AlphaFormat(), b.AlphaFormat());
        ASSERT_EQ(back.Width(), 7);
        ASSERT_EQ(back.Height(), 3);
        if (IsIndexedFormat(f)) {
            EXPECT_EQ(*back.Palette(), *b.Palette());
        }
        // Row padding bytes carry nothing; compare the pixels.
        const size_t used = (size_t(7) * size_t(BitsPerPixelOf(f)) + 7) / 8;
        for (int32_t y = 0; y < 3; ++y)
            EXPECT_EQ(Row(back, y, used - 1), Row(b, y, used - 1)) << int(f) << " row " << y;
    }
}

struct TBmpConformance {
    using Graphic = TBitmap;
    static constexpr const char* Folder = "bmp";
    static constexpr const char* Extension = ".bmp";
    static constexpr size_t HeaderSize = 14;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return BmpFile(InfoHeader(int32_t(Width), int32_t(Height), 24, 0), {}, TBytes().Fill(16, 0x40));
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(Bmp, ferronel::TBmpConformance)
