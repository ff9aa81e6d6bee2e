#include "host/Bitmap.h"
#include "host/ByteReader.h"
#include "picture/Registrations.h"
#include "qt/MainWindow.h"
#include "qt/MetafilePlayer.h"
#include "qt/ViewerFixture.h"
#include "support/LimitGuard.h"
#include "support/MetafileBuilder.h"
#include "support/TestData.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWheelEvent>

#include <chrono>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace ferronel::qt {
namespace {

using ViewerWindow = TViewerFixture;

TEST_F(ViewerWindow, DrawsTheCommandLinePictureWhereTheLayoutPutsIt) {
    Start({SolidPicture(dir, "red.bmp", 200, 100, 0, 0, 255)});
    const app::TForm1& form = window->Form();
    ASSERT_EQ(window->windowTitle().toStdString(), "Ferronel v0.47.16.4");
    ASSERT_TRUE(form.ofit1->Checked);
    const int cw = form.Window.ClientWidth, ch = form.Window.ClientHeight;
    ASSERT_EQ(cw, window->ClientArea().width());
    // Fitted and proportional: full width, height half of it, centred vertically.
    const int ph = cw / 2, top = (ch - ph) / 2;
    const QImage shot = Grab();
    EXPECT_EQ(shot.pixel(cw / 2, ch / 2), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(2, top + 2), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(cw - 3, top + ph - 3), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(cw / 2, top - 3), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(cw / 2, top + ph + 3), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(0, 0), qRgb(0, 0, 0));
}

TEST_F(ViewerWindow, KeysPageThroughTheFolderAndZoom) {
    const std::string first = SolidPicture(dir, "1.bmp", 40, 20, 0, 0, 255);
    SolidPicture(dir, "2.bmp", 40, 20, 0, 255, 0);
    SolidPicture(dir, "3.bmp", 40, 20, 255, 0, 0);
    Start({first});
    app::TForm1& form = window->Form();
    const int cw = form.Window.ClientWidth, ch = form.Window.ClientHeight;
    auto centre = [&] { return Grab().pixel(cw / 2, ch / 2); };
    EXPECT_EQ(centre(), qRgb(255, 0, 0));
    Key(Qt::Key_PageDown);
    EXPECT_EQ(form.ViewState.CurrentIndex, 1);
    EXPECT_EQ(centre(), qRgb(0, 255, 0));
    Key(Qt::Key_End);
    EXPECT_EQ(centre(), qRgb(0, 0, 255));
    Key(Qt::Key_Home);
    EXPECT_EQ(centre(), qRgb(255, 0, 0));

    // Numeric-pad minus leaves "To fit" (far above 400 % here) for 400 %, then halves; plus doubles.
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_FALSE(form.ofit1->Checked);
    EXPECT_EQ(form.ViewState.ZoomPercent, 400);
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    const int zoomed = form.ViewState.ZoomPercent;
    EXPECT_EQ(zoomed, 200);
    EXPECT_EQ(window->ImageView().width(), 80);
    Key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(form.ViewState.ZoomPercent, zoomed * 2);
    EXPECT_EQ(window->ImageView().width(), 160);
    const QImage shot = Grab();
    const int w = 160;
    EXPECT_EQ(shot.pixel(cw / 2, ch / 2), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel((cw - w) / 2 - 2, ch / 2), qRgb(0, 0, 0));
    Key(Qt::Key_Plus); // the main keyboard's plus is not the zoom key
    EXPECT_EQ(form.ViewState.ZoomPercent, zoomed * 2);
}

TEST_F(ViewerWindow, OnlyAVerticalWheelTurnStepsThroughTheFolder) {
    const std::string first = SolidPicture(dir, "1.bmp", 40, 20, 0, 0, 255);
    SolidPicture(dir, "2.bmp", 40, 20, 0, 255, 0);
    Start({first});
    app::TForm1& form = window->Form();
    Key(Qt::Key_Minus, Qt::KeypadModifier); // leaves "To fit" for 400 %
    ASSERT_EQ(form.ViewState.ZoomPercent, 400);
    // A reload would now show a picture of another size, and would reset the zoom.
    SolidPicture(dir, "1.bmp", 30, 10, 255, 255, 255);
    auto wheel = [&](QPoint angle, Qt::ScrollPhase phase) {
        QWheelEvent event(QPointF(5, 5), window->mapToGlobal(QPointF(5, 5)), QPoint(), angle, Qt::NoButton,
                          Qt::NoModifier, phase, false);
        QApplication::sendEvent(window.get(), &event); // a sent wheel event is not passed to parents
        QApplication::processEvents();
    };
    wheel({120, 0}, Qt::NoScrollPhase); // a tilt to the side
    wheel({0, 0}, Qt::ScrollBegin);     // a touchpad gesture starts and ends
    wheel({0, 0}, Qt::ScrollEnd);
    EXPECT_EQ(form.ViewState.CurrentIndex, 0);
    EXPECT_EQ(form.ViewState.ImageWidth, 40);
    EXPECT_EQ(form.ViewState.ZoomPercent, 400);
    EXPECT_FALSE(form.ofit1->Checked);
    EXPECT_EQ(window->ErrorBox(), nullptr);

    wheel({0, -120}, Qt::NoScrollPhase); // turned towards the user: the next picture
    EXPECT_EQ(form.ViewState.CurrentIndex, 1);
    const int cw = form.Window.ClientWidth, ch = form.Window.ClientHeight;
    EXPECT_EQ(Grab().pixel(cw / 2, ch / 2), qRgb(0, 255, 0));
}

TEST_F(ViewerWindow, ErrorsAreShownAndTheViewerGoesOn) {
    dir.Write("picture.xyz", {1, 2, 3});
    Start({dir.Path("picture.xyz")});
    ASSERT_NE(window->ErrorBox(), nullptr);
    EXPECT_EQ(window->ErrorBox()->text().toStdString(), "Unknown picture file extension (.xyz)");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Form().FileListBox1.ItemIndex(), 0); // selected in the list all the same
    window->ErrorBox()->close();

    // A good picture, then a bad one from the list: the good one stays.
    const std::string good = SolidPicture(dir, "a.bmp", 10, 10, 0, 0, 255);
    dir.Write("b.bmp", {'B', 'M'});
    window->Form().FileListBox1.SetMask(app::TFileListBox::DefaultMask); // the odd file had become the mask
    window->Form().LoadImage(good);
    window->Form().ViewState.CurrentIndex = 0;
    Key(Qt::Key_PageDown);
    ASSERT_NE(window->ErrorBox(), nullptr);
    EXPECT_EQ(window->ErrorBox()->text().toStdString(), "Stream read error");
    EXPECT_EQ(window->Form().Image1.Picture.Width(), 10);
}

TEST_F(ViewerWindow, ACutJPEGStripInATIFFShowsWhatDecodedWithOneWarning) {
    std::ifstream in(test::DataPath("tif/cp-jpeg.tif"), std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), 8u);
    ASSERT_EQ(file[0], 'I'); // little-endian; its strip byte counts are two shorts in the entry
    const uint32_t ifd = LoadU32LE(&file[4]);
    bool cut = false;
    for (uint32_t i = 0, n = LoadU16LE(&file[ifd]); i < n; ++i) {
        uint8_t* e = &file[ifd + 2 + 12 * i];
        if (LoadU16LE(e) != 279 || LoadU16LE(e + 2) != 3) continue;
        StoreU16LE(e + 8, 100);
        StoreU16LE(e + 10, 100);
        cut = true;
    }
    ASSERT_TRUE(cut);
    dir.Write("cut.tif", file);
    Start({dir.Path("cut.tif")});
    QApplication::processEvents();
    EXPECT_EQ(window->ErrorBox(), nullptr);
    ASSERT_NE(window->WarningBox(), nullptr);
    EXPECT_EQ(window->WarningBox()->windowTitle().toStdString(), "Warning");
    EXPECT_FALSE(window->WarningBox()->text().isEmpty());
    EXPECT_GT(window->Form().ViewState.ImageWidth, 0);
    window->WarningBox()->close();
}

TEST_F(ViewerWindow, ShowsMetafilesAtTheDisplayedSize) {
    test::TEmfBuilder emf;
    emf.Rec(39, {1, 0, 0x00FF00, 0}).Rec(37, {1}).Rec(38, {2, 5, 0, 0, 0}).Rec(37, {2});
    emf.Rec(43, {0, 0, 100, 50}); // the upper half green
    dir.Write("half.emf", emf.File());
    Start({dir.Path("half.emf")});
    const app::TForm1& form = window->Form();
    ASSERT_EQ(window->ErrorBox(), nullptr);
    EXPECT_EQ(form.ViewState.ImageWidth, 100);
    ASSERT_TRUE(form.ofit1->Checked); // enlarged to fit: played at that size, not scaled up
    const int ch = form.Window.ClientHeight, cw = form.Window.ClientWidth;
    const int side = std::min(cw, ch), left = (cw - side) / 2, top = (ch - side) / 2;
    const QImage shot = Grab();
    EXPECT_EQ(shot.pixel(left + side / 2, top + side / 4), qRgb(0, 255, 0));
    EXPECT_EQ(shot.pixel(left + side / 2, top + 3 * side / 4), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(left + side / 2, top + side / 2 - 2), qRgb(0, 255, 0)); // a sharp edge
    EXPECT_EQ(shot.pixel(left + side / 2, top + side / 2 + 1), qRgb(0, 0, 0));
}

TEST_F(ViewerWindow, APictureTooLargeToConvertIsNotDrawnAndNothingFails) {
    TBitmap b;
    b.SetPixelFormat(pf4bit);
    b.SetSize(300, 300);
    b.SaveToFile(dir.Path("big.bmp"));
    const test::TPixelBufferLimitGuard limit(100 << 10); // loads (45 KB) but cannot become 32-bit (360 KB)
    Start({dir.Path("big.bmp")});
    EXPECT_EQ(window->Form().ViewState.ImageWidth, 300);
    EXPECT_TRUE(window->ImageView().Image().isNull());
    EXPECT_EQ(Grab().pixel(10, 10), qRgb(0, 0, 0));
}

TEST_F(ViewerWindow, AnimatesAGifAndLetsGoOfItCleanly) {
    // Two frames of 300 ms each, looping for ever: green, then blue.
    const std::string anim = test::DataPath("gif/anim-viewer.gif");
    const std::string still = SolidPicture(dir, "still.bmp", 8, 4, 255, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    Start({anim});
    app::TForm1& form = window->Form();
    const int cw = form.Window.ClientWidth, ch = form.Window.ClientHeight;
    auto centre = [&] { return Grab().pixel(cw / 2, ch / 2); };
    const QRgb green = qRgb(0, 255, 0), dark = qRgb(0, 0, 255);
    ASSERT_EQ(centre(), green);
    // Waits, running the event loop, until the centre shows Colour; answers the time since start.
    auto until = [&](QRgb Colour) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (centre() != Colour && std::chrono::steady_clock::now() < limit) QApplication::processEvents();
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    };
    const auto second = until(dark);
    EXPECT_EQ(centre(), dark);
    EXPECT_GE(second, 250);
    const auto third = until(green);
    EXPECT_EQ(centre(), green);
    EXPECT_GE(third - second, 250);

    // Switching pictures while one animates, and zooming.
    for (int i = 0; i < 200; ++i) {
        form.LoadImage(i % 2 ? still : anim);
        if (i % 20 == 0) Key(Qt::Key_Minus, Qt::KeypadModifier);
        QApplication::processEvents();
    }
    EXPECT_EQ(window->ErrorBox(), nullptr);
    form.LoadImage(anim);
    QApplication::processEvents();
    // Quitting mid-animation.
    window.reset();
    QApplication::processEvents();
}

TEST(ViewerWindowParts, FilterTextAndKeys) {
    EXPECT_EQ(TMainWindow::NameFilters("All (*.a;*.b)|*.a;*.b|Bitmaps (*.bmp)|*.bmp"),
              (QStringList{"All (*.a *.b)", "Bitmaps (*.bmp)"}));
    EXPECT_EQ(TMainWindow::VirtualKey(Qt::Key_PageUp, Qt::NoModifier), app::VK_PRIOR);
    EXPECT_EQ(TMainWindow::VirtualKey(Qt::Key_Minus, Qt::KeypadModifier), app::VK_SUBTRACT);
    EXPECT_EQ(TMainWindow::VirtualKey(Qt::Key_Minus, Qt::NoModifier), 0);
}

} // namespace
} // namespace ferronel::qt

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Nothing a test does may reach the user's own configuration or desktop files.
    const ferronel::test::TTempDir home;
    setenv("XDG_CONFIG_HOME", home.Path("config").c_str(), 1);
    setenv("XDG_DATA_HOME", home.Path("data").c_str(), 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
