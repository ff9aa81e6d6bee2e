#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/PCXGraphic.h"
#include "support/Bytes.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

using test::TBytes;
using Bytes = std::vector<uint8_t>;

struct THeaderFields {
    uint8_t Manufacturer = 10, Version = 5, Encoding = 0, Bits = 8;
    uint16_t XMax = 0, YMax = 0;
    uint8_t Planes = 1;
    uint16_t BytesPerLine = 2, PaletteInfo = 1;
    uint8_t FirstColour[3] = {0, 0, 0};
};

TBytes Header(const THeaderFields& f) {
    TBytes b;
    b.U8({f.Manufacturer, f.Version, f.Encoding, f.Bits})
        .U16(0)
        .U16(0)
        .U16(f.XMax)
        .U16(f.YMax)
        .U16(72)
        .U16(72);
    b.U8({f.FirstColour[0], f.FirstColour[1], f.FirstColour[2]}).Fill(45, 0x33);
    b.U8({0, f.Planes}).U16(f.BytesPerLine).U16(f.PaletteInfo).Fill(58, 0);
    return b;
}

std::unique_ptr<TPCXGraphic> Load(const Bytes& bytes) { return test::LoadAs<TPCXGraphic>(bytes); }

using test::RowBytes;

std::string LoadError(const Bytes& bytes) { return test::LoadMessage<TPCXGraphic>(bytes); }

TEST(PCXReader, CanLoadAndLoadingJudgeTheManufacturerEachTheirOwnWay) {
    TPCXGraphic g;
    for (const uint8_t maker : {10, 12, 205}) {
        THeaderFields f;
        f.Manufacturer = maker;
        TBytes file = Header(f);
        file.U8({7, 0});
        TMemoryStream s(file.Data);
        EXPECT_EQ(g.CanLoad(s), maker != 205) << int(maker);
        EXPECT_EQ(s.Position(), 0);
        if (maker == 12) {
            EXPECT_EQ(LoadError(file.Data),
                      "Cannot load image. Invalid or unexpected PCX or SCR image format.");
        } else {
            EXPECT_EQ(RowBytes(*Load(file.Data), 0, 1), Bytes{7}) << int(maker); // screen captures load
        }
    }
    THeaderFields odd;
    odd.Version = 4;
    TBytes file = Header(odd);
    file.U8({7, 0});
    TMemoryStream s(file.Data);
    EXPECT_FALSE(g.CanLoad(s));
}

TEST(PCXReader, PropertiesFromTheHeader) {
    THeaderFields f;
    f.XMax = 639;
    f.YMax = 479;
    f.Encoding = 1;
    f.BytesPerLine = 640;
    TBytes file = Header(f);
    file.U8({0});
    TMemoryStream s(file.Data);
    TPCXGraphic g;
    ASSERT_TRUE(g.LoadImageProperties(s, 0));
    EXPECT_EQ(g.ImageProperties().Width, 640u);
    EXPECT_EQ(g.ImageProperties().Height, 480u);
    EXPECT_EQ(g.ImageProperties().Compression, cpRLE);
    EXPECT_EQ(g.ImageProperties().XResolution, 72.0f);
}

TEST(PCXReader, RunsFillTheRowsAndStopAtTheData) {
    // A 1-bit image: C3 55 gives three bytes 55, 24 pixels alternating from 0.
    THeaderFields one;
    one.Bits = 1;
    one.Encoding = 1;
    one.XMax = 23;
    one.BytesPerLine = 3;
    TBytes file = Header(one);
    file.U8({0xC3, 0x55});
    const auto g = Load(file.Data);
    EXPECT_EQ(g->PixelFormat(), pf1bit);
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{0x55, 0x55, 0x55}));
    // Its two colours come from the header; a header that leaves them alike means black and white.
    EXPECT_EQ((*g->Palette())[1], (TPaletteEntry{0x33, 0x33, 0x33, 0}));
    one.FirstColour[0] = 0x33;
    one.FirstColour[1] = 0x33;
    one.FirstColour[2] = 0x33;
    TBytes alike = Header(one);
    alike.U8({0xC3, 0x55});
    EXPECT_EQ(*Load(alike.Data)->Palette(), DefaultPaletteEntries(1));

    // 100 x 100 pixels but ten bytes of runs: decoding stops where the data ends, the rest is 0.
    THeaderFields big;
    big.Encoding = 1;
    big.XMax = big.YMax = 99;
    big.BytesPerLine = 100;
    big.PaletteInfo = 2;
    TBytes shortRuns = Header(big);
    for (int i = 0; i < 5; ++i) shortRuns.U8({0xC1, uint8_t(i + 1)});
    const auto s = Load(shortRuns.Data);
    EXPECT_EQ(RowBytes(*s, 0, 6), (Bytes{1, 2, 3, 4, 5, 0}));
    EXPECT_EQ(RowBytes(*s, 99, 100), Bytes(100, 0));
}

TEST(PCXReader, TheEightBitPaletteBlockIsTakenOnlyWhenItIsThere) {
    // Palette information 1 and no marker: no palette at all.
    THeaderFields f;
    f.XMax = 29;
    f.YMax = 29;
    f.BytesPerLine = 30;
    TBytes noBlock = Header(f);
    noBlock.Fill(30 * 30, 9);
    EXPECT_EQ(Load(noBlock.Data)->Palette(), nullptr);

    // A grey file without a block keeps every row, also the last 769 bytes of pixels.
    f.PaletteInfo = 2;
    TBytes grey = Header(f);
    grey.Fill(30 * 30, 9);
    const auto g = Load(grey.Data);
    EXPECT_EQ(RowBytes(*g, 29, 30), Bytes(30, 9));
    EXPECT_EQ((*g->Palette())[9], (TPaletteEntry{9, 9, 9, 0}));

    // With the block: its colours, and the pixels end before it.
    TBytes withBlock = Header(f);
    withBlock.Fill(30 * 30, 1).U8({12}).U8({0, 0, 0, 10, 20, 30}).Fill(254 * 3, 0);
    const auto b = Load(withBlock.Data);
    EXPECT_EQ((*b->Palette())[1], (TPaletteEntry{10, 20, 30, 0}));
    EXPECT_EQ(RowBytes(*b, 29, 30), Bytes(30, 1));

    // Files shorter than a palette block load what they have.
    f.XMax = f.YMax = 1;
    f.BytesPerLine = 2;
    TBytes tiny = Header(f);
    tiny.U8({4, 5, 6});
    const auto t = Load(tiny.Data);
    EXPECT_EQ(RowBytes(*t, 0, 2), (Bytes{4, 5}));
    EXPECT_EQ(RowBytes(*t, 1, 2), (Bytes{6, 0}));
}

TEST(PCXReader, BitPlanesMakeFourBitIndices) {
    THeaderFields f;
    f.Bits = 1;
    f.Planes = 4;
    f.XMax = 31;
    f.BytesPerLine = 4;
    f.FirstColour[0] = 200;
    TBytes file = Header(f);
    file.U8({0xFF, 0xFF, 0xFF, 0xFF}).Fill(12, 0);
    const auto g = Load(file.Data);
    EXPECT_EQ(g->PixelFormat(), pf4bit);
    EXPECT_EQ(RowBytes(*g, 0, 16), Bytes(16, 0x11));
    EXPECT_EQ((*g->Palette())[0], (TPaletteEntry{200, 0, 0, 0}));

    // Three planes: bit 2 from the third.
    f.Planes = 3;
    TBytes three = Header(f);
    three.U8({0x80, 0, 0, 0}).U8({0, 0, 0, 0}).U8({0xC0, 0, 0, 0});
    EXPECT_EQ(RowBytes(*Load(three.Data), 0, 1), Bytes{0x54});

    // Version 3 files carry no palette: the standard 16 colours, not the header's.
    f.Planes = 4;
    f.Version = 3;
    TBytes v3 = Header(f);
    v3.Fill(16, 0);
    EXPECT_EQ(*Load(v3.Data)->Palette(), DefaultPaletteEntries(4));
}

TEST(PCXReader, RowsShorterThanTheWidthAndUnknownLayoutsAreRefused) {
    THeaderFields narrow;
    narrow.XMax = 999;
    narrow.YMax = 1;
    narrow.BytesPerLine = 1;
    TBytes file = Header(narrow);
    file.Fill(4, 0);
    EXPECT_EQ(LoadError(file.Data), "Cannot load image. Invalid or unexpected PCX or SCR image format.");
    // The same for bit planes and colour planes.
    narrow.Bits = 1;
    narrow.Planes = 4;
    narrow.BytesPerLine = 100;
    EXPECT_NE(LoadError(Header(narrow).Data), "");
    THeaderFields twoByTwo;
    twoByTwo.Planes = 2;
    EXPECT_EQ(LoadError(Header(twoByTwo).Data), "Invalid color format in PCX file.");
}

TEST(PCXReader, UncompressedShortFilesLeaveTheRestZero) {
    THeaderFields f;
    f.Bits = 8;
    f.Planes = 3;
    f.XMax = 1;
    f.YMax = 1;
    f.BytesPerLine = 2;
    TBytes file = Header(f);
    file.U8({10, 11, 20, 21, 30});
    const auto g = Load(file.Data);
    EXPECT_EQ(g->PixelFormat(), pf24bit);
    EXPECT_EQ(RowBytes(*g, 0, 6), (Bytes{30, 20, 10, 0, 21, 11}));
    EXPECT_EQ(RowBytes(*g, 1, 6), Bytes(6, 0));
}

struct TPCXConformance {
    using Graphic = TPCXGraphic;
    static constexpr const char* Folder = "pcx";
    static constexpr const char* Extension = ".pcx";
    static constexpr size_t HeaderSize = 128;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        THeaderFields f;
        f.XMax = uint16_t(Width - 1);
        f.YMax = uint16_t(Height - 1);
        f.BytesPerLine = uint16_t(Width);
        TBytes file = Header(f);
        file.Fill(8, 0x40);
        return file.Data;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(PCX, ferronel::TPCXConformance)
