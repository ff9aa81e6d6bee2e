#include "host/ByteReader.h"
#include "linear/LinearStrings.h"
#include "linear/LoaderProgress.h"
#include "linear/MemStream.h"
#include "linear/PCXLoader.h"
#include "readers/formats/PCXGraphic.h"
#include "support/LimitGuard.h"
#include "support/LinearLoad.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(uint16_t XMax, uint16_t YMax, uint16_t LineBytes, uint8_t Planes = 1, uint16_t XMin = 0,
             uint16_t YMin = 0) {
    TPCXHeader h;
    h.Manufacturer = pmZSoft;
    h.Version = pvWithPalette;
    h.Encoding = peRunLength;
    h.BitsPerPixel = 8;
    h.XMin = XMin;
    h.YMin = YMin;
    h.XMax = XMax;
    h.YMax = YMax;
    h.Planes = Planes;
    h.BytesPerLine = LineBytes;
    Bytes b(TPCXHeader::Size);
    h.Serialize(std::span<uint8_t, TPCXHeader::Size>(b.data(), TPCXHeader::Size));
    return b;
}

Bytes operator+(Bytes A, const Bytes& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

void Load(const Bytes& File, TLinearBitmap& Bitmap) { test::LoadWith(PCXLoader(), "PCX", File, Bitmap); }
std::string LoadError(const Bytes& File) { return test::LoadErrorWith(PCXLoader(), "PCX", File); }
Bytes Save(TLinearBitmap& Bitmap) { return test::SaveWith(PCXLoader(), "PCX", Bitmap); }

Bytes Pixels(const TLinearBitmap& Bitmap) { return Bytes(Bitmap.Map(), Bitmap.Map() + Bitmap.Size()); }

TEST(PCXLoader, RunsWidthCutAndPalette) {
    TLinearBitmap bitmap;
    // A run count of 0 is one pixel; the stored line of 320 bytes is cut to the 319 of the bounds.
    Bytes data{0xC0, 7, 0xFF, 9, 0xFF, 9, 0xFF, 9, 0xFF, 9, 0xFF, 9, 0xC4, 1, 5, 6};
    Load(Header(318, 0, 320) + data, bitmap);
    ASSERT_EQ(bitmap.Width(), 319);
    ASSERT_EQ(bitmap.Height(), 1);
    EXPECT_EQ(bitmap.ScanLine(0)[0], 7);
    EXPECT_EQ(bitmap.ScanLine(0)[1], 9);
    EXPECT_EQ(bitmap.ScanLine(0)[315], 9);
    EXPECT_EQ(bitmap.ScanLine(0)[316], 1);
    EXPECT_EQ(bitmap.ScanLine(0)[318], 1);
    // Without a palette marker the palette is grey.
    EXPECT_EQ(Bytes(bitmap.Palette(), bitmap.Palette() + 768),
              Bytes(GreyPalette().begin(), GreyPalette().end()));

    // The marker after some stray bytes; the table is red, green, blue and is stored blue first.
    Bytes table(768, 0);
    table[3] = 10, table[4] = 20, table[5] = 30;
    Load(Header(1, 1, 2, 1, 0, 0) + Bytes{0xC4, 1} + Bytes{0, 0, 12} + table, bitmap);
    ASSERT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(Pixels(bitmap), (Bytes{1, 1, 1, 1}));
    EXPECT_EQ(Bytes(bitmap.Palette() + 3, bitmap.Palette() + 6), (Bytes{30, 20, 10}));

    // Three planes: each line holds red, then green, then blue; runs cross the lines.
    Load(Header(1, 1, 2, 3) + Bytes{0xC3, 1, 2, 3, 4, 0xC6, 5}, bitmap);
    ASSERT_EQ(bitmap.PixelFormat(), lpf24bit);
    EXPECT_EQ(Pixels(bitmap), (Bytes{3, 1, 1, 4, 2, 1, 5, 5, 5, 5, 5, 5}));
}

TEST(PCXLoader, RefusesBadHeadersOverrunsAndShortFiles) {
    EXPECT_EQ(LoadError(Header(1, 1, 2, 4) + Bytes(8, 0)), SFileFormatNotSupported);
    Bytes version = Header(1, 1, 2) + Bytes(4, 0);
    version[1] = 3;
    EXPECT_EQ(LoadError(version), SFileFormatNotSupported);
    // Reversed rows, reversed columns, and bounds wider than the stored line.
    EXPECT_EQ(LoadError(Header(1, 0, 2, 1, 0, 5) + Bytes(8, 0)), SFileFormatNotSupported);
    EXPECT_EQ(LoadError(Header(0, 1, 2, 1, 3, 0) + Bytes(8, 0)), SFileFormatNotSupported);
    EXPECT_EQ(LoadError(Header(5, 1, 2) + Bytes(8, 0)), SFileFormatNotSupported);
    // A run past the end of the picture, in one plane and in three.
    EXPECT_EQ(LoadError(Header(1, 1, 2) + Bytes{0xC5, 1}), SBitmapDataError);
    EXPECT_EQ(LoadError(Header(1, 0, 2, 3) + Bytes{0xC7, 1}), SBitmapDataError);
    // A file that ends inside the pixels, and one far too short for what its header asks: refused
    // before the buffer is made.
    EXPECT_EQ(LoadError(Header(3, 3, 4) + Bytes{1, 2, 3}), SReadLess);
    EXPECT_EQ(LoadError(Header(29999, 29999, 30000) + Bytes(100, 0xFF)), SReadLess);
    EXPECT_EQ(LoadError(Bytes(60, 10)), SReadLess);
    const test::TPixelBufferLimitGuard limit(1000);
    TLinearBitmap bitmap;
    EXPECT_THROW(Load(Header(99, 99, 100) + Bytes(10000, 0), bitmap), EInvalidGraphic);
}

TEST(PCXLoader, SavedFilesLoadBack) {
    int lastProgress = -1;
    LoaderProgress() = [&](int Percent) { lastProgress = Percent; };
    for (const uint8_t format : {lpf8bit, lpf24bit})
        for (const auto& [w, h] : {std::pair{1, 1}, {7, 1}, {130, 3}}) {
            TLinearBitmap original;
            original.Allocate(w, h, format);
            for (int64_t i = 0; i < original.Size(); ++i)
                original.Map()[i] = uint8_t(i % 7 < 3 ? 200 : i / 70 * 9);
            if (format == lpf8bit)
                for (int i = 0; i < 768; ++i) original.Palette()[i] = uint8_t(i * 5);
            const Bytes file = Save(original);
            const TPCXHeader header =
                TPCXHeader::Parse(std::span<const uint8_t, TPCXHeader::Size>(file.data(), TPCXHeader::Size));
            EXPECT_EQ(header.BytesPerLine % 2, 0) << w;
            EXPECT_EQ(header.Width(), w);
            TLinearBitmap back;
            Load(file, back);
            ASSERT_EQ(back.PixelFormat(), format);
            ASSERT_EQ(back.Width(), w);
            ASSERT_EQ(back.Height(), h);
            EXPECT_EQ(Pixels(back), Pixels(original)) << int(format) << " " << w << " x " << h;
            if (format == lpf8bit) {
                EXPECT_EQ(Bytes(back.Palette(), back.Palette() + 768),
                          Bytes(original.Palette(), original.Palette() + 768));
            } else {
                // A one-row picture reports done instead of dividing by its height - 1.
                EXPECT_EQ(lastProgress, 100);
            }
        }
    LoaderProgress() = nullptr;
    // Runs: at most 63 repeats, values from 192 always as runs.
    TLinearBitmap row;
    row.Allocate(64, 1, lpf8bit);
    row.FillBytes(200);
    const Bytes file = Save(row);
    EXPECT_EQ(Bytes(file.begin() + 128, file.begin() + 132), (Bytes{0xC0 | 63, 200, 0xC1, 200}));
    TLinearBitmap grey16;
    grey16.Allocate(2, 2, lpf16bitGrey);
    EXPECT_THROW(Save(grey16), ELinearBitmap);
    // 65535 pixels would need a padded line of 65536 bytes, which the 16-bit field cannot hold.
    TLinearBitmap wide;
    wide.Allocate(65535, 1, lpf8bit);
    EXPECT_THROW(Save(wide), ELinearBitmap);
    wide.Allocate(65534, 1, lpf8bit);
    TLinearBitmap back;
    Load(Save(wide), back);
    EXPECT_EQ(back.Width(), 65534);
}

// The reader library's own PCX reader reads the same 8-bit and three-plane files to the same pixels.
TEST(PCXLoader, MatchesTheReaderLibrary) {
    size_t compared = 0;
    for (const test::TFixture& f : test::Fixtures("pcx", ".pcx")) {
        const TPCXHeader header =
            TPCXHeader::Parse(std::span<const uint8_t, TPCXHeader::Size>(f.Bytes.data(), TPCXHeader::Size));
        if (!CheckPCXHeader(header).Load) continue;
        TPCXGraphic ours;
        ferronel::TPCXGraphic theirs;
        TMemoryStream a(f.Bytes), b(f.Bytes);
        ours.LoadFromStream(a);
        theirs.LoadFromStream(b);
        EXPECT_EQ(test::Rgba(ours), test::Rgba(theirs)) << f.Name;
        ++compared;
    }
    EXPECT_GE(compared, 5u);
}

struct TPCXLoaderConformance {
    using Graphic = TPCXGraphic;
    static constexpr const char* Folder = "pcx/linear";
    static constexpr const char* Extension = ".pcx";
    static constexpr size_t HeaderSize = TPCXHeader::Size;
    static constexpr uint32_t MaxSide = 0xFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return Header(uint16_t(Width - 1), uint16_t(Height - 1), uint16_t(Width), 3) + Bytes(4096, 0xC0 | 63);
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel::linear

FERRONEL_READER_CONFORMANCE(PCXLoader, ferronel::linear::TPCXLoaderConformance)
