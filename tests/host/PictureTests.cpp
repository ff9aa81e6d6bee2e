#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/formats/Icon.h"
#include "host/formats/Metafile.h"
#include "host/Picture.h"
#include "host/Stream.h"
#include "support/Bytes.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

// A graphic that reports progress while it loads and fails on files that say "fail".
class TProbeGraphic : public TBitmap {
    FERRONEL_CLASS(TProbeGraphic, TBitmap)
public:
    void LoadFromStream(TStream& Stream) override {
        Progress(this, psStarting, 0, false, TRect{}, "Loading");
        char c = 0;
        Stream.Read(&c, 1);
        if (c == 'f') throw EInvalidGraphic("probe failed");
        SetPixelFormat(pf8bit);
        SetSize(3, 2);
        Progress(this, psEnding, 100, false, TRect{}, "");
    }
};

class TOtherGraphic : public TProbeGraphic {
    FERRONEL_CLASS(TOtherGraphic, TProbeGraphic)
};

TEST(PictureRegistry, StartsWithThePlatformEntries) {
    const TPictureRegistry r;
    ASSERT_EQ(r.Entries().size(), 4u);
    EXPECT_EQ(r.Entries()[0].Extension, "wmf");
    EXPECT_EQ(r.Entries()[1].Description, "Enhanced Metafiles");
    EXPECT_EQ(r.Entries()[2].GraphicClass, TIcon::ClassInfo());
    EXPECT_EQ(r.Entries()[3].GraphicClass, TBitmap::ClassInfo());
    EXPECT_EQ(
        r.GraphicFilter(TGraphic::ClassInfo()),
        "All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|"
        "Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
}

TEST(PictureRegistry, NewestRegistrationWinsWithoutRegardToCase) {
    TPictureRegistry r;
    r.RegisterFileFormat("PNG", "First", TProbeGraphic::ClassInfo());
    r.RegisterFileFormat("png", "Second", TOtherGraphic::ClassInfo());
    EXPECT_EQ(r.Entries()[4].Extension, "png");
    EXPECT_EQ(r.FindExt("png"), TOtherGraphic::ClassInfo());
    EXPECT_EQ(r.FindExt("PNG"), TOtherGraphic::ClassInfo());
    EXPECT_EQ(r.FindExt("Png"), TOtherGraphic::ClassInfo());
    EXPECT_EQ(r.FindExt("pnm"), nullptr);
    EXPECT_EQ(r.FindExt(""), nullptr);

    // Duplicates stay in the filter, newest first.
    r.RegisterFileFormat("bmp", "Windows bitmaps", TBitmap::ClassInfo());
    EXPECT_EQ(r.GraphicFilter(TGraphic::ClassInfo()),
              "All (*.bmp;*.png;*.png;*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.png;*.png;*.bmp;*.ico;*.emf;*.wmf|"
              "Windows bitmaps (*.bmp)|*.bmp|Second (*.png)|*.png|First (*.png)|*.png|Bitmaps (*.bmp)|*.bmp|"
              "Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
    // One matching entry gives no all-formats entry; entries without extension are left out.
    r.RegisterFileFormat("", "Nameless", TOtherGraphic::ClassInfo());
    EXPECT_EQ(r.GraphicFilter(TOtherGraphic::ClassInfo()), "Second (*.png)|*.png");
}

TEST(PictureRegistry, UnregisteringAClassTakesItsDescendants) {
    TPictureRegistry r;
    r.RegisterFileFormat("a", "", TProbeGraphic::ClassInfo());
    r.RegisterFileFormat("b", "", TOtherGraphic::ClassInfo());
    r.RegisterFileFormat("c", "", TMetafile::ClassInfo());
    r.UnregisterGraphicClass(TBitmap::ClassInfo());
    std::vector<std::string> left;
    for (const auto& e : r.Entries()) left.push_back(e.Extension);
    EXPECT_EQ(left, (std::vector<std::string>{"wmf", "emf", "ico", "c"}));
}

TEST(PictureRegistry, ExtensionIsTheTextAfterTheLastDotOfTheFileName) {
    EXPECT_EQ(ExtractPictureExtension("/pics/photo.XYZ"), "XYZ");
    EXPECT_EQ(ExtractPictureExtension("/pics/a.tar.Gz"), "Gz");
    EXPECT_EQ(ExtractPictureExtension("/home/old.pics/scan"), "");
    EXPECT_EQ(ExtractPictureExtension("scan"), "");
    EXPECT_EQ(ExtractPictureExtension("dot."), "");
}

class PictureLoad : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterFileFormat("probe", "Probe", TProbeGraphic::ClassInfo());
        dir.Write("good.probe", {'g'});
        dir.Write("bad.probe", {'f'});
        picture.OnChange = [this](TObject*) { events.push_back("change"); };
        picture.OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t, bool, const TRect&,
                                    const std::string&) {
            events.push_back(stage == psStarting ? "start" : "end");
            EXPECT_TRUE(dynamic_cast<TProbeGraphic*>(sender));
        };
    }
    void TearDown() override { UnregisterGraphicClass(TProbeGraphic::ClassInfo()); }

    std::string FailureOf(const std::string& name) {
        try {
            picture.LoadFromFile(name);
        } catch (const Exception& e) {
            return e.Message();
        }
        return "no error";
    }

    test::TTempDir dir;
    TPicture picture;
    std::vector<std::string> events;
};

TEST_F(PictureLoad, ProgressDuringTheLoadAndOneChangeAfterIt) {
    picture.LoadFromFile(dir.Path("good.probe"));
    EXPECT_EQ(events, (std::vector<std::string>{"start", "end", "change"}));
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_EQ(picture.Height(), 2);
    // From now on the graphic's changes reach the picture.
    events.clear();
    static_cast<TBitmap*>(picture.Graphic())->SetSize(5, 5);
    EXPECT_EQ(events, (std::vector<std::string>{"change"}));
}

TEST_F(PictureLoad, AFailingLoadKeepsThePreviousPicture) {
    picture.LoadFromFile(dir.Path("good.probe"));
    TGraphic* before = picture.Graphic();
    events.clear();
    EXPECT_EQ(FailureOf(dir.Path("bad.probe")), "probe failed");
    EXPECT_EQ(FailureOf(dir.Path("missing.probe")).find("Cannot open file"), 0u);
    EXPECT_EQ(picture.Graphic(), before);
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_EQ(events, (std::vector<std::string>{"start"}));
}

TEST_F(PictureLoad, UnknownExtensionsNameTheExtensionAsWritten) {
    EXPECT_EQ(FailureOf(dir.Path("photo.XYZ")), "Unknown picture file extension (.XYZ)");
    EXPECT_EQ(FailureOf(dir.Path("a.pnm")), "Unknown picture file extension (.pnm)");
    EXPECT_EQ(FailureOf("/home/old.pics/scan"), "Unknown picture file extension (.)");
    EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST_F(PictureLoad, ExtensionsMatchWithoutRegardToCase) {
    dir.Write("upper.PROBE", {'g'});
    picture.LoadFromFile(dir.Path("upper.PROBE"));
    EXPECT_EQ(picture.Graphic()->ClassType(), TProbeGraphic::ClassInfo());
}

} // namespace
} // namespace ferronel
