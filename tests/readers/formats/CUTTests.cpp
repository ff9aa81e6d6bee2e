#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/CUTGraphic.h"
#include "support/Bytes.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

using test::TBytes;
using Bytes = std::vector<uint8_t>;

TBytes Header(uint16_t w, uint16_t h) {
    TBytes b;
    b.U16(w).U16(h).U16(0);
    return b;
}

std::unique_ptr<TCUTGraphic> Load(const Bytes& bytes) { return test::LoadAs<TCUTGraphic>(bytes); }

using test::RowBytes;

TEST(CUTReader, LinesFollowOneAnotherAndRunsStopAtTheRow) {
    TBytes f = Header(4, 2);
    f.U8({5, 0, 0x82, 9, 2, 0x0A, 0x0B, 0}).U8({3, 0, 0x85, 7, 0});
    const auto g = Load(f.Data);
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(RowBytes(*g, 0, 4), (Bytes{9, 9, 0x0A, 0x0B}));
    EXPECT_EQ(RowBytes(*g, 1, 4), (Bytes{7, 7, 7, 7})); // a run of 5 into a row of 4
    EXPECT_EQ((*g->Palette())[9], (TPaletteEntry{9, 9, 9, 0}));
    TCUTGraphic c;
    TMemoryStream s(f.Data);
    EXPECT_FALSE(c.CanLoad(s));
}

TEST(CUTReader, DataWithoutEndCodesStopsAtTheEndOfTheFile) {
    TBytes f = Header(8, 3);
    f.U8({2, 0, 0x85, 0x11});
    const auto g = Load(f.Data);
    EXPECT_EQ(RowBytes(*g, 0, 8), (Bytes{0x11, 0x11, 0x11, 0x11, 0x11, 0, 0, 0}));
    EXPECT_EQ(RowBytes(*g, 2, 8), Bytes(8, 0));
    TBytes literal = Header(2, 1);
    literal.U8({9, 0, 0x7F, 1});
    EXPECT_EQ(RowBytes(*Load(literal.Data), 0, 2), (Bytes{1, 0}));
}

TEST(CUTReader, ThePaletteFileBesideThePicture) {
    TCUTGraphic g;
    g.LoadFromFile(test::DataPath("cut/colour.cut"));
    const TPaletteEntries& p = *g.Palette();
    // 300 entries listed, 256 kept; 6-bit values scaled from their maximum 63.
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(p[1], (TPaletteEntry{4, 250, 12, 0}));
    // Entry 78 (the 79th) would start at offset 508 of the first block: it opens the second.
    EXPECT_EQ(p[78], (TPaletteEntry{56, 198, 170, 0}));
    EXPECT_EQ(g.Width(), 9);
    EXPECT_TRUE(g.PaletteFile.empty());
}

TEST(CUTReader, MissingOrShortPaletteFiles) {
    test::TTempDir dir;
    TBytes f = Header(1, 1);
    f.U8({3, 0, 0x81, 5, 0});
    dir.Write("a.cut", f.Data);
    TCUTGraphic g;
    g.LoadFromFile(dir.Path("a.cut"));
    EXPECT_EQ((*g.Palette())[200], (TPaletteEntry{200, 200, 200, 0})); // no palette file: a grey ramp

    dir.Write("a.pal", Bytes(20, 0));
    try {
        g.LoadFromFile(dir.Path("a.cut"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Cannot load image. Palette in CUT file is invalid.");
    }
    // Fewer entries than the header lists: those there are.
    TBytes pal;
    pal.U8({'A', 'H'}).Fill(10, 0).U16(99).U16(255).U16(255).U16(255).Fill(20, 0).U16(1).U16(2).U16(3);
    dir.Write("a.pal", pal.Data);
    g.LoadFromFile(dir.Path("a.cut"));
    ASSERT_EQ(g.Palette()->size(), 1u);
    EXPECT_EQ((*g.Palette())[0], (TPaletteEntry{1, 2, 3, 0}));
}

struct TCUTConformance {
    using Graphic = TCUTGraphic;
    static constexpr const char* Folder = "cut";
    static constexpr const char* Extension = ".cut";
    static constexpr size_t HeaderSize = 6;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        TBytes f = Header(uint16_t(Width), uint16_t(Height));
        f.U8({3, 0, 0x83, 1, 0});
        return f.Data;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(CUT, ferronel::TCUTConformance)
