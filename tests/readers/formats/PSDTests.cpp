#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/PSDGraphic.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

void AppendU16(Bytes& to, uint16_t v) {
    uint8_t b[2];
    StoreU16BE(b, v);
    to.insert(to.end(), b, b + 2);
}

void AppendU32(Bytes& to, uint32_t v) {
    uint8_t b[4];
    StoreU32BE(b, v);
    to.insert(to.end(), b, b + 4);
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

// A document up to its image data: header, the three sections and the compression word.
Bytes Document(uint16_t mode, uint16_t depth, uint32_t width, uint32_t height, uint16_t channels,
               uint16_t compression = 0, const Bytes& colourData = {}, const char* signature = "8BPS") {
    Bytes f(signature, signature + 4);
    AppendU16(f, 1);
    f.resize(12, 0);
    AppendU16(f, channels);
    AppendU32(f, height);
    AppendU32(f, width);
    AppendU16(f, depth);
    AppendU16(f, mode);
    AppendU32(f, uint32_t(colourData.size()));
    Append(f, colourData);
    AppendU32(f, 0);
    AppendU32(f, 0);
    AppendU16(f, compression);
    return f;
}

std::unique_ptr<TPSDGraphic> Load(const Bytes& bytes) { return test::LoadAs<TPSDGraphic>(bytes); }
std::string Message(const Bytes& bytes) { return test::LoadMessage<TPSDGraphic>(bytes); }

using test::RowBytes;

const std::string InvalidImage = "Cannot load image. Invalid or unexpected PSD or PDD image format.";
const std::string InvalidColour = "Invalid color format in PSD or PDD file.";

TEST(PSDReader, TheSignatureIsTestedWithoutCaseOnlyByCanLoad) {
    Bytes f = Document(3, 8, 1, 1, 3, 0, {}, "8bps");
    Append(f, {1, 2, 3});
    TMemoryStream s(f);
    EXPECT_TRUE(TPSDGraphic().CanLoad(s));
    EXPECT_EQ(Message(f), InvalidImage);
    // Version 2 documents have wider lengths; CanLoad leaves them alone.
    Bytes v2 = Document(3, 8, 1, 1, 3);
    v2[5] = 2;
    Append(v2, {1, 2, 3});
    TMemoryStream s2(v2);
    EXPECT_FALSE(TPSDGraphic().CanLoad(s2));
}

TEST(PSDReader, ExtraChannelsOfAnRGBDocumentGiveOpacityFromTheFourth) {
    Bytes f = Document(3, 8, 2, 1, 5);
    Append(f, {10, 11, 20, 21, 30, 31, 200, 201, 77, 77});
    const auto g = Load(f);
    EXPECT_EQ(g->PixelFormat(), pf32bit);
    EXPECT_EQ(g->AlphaFormat(), afDefined);
    EXPECT_EQ(RowBytes(*g, 0, 8), (Bytes{30, 20, 10, 200, 31, 21, 11, 201}));
}

TEST(PSDReader, BitmapRowsArePackedBitsWithOneAsBlack) {
    // 100 pixels take 13 bytes a row, not 100.
    Bytes f = Document(0, 1, 100, 2, 1);
    Bytes rows(26, 0);
    rows[0] = 0x80;
    rows[12] = 0x10; // pixel 99
    rows[13] = 0xFF;
    Append(f, rows);
    const auto g = Load(f);
    EXPECT_EQ(g->PixelFormat(), pf1bit);
    EXPECT_TRUE(g->ImageProperties().Flags.Contains(ifMinIsWhite));
    EXPECT_EQ(g->ImageProperties().ColorScheme, csGray);
    EXPECT_EQ((*g->Palette())[0], (TPaletteEntry{255, 255, 255, 0}));
    EXPECT_EQ((*g->Palette())[1], (TPaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(RowBytes(*g, 0, 13), Bytes(rows.begin(), rows.begin() + 13));
    EXPECT_EQ(RowBytes(*g, 1, 1), Bytes{0xFF});
}

TEST(PSDReader, ModesWithoutEnoughChannelsOrUnknownAreRefused) {
    auto refusal = [](uint16_t mode, uint16_t depth, uint16_t channels) {
        Bytes f = Document(mode, depth, 4, 4, channels);
        f.resize(f.size() + 4 * 4 * 4 * 2, 0);
        return Message(f);
    };
    EXPECT_EQ(refusal(4, 8, 3), InvalidColour); // CMYK needs four planes
    EXPECT_EQ(refusal(3, 8, 2), InvalidColour);
    EXPECT_EQ(refusal(9, 8, 2), InvalidColour);
    EXPECT_EQ(refusal(1, 8, 0), InvalidColour);
    for (uint16_t mode : {5, 6, 10, 0xFFFF}) EXPECT_EQ(refusal(mode, 8, 3), InvalidColour) << mode;
    EXPECT_EQ(refusal(3, 32, 3), InvalidColour);
    EXPECT_EQ(refusal(2, 16, 1), InvalidColour);
    EXPECT_EQ(refusal(0, 8, 1), InvalidColour);
    EXPECT_EQ(refusal(3, 8, 3), "");
}

TEST(PSDReader, TheIndexedPaletteIsCutAt256EntriesAndMayBeShorter) {
    Bytes colours(800, 0);
    colours[5] = 50;       // red of entry 5
    colours[256 + 5] = 60; // green
    colours[512 + 5] = 70; // blue
    colours[790] = 0xEE;   // past the 768 bytes that count
    Bytes f = Document(2, 8, 2, 1, 1, 0, colours);
    Append(f, {5, 255});
    const auto g = Load(f);
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(RowBytes(*g, 0, 2), (Bytes{5, 255}));
    EXPECT_EQ((*g->Palette())[5], (TPaletteEntry{50, 60, 70, 0}));
    EXPECT_EQ((*g->Palette())[255], (TPaletteEntry{0, 0, 0, 0}));
    // Six bytes make two entries, in three planes of two.
    Bytes small = Document(2, 8, 1, 1, 1, 0, {1, 2, 3, 4, 5, 6});
    Append(small, {1});
    const auto s = Load(small);
    EXPECT_EQ((*s->Palette())[1], (TPaletteEntry{2, 4, 6, 0}));
}

TEST(PSDReader, SixteenBitCMYKAndLabAreSwappedBeforeConversion) {
    // CMYK stored inverted: 0xFFFF is no ink, so the pixel is white; 0x0000 in K is full black.
    Bytes cmyk = Document(4, 16, 2, 1, 4);
    for (int c = 0; c < 3; ++c) Append(cmyk, {0xFF, 0xFF, 0xFF, 0x00});
    Append(cmyk, {0xFF, 0xFF, 0x00, 0x00});
    EXPECT_EQ(RowBytes(*Load(cmyk), 0, 6), (Bytes{255, 255, 255, 0, 0, 0}));
    // Lab: L of 0xFFFF is 100, chroma 0x8000 none: white; with an alpha plane not shown.
    Bytes lab = Document(9, 16, 1, 1, 4);
    Append(lab, {0xFF, 0xFF, 0x80, 0x00, 0x80, 0x00, 0x12, 0x34});
    const auto g = Load(lab);
    EXPECT_EQ(g->PixelFormat(), pf24bit);
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{255, 255, 255}));
}

TEST(PSDReader, ZipDataIsRefusedRatherThanShownAsRaw) {
    for (uint16_t compression : {2, 3}) {
        Bytes f = Document(3, 8, 1, 1, 3, compression);
        Append(f, {1, 2, 3, 4, 5, 6, 7, 8});
        EXPECT_EQ(Message(f),
                  "Cannot load image. The compression scheme is not supported for PSD or PDD files.");
    }
    Bytes unknown = Document(3, 8, 1, 1, 3, 9);
    Append(unknown, {1, 2, 3});
    EXPECT_EQ(Message(unknown), InvalidImage);
}

TEST(PSDReader, LengthsThatClaimMoreThanTheFileAreRefused) {
    // A colour data section longer than the file.
    Bytes section = Document(3, 8, 1, 1, 3);
    StoreU32BE(&section[26], 0x7FFFFFFF);
    Append(section, Bytes(16, 0));
    EXPECT_EQ(Message(section), InvalidImage);
    // A huge layer section that would wrap a 32-bit position.
    Bytes layers = Document(3, 8, 1, 1, 3);
    StoreU32BE(&layers[34], 0xFFFFFFF0);
    Append(layers, Bytes(16, 0));
    EXPECT_EQ(Message(layers), InvalidImage);
    // Row counts whose sum passes the end of the file.
    Bytes rle = Document(1, 8, 4, 2, 1, 1);
    AppendU16(rle, 2);
    AppendU16(rle, 60000);
    Append(rle, {0xFD, 9});
    EXPECT_EQ(Message(rle), InvalidImage);
    // A row-count table that does not fit.
    Bytes table = Document(1, 8, 4, 30000, 1, 1);
    Append(table, {0, 2});
    EXPECT_EQ(Message(table), InvalidImage);
    // Raw data one byte short.
    Bytes raw = Document(3, 8, 2, 2, 3);
    Append(raw, Bytes(11, 0));
    EXPECT_EQ(Message(raw), InvalidImage);
}

TEST(PSDReader, PackBitsRowsAreCutAtTheRowAndShortRowsLeaveZeros) {
    // Row 0 repeats 5 times into a row of 3; row 1 stops after one byte.
    Bytes f = Document(1, 8, 3, 2, 1, 1);
    AppendU16(f, 2);
    AppendU16(f, 2);
    Append(f, {0xFC, 7, 0x00, 9});
    const auto g = Load(f);
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{7, 7, 7}));
    EXPECT_EQ(RowBytes(*g, 1, 3), (Bytes{9, 0, 0}));
}

TEST(PSDReader, PropertiesDescribeTheDocument) {
    Bytes f = Document(4, 16, 7, 5, 5, 1);
    TPSDGraphic g;
    TMemoryStream s(f);
    ASSERT_TRUE(g.LoadImageProperties(s, 0));
    const TImageProperties& p = g.ImageProperties();
    EXPECT_EQ(p.Width, 7u);
    EXPECT_EQ(p.Height, 5u);
    EXPECT_EQ(p.ColorScheme, csCMYK);
    EXPECT_EQ(p.BitsPerSample, 16);
    EXPECT_EQ(p.SamplesPerPixel, 4);
    EXPECT_EQ(p.ChannelCount, 5);
    EXPECT_EQ(p.Compression, cpPackBits);
    EXPECT_TRUE(p.Flags.Contains(ifBigEndian));
}

// ImageMagick converts CMYK with its own rounding; within 2 per channel of its reading.
TEST(PSDReader, CMYKDocumentsMatchTheReferenceClosely) {
    size_t compared = 0;
    for (const test::TFixture& f : test::Fixtures("psd", ".psd")) {
        if (f.Name.find("cmyk") == std::string::npos) continue;
        std::string pam = test::DataPath("psd/" + f.Name);
        pam.replace(pam.size() - 4, 4, ".near.pam");
        const test::TPam reference = test::ReadPam(pam);
        const std::vector<uint8_t> ours = test::Rgba(*Load(f.Bytes));
        ASSERT_EQ(ours.size(), reference.Pixels.size()) << f.Name;
        for (size_t i = 0; i < ours.size(); ++i)
            ASSERT_LE(std::abs(int(ours[i]) - int(reference.Pixels[i])), 2) << f.Name << " byte " << i;
        ++compared;
    }
    EXPECT_GE(compared, 6u);
}

struct TPSDConformance {
    using Graphic = TPSDGraphic;
    static constexpr const char* Folder = "psd";
    static constexpr const char* Extension = ".psd";
    static constexpr size_t HeaderSize = 26;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    // Small pictures come whole (PackBits rows of no bytes); huge ones cannot, and are refused for
    // the data they lack before their pixels are thought of.
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        const bool whole = uint64_t(Width) * Height <= 1u << 20;
        Bytes f = Document(3, 8, Width, Height, 3, whole ? 1 : 0);
        f.resize(f.size() + (whole ? size_t(Height) * 3 * 2 : 27), 0);
        return f;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(PSD, ferronel::TPSDConformance)
