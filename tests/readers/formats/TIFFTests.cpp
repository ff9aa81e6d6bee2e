#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/decoders/TIFFJPEGDecoder.h"
#include "readers/formats/EPSGraphic.h"
#include "readers/formats/TIFFGraphic.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::RowBytes;

const std::string Invalid = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";
const std::string Unsupported =
    "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";

struct TEntry {
    uint16_t Tag, Type;
    std::vector<uint32_t> Values; // RATIONAL: numerator and denominator in turn
    uint32_t Count = 0;           // 0: the number of values (halved for RATIONAL)
};

// A TIFF file: header, the pixel bytes at offset 8, then the directory and the values that do not
// fit in their entries. NextIFD is written as it stands.
Bytes Tiff(bool Big, std::vector<TEntry> Entries, const Bytes& Pixels, uint32_t NextIFD = 0) {
    Bytes f(8, 0);
    auto u16 = [&](uint8_t* p, uint32_t v) { Big ? StoreU16BE(p, uint16_t(v)) : StoreU16LE(p, uint16_t(v)); };
    auto u32 = [&](uint8_t* p, uint32_t v) { Big ? StoreU32BE(p, v) : StoreU32LE(p, v); };
    f[0] = f[1] = Big ? 'M' : 'I';
    u16(&f[2], 42);
    f.insert(f.end(), Pixels.begin(), Pixels.end());
    const uint32_t ifd = uint32_t(f.size());
    u32(&f[4], ifd);
    f.resize(f.size() + 2 + 12 * Entries.size() + 4);
    u16(&f[ifd], uint32_t(Entries.size()));
    u32(&f[ifd + 2 + 12 * Entries.size()], NextIFD);
    for (size_t i = 0; i < Entries.size(); ++i) {
        const TEntry& e = Entries[i];
        const uint32_t size = e.Type == 1 ? 1 : e.Type == 3 ? 2 : 4;
        Bytes data(e.Values.size() * size);
        for (size_t k = 0; k < e.Values.size(); ++k) {
            if (size == 1) data[k] = uint8_t(e.Values[k]);
            if (size == 2) u16(&data[2 * k], e.Values[k]);
            if (size == 4) u32(&data[4 * k], e.Values[k]);
        }
        const uint32_t count =
            e.Count ? e.Count : uint32_t(e.Type == 5 ? e.Values.size() / 2 : e.Values.size());
        uint8_t* entry = &f[ifd + 2 + 12 * i];
        u16(entry, e.Tag);
        u16(entry + 2, e.Type);
        u32(entry + 4, count);
        if (data.size() <= 4) {
            std::copy(data.begin(), data.end(), entry + 8);
        } else {
            u32(entry + 8, uint32_t(f.size()));
            f.insert(f.end(), data.begin(), data.end());
        }
    }
    return f;
}

// The entries of an uncompressed single-strip image at offset 8.
std::vector<TEntry> Basic(uint32_t W, uint32_t H, uint32_t Bits, uint32_t Samples, uint32_t Photometric,
                          uint32_t StripBytes) {
    return {{256, 4, {W}},       {257, 4, {H}},           {258, 3, std::vector<uint32_t>(Samples, Bits)},
            {259, 3, {1}},       {262, 3, {Photometric}}, {273, 4, {8}},
            {277, 3, {Samples}}, {278, 4, {H}},           {279, 4, {StripBytes}}};
}

void Set(std::vector<TEntry>& Entries, TEntry Entry) {
    for (TEntry& e : Entries)
        if (e.Tag == Entry.Tag) {
            e = Entry;
            return;
        }
    Entries.push_back(Entry);
    std::sort(Entries.begin(), Entries.end(), [](const TEntry& a, const TEntry& b) { return a.Tag < b.Tag; });
}

std::unique_ptr<TTIFFGraphic> Load(const Bytes& bytes) { return test::LoadAs<TTIFFGraphic>(bytes); }
std::string Message(const Bytes& bytes) { return test::LoadMessage<TTIFFGraphic>(bytes); }

Bytes Fixture(const std::string& Name) { return test::ReadFileBytes(test::DataPath("tif/" + Name)); }

TEST(TIFFReader, BothByteOrdersReadEveryValueInItsOwnWidth) {
    for (const bool big : {false, true}) {
        // 16-bit grey: two pixels of one row, stored in the file's byte order.
        Bytes pixels = big ? Bytes{0xFF, 0xFF, 0x80, 0x00} : Bytes{0xFF, 0xFF, 0x00, 0x80};
        auto entries = Basic(2, 1, 16, 1, 1, 4);
        Set(entries, {282, 5, {600, 2}});
        Set(entries, {296, 3, {3}});
        const auto g = Load(Tiff(big, entries, pixels));
        EXPECT_EQ(g->PixelFormat(), pf8bit) << big;
        EXPECT_EQ(RowBytes(*g, 0, 2), (Bytes{255, 127})) << big;
        EXPECT_NEAR(g->ImageProperties().XResolution, 762.0f, 0.01f) << big;
    }
}

TEST(TIFFReader, PhotometricSchemesAndThePaletteComeOutAsBitmapRows) {
    // Min-is-white bilevel gets the inverted grey palette.
    const auto white = Load(Tiff(false, Basic(8, 1, 1, 1, 0, 1), {0x0F}));
    EXPECT_EQ(white->PixelFormat(), pf1bit);
    EXPECT_EQ((*white->Palette())[0], (TPaletteEntry{255, 255, 255, 0}));
    // RGB with three samples is stored blue first.
    const auto rgb = Load(Tiff(false, Basic(1, 1, 8, 3, 2, 3), {10, 20, 30}));
    EXPECT_EQ(RowBytes(*rgb, 0, 3), (Bytes{30, 20, 10}));
    // A 4-bit colour map of 48 values: the first 16 entries are the picture's colours.
    auto indexed = Basic(2, 1, 4, 1, 3, 1);
    std::vector<uint32_t> map(48, 0);
    map[1] = 0xFFFF;       // red of entry 1
    map[16 + 2] = 0x8080;  // green of entry 2
    map[32 + 15] = 0xFFFF; // blue of entry 15
    Set(indexed, {320, 3, map});
    const auto pal = Load(Tiff(false, indexed, {0x12}));
    EXPECT_EQ(pal->PixelFormat(), pf4bit);
    EXPECT_EQ(RowBytes(*pal, 0, 1), (Bytes{0x12}));
    EXPECT_EQ((*pal->Palette())[1], (TPaletteEntry{255, 0, 0, 0}));
    EXPECT_EQ((*pal->Palette())[2], (TPaletteEntry{0, 128, 0, 0}));
    EXPECT_EQ((*pal->Palette())[15], (TPaletteEntry{0, 0, 255, 0}));
    // Two-bit grey is widened to four bits per pixel (0, 1/3, 2/3, 1 of the scale), not squeezed
    // into half the row.
    const auto two = Load(Tiff(false, Basic(4, 1, 2, 1, 1, 1), {0x1B}));
    EXPECT_EQ(two->PixelFormat(), pf4bit);
    EXPECT_EQ(RowBytes(*two, 0, 2), (Bytes{0x05, 0xAF}));
}

TEST(TIFFReader, SampleCountsTheSchemeCannotTakeAreRefused) {
    // RGB of one sample would write three bytes a pixel into an 8-bit row; CMYK of three would
    // read four samples a pixel.
    EXPECT_EQ(Message(Tiff(false, Basic(4, 1, 8, 1, 2, 4), Bytes(4))), Invalid);
    EXPECT_EQ(Message(Tiff(false, Basic(4, 1, 8, 3, 5, 12), Bytes(12))), Invalid);
    EXPECT_EQ(Message(Tiff(false, Basic(4, 1, 8, 1, 8, 4), Bytes(4))), Invalid);
    for (const uint32_t bits : {0u, 3u, 64u})
        EXPECT_EQ(Message(Tiff(false, Basic(4, 1, bits, 1, 1, 4), Bytes(4))), Invalid) << bits;
    EXPECT_EQ(Message(Tiff(false, Basic(4, 1, 8, 1000, 1, 4), Bytes(4))), Invalid);
    EXPECT_EQ(Message(Tiff(false, Basic(4, 1, 8, 0, 1, 4), Bytes(4))), Invalid);
    // Extra samples past what the scheme needs are skipped.
    auto five = Basic(1, 1, 8, 5, 2, 5);
    const auto g = Load(Tiff(false, five, {1, 2, 3, 4, 5}));
    EXPECT_EQ(RowBytes(*g, 0, 4), (Bytes{3, 2, 1, 4}));
}

TEST(TIFFReader, DamagedDirectoriesAreRefusedWithTheReadersError) {
    const Bytes good = Tiff(false, Basic(2, 1, 8, 1, 1, 2), {1, 2});
    // A list whose count needs more bytes than the file holds.
    auto huge = Basic(2, 1, 8, 1, 1, 2);
    Set(huge, {273, 4, {8}, 0x40000001});
    EXPECT_EQ(Message(Tiff(false, huge, {1, 2})), Invalid);
    // An entry count running past the end of the file.
    Bytes cut = good;
    StoreU16LE(&cut[LoadU32LE(&cut[4])], 5000);
    EXPECT_EQ(Message(cut), Invalid);
    // First directory offset past the end.
    Bytes far = good;
    StoreU32LE(&far[4], 0x7FFFFFF0);
    EXPECT_EQ(Message(far), Invalid);
    // A chain that comes back to its first directory is not followed for ever.
    Bytes loop = Tiff(false, Basic(2, 1, 8, 1, 1, 2), {1, 2}, 0);
    const uint32_t ifd = LoadU32LE(&loop[4]);
    StoreU32LE(&loop[ifd + 2 + 12 * 9], ifd);
    TTIFFGraphic g;
    TMemoryStream s(loop);
    EXPECT_TRUE(g.LoadImageProperties(s, 0));
    EXPECT_THROW(g.LoadImageProperties(s, 5), EInvalidGraphic);
    EXPECT_FALSE(g.LoadImageProperties(*std::make_unique<TMemoryStream>(good), 1));
    // Entries of a type this reader does not know count as absent: the width is missing.
    auto unknown = Basic(2, 1, 8, 1, 1, 2);
    Set(unknown, {256, 99, {2}});
    EXPECT_EQ(Message(Tiff(false, unknown, {1, 2})), Invalid);
    // Sizes no signed 32-bit side can hold.
    auto wide = Basic(2, 1, 8, 1, 1, 2);
    Set(wide, {256, 4, {0xFFFFFFFF}});
    EXPECT_EQ(Message(Tiff(false, wide, {1, 2})), Invalid);
}

TEST(TIFFReader, StripsTheFileDoesNotHoldLeaveRowsBlank) {
    // An offset past the end, a byte count past the end, and a strip list shorter than the strips.
    auto entries = Basic(2, 3, 8, 1, 1, 2);
    Set(entries, {278, 3, {1}});
    Set(entries, {273, 4, {8, 0x10000000}});
    Set(entries, {279, 4, {2, 2}});
    const auto g = Load(Tiff(false, entries, {7, 9}));
    EXPECT_EQ(g->Height(), 3);
    EXPECT_EQ(RowBytes(*g, 0, 2), (Bytes{7, 9}));
    EXPECT_EQ(RowBytes(*g, 1, 2), (Bytes{0, 0}));
    EXPECT_EQ(RowBytes(*g, 2, 2), (Bytes{0, 0}));
    Bytes last = Tiff(false, Basic(2, 2, 8, 1, 1, 0xFFFFFFFF), {});
    last.push_back(0x55);
    StoreU32LE(&last[LoadU32LE(&last[4]) + 2 + 12 * 5 + 8], uint32_t(last.size() - 1));
    const auto h = Load(last);
    EXPECT_EQ(RowBytes(*h, 0, 2), (Bytes{0x55, 0}));
    EXPECT_EQ(RowBytes(*h, 1, 2), (Bytes{0, 0}));
    // Rows per strip far above the height make one strip of the image's rows.
    auto tall = Basic(2, 1, 8, 1, 1, 2);
    Set(tall, {278, 4, {0x7FFFFFFF}});
    EXPECT_EQ(RowBytes(*Load(Tiff(false, tall, {4, 5})), 0, 2), (Bytes{4, 5}));
}

TEST(TIFFReader, CompressionsTheReaderLacksKeepTheirMessage) {
    for (const uint32_t c : {6u, 32908u, 32909u, 12345u}) {
        auto entries = Basic(2, 1, 8, 1, 1, 2);
        Set(entries, {259, 3, {c}});
        EXPECT_EQ(Message(Tiff(false, entries, {1, 2})), Unsupported) << c;
    }
}

TEST(TIFFReader, PredictorWorksPerSampleInTheFilesByteOrder) {
    // Two RGB pixels of 16 bits, the second stored as the difference, with a carry across bytes.
    for (const bool big : {false, true}) {
        Bytes pixels(12);
        const uint16_t values[6] = {0x00FF, 0x1000, 0xFFFF, 0x0001, 0x0100, 0x0001};
        for (size_t i = 0; i < 6; ++i)
            big ? StoreU16BE(&pixels[2 * i], values[i]) : StoreU16LE(&pixels[2 * i], values[i]);
        auto entries = Basic(2, 1, 16, 3, 2, 12);
        Set(entries, {259, 3, {8}});
        Set(entries, {317, 3, {2}});
        // The strip as zlib stores it uncompressed: header, one stored block, no checksum needed
        // for the rows to come out.
        Bytes z = {0x78, 0x01, 0x01, 12, 0, 0xF3, 0xFF};
        z.insert(z.end(), pixels.begin(), pixels.end());
        Set(entries, {279, 4, {uint32_t(z.size())}});
        const auto g = Load(Tiff(big, entries, z));
        // The second pixel is 0x0100, 0x1100, 0x0000 after the carries; stored blue first.
        EXPECT_EQ(RowBytes(*g, 0, 6), (Bytes{255, 15, 0, 0, 16, 0})) << big;
    }
}

TEST(TIFFReader, UncompressedYCbCrNeedsFullChromaAndSaneCoefficients) {
    auto entries = Basic(1, 1, 8, 3, 6, 3);
    EXPECT_EQ(Message(Tiff(false, entries, {128, 128, 128})), Invalid); // subsampled by default
    Set(entries, {530, 3, {1, 1}});
    for (const float k : {0.0f, std::nanf("")}) {
        uint32_t bits;
        std::memcpy(&bits, &k, 4);
        Set(entries, {529, 11, {bits, bits, bits}});
        const auto g = Load(Tiff(false, entries, {200, 128, 128}));
        EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{200, 200, 200})) << k;
    }
}

TEST(TIFFReader, FixturesOfEveryLayoutDecodeToTheReference) {
    // Tiles, separate planes, several pages and every compression are in the fixtures, which the
    // conformance suite compares pixel by pixel. L*a*b* goes through the colour manager's own
    // conversion, which keeps no display gamma: only the saturated corners match the reference.
    const auto lab = Load(Fixture("im-lab.tif"));
    ASSERT_EQ(lab->Width(), 40);
    const auto near = [](const uint8_t* p, std::array<int, 3> bgr) {
        for (size_t i = 0; i < 3; ++i)
            if (std::abs(int(p[i]) - bgr[i]) > 8) return false;
        return true;
    };
    EXPECT_TRUE(near(lab->ScanLine(0), {0, 0, 255}));
    EXPECT_TRUE(near(lab->ScanLine(0) + 39 * 3, {0, 255, 0}));
    EXPECT_TRUE(near(lab->ScanLine(26), {255, 0, 0}));
}

TEST(TIFFReader, JPEGStripsAreCheckedAgainstTheDirectory) {
    const Bytes file = Fixture("cp-jpeg.tif");
    // The directory's subsampling disagrees with the strips' (2 x 2).
    TTIFFGraphic probe;
    TMemoryStream s(file);
    ASSERT_TRUE(probe.LoadImageProperties(s, 0));
    Bytes other = file;
    const auto& dir = probe.Directory();
    const uint32_t ifd = LoadU32LE(&other[4]);
    bool patched = false;
    for (size_t i = 0; i < dir.size() && !patched; ++i) {
        uint8_t* e = &other[ifd + 2 + 12 * i];
        // The planar configuration (1, the default) becomes a subsampling of 2 x 1.
        if (LoadU16LE(e) == 284) {
            StoreU16LE(e, 530);
            StoreU16LE(e + 2, 3);
            StoreU32LE(e + 4, 2);
            StoreU16LE(e + 8, 2);
            StoreU16LE(e + 10, 1);
            patched = true;
        }
    }
    ASSERT_TRUE(patched);
    EXPECT_EQ(Message(other), "Improper JPEG sampling factors.");
    // A strip libjpeg cannot read at all ends the load with its error code. The first strip
    // follows the header.
    Bytes garbage = file;
    std::fill_n(&garbage[8], 40, 0x5A);
    EXPECT_TRUE(Message(garbage).starts_with("JPEG error #")) << Message(garbage);

    // Strips cut short: one warning for the image, and the rows that decoded are kept.
    int warnings = 0;
    TTIFFJPEGDecoder::SetWarningHandler([&](const std::string& caption, const std::string&) {
        EXPECT_EQ(caption, "Warning");
        ++warnings;
    });
    Bytes cut = file;
    for (size_t i = 0; i < dir.size(); ++i) {
        uint8_t* e = &cut[ifd + 2 + 12 * i];
        if (LoadU16LE(e) != 279) continue;
        ASSERT_EQ(LoadU16LE(e + 2), 3); // two SHORT counts, in the entry
        StoreU16LE(e + 8, 100);
        StoreU16LE(e + 10, 100);
    }
    const auto g = Load(cut);
    TTIFFJPEGDecoder::SetWarningHandler(nullptr);
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(g->Height(), 27);
}

TEST(TIFFReader, FaxAndThunderscanStripsReachTheirDecoders) {
    // Modified Huffman strips, plain and word-aligned with fill order 2 (tests/data/fax), and a
    // Thunderscan strip (tests/data/thunder), each against the rows libtiff decodes from it.
    const auto data = [](const std::string& name) { return test::ReadFileBytes(test::DataPath(name)); };
    const Bytes text = data("fax/text.rows");
    for (const auto& [name, compression, lsb] :
         {std::tuple<const char*, uint32_t, bool>{"fax/text-mh.strip", 2, false},
          {"fax/text-mhw-lsb.strip", 32771, true}}) {
        const Bytes strip = data(name);
        auto entries = Basic(2700, 121, 1, 1, 0, uint32_t(strip.size()));
        Set(entries, {259, 3, {compression}});
        if (lsb) Set(entries, {266, 3, {2}});
        const auto g = Load(Tiff(false, entries, strip));
        ASSERT_EQ(g->PixelFormat(), pf1bit) << name;
        for (int32_t y = 0; y < 121; ++y)
            ASSERT_EQ(RowBytes(*g, y, 338), Bytes(text.begin() + y * 338, text.begin() + (y + 1) * 338))
                << name << y;
    }
    const Bytes strip = data("thunder/pattern.strip"), rows = data("thunder/pattern.rows");
    auto entries = Basic(37, 24, 4, 1, 1, uint32_t(strip.size()));
    Set(entries, {259, 3, {32809}});
    const auto g = Load(Tiff(false, entries, strip));
    ASSERT_EQ(g->PixelFormat(), pf4bit);
    for (int32_t y = 0; y < 24; ++y)
        ASSERT_EQ(RowBytes(*g, y, 19), Bytes(rows.begin() + y * 19, rows.begin() + (y + 1) * 19)) << y;
    // Fax coding has one bit a pixel.
    auto two = Basic(8, 1, 2, 1, 0, 2);
    Set(two, {259, 3, {4}});
    EXPECT_EQ(Message(Tiff(false, two, {0, 0})), Invalid);
}

TEST(EPSReader, ThePreviewIsFoundByTheHeaderAndTheHeaderIsChecked) {
    const Bytes eps = Fixture("preview.eps");
    TEPSGraphic g;
    TMemoryStream s(eps);
    EXPECT_TRUE(g.CanLoad(s));
    // No preview (length 0) and an offset inside the header are refused.
    for (const auto& [at, value] : {std::pair<size_t, uint32_t>{24, 0}, {20, 10}}) {
        Bytes bad = eps;
        StoreU32LE(&bad[at], value);
        TMemoryStream b(bad);
        EXPECT_FALSE(g.CanLoad(b));
        EXPECT_EQ(test::LoadMessage<TEPSGraphic>(bad),
                  "Cannot load image. Invalid or unexpected EPS image format.");
    }
    // A TIFF is not an EPS file, and the other way round.
    const Bytes tiff = Fixture("cp-none.tif");
    TMemoryStream t(tiff);
    EXPECT_FALSE(g.CanLoad(t));
    TTIFFGraphic asTiff;
    EXPECT_FALSE(asTiff.CanLoad(s));
}

Bytes SizedTiff(uint32_t Width, uint32_t Height) {
    auto entries = Basic(Width, Height, 8, 1, 1, 64);
    return Tiff(false, entries, Bytes(64, 0x40));
}

struct TTIFFConformance {
    using Graphic = TTIFFGraphic;
    static constexpr const char* Folder = "tif";
    static constexpr const char* Extension = ".tif";
    static constexpr size_t HeaderSize = 8;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) { return SizedTiff(Width, Height); }
    static int ComparedBits(const std::string&) { return 8; }
};

struct TEPSConformance {
    using Graphic = TEPSGraphic;
    static constexpr const char* Folder = "tif";
    static constexpr const char* Extension = ".eps";
    static constexpr size_t HeaderSize = 30;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        const Bytes tiff = SizedTiff(Width, Height);
        Bytes f(30, 0);
        StoreU32LE(&f[0], EPSMagic);
        StoreU32LE(&f[20], 30);
        StoreU32LE(&f[24], uint32_t(tiff.size()));
        f.insert(f.end(), tiff.begin(), tiff.end());
        return f;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(TIFF, ferronel::TTIFFConformance)
FERRONEL_READER_CONFORMANCE(EPS, ferronel::TEPSConformance)
