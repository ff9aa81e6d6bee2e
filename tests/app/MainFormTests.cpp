#include "app/MainForm.h"
#include "app/ViewerTestSupport.h"
#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "picture/Registrations.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace ferronel::app {
namespace {

// A folder of pictures of chosen sizes, a window over it and a way to read the zoom marks.
class Viewer : public ::testing::Test {
protected:
    TPictureFormats formats;

    std::string Picture(const std::string& name, int32_t w, int32_t h) {
        return BlankPicture(dir, name, w, h);
    }
    std::string Marks() const {
        std::string s;
        for (TMenuItem* item : {form.N4001, form.N2001, form.N1001, form.N501, form.N251, form.ofit1})
            if (item->Checked) s += (s.empty() ? "" : " ") + item->Caption;
        return s;
    }
    TRect Bounds() const {
        return TRect{form.Image1.Left, form.Image1.Top, form.Image1.Left + form.Image1.Width,
                     form.Image1.Top + form.Image1.Height};
    }

    test::TTempDir dir;
    TFakeWindowSystem windowSystem;
    TForm1 form{windowSystem};
};

TEST_F(Viewer, StartsWithTheLayoutAndNativeFilter) {
    form.FormCreate({});
    EXPECT_EQ(form.Window.Caption, "Ferronel v0.47.16.4");
    EXPECT_EQ(form.ViewState.ZoomPercent, 100);
    EXPECT_EQ(form.Image1.Picture.Graphic(), nullptr);
    EXPECT_EQ(Marks(), "100%");
    EXPECT_TRUE(form.OpenPictureDialog1.Filter.starts_with("Native formats (*."));
    EXPECT_NE(form.OpenPictureDialog1.Filter.find(";*.icb;*.tga;"), std::string::npos);
    EXPECT_NE(form.OpenPictureDialog1.Filter.find("*.png;"), std::string::npos);
    EXPECT_NE(form.OpenPictureDialog1.Filter.find("|Truevision images (*.tga)|*.tga|"), std::string::npos);
    EXPECT_NE(form.OpenPictureDialog1.Filter.find("|PC TIF images (*.tif)|*.tif|"), std::string::npos);
    EXPECT_FALSE(form.Saveas1->Enabled);
    EXPECT_EQ(form.MainMenu.Items().size(), 7u);
}

TEST_F(Viewer, StartsWithTheCommandLineFileShownAndSelected) {
    Picture("a.bmp", 10, 10);
    const std::string b = Picture("b.BMP", 775, 513);
    Picture("c.txt", 1, 1);
    form.FormCreate({b});
    EXPECT_EQ(form.FileListBox1.Entries(), (std::vector<std::string>{"a.bmp", "b.BMP"}));
    EXPECT_EQ(form.FileListBox1.ItemIndex(), 1);
    EXPECT_EQ(form.ViewState.CurrentIndex, 1);
    EXPECT_EQ(form.ViewState.ImageWidth, 775);
    EXPECT_EQ(Marks(), "100%"); // exactly the client size
    EXPECT_EQ(Bounds(), (TRect{0, 0, 775, 513}));
}

TEST_F(Viewer, FitDecisionsAroundTheClientSize) {
    form.FormCreate({});
    form.LoadImage(Picture("small.bmp", 100, 50));
    EXPECT_EQ(Marks(), "To fit");
    EXPECT_EQ(Bounds(), (TRect{0, 0, 775, 513}));
    form.LoadImage(Picture("wider.bmp", 776, 513));
    EXPECT_EQ(Marks(), "To fit");
    form.LoadImage(Picture("narrower.bmp", 774, 513));
    EXPECT_EQ(Marks(), "To fit");

    // Without shrinking, a larger picture is shown at 100 %, centred, its corner off screen.
    form.Shrinktofit1->Click();
    form.LoadImage(Picture("large.bmp", 1000, 600));
    EXPECT_EQ(Marks(), "100%");
    EXPECT_EQ(Bounds(),
              (TRect{(775 - 1000) / 2, (513 - 600) / 2, (775 - 1000) / 2 + 1000, (513 - 600) / 2 + 600}));
    EXPECT_EQ(form.Image1.Left, -112);

    // Keeping the zoom factor keeps the marks and the percentage.
    form.N2001->Click();
    form.Keepzoomfactor1->Click();
    form.LoadImage(Picture("other.bmp", 30, 20));
    EXPECT_EQ(Marks(), "200%");
    EXPECT_EQ(form.ViewState.ZoomPercent, 200);
    EXPECT_EQ(form.ViewState.ImageWidth, 30);
    EXPECT_EQ(Bounds(), (TRect{(775 - 60) / 2, (513 - 40) / 2, (775 - 60) / 2 + 60, (513 - 40) / 2 + 40}));
}

TEST_F(Viewer, ZoomStepsAndTheirLimits) {
    form.FormCreate({});
    form.Enlargetofit1->Click();
    form.LoadImage(Picture("p.bmp", 100, 60));
    form.FormKeyDown(VK_ADD);
    form.FormKeyDown(VK_ADD);
    EXPECT_EQ(Marks(), "400%");
    form.FormKeyDown(VK_ADD); // at 400 % nothing happens
    EXPECT_EQ(form.ViewState.ZoomPercent, 400);
    EXPECT_EQ(form.Image1.Width, 400);
    for (int i = 0; i < 5; ++i) form.FormKeyDown(VK_SUBTRACT);
    EXPECT_EQ(form.ViewState.ZoomPercent, 25);
    EXPECT_EQ(Marks(), "25%"); // re-checked at the bottom
    EXPECT_EQ(form.Image1.Width, 25);
    form.FormKeyDown(VK_ADD);
    EXPECT_EQ(Marks(), "50%");

    // Zoom in from "To fit" doubles the stored percentage, not the fitted scale.
    form.ofit1Click();
    form.FormKeyDown(VK_ADD);
    EXPECT_EQ(Marks(), "100%");
}

TEST_F(Viewer, ZoomOutFromFitLandsBelowTheFittedScale) {
    form.FormCreate({});
    struct Case {
        int32_t w, h, percent;
    };
    for (const Case& c : {Case{775, 513, 50}, Case{767, 100, 100}, Case{2583, 100, 25}, Case{100, 100, 400},
                          Case{1550, 1026, 25}}) {
        form.LoadImage(Picture("fit.bmp", c.w, c.h));
        form.ofit1Click();
        form.FormKeyDown(VK_SUBTRACT);
        EXPECT_EQ(form.ViewState.ZoomPercent, c.percent) << c.w << " x " << c.h;
        EXPECT_FALSE(form.ofit1->Checked);
    }
    // No picture: the fitted scale counts as 100 %.
    form.Close1Click();
    form.ofit1Click();
    form.FormKeyDown(VK_SUBTRACT);
    EXPECT_EQ(form.ViewState.ZoomPercent, 50);
}

TEST_F(Viewer, PagingThroughTheFolder) {
    for (const char* n : {"1.bmp", "2.bmp", "3.bmp"}) Picture(n, 8 + n[0] - '0', 8);
    form.FormCreate({dir.Path("1.bmp")});
    form.FormKeyDown(VK_PRIOR); // on the first entry: reloads it
    EXPECT_EQ(form.FileListBox1.ItemIndex(), 0);
    EXPECT_EQ(form.ViewState.ImageWidth, 9);
    form.FormKeyDown(VK_END);
    EXPECT_EQ(form.ViewState.ImageWidth, 11);
    EXPECT_EQ(form.ViewState.CurrentIndex, 2);
    form.FormKeyDown(VK_NEXT); // past the last: no selection, nothing loaded
    EXPECT_EQ(form.FileListBox1.ItemIndex(), -1);
    EXPECT_EQ(form.ViewState.CurrentIndex, -1);
    EXPECT_EQ(form.ViewState.ImageWidth, 11);
    form.FormKeyDown(VK_NEXT);
    EXPECT_EQ(form.ViewState.ImageWidth, 9);
    form.FormKeyDown(VK_NEXT);
    form.FormKeyDown(VK_HOME);
    EXPECT_EQ(form.ViewState.CurrentIndex, 0);

    form.FormMouseWheel(-120); // toward the user: the next file
    EXPECT_EQ(form.ViewState.ImageWidth, 10);
    form.Close1Click();
    form.FormMouseWheel(0); // reloads the current one
    EXPECT_EQ(form.Image1.Picture.Width(), 10);
    form.FormMouseWheel(120);
    EXPECT_EQ(form.ViewState.CurrentIndex, 0);
}

TEST_F(Viewer, BrowserPanelShiftsTheCentredPicture) {
    form.FormCreate({});
    form.Window.ClientWidth = 800;
    form.Enlargetofit1->Click();
    form.LoadImage(Picture("w.bmp", 200, 100));
    form.Panel1.Visible = true;
    form.FormResize();
    EXPECT_EQ(form.Image1.Left, 392);
    EXPECT_EQ(form.FileListBox1.Height, 513 - 224);
    form.ofit1Click();
    EXPECT_EQ(Bounds(), (TRect{185, 0, 800, 513}));
}

TEST_F(Viewer, FailuresKeepEverything) {
    form.FormCreate({});
    form.LoadImage(Picture("ok.bmp", 50, 40));
    const std::string marks = Marks();
    const TRect bounds = Bounds();
    dir.Write("bad.xyz", {1, 2, 3});
    try {
        form.LoadImage(dir.Path("bad.xyz"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
    }
    dir.Write("broken.bmp", {'B', 'M', 0});
    EXPECT_THROW(form.LoadImage(dir.Path("broken.bmp")), Exception);
    EXPECT_EQ(form.ViewState.ImageWidth, 50);
    EXPECT_EQ(Marks(), marks);
    EXPECT_EQ(Bounds(), bounds);
    EXPECT_EQ(form.Image1.Picture.Width(), 50);
    form.LoadImage(""); // nothing selected: not an error
}

TEST_F(Viewer, MenuCommands) {
    form.FormCreate({});
    const std::string picture = Picture("open.bmp", 64, 32);
    form.Open1Click(); // cancelled
    EXPECT_EQ(form.Image1.Picture.Graphic(), nullptr);
    windowSystem.ChosenFile = picture;
    form.Open1->Click();
    EXPECT_EQ(form.ViewState.ImageWidth, 64);
    EXPECT_EQ(form.FileListBox1.SelectedPath(), picture);
    form.Keepaspectratio1->Click();
    EXPECT_FALSE(form.Image1.Proportional);
    form.N501->Click();
    EXPECT_EQ(Marks(), "50%");
    EXPECT_EQ(form.Image1.Width, 32);
    form.Close1->Click();
    EXPECT_EQ(form.Image1.Picture.Graphic(), nullptr);
    EXPECT_EQ(form.ViewState.ImageWidth, 64); // the view state is left as it was
    form.Exit1->Click();
    EXPECT_EQ(windowSystem.Closed, 1);
    form.Saveas1->Click(); // disabled: nothing
}

TEST(ImageControl, PlacementKeepsTheAspectAndCentres) {
    TImageControl c;
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(200, 100);
    c.Picture.SetGraphic(std::move(bitmap));
    c.SetBounds(0, 0, 300, 300);
    EXPECT_EQ(c.PictureRect(), (TRect{0, 75, 300, 225}));
    c.SetBounds(0, 0, 300, 100);
    EXPECT_EQ(c.PictureRect(), (TRect{50, 0, 250, 100}));
    c.Proportional = false;
    EXPECT_EQ(c.PictureRect(), (TRect{0, 0, 300, 100}));
    c.Proportional = true;
    auto tall = std::make_unique<TBitmap>();
    tall->SetSize(100, 300);
    c.Picture.SetGraphic(std::move(tall));
    c.SetBounds(0, 0, 101, 150);
    EXPECT_EQ(c.PictureRect(), (TRect{25, 0, 75, 150}));
}

TEST(FileList, MaskSelectionAndApplyingPaths) {
    test::TTempDir dir;
    for (const char* n : {"B.png", "a.rgb", "c.mng", "d.txt", "e.TGA"}) dir.Write(n, {0});
    std::filesystem::create_directory(dir.Path("folder.bmp"));
    TFileListBox list;
    list.SetFolder(dir.Path(""));
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"a.rgb", "B.png", "e.TGA"}));
    list.SetItemIndex(7);
    EXPECT_EQ(list.ItemIndex(), -1);
    EXPECT_EQ(list.SelectedPath(), "");

    int changes = 0;
    list.OnChange = [&] { ++changes; };
    list.ApplyFilePath(dir.Path("b.PNG")); // names match without regard to case
    EXPECT_EQ(list.ItemIndex(), 1);
    EXPECT_EQ(changes, 1);
    list.ApplyFilePath(dir.Path("B.png")); // already selected: nothing happens
    EXPECT_EQ(changes, 1);

    // A file the mask hides becomes the mask.
    list.ApplyFilePath(dir.Path("c.mng"));
    EXPECT_EQ(list.Mask(), "c.mng");
    EXPECT_EQ(list.Entries(), std::vector<std::string>{"c.mng"});
    EXPECT_EQ(list.SelectedPath(), dir.Path("c.mng"));

    list.ApplyFilePath(dir.Path("*.txt"));
    EXPECT_EQ(list.Entries(), std::vector<std::string>{"d.txt"});
    try {
        list.ApplyFilePath(dir.Path("missing.png"));
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Invalid file name - " + dir.Path("missing.png"));
    }
    EXPECT_TRUE(MatchesMask("x.RGBA", TFileListBox::DefaultMask));
    EXPECT_FALSE(MatchesMask("x.mng", TFileListBox::DefaultMask));
}

TEST(ProgramPath, CutAfterTheLastSeparator) {
    EXPECT_EQ(ComputeProgramPath("/usr/bin/ferronel"), "/usr/bin/");
    EXPECT_EQ(ComputeProgramPath("ferronel"), "");
}

} // namespace
} // namespace ferronel::app
