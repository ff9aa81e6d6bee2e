// The viewer with image plug-ins beside it: the sample plug-in's type opens from the command line
// and through the open dialog, and broken plug-ins beside it are named and left out.
#include "app/ViewerTestSupport.h"
#include "host/Picture.h"
#include "linear/LinearGraphic.h"
#include "plugins/PluginFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ferronel::app {
namespace {

using test::TLie;
using test::TPluginFolder;

const std::vector<std::string> BrokenPlugins = {"no_entry_points", "load_without_free", "bad_filter_1",
                                                "bad_filter_3"};

std::vector<uint8_t> SolidPicture(uint32_t Width, uint32_t Height, uint8_t Blue, uint8_t Green, uint8_t Red) {
    std::vector<uint8_t> pixels;
    for (uint32_t i = 0; i < Width * Height; ++i) pixels.insert(pixels.end(), {Blue, Green, Red});
    return test::SamplePicture(Width, Height, 3, {}, pixels);
}

TEST(ViewerPlugins, OpensThePluginTypeAndLeavesTheBrokenOnesOut) {
    TPictureFormats formats;
    TPluginFolder folder({"sample_fsp", "lying"});
    for (const std::string& broken : BrokenPlugins) folder.Add(broken);
    folder.Write("plugins/not_a_library.so", {'M', 'Z'});
    folder.Write("first.fsp", SolidPicture(5, 3, 1, 2, 3));
    folder.Write("second.fsp", SolidPicture(7, 2, 4, 5, 6));

    TFakeWindowSystem windows;
    TForm1 form(windows);
    std::ostringstream report;
    form.ProgramPath = folder.Path("");
    form.PluginReport = &report;
    form.FormCreate({folder.Path("first.fsp")});

    // The plug-ins' entries come first (in file-name order), then the native ones, still paired.
    const std::string& filter = form.OpenPictureDialog1.Filter;
    EXPECT_EQ(filter.rfind(
                  "Lying pictures (*.lie)|*.lie|Ferronel sample picture (*.fsp)|*.fsp|Native formats (", 0),
              0u)
        << filter;
    EXPECT_EQ(std::count(filter.begin(), filter.end(), '|') % 2, 1);
    EXPECT_EQ(form.ViewState.ImageWidth, 5);
    EXPECT_EQ(form.ViewState.ImageHeight, 3);
    const auto* graphic = dynamic_cast<const linear::TLinearGraphic*>(form.Image1.Picture.Graphic());
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->Bitmap().Map()[2], 3);

    windows.ChosenFile = folder.Path("second.fsp");
    form.Open1Click();
    EXPECT_EQ(form.ViewState.ImageWidth, 7);
    EXPECT_EQ(form.ViewState.ImageHeight, 2);

    const std::string said = report.str();
    EXPECT_NE(said.find("not_a_library.so left out: not a shared library: "), std::string::npos) << said;
    EXPECT_NE(said.find("no_entry_points.so left out: no plug-in entry points"), std::string::npos);
    EXPECT_NE(said.find("load_without_free.so left out: no image release function"), std::string::npos);
    EXPECT_NE(said.find("bad_filter_1.so left out: its load filter"), std::string::npos);
    EXPECT_NE(said.find("bad_filter_3.so left out: its load filter"), std::string::npos);
    EXPECT_EQ(said.find("sample_fsp"), std::string::npos);
    // A record the picture cannot take fails like any unreadable file: the old picture stays.
    TLie lie;
    lie.Format = 0;
    lie.Pixels = {1};
    folder.Write("bad.lie", lie.Bytes());
    windows.ChosenFile = folder.Path("bad.lie");
    EXPECT_THROW(form.Open1Click(), Exception);
    EXPECT_EQ(form.ViewState.ImageWidth, 7);
}

// The built viewer, copied into a folder with plugins/ beside it, run offscreen.
TEST(ViewerPlugins, TheBuiltViewerShowsAPluginPicture) {
    TPluginFolder folder({"sample_fsp"});
    for (const std::string& broken : BrokenPlugins) folder.Add(broken);
    folder.Write("plugins/not_a_library.so", {'M', 'Z'});
    folder.Write("red.fsp", SolidPicture(300, 200, 0, 0, 255));
    const std::string viewer = folder.Path("ferronel");
    std::filesystem::copy_file(FERRONEL_VIEWER, viewer);
    std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);

    const std::string command = "cd '" + folder.Path("") +
                                "' && QT_QPA_PLATFORM=offscreen ./ferronel --screenshot " +
                                "shot.png red.fsp >out.txt 2>err.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream errors(folder.Path("err.txt"));
    const std::string said((std::istreambuf_iterator<char>(errors)), {});
    EXPECT_NE(said.find("not_a_library.so left out: not a shared library"), std::string::npos) << said;
    EXPECT_NE(said.find("no_entry_points.so left out"), std::string::npos) << said;

    // The window's middle shows the picture.
    InitializePictureFormats();
    TPicture shot;
    shot.LoadFromFile(folder.Path("shot.png"));
    TBitmap bitmap;
    bitmap.Assign(*shot.Graphic());
    bitmap.SetPixelFormat(pf32bit);
    const uint8_t* middle = bitmap.ScanLine(bitmap.Height() / 2) + (bitmap.Width() / 2) * 4;
    EXPECT_EQ(middle[0], 0);
    EXPECT_EQ(middle[1], 0);
    EXPECT_EQ(middle[2], 255);
}

} // namespace
} // namespace ferronel::app
