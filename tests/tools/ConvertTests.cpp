#include "support/MetafileBuilder.h"
#include "support/TestData.h"
#include "tools/RunConvert.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ferronel {
namespace {

using test::Convert;
using test::DataPath;
using test::ReadPam;
using test::TTempDir;

TEST(Convert, InfoNamesClassSizeAndFormat) {
    std::string out;
    ASSERT_EQ(Convert({"--info", DataPath("bmp/rle4.bmp")}, &out), 0);
    EXPECT_EQ(out, "class: TBitmap\nwidth: 13\nheight: 6\npixel format: pf4bit\n");
}

TEST(Convert, BmpOutputKeepsPixels) {
    TTempDir dir;
    ASSERT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("copy.bmp")}), 0);
    ASSERT_EQ(Convert({dir.Path("copy.bmp"), dir.Path("copy.pam")}), 0);
    EXPECT_EQ(ReadPam(dir.Path("copy.pam")).Pixels, ReadPam(DataPath("bmp/rgb8.pam")).Pixels);
}

TEST(Convert, WritesTargaThatReadsBack) {
    TTempDir dir;
    ASSERT_EQ(Convert({DataPath("bmp/rgb24.bmp"), dir.Path("copy.tga")}), 0);
    ASSERT_EQ(Convert({dir.Path("copy.tga"), dir.Path("copy.pam")}), 0);
    EXPECT_EQ(ReadPam(dir.Path("copy.pam")).Pixels, ReadPam(DataPath("bmp/rgb24.pam")).Pixels);
    std::string out;
    ASSERT_EQ(Convert({"--info", dir.Path("copy.tga")}, &out), 0);
    EXPECT_EQ(out, "class: TTargaGraphic\nwidth: 37\nheight: 23\npixel format: pf24bit\n"
                   "colour scheme: csRGB\nbits per sample: 8\nsamples per pixel: 3\nbits per pixel: 24\n"
                   "compression: cpRLE\norientation: top-down\n");
}

TEST(Convert, ReadsTheFirstImageOfACursorWithoutAsking) {
    TTempDir dir;
    ASSERT_EQ(Convert({DataPath("cur/netpbm.cur"), dir.Path("first.pam")}), 0);
    EXPECT_EQ(ReadPam(dir.Path("first.pam")).Pixels, ReadPam(DataPath("cur/netpbm.pam")).Pixels);
    std::string out;
    ASSERT_EQ(Convert({"--info", DataPath("cur/netpbm.cur")}, &out), 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), "class: TCURGraphic");
}

TEST(Convert, MetafilesBecomeBitmapsOfTheirSize) {
    TTempDir dir;
    test::TWmfBuilder wmf;
    wmf.Rec(0x020B, {0, 0}).Rec(0x020C, {100, 100}).Rec(0x02FC, {0, 0x00FF, 0, 0}).Rec(0x012D, {0});
    wmf.Rec(0x041B, {100, 100, 50, 0});                           // the lower half red
    dir.Write("half.wmf", wmf.File(true, 0, 0, 1440, 720, 1440)); // one inch by half an inch
    ASSERT_EQ(Convert({dir.Path("half.wmf"), dir.Path("half.pam")}), 0);
    const test::TPam pam = ReadPam(dir.Path("half.pam"));
    EXPECT_EQ(pam.Width, 96);
    EXPECT_EQ(pam.Height, 48);
    auto pixel = [&](int x, int y) {
        const uint8_t* p = pam.Pixels.data() + 4 * (size_t(y) * size_t(pam.Width) + size_t(x));
        return std::vector<uint8_t>(p, p + 3);
    };
    EXPECT_EQ(pixel(48, 40), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(pixel(48, 5), (std::vector<uint8_t>{0, 0, 0}));

    test::TEmfBuilder emf;
    emf.Rec(39, {1, 0, 0xFF0000, 0}).Rec(37, {1}).Rec(43, {0, 0, 50, 100});
    dir.Write("left.emf", emf.File());
    std::string out;
    ASSERT_EQ(Convert({"--info", dir.Path("left.emf")}, &out), 0);
    EXPECT_EQ(out, "class: TMetafile\nwidth: 100\nheight: 100\npixel format: -\n");
    ASSERT_EQ(Convert({dir.Path("left.emf"), dir.Path("left.bmp")}), 0);
    ASSERT_EQ(Convert({dir.Path("left.bmp"), dir.Path("left.pam")}), 0);
    const test::TPam left = ReadPam(dir.Path("left.pam"));
    EXPECT_EQ(left.Width, 100);
    EXPECT_EQ(std::vector<uint8_t>(left.Pixels.begin() + 4 * 110, left.Pixels.begin() + 4 * 110 + 3),
              (std::vector<uint8_t>{0, 0, 255}));
}

TEST(Convert, ExitStatusAndMessages) {
    TTempDir dir;
    std::string err;
    EXPECT_EQ(Convert({}, nullptr, &err), 2);
    EXPECT_NE(err.find("usage"), std::string::npos);
    EXPECT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("out.xyz")}), 2);
    EXPECT_EQ(Convert({"--bogus", "x"}), 2);

    EXPECT_EQ(Convert({dir.Path("picture.xyz"), dir.Path("out.pam")}, nullptr, &err), 1);
    EXPECT_EQ(err, "Unknown picture file extension (.xyz)\n");

    dir.Write("broken.bmp", {'B', 'M', 1, 2, 3});
    EXPECT_EQ(Convert({dir.Path("broken.bmp"), dir.Path("out.pam")}, nullptr, &err), 1);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(Convert({dir.Path("missing.bmp"), dir.Path("out.pam")}, nullptr, &err), 1);
    EXPECT_NE(err.find("missing.bmp"), std::string::npos);
}

} // namespace
} // namespace ferronel
