#include "support/TestData.h"
#include "tools/RunConvert.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace ferronel {
namespace {

using test::Convert;
using test::DataPath;
using test::ReadPam;
using test::TTempDir;

// A PNG file's pixels as R, G, B, A bytes, rows packed.
std::vector<uint8_t> PngPixels(const std::string& fileName, QImage* loaded = nullptr) {
    QImage image(QString::fromStdString(fileName), "png");
    if (loaded) *loaded = image;
    if (image.isNull()) return {};
    image = image.convertToFormat(QImage::Format_RGBA8888);
    std::vector<uint8_t> pixels;
    for (int y = 0; y < image.height(); ++y)
        pixels.insert(pixels.end(), image.constScanLine(y), image.constScanLine(y) + 4 * image.width());
    return pixels;
}

TEST(ConvertOutput, PngHasThePamPixelsAndOpacityOnlyWhereThePictureCarriesIt) {
    TTempDir dir;
    const struct {
        const char* input;
        bool alpha;
    } cases[] = {{"tga/im-rgba32.tga", true}, {"tga/im-rgba32r.tga", true}, {"bmp/rgb8.bmp", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        ASSERT_EQ(Convert({DataPath(c.input), dir.Path("out.png")}), 0);
        ASSERT_EQ(Convert({DataPath(c.input), dir.Path("out.pam")}), 0);
        const test::TPam pam = ReadPam(dir.Path("out.pam"));
        QImage png;
        const std::vector<uint8_t> pixels = PngPixels(dir.Path("out.png"), &png);
        ASSERT_FALSE(png.isNull());
        EXPECT_EQ(png.width(), pam.Width);
        EXPECT_EQ(png.height(), pam.Height);
        EXPECT_EQ(png.hasAlphaChannel(), c.alpha);
        EXPECT_TRUE(pixels == pam.Pixels); // the fixture's transparent pixels keep their colour too
    }
}

TEST(ConvertOutput, TheExtensionChoosesTheFormatInAnyCase) {
    TTempDir dir;
    ASSERT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("OUT.PNG")}), 0);
    EXPECT_EQ(PngPixels(dir.Path("OUT.PNG")), ReadPam(DataPath("bmp/rgb8.pam")).Pixels);
    ASSERT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("out.Pam")}), 0);
    EXPECT_EQ(ReadPam(dir.Path("out.Pam")).Pixels, ReadPam(DataPath("bmp/rgb8.pam")).Pixels);
    ASSERT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("out.TGA")}), 0);
    ASSERT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("out.Bmp")}), 0);
    std::string out;
    ASSERT_EQ(Convert({"--info", dir.Path("out.TGA")}, &out), 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), "class: TTargaGraphic");
    ASSERT_EQ(Convert({"--info", dir.Path("out.Bmp")}, &out), 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), "class: TBitmap");
}

TEST(ConvertOutput, AnOutputThatNamesNoKnownFormatIsBadUsageAndWritesNothing) {
    TTempDir dir;
    std::string err;
    EXPECT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("out.jpg")}, nullptr, &err), 2);
    EXPECT_EQ(err.substr(0, err.find('\n')), "ferronel-convert: cannot write .jpg files");
    EXPECT_NE(err.find(".bmp, .png, .pam, .tga or .gif"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.jpg")));

    // A dot in a folder name is not an extension.
    std::filesystem::create_directory(dir.Path("v1.2"));
    EXPECT_EQ(Convert({DataPath("bmp/rgb8.bmp"), dir.Path("v1.2/out")}, nullptr, &err), 2);
    EXPECT_EQ(err.substr(0, err.find('\n')),
              "ferronel-convert: " + dir.Path("v1.2/out") + ": no extension to choose the output format by");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("v1.2/out")));
}

TEST(ConvertOutput, AnEmptyPictureIsRefusedInEveryFormat) {
    TTempDir dir;
    // A true-colour Targa header that gives 0 x 0 pixels, and one byte after it.
    dir.Write("empty.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 24, 32, 0});
    for (const char* output : {"out.bmp", "out.png", "out.pam", "out.tga", "out.gif"}) {
        SCOPED_TRACE(output);
        std::string err;
        EXPECT_EQ(Convert({dir.Path("empty.tga"), dir.Path(output)}, nullptr, &err), 1);
        EXPECT_EQ(err, dir.Path("empty.tga") + ": the picture is empty (0 x 0); nothing written\n");
        EXPECT_FALSE(std::filesystem::exists(dir.Path(output)));
    }
    // Describing it is still fine.
    std::string out;
    EXPECT_EQ(Convert({"--info", dir.Path("empty.tga")}, &out), 0);
    EXPECT_NE(out.find("width: 0\nheight: 0\n"), std::string::npos);
}

TEST(ConvertOutput, InfoAddsTheHeaderFactsAReaderFound) {
    std::string out;
    ASSERT_EQ(Convert({"--info", DataPath("tga/im-rgba32r.tga")}, &out), 0);
    EXPECT_EQ(out, "class: TTargaGraphic\nwidth: 29\nheight: 17\npixel format: pf32bit\n"
                   "colour scheme: csRGBA\nbits per sample: 8\nsamples per pixel: 4\nbits per pixel: 32\n"
                   "compression: cpRLE\norientation: bottom-up\n");
    ASSERT_EQ(Convert({"--info", DataPath("tga/im-rgb16.tga")}, &out), 0);
    EXPECT_NE(
        out.find("\ncolour scheme: csRGB\nbits per sample: 5\nsamples per pixel: 3\nbits per pixel: 15\n"
                 "compression: cpNone\n"),
        std::string::npos)
        << out;
    ASSERT_EQ(Convert({"--info", DataPath("tga/im-rgb24-topdown.tga")}, &out), 0);
    EXPECT_NE(out.find("\norientation: top-down\n"), std::string::npos) << out;
    ASSERT_EQ(Convert({"--info", DataPath("tga/im-cmap8.tga")}, &out), 0);
    EXPECT_NE(out.find("\ncolour scheme: csIndexed\n"), std::string::npos) << out;
}

} // namespace
} // namespace ferronel
