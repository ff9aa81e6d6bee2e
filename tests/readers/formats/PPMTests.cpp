#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/PPMGraphic.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

#include <string>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::unique_ptr<TPPMGraphic> Load(const std::string& file) { return test::LoadAs<TPPMGraphic>(Text(file)); }

using test::RowBytes;

std::string LoadError(const std::string& file) { return test::LoadMessage<TPPMGraphic>(Text(file)); }

const std::string Invalid = "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.";

TEST(PPMReader, CommentsAndNumbersWhereverTheyStand) {
    // Sizes on the magic's line, comments between the numbers and among the text samples.
    const auto g = Load("P2 # grey\n3 # width\n# height next\n1\n255\n10 #x\n 20\n30\n");
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{10, 20, 30}));
    const auto p6 = Load(std::string("P6 2 1 255\n") + std::string("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(RowBytes(*p6, 0, 6), (Bytes{3, 2, 1, 6, 5, 4}));
    const auto p3 = Load("P3\n1 1\n255\n7 8 9");
    EXPECT_EQ(RowBytes(*p3, 0, 3), (Bytes{9, 8, 7})); // the last number may end the file
}

TEST(PPMReader, TextBitmapDigitsArePixelsWithOrWithoutSeparators) {
    const auto g = Load("P1\n4 1\n0101\n");
    EXPECT_EQ(g->PixelFormat(), pf1bit);
    EXPECT_EQ(RowBytes(*g, 0, 1), Bytes{0x50});
    EXPECT_EQ((*g->Palette())[0], (TPaletteEntry{255, 255, 255, 0})); // 0 is white
    // A width that is no multiple of 8 leaves the last pixels in the high bits.
    const auto w = Load("P1\n10 2\n1 1 1 1 1 1 1 1 1 1\n0 0 0 0 0 0 0 0 0 1\n");
    EXPECT_EQ(RowBytes(*w, 0, 2), (Bytes{0xFF, 0xC0}));
    EXPECT_EQ(RowBytes(*w, 1, 2), (Bytes{0x00, 0x40}));
    EXPECT_EQ(RowBytes(*Load(std::string("P4\n10 1\n") + "\xA5\xC0"), 0, 2), (Bytes{0xA5, 0xC0}));
}

TEST(PPMReader, SamplesAreScaledFromTheMaximum) {
    EXPECT_EQ(RowBytes(*Load("P2\n3 1\n15\n0 8 15\n"), 0, 3), (Bytes{0, 136, 255}));
    EXPECT_EQ(RowBytes(*Load(std::string("P5\n2 1\n15\n") + "\x07\x20"), 0, 2),
              (Bytes{119, 255})); // above: the top
    // Two bytes a sample above 255, high byte first.
    const auto wide = Load(std::string("P6\n1 1\n65535\n") + std::string("\xFF\xFF\x80\x00\x00\x80", 6));
    EXPECT_EQ(RowBytes(*wide, 0, 3), (Bytes{0, 128, 255}));
    EXPECT_EQ(RowBytes(*Load("P2\n1 1\n1000\n500\n"), 0, 1), Bytes{128});
}

TEST(PPMReader, BadHeadersGiveTheReadersMessage) {
    EXPECT_EQ(LoadError("P5\n1 1\n0\nx"), Invalid);
    EXPECT_EQ(LoadError("P5\n1 1\n70000\nxx"), Invalid);
    EXPECT_EQ(LoadError("P5\n4294967297 1\n255\nx"), Invalid);
    EXPECT_EQ(LoadError("P5 " + std::string(5000, '9')), Invalid);
    EXPECT_EQ(LoadError("P7\nWIDTH 1\n"), Invalid);
    EXPECT_EQ(LoadError("P0\n1 1\n"), Invalid);
    EXPECT_EQ(LoadError("Q6\n1 1\n255\nxxx"), Invalid);
    const Bytes bad = Text("P5\n1 1\n0\nx");
    TMemoryStream s(bad);
    TPPMGraphic g;
    EXPECT_FALSE(g.LoadImageProperties(s, 0));
    const Bytes never = Text("P5 99999999999999");
    TMemoryStream n(never);
    EXPECT_FALSE(g.LoadImageProperties(n, 0));
}

TEST(PPMReader, AZeroSideIsAnEmptyPictureAtOnce) {
    // Two thousand million rows of nothing must not be walked one by one.
    for (const char* file : {"P4 0 2000000000\n", "P5 2000000000 0 255\n", "P1 0 0\n"}) {
        const auto p = Load(file);
        EXPECT_TRUE(p->Empty()) << file;
        EXPECT_EQ(p->Height(), 0) << file;
    }
}

TEST(PPMReader, DataThatEndsEarlyIsAReadError) {
    const std::string readError = "Stream read error in PPM file.";
    EXPECT_EQ(LoadError("P5\n10 10\n255\n" + std::string(20, 'a')), readError);
    EXPECT_EQ(LoadError("P2\n3 1\n255\n1 2"), readError);
    EXPECT_EQ(LoadError("P6\n2 1\n"), readError);
    // A long file read in several blocks is no error.
    const auto big = Load("P5\n5000 2\n255\n" + std::string(10000, 'z'));
    EXPECT_EQ(big->ScanLine(1)[4999], 'z');
}

struct TPPMConformance {
    using Graphic = TPPMGraphic;
    static constexpr const char* Folder = "pnm";
    static constexpr const char* Extension = ".pnm";
    static constexpr size_t HeaderSize = 10;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return Text("P6\n" + std::to_string(Width) + " " + std::to_string(Height) + "\n255\n" +
                    std::string(12, '@'));
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(PPM, ferronel::TPPMConformance)
