#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/PNGGraphic.h"
#include "support/Deflate.h"
#include "support/PngBuilder.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

using test::TPng;

using test::Deflate;
using test::DeflateCut;

std::unique_ptr<TPNGGraphic> Load(const Bytes& File) {
    TMemoryStream s(File);
    auto g = std::make_unique<TPNGGraphic>();
    g->LoadFromStream(s);
    return g;
}

std::string LoadError(const Bytes& File) {
    try {
        Load(File);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "";
}

Bytes Row(const TBitmap& B, int32_t Y, size_t N) { return Bytes(B.ScanLine(Y), B.ScanLine(Y) + N); }

// An 8-bit grey image of W x H with filter None and the given pixel bytes.
TPng Grey8(uint32_t W, uint32_t H, const Bytes& Pixels) {
    Bytes raw;
    for (uint32_t y = 0; y < H; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), Pixels.begin() + y * W, Pixels.begin() + (y + 1) * W);
    }
    TPng p;
    p.IHDR(W, H, 8, ctGray);
    p.Chunk("IDAT", Deflate(raw));
    return p;
}

const std::string InvalidImage = "Cannot load image. Invalid or unexpected PNG image format.";

TEST(PNGReader, HeaderRefusals) {
    EXPECT_EQ(LoadError(TPng().IHDR(0, 1, 8, 0).IEND().Data), InvalidImage);
    EXPECT_EQ(LoadError(TPng().IHDR(0x80000000u, 1, 8, 0).IEND().Data), InvalidImage);
    EXPECT_EQ(LoadError(TPng().IHDR(1, 1, 3, 0).IEND().Data), "Invalid color format in PNG file.");
    EXPECT_EQ(LoadError(TPng().IHDR(1, 1, 16, 3).IEND().Data), "Invalid color format in PNG file.");
    Bytes compressed = TPng().IHDR(1, 1, 8, 0).Data;
    compressed[8 + 8 + 10] = 1;
    TPng fixed;
    fixed.Chunk("IHDR", Bytes(compressed.begin() + 16, compressed.begin() + 29)).IEND();
    EXPECT_EQ(LoadError(fixed.Data),
              "Cannot load image. The compression scheme is not supported for PNG files.");
    // An IHDR of length 0 (its CRC A8A1AE0A) is refused before anything is read past it.
    TPng empty;
    empty.Chunk("IHDR", {}).IEND();
    empty.Data.resize(40, 0);
    EXPECT_EQ(LoadError(empty.Data), InvalidImage);
    // A file with a header and no image data.
    EXPECT_EQ(LoadError(TPng().IHDR(1, 1, 8, 0).IEND().Data), InvalidImage);
    // 65500 x 65500 passes the header and is refused by the pixel-buffer limit before allocating.
    TPng huge = Grey8(1, 1, {7});
    StoreU32BE(huge.Data.data() + 16, 65500);
    StoreU32BE(huge.Data.data() + 20, 65500);
    StoreU32BE(huge.Data.data() + 29, uint32_t(crc32(0, huge.Data.data() + 12, 17)));
    EXPECT_THROW(Load(huge.Data), EInvalidGraphic);
}

TEST(PNGReader, ChunkWalk) {
    const Bytes idat = Grey8(2, 1, {10, 20}).Data;
    auto withChunk = [&](const char* Type, const Bytes& Body, int CrcDelta = 0) {
        TPng p;
        p.Data = Bytes(idat.begin(), idat.begin() + 33); // signature and IHDR
        p.Chunk(Type, Body, CrcDelta);
        p.Data.insert(p.Data.end(), idat.begin() + 33, idat.end());
        p.IEND();
        return p.Data;
    };
    EXPECT_EQ(Row(*Load(withChunk("tEXt", {'a', 0, 'b'})), 0, 2), (Bytes{10, 20}));
    EXPECT_EQ(LoadError(withChunk("QUUX", {})),
              "Cannot load PNG image. Unexpected but critical chunk detected.");
    EXPECT_EQ(LoadError(withChunk("IHDR", Bytes(13, 1))),
              "Cannot load PNG image. Unexpected but critical chunk detected.");
    EXPECT_EQ(LoadError(withChunk("gAMA", {0, 0, 0xB1, 0x8F}, 1)),
              "Cannot load image. CRC error found in PNG file.");
    // Skipped chunks are not checked.
    EXPECT_NO_THROW(Load(withChunk("zzZz", {1, 2}, 1)));
    // Chunk names are matched exactly: a private "gama" is not the gamma chunk.
    const auto privateGamma = Load(withChunk("gama", {0, 0, 0x3A, 0x98}));
    EXPECT_FALSE(privateGamma->ImageProperties().Flags.Contains(ifFileGamma));
    // A length that would wrap a 32-bit seek back, and one past the end of the file.
    TPng wrap;
    wrap.Data = Bytes(idat.begin(), idat.begin() + 33);
    wrap.Raw(0xFFFFFFF4u, "tEXt", {});
    EXPECT_EQ(LoadError(wrap.Data), InvalidImage);
    TPng past;
    past.Data = Bytes(idat.begin(), idat.begin() + 33);
    past.Raw(1000, "PLTE", {1, 2, 3});
    EXPECT_THROW(Load(past.Data), EInvalidGraphic);
    // Short fixed-size chunks are passed over without reading past their data.
    for (const char* type : {"gAMA", "bKGD", "tRNS"}) {
        const auto g = Load(withChunk(type, {1}));
        EXPECT_EQ(Row(*g, 0, 2), (Bytes{10, 20})) << type;
        EXPECT_FALSE(g->Transparent()) << type;
    }
}

TEST(PNGReader, Palettes) {
    auto indexed = [](std::initializer_list<Bytes> Before) {
        TPng p;
        p.IHDR(2, 1, 8, ctIndexed);
        for (const Bytes& chunk : Before)
            p.Chunk(reinterpret_cast<const char*>(chunk.data()), Bytes(chunk.begin() + 4, chunk.end()));
        p.Chunk("IDAT", Deflate({0, 1, 0}));
        return p.IEND().Data;
    };
    const Bytes plte{'P', 'L', 'T', 'E', 255, 0, 0, 0, 0, 255};
    const auto g = Load(indexed({plte}));
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(Row(*g, 0, 2), (Bytes{1, 0}));
    EXPECT_EQ((*g->Palette())[0], (TPaletteEntry{255, 0, 0, 0}));
    // No palette, a palette of 300 entries, and one whose length is not whole entries.
    const std::string invalid = "Cannot load image. Palette in PNG file is invalid.";
    EXPECT_EQ(LoadError(indexed({})), invalid);
    Bytes big{'P', 'L', 'T', 'E'};
    big.resize(4 + 900, 7);
    EXPECT_EQ(LoadError(indexed({big})), invalid);
    EXPECT_EQ(LoadError(indexed({Bytes{'P', 'L', 'T', 'E', 1, 2}})), invalid);
    // tRNS longer than the palette: kept up to 256 entries, the rest opaque.
    Bytes trns{'t', 'R', 'N', 'S'};
    trns.resize(4 + 300, 9);
    trns[4] = 0;
    const auto t = Load(indexed({plte, trns}));
    ASSERT_EQ(t->AlphaTable().size(), 256u);
    EXPECT_EQ(t->AlphaTable()[0], 0);
    EXPECT_EQ(t->AlphaTable()[255], 9);
    const auto shortTrns = Load(indexed({plte, Bytes{'t', 'R', 'N', 'S', 4}}));
    EXPECT_EQ(shortTrns->AlphaTable()[1], 255);
    // The background index is shown as its palette colour where rows are missing.
    TPng cut;
    cut.IHDR(1, 2, 8, ctIndexed).Chunk("PLTE", {255, 0, 0, 0, 0, 255}).Chunk("bKGD", {1});
    cut.Chunk("IDAT", DeflateCut({0, 0, 0, 0}, 0));
    const auto c = Load(cut.Data);
    EXPECT_EQ(Row(*c, 0, 1), (Bytes{1}));
}

TEST(PNGReader, KeyAndBackgroundGreysAreScaledToTheirDepth) {
    // 4-bit grey: key 15 is white, background 5 is 85.
    TPng p;
    p.IHDR(2, 2, 4, ctGray).Chunk("tRNS", {0, 15}).Chunk("bKGD", {0, 5});
    p.Chunk("IDAT", DeflateCut({0, 0xF0, 0, 0x0F}, 2)); // the second row does not arrive
    const auto g = Load(p.Data);
    EXPECT_TRUE(g->Transparent());
    EXPECT_EQ(g->TransparentColor(), RGBColor(255, 255, 255));
    ASSERT_EQ(g->PixelFormat(), pf4bit);
    const TPaletteEntries& pal = g->EffectivePalette();
    const uint8_t second = g->ScanLine(1)[0] >> 4;
    EXPECT_EQ(pal[second], (TPaletteEntry{85, 85, 85, 0}));
    // 1-bit grey: key 1 is white.
    TPng one;
    one.IHDR(8, 1, 1, ctGray).Chunk("tRNS", {0, 1}).Chunk("IDAT", Deflate({0, 0xAA})).IEND();
    EXPECT_EQ(Load(one.Data)->TransparentColor(), RGBColor(255, 255, 255));
}

TEST(PNGReader, TruncatedDataKeepsTheRowsThatArrivedAndFillsTheRest) {
    Bytes pixels(16 * 8);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 + 3);
    const Bytes whole = Grey8(16, 8, pixels).IEND().Data;
    const auto full = Load(whole);
    for (size_t cut = 41; cut < whole.size(); cut += 3) {
        const Bytes part(whole.begin(), whole.begin() + ptrdiff_t(cut));
        const auto g = Load(part);
        ASSERT_EQ(g->Height(), 8);
        // Each row is either the image's own or the white fill; no row holds stale data.
        bool filled = false;
        for (int32_t y = 0; y < 8; ++y) {
            const Bytes row = Row(*g, y, 16);
            if (row == Bytes(16, 255)) {
                filled = true;
            } else {
                EXPECT_FALSE(filled) << "cut " << cut << " row " << y;
                EXPECT_EQ(row, Row(*full, y, 16)) << "cut " << cut << " row " << y;
            }
        }
    }
}

TEST(PNGReader, CompressedStreamThatEndsEarlyRunsLongOrIsBroken) {
    const std::string extra = "Cannot load image. Extra compressed data found in PNG file.";
    // The stream ends after one of two rows.
    TPng early;
    early.IHDR(2, 2, 8, ctGray).Chunk("IDAT", Deflate({0, 1, 2})).IEND();
    EXPECT_EQ(LoadError(early.Data), extra);
    // Data after the end of the stream in the same chunk.
    Bytes z = Deflate({0, 1, 2});
    z.insert(z.end(), {1, 2, 3});
    TPng trailing;
    trailing.IHDR(2, 1, 8, ctGray).Chunk("IDAT", z).IEND();
    EXPECT_EQ(LoadError(trailing.Data), extra);
    // More data than the image needs, stream end unread: the image is complete.
    TPng longer;
    longer.IHDR(2, 1, 8, ctGray).Chunk("IDAT", Deflate(Bytes{0, 1, 2, 0, 3, 4, 0, 5, 6})).IEND();
    EXPECT_EQ(Row(*Load(longer.Data), 0, 2), (Bytes{1, 2}));
    TPng broken;
    broken.IHDR(2, 1, 8, ctGray).Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF}).IEND();
    EXPECT_EQ(LoadError(broken.Data), "Cannot load image. Compression error found in PNG file.");
    // Image data split over many chunks, some empty, is one stream.
    TPng split;
    split.IHDR(3, 2, 8, ctGray);
    const Bytes all = Deflate({0, 1, 2, 3, 2, 4, 5, 6});
    for (size_t i = 0; i < all.size(); ++i) {
        split.Chunk("IDAT", {all[i]});
        split.Chunk("IDAT", {});
    }
    const auto s = Load(split.IEND().Data);
    EXPECT_EQ(Row(*s, 0, 3), (Bytes{1, 2, 3}));
    EXPECT_EQ(Row(*s, 1, 3), (Bytes{5, 7, 9})); // Up filter
}

TEST(PNGReader, GammaAndProperties) {
    TPng p = Grey8(2, 1, {0, 128});
    TPng g;
    g.Data = Bytes(p.Data.begin(), p.Data.begin() + 33);
    g.Chunk("gAMA", {0, 0, 0xB1, 0x8F}); // 45455
    g.Data.insert(g.Data.end(), p.Data.begin() + 33, p.Data.end());
    g.IEND();
    TPNGGraphic reader;
    TMemoryStream s(g.Data);
    ASSERT_TRUE(reader.LoadImageProperties(s, 0));
    const TImageProperties& props = reader.ImageProperties();
    EXPECT_NEAR(props.Gamma, 0.45455f, 1e-6);
    EXPECT_EQ(props.ColorScheme, csGray);
    EXPECT_EQ(props.Compression, cpDeflate);
    EXPECT_TRUE(props.Flags.Contains(ifBigEndian));
    const auto loaded = Load(g.Data);
    EXPECT_TRUE(loaded->ImageProperties().Flags.Contains(ifFileGamma));
    EXPECT_TRUE(loaded->ColorManager().TargetOptions.Contains(coxApplyGamma));
    // A gamma of 0 is passed over: no correction.
    TPng zero;
    zero.Data = Bytes(p.Data.begin(), p.Data.begin() + 33);
    zero.Chunk("gAMA", {0, 0, 0, 0});
    zero.Data.insert(zero.Data.end(), p.Data.begin() + 33, p.Data.end());
    const auto z = Load(zero.IEND().Data);
    EXPECT_FALSE(z->ImageProperties().Flags.Contains(ifFileGamma));
    EXPECT_EQ(z->EffectivePalette()[128], (TPaletteEntry{128, 128, 128, 0}));
}

// The reference decoder leaves gamma alone; the reader's rule is applied to its pixels here.
TEST(PNGReader, GammaFilesFollowTheGammaRuleWithinOne) {
    for (const auto& [name, gamma] : {std::pair<const char*, double>{"gamma100000", 1.0},
                                      {"gamma45455", 0.45455},
                                      {"gamma-palette", 1.0}}) {
        const Bytes file = test::ReadFileBytes(test::DataPath(std::string("png/") + name + ".png"));
        const auto g = Load(file);
        const std::vector<uint8_t> ours = test::Rgba(*g);
        const test::TPam raw = test::ReadPam(test::DataPath(std::string("png/") + name + "-raw.pam"));
        ASSERT_EQ(ours.size(), raw.Pixels.size()) << name;
        const double e = 1 / (gamma * 2.2);
        for (size_t i = 0; i < ours.size(); ++i) {
            const double expected = i % 4 == 3 ? 255 : std::round(std::pow(raw.Pixels[i] / 255.0, e) * 255);
            ASSERT_NEAR(ours[i], expected, 1) << name << " byte " << i;
        }
    }
}

TEST(PNGReader, Adam7OnePixelWideAndZeroPriorRowsInEachPass) {
    // 1 x 9, grey: passes 1, 3, 5 and 7 hold rows; every row uses Up or Paeth, which must see a
    // zero row above the first row of each pass.
    Bytes raw;
    const uint8_t values[9] = {10, 11, 12, 13, 14, 15, 16, 17, 18};
    const int passRows[7][4] = {{0, 8, -1}, {-1}, {4, -1}, {-1}, {2, 6, -1}, {-1}, {1, 3, 5, 7}};
    for (int pass = 0; pass < 7; ++pass) {
        uint8_t prior = 0;
        for (int k = 0; k < 4 && passRows[pass][k] >= 0; ++k) {
            const uint8_t v = values[passRows[pass][k]];
            raw.insert(raw.end(), {uint8_t(k % 2 ? fiPaeth : fiUp), uint8_t(v - prior)});
            prior = v;
        }
    }
    TPng p;
    p.IHDR(1, 9, 8, ctGray, piAdam7).Chunk("IDAT", Deflate(raw)).IEND();
    const auto g = Load(p.Data);
    for (int32_t y = 0; y < 9; ++y) EXPECT_EQ(g->ScanLine(y)[0], values[y]) << y;
}

TEST(PNGReader, ASecondLoadForgetsTheFirstFilesGammaAndKey) {
    TPng first = Grey8(1, 1, {100});
    TPng gamma;
    gamma.Data = Bytes(first.Data.begin(), first.Data.begin() + 33);
    gamma.Chunk("gAMA", {0, 1, 0x86, 0xA0}).Chunk("tRNS", {0, 100});
    gamma.Data.insert(gamma.Data.end(), first.Data.begin() + 33, first.Data.end());
    TPNGGraphic reader;
    TMemoryStream a(gamma.IEND().Data), b(Grey8(1, 1, {100}).IEND().Data);
    reader.LoadFromStream(a);
    reader.LoadFromStream(b);
    EXPECT_FALSE(reader.Transparent());
    EXPECT_EQ(reader.EffectivePalette()[100], (TPaletteEntry{100, 100, 100, 0}));
}

struct TPNGConformance {
    using Graphic = TPNGGraphic;
    static constexpr const char* Folder = "png";
    static constexpr const char* Extension = ".png";
    static constexpr size_t HeaderSize = TPNGFileHeader::Size;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        TPng p;
        p.IHDR(Width, Height, 8, ctRGB).Chunk("IDAT", Deflate(Bytes(64, 0x40))).IEND();
        return p.Data;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(PNG, ferronel::TPNGConformance)
