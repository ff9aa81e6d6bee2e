#include "gif/GIFImage.h"
#include "host/Stream.h"
#include "support/TestData.h"
#include "tools/RunConvert.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace ferronel {
namespace {

using test::Convert;
using test::DataPath;
using test::ReadPam;
using test::TTempDir;

std::unique_ptr<TGIFImage> LoadGif(const std::string& Path) {
    auto image = std::make_unique<TGIFImage>();
    TFileStream s(Path, fmOpenRead);
    image->LoadFromStream(s);
    return image;
}

TEST(ConvertGif, IndexedPicturesKeepTheirColours) {
    TTempDir dir;
    for (bool rle : {false, true}) {
        std::vector<std::string> args{DataPath("bmp/rgb8.bmp"), dir.Path("copy.gif")};
        if (rle) args.insert(args.begin(), "--rle");
        ASSERT_EQ(Convert(args), 0);
        ASSERT_EQ(Convert({dir.Path("copy.gif"), dir.Path("copy.pam")}), 0);
        EXPECT_EQ(ReadPam(dir.Path("copy.pam")).Pixels, ReadPam(DataPath("bmp/rgb8.pam")).Pixels);
    }
}

TEST(ConvertGif, AnimationsKeepFramesTimingDisposalAndLoops) {
    TTempDir dir;
    for (const char* name : {"gif/anim-disposal.gif", "gif/anim-loop1.gif", "gif/im-interlaced.gif"}) {
        ASSERT_EQ(Convert({"--rle", DataPath(name), dir.Path("copy.gif")}), 0) << name;
        const auto original = LoadGif(DataPath(name));
        const auto copy = LoadGif(dir.Path("copy.gif"));
        ASSERT_EQ(copy->Images().size(), original->Images().size());
        for (size_t i = 0; i < copy->Images().size(); ++i) {
            const TGIFSubImage& a = *original->Images()[i];
            const TGIFSubImage& b = *copy->Images()[i];
            EXPECT_EQ(b.PixelData, a.PixelData);
            EXPECT_EQ(b.BoundsRect(), a.BoundsRect());
            EXPECT_EQ(b.Delay(), a.Delay());
            EXPECT_EQ(b.Disposal(), a.Disposal());
            EXPECT_EQ(b.IsTransparent, a.IsTransparent);
            EXPECT_EQ(b.Interlaced(), a.Interlaced());
            EXPECT_EQ(b.ExtensionBlocks.size(), a.ExtensionBlocks.size());
        }
        for (size_t i = 0; i < copy->Images()[0]->ExtensionBlocks.size(); ++i) {
            auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(copy->Images()[0]->ExtensionBlocks[i].get());
            if (!loop) continue;
            EXPECT_EQ(loop->LoopCount,
                      dynamic_cast<TGIFAppExtNSLoop&>(*original->Images()[0]->ExtensionBlocks[i]).LoopCount);
        }
    }
}

TEST(ConvertGif, TrueColourIsReducedCloseToTheOriginal) {
    TTempDir dir;
    const test::TPam original = ReadPam(DataPath("bmp/rgb24.pam"));
    auto meanError = [&](const std::vector<std::string>& Options) {
        std::vector<std::string> args = Options;
        args.push_back(DataPath("bmp/rgb24.bmp"));
        args.push_back(dir.Path("reduced.gif"));
        EXPECT_EQ(Convert(args), 0);
        EXPECT_EQ(Convert({dir.Path("reduced.gif"), dir.Path("reduced.pam")}), 0);
        const test::TPam pam = ReadPam(dir.Path("reduced.pam"));
        EXPECT_EQ(pam.Width, original.Width);
        EXPECT_EQ(pam.Pixels.size(), original.Pixels.size());
        double sum = 0;
        for (size_t i = 0; i < pam.Pixels.size() && i < original.Pixels.size(); ++i)
            sum += std::abs(int(pam.Pixels[i]) - int(original.Pixels[i]));
        return sum / double(original.Pixels.size());
    };
    // The colour cube is at most 25 away per component; a palette of the picture's own colours does
    // better.
    EXPECT_LT(meanError({}), 20.0);
    EXPECT_LT(meanError({"--reduction", "7", "--dither", "1", "--rle"}), meanError({}));
    EXPECT_LT(meanError({"--reduction", "7", "--depth", "3"}), 40.0);
}

TEST(ConvertGif, PixelsLessThanHalfOpaqueBecomeTransparent) {
    TTempDir dir;
    const test::TPam original = ReadPam(DataPath("bmp/rgba32.pam"));
    for (const char* reduction : {"6", "2"}) { // a spare table entry, and a full table
        ASSERT_EQ(Convert({"--reduction", reduction, DataPath("bmp/rgba32.bmp"), dir.Path("alpha.gif")}), 0);
        const auto image = LoadGif(dir.Path("alpha.gif"));
        const TGIFSubImage& frame = *image->Images().at(0);
        ASSERT_TRUE(frame.IsTransparent);
        EXPECT_LE(frame.ActiveColorMap().EntryCount(), 256u);
        for (size_t i = 0; i < frame.PixelData.size(); ++i)
            EXPECT_EQ(frame.PixelData[i] == frame.TransparentIndex(), original.Pixels[4 * i + 3] < 128) << i;
    }
}

TEST(ConvertGif, OptionsAreChecked) {
    TTempDir dir;
    std::string err;
    EXPECT_EQ(Convert({"--depth", "9", DataPath("bmp/rgb24.bmp"), dir.Path("x.gif")}, nullptr, &err), 2);
    EXPECT_NE(err.find("usage"), std::string::npos);
    EXPECT_EQ(Convert({"--dither", "x", DataPath("bmp/rgb24.bmp"), dir.Path("x.gif")}), 2);
    EXPECT_EQ(Convert({"--reduction", "0", DataPath("bmp/rgb24.bmp"), dir.Path("x.gif")}), 2);
    EXPECT_EQ(Convert({"--rle", DataPath("bmp/rgb24.bmp"), dir.Path("x.png")}, nullptr, &err), 2);
    EXPECT_NE(err.find(".gif"), std::string::npos);
}

} // namespace
} // namespace ferronel
