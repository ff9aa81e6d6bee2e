#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/AutodeskGraphic.h"
#include "support/Bytes.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

using test::TBytes;
using Bytes = std::vector<uint8_t>;

TBytes Header(uint16_t w, uint16_t h, uint8_t depth = 8, uint8_t compression = 0) {
    TBytes b;
    b.U16(0x9119).U16(w).U16(h).U16(0).U16(0).U8({depth, compression}).U32(uint32_t(w) * h).Fill(16, 0);
    return b;
}

std::unique_ptr<TAutodeskGraphic> Load(const Bytes& bytes) { return test::LoadAs<TAutodeskGraphic>(bytes); }

TEST(AutodeskReader, PaletteValuesAreSixBitAndRowsTopFirst) {
    TBytes f = Header(2, 2);
    f.U8({63, 1, 0}).Fill(255 * 3, 0).U8({0, 1, 1, 0});
    const auto g = Load(f.Data);
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ((*g->Palette())[0], (TPaletteEntry{252, 4, 0, 0}));
    EXPECT_EQ(g->ScanLine(0)[1], 1);
    EXPECT_EQ(g->ScanLine(1)[0], 1);
}

TEST(AutodeskReader, DepthAndCompressionAreCheckedWhenLoadingToo) {
    TAutodeskGraphic g;
    for (const TBytes& bad : {Header(1, 1, 16), Header(1, 1, 8, 1)}) {
        TBytes file = bad;
        file.Fill(769, 0);
        TMemoryStream s(file.Data);
        EXPECT_FALSE(g.CanLoad(s));
        try {
            Load(file.Data);
            FAIL();
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected Autodesk image format.");
        }
    }
}

TEST(AutodeskReader, ShortFilesLeaveTheRestBlack) {
    TBytes f = Header(3, 2);
    f.Fill(768, 1).U8({7, 8, 9, 10});
    const auto g = Load(f.Data);
    EXPECT_EQ(Bytes(g->ScanLine(0), g->ScanLine(0) + 3), (Bytes{7, 8, 9}));
    EXPECT_EQ(Bytes(g->ScanLine(1), g->ScanLine(1) + 3), (Bytes{10, 0, 0}));
    TBytes noPalette = Header(1, 1);
    noPalette.U8({21, 22});
    EXPECT_EQ((*Load(noPalette.Data)->Palette())[0], (TPaletteEntry{84, 88, 0, 0}));
}

struct TAutodeskConformance {
    using Graphic = TAutodeskGraphic;
    static constexpr const char* Folder = "cel";
    static constexpr const char* Extension = ".cel";
    static constexpr size_t HeaderSize = 32;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        TBytes f = Header(uint16_t(Width), uint16_t(Height));
        f.Fill(768 + 8, 0x20);
        return f.Data;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(Autodesk, ferronel::TAutodeskConformance)
