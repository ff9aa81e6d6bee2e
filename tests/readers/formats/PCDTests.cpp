#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/PCDGraphic.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Fixture(const std::string& Name) { return test::ReadFileBytes(test::DataPath("pcd/" + Name)); }

Bytes Rotated(Bytes pack, uint8_t rotation) {
    pack[3586] = uint8_t(0xF4 | rotation); // only the low two bits count
    return pack;
}

// The 3-byte pixel at column x of row y.
Bytes Pixel(const TBitmap& b, int32_t x, int32_t y) {
    const uint8_t* p = b.ScanLine(y) + 3 * size_t(x);
    return {p[0], p[1], p[2]};
}

TEST(PCDReader, RotationBitsTurnThePictureUpright) {
    const Bytes base = Fixture("base.pcd");
    const auto upright = test::LoadAs<TPCDGraphic>(base);
    ASSERT_EQ(upright->Width(), 768);
    ASSERT_EQ(upright->Height(), 512);
    const auto half = test::LoadAs<TPCDGraphic>(Rotated(base, 2));
    EXPECT_EQ(half->Width(), 768);
    EXPECT_EQ(test::Rgba(*half), test::Rgba(*upright));

    const auto ccw = test::LoadAs<TPCDGraphic>(Rotated(base, 1));
    const auto cw = test::LoadAs<TPCDGraphic>(Rotated(base, 3));
    for (const auto* g : {ccw.get(), cw.get()}) {
        EXPECT_EQ(g->Width(), 512);
        EXPECT_EQ(g->Height(), 768);
        EXPECT_EQ(g->PixelFormat(), pf24bit);
    }
    // A quarter turn one way and the other: the stored top right lands top left, or bottom right.
    for (const auto& [x, y] : {std::pair{0, 0}, {767, 0}, {0, 511}, {100, 300}, {767, 511}}) {
        EXPECT_EQ(Pixel(*ccw, y, 767 - x), Pixel(*upright, x, y)) << x << "," << y;
        EXPECT_EQ(Pixel(*cw, 511 - y, x), Pixel(*upright, x, y)) << x << "," << y;
    }
}

TEST(PCDReader, PropertiesFollowTheAskedResolution) {
    const Bytes base = Rotated(Fixture("base.pcd"), 1);
    TPCDGraphic g;
    const auto ask = [&](const Bytes& bytes, uint32_t resolution) {
        TMemoryStream s(bytes);
        EXPECT_TRUE(g.LoadImageProperties(s, resolution));
        return g.ImageProperties();
    };
    const TImageProperties four = ask(Fixture("base.pcd"), 4);
    EXPECT_EQ(four.Width, 3072u);
    EXPECT_EQ(four.Height, 2048u);
    EXPECT_EQ(four.Compression, cpPCDHuffman);
    EXPECT_EQ(four.ColorScheme, csPhotoYCC);
    EXPECT_EQ(four.PCDVersion, 0x0100);
    const TImageProperties nine = ask(Fixture("base.pcd"), 9);
    EXPECT_EQ(nine.Width, 6144u);
    EXPECT_EQ(nine.Height, 4096u);
    const TImageProperties turned = ask(base, 2);
    EXPECT_EQ(turned.Width, 512u);
    EXPECT_EQ(turned.Height, 768u);
    EXPECT_EQ(turned.Compression, cpNone);
    EXPECT_EQ(turned.PCDRotation, 1);
    const TImageProperties overview = ask(Fixture("overview.pcd"), 2);
    EXPECT_TRUE(overview.PCDOverview);
    EXPECT_EQ(overview.Width, 192u);
    EXPECT_EQ(overview.Height, 128u);
}

TEST(PCDReader, AnythingButAPackLoadsEmptyAndAShortPackIsRefused) {
    Bytes other(8000, 0x11);
    EXPECT_TRUE(test::LoadAs<TPCDGraphic>(other)->Empty());
    TMemoryStream s(other);
    EXPECT_FALSE(TPCDGraphic().CanLoad(s));
    // The header is there, the Base image is cut short.
    Bytes base = Fixture("base.pcd");
    base.resize(base.size() - 1);
    EXPECT_EQ(test::LoadMessage<TPCDGraphic>(base),
              "Cannot load image. Invalid or unexpected PCD image format.");
}

struct TPCDConformance {
    using Graphic = TPCDGraphic;
    static constexpr const char* Folder = "pcd";
    static constexpr const char* Extension = ".pcd";
    static constexpr size_t HeaderSize = TPCDHeader::Size;
    static constexpr uint32_t MaxSide = 768;
    // A pack's sizes are fixed: whatever size is asked, the pack holds its header and no picture,
    // which is refused.
    static std::vector<uint8_t> WithSize(uint32_t, uint32_t) {
        Bytes pack(TPCDHeader::Size + 1, 0);
        std::memcpy(&pack[TPCDHeader::SectorSize], "PCD_IPI", 7);
        return pack;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(PCD, ferronel::TPCDConformance)
