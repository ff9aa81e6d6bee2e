#include "host/ByteReader.h"
#include "linear/BufferedStream.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"
#include "linear/PNGLoader.h"
#include "readers/formats/PNGGraphic.h"
#include "support/Deflate.h"
#include "support/PngBuilder.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

using test::TPng;

void Load(const Bytes& File, TLinearBitmap& Bitmap, TPNGLoader& Loader) {
    TMemStream stream;
    stream.Write(File.data(), int32_t(File.size()));
    stream.SetPosition(0);
    Loader.LoadFromStream(stream, "PNG", Bitmap);
}

std::string LoadError(const Bytes& File) {
    TLinearBitmap bitmap;
    TPNGLoader loader;
    try {
        Load(File, bitmap, loader);
    } catch (const Exception& e) {
        return e.what();
    }
    return "loaded";
}

TEST(PNGLoader, GreyAndSixteenBitPictures) {
    // Grey at 1 bit: an 8-bit bitmap with black and white as the first two entries.
    TLinearBitmap bitmap;
    TPNGLoader loader;
    Load(TPng().IHDR(3, 1, 1, pcGrey).Chunk("IDAT", test::Deflate({0, 0xA0})).IEND().Data, bitmap, loader);
    ASSERT_EQ(bitmap.PixelFormat(), lpf8bit);
    EXPECT_EQ(Bytes(bitmap.Map(), bitmap.Map() + 3), (Bytes{1, 0, 1}));
    EXPECT_EQ(Bytes(bitmap.Palette(), bitmap.Palette() + 7), (Bytes{0, 0, 0, 255, 255, 255, 0}));
    // RGB at 16 bits: the high bytes, blue first.
    Load(TPng()
             .IHDR(1, 1, 16, pcRGB)
             .Chunk("IDAT", test::Deflate({0, 0x11, 0x99, 0x22, 0x99, 0x33, 0x99}))
             .IEND()
             .Data,
         bitmap, loader);
    ASSERT_EQ(bitmap.PixelFormat(), lpf24bit);
    EXPECT_EQ(Bytes(bitmap.Map(), bitmap.Map() + 3), (Bytes{0x33, 0x22, 0x11}));
    // Grey at 16 bits: little-endian samples.
    Load(TPng().IHDR(1, 1, 16, pcGrey).Chunk("IDAT", test::Deflate({0, 0x12, 0x34})).IEND().Data, bitmap,
         loader);
    ASSERT_EQ(bitmap.PixelFormat(), lpf16bitGrey);
    EXPECT_EQ(Bytes(bitmap.Map(), bitmap.Map() + 2), (Bytes{0x34, 0x12}));
}

TEST(PNGLoader, ChunksAroundTheImage) {
    const Bytes rows = {0, 1, 2, 3, 0, 4, 5, 6};
    const Bytes z = test::Deflate(rows);
    auto picture = [&](TPng& P) -> TPng& { return P.IHDR(1, 2, 8, pcRGB); };
    TLinearBitmap bitmap;
    TPNGLoader loader;
    // Image data over three IDAT chunks, only the last one's CRC checked; a text chunk with a
    // wrong CRC skipped; no IEND at the end.
    TPng split;
    picture(split)
        .Chunk("tEXt", {'a', 0, 'b'}, 5)
        .Chunk("IDAT", Bytes(z.begin(), z.begin() + 3), 1)
        .Chunk("IDAT", Bytes(z.begin() + 3, z.begin() + 7))
        .Chunk("IDAT", Bytes(z.begin() + 7, z.end()));
    Load(split.Data, bitmap, loader);
    EXPECT_EQ(Bytes(bitmap.Map(), bitmap.Map() + 6), (Bytes{3, 2, 1, 6, 5, 4}));
    TPng lastCrc;
    picture(lastCrc)
        .Chunk("IDAT", Bytes(z.begin(), z.begin() + 5))
        .Chunk("IDAT", Bytes(z.begin() + 5, z.end()), 1)
        .IEND();
    EXPECT_EQ(LoadError(lastCrc.Data), SCRCError);
    // The zlib checksum alone in the last chunk: the deflate data ends in an earlier one.
    TPng trailer;
    picture(trailer)
        .Chunk("IDAT", Bytes(z.begin(), z.end() - 4))
        .Chunk("IDAT", Bytes(z.end() - 4, z.end()))
        .IEND();
    EXPECT_EQ(LoadError(trailer.Data), "loaded");
    // After the image data, a file cut inside a chunk keeps the picture.
    TPng cut;
    picture(cut).Chunk("IDAT", z).Chunk("tEXt", Bytes(40, 'x'));
    cut.Data.resize(cut.Data.size() - 20);
    EXPECT_EQ(LoadError(cut.Data), "loaded");
    TPng badAdler;
    Bytes wrong = z;
    wrong.back() ^= 1;
    picture(badAdler).Chunk("IDAT", wrong).IEND();
    EXPECT_EQ(LoadError(badAdler.Data), SAdler32Error);
    // Critical chunks nobody knows are refused; so is a file without a header chunk.
    TPng unknown;
    picture(unknown).Chunk("ABCD", {}).Chunk("IDAT", z).IEND();
    EXPECT_EQ(LoadError(unknown.Data), SUnsupportedPNGData);
    EXPECT_EQ(LoadError(TPng().IEND().Data), SUnsupportedPNGData);
    EXPECT_EQ(LoadError(TPng().Chunk("IDAT", z).IEND().Data), SInvalidPNGData);
    EXPECT_EQ(LoadError({1, 2, 3, 4, 5, 6, 7, 8}), SInvalidPNGHeader);
    TPng other;
    picture(other).Chunk("IDAT", z).Chunk("IEND", {}, 1);
    EXPECT_EQ(LoadError(other.Data), SCRCError);
}

TEST(PNGLoader, PalettesAndTransparency) {
    TLinearBitmap bitmap;
    TPNGLoader loader;
    const Bytes z = test::Deflate({0, 2});
    Load(TPng()
             .IHDR(1, 1, 8, pcPalette)
             .Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90})
             .Chunk("tRNS", {255, 128, 0, 0})
             .Chunk("IDAT", z)
             .IEND()
             .Data,
         bitmap, loader);
    EXPECT_EQ(loader.TransparentColor, 2);
    EXPECT_EQ(Bytes(bitmap.Palette(), bitmap.Palette() + 12),
              (Bytes{30, 20, 10, 60, 50, 40, 90, 80, 70, 0, 0, 0}));
    // A palette chunk longer than 256 entries fills the 256 and no more.
    Bytes big(3000, 7);
    Load(TPng().IHDR(1, 1, 8, pcPalette).Chunk("PLTE", big).Chunk("IDAT", z).IEND().Data, bitmap, loader);
    EXPECT_EQ(bitmap.Palette()[767], 7);
    // A bit depth the colour type does not have would give rows wider than the bitmap's.
    const Bytes wide = test::Deflate(Bytes(129, 0));
    EXPECT_EQ(
        LoadError(TPng().IHDR(64, 1, 16, pcPalette).Chunk("PLTE", {1, 2, 3}).Chunk("IDAT", wide).IEND().Data),
        SInvalidPNGData);
    EXPECT_EQ(LoadError(TPng().IHDR(8, 1, 4, pcRGBAlpha).Chunk("IDAT", wide).IEND().Data), SInvalidPNGData);
    EXPECT_EQ(LoadError(TPng().IHDR(8, 1, 2, pcRGB).Chunk("IDAT", wide).IEND().Data), SInvalidPNGData);
}

TEST(PNGLoader, MngShowsItsFirstImage) {
    TLinearBitmap bitmap;
    TPNGLoader loader;
    Bytes mhdr(28, 0);
    mhdr[3] = 1;
    mhdr[7] = 2;
    TPng mng;
    mng.Mng()
        .Chunk("MHDR", mhdr)
        .Chunk("TERM", {0})
        .Chunk("FRAM", {1})
        .IHDR(1, 2, 8, pcRGB)
        .Chunk("IDAT", test::Deflate({0, 1, 2, 3, 0, 4, 5, 6}))
        .IEND()
        .IHDR(1, 1, 8, pcGrey)
        .Chunk("IDAT", test::Deflate({0, 9}))
        .IEND()
        .Chunk("MEND", {});
    Load(mng.Data, bitmap, loader);
    EXPECT_EQ(bitmap.Width(), 1);
    EXPECT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(Bytes(bitmap.Map(), bitmap.Map() + 6), (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(PNGLoader, MatchesTheReaderLibraryOnItsPngFiles) {
    size_t compared = 0;
    for (const test::TFixture& f : test::Fixtures("png", ".png")) {
        TPNGGraphic ours;
        TMemoryStream a(f.Bytes);
        ours.LoadFromStream(a);
        std::vector<uint8_t> expected;
        if (f.Name.rfind("gamma", 0) == 0) {
            // The reader library applies gamma, this loader does not: compare with the raw pixels.
            expected =
                test::ReadPam(test::DataPath("png/" + f.Name.substr(0, f.Name.size() - 4) + "-raw.pam"))
                    .Pixels;
        } else {
            ferronel::TPNGGraphic theirs;
            TMemoryStream b(f.Bytes);
            theirs.LoadFromStream(b);
            expected = test::Rgba(theirs);
        }
        const std::vector<uint8_t> got = test::Rgba(ours);
        ASSERT_EQ(got.size(), expected.size()) << f.Name;
        // This loader keeps no opacity: compare the colours.
        for (size_t i = 0; i < got.size(); ++i)
            if (i % 4 != 3) {
                ASSERT_EQ(got[i], expected[i]) << f.Name << " byte " << i;
            }
        ++compared;
    }
    EXPECT_GT(compared, 30u);
}

// A bitmap of the format with varied pixels.
void Paint(TLinearBitmap& Bitmap, uint8_t Format) {
    Bitmap.Allocate(37, 23, Format);
    for (int64_t i = 0; i < Bitmap.Size(); ++i)
        Bitmap.Map()[i] = uint8_t((i * 7 + i / 111 * 13) % (Format == lpf8bit ? 5 : 256));
    if (Format == lpf8bit) {
        // Entry 1 is black but used: the palette must still reach it.
        std::memset(Bitmap.Palette(), 0, 768);
        const uint8_t colours[] = {255, 255, 255, 0, 0, 0, 10, 200, 30, 40, 50, 60, 1, 2, 3};
        std::memcpy(Bitmap.Palette(), colours, sizeof colours);
    }
}

Bytes Save(TLinearBitmap& Bitmap, const char* Ext, int32_t FilterMode = -1) {
    TPNGLoader loader;
    loader.FilterMode = FilterMode;
    TMemStream out;
    loader.SaveToStream(out, Ext, Bitmap);
    Bytes file(size_t(out.GetSize()));
    out.SetPosition(0);
    out.Read(file.data(), int32_t(file.size()));
    return file;
}

TEST(PNGLoader, WrittenFilesReadBackHereAndInTheReaderLibrary) {
    for (const uint8_t format : {lpf8bit, lpf16bitGrey, lpf24bit}) {
        TLinearBitmap original;
        Paint(original, format);
        for (const char* ext : {"PNG", "MNG"}) {
            const Bytes file = Save(original, ext);
            TLinearBitmap back;
            TPNGLoader loader;
            Load(file, back, loader);
            ASSERT_EQ(back.PixelFormat(), format) << ext;
            EXPECT_EQ(Bytes(back.Map(), back.Map() + back.Size()),
                      Bytes(original.Map(), original.Map() + original.Size()))
                << ext << " format " << int(format);
            if (format == lpf8bit) {
                EXPECT_EQ(Bytes(back.Palette(), back.Palette() + 15),
                          Bytes(original.Palette(), original.Palette() + 15));
            }
            // An independent reader sees the same picture (16-bit samples it scales to 8 bits its own
            // way, so those are compared above only).
            if (std::string(ext) == "MNG" || format == lpf16bitGrey) continue;
            TLinearGraphic ours;
            ours.Bitmap().Assign(original);
            ferronel::TPNGGraphic theirs;
            TMemoryStream stream(file);
            theirs.LoadFromStream(stream);
            EXPECT_EQ(test::Rgba(theirs), test::Rgba(ours)) << "format " << int(format);
        }
    }
    // Every filter choice gives the same picture.
    TLinearBitmap rgb;
    Paint(rgb, lpf24bit);
    for (int32_t mode = -3; mode <= 4; ++mode) {
        TLinearBitmap back;
        TPNGLoader loader;
        Load(Save(rgb, "PNG", mode), back, loader);
        EXPECT_EQ(Bytes(back.Map(), back.Map() + back.Size()), Bytes(rgb.Map(), rgb.Map() + rgb.Size()))
            << mode;
    }
    TLinearBitmap empty;
    EXPECT_THROW(Save(empty, "PNG"), ELinearBitmap);
}

struct TMNGConformance {
    using Graphic = TMNGGraphic;
    static constexpr const char* Folder = "mng";
    static constexpr const char* Extension = ".mng";
    static constexpr size_t HeaderSize = 8;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return TPng()
            .Mng()
            .Chunk("MHDR", Bytes(28, 0))
            .IHDR(Width, Height, 8, pcRGB)
            .Chunk("IDAT", test::Deflate(Bytes(64, 0x40)))
            .IEND()
            .Data;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel::linear

FERRONEL_READER_CONFORMANCE(MNG, ferronel::linear::TMNGConformance)
