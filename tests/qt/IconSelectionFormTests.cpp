#include "ViewerFixture.h"
#include "host/Stream.h"
#include "linear/ICOLoader.h"
#include "qt/IconSelectionForm.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace ferronel::qt {
namespace {

constexpr TColor Fuchsia = 0x00FF00FF;

// Runs Drive on the dialog once it is shown modally.
void WhenShown(std::function<void(TIconSelectionForm&)> Drive) {
    QTimer::singleShot(0, [Drive = std::move(Drive)] {
        auto* form = qobject_cast<TIconSelectionForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        Drive(*form);
    });
}

// Restores what a test changes in the process-wide loader.
struct TLoaderGuard {
    ~TLoaderGuard() {
        RemoveIconSelectionDialog();
        linear::ICOLoader().TransparentColor = Fuchsia;
    }
};

TEST(IconSelectionForm, ListsEveryImageAndPreviewsTheChosenOneOnTheColour) {
    linear::TIconList list;
    list.Kind = linear::ikIcon;
    list.Add(16, 16, 4);
    linear::TIconImage& big = list.Add(32, 32, 8);
    big.Palette[4 * 7] = 200; // entry 7 red
    std::fill(big.Xor.begin(), big.Xor.end(), 7);
    big.Mask[0] = 0x80; // the bottom left pixel is transparent

    TIconSelectionForm form(list, Fuchsia);
    form.show();
    EXPECT_EQ(form.windowTitle().toStdString(), "Select icon to import from file");
    EXPECT_EQ(form.size(), QSize(296, 169));
    ASSERT_EQ(form.SelectBox->count(), 2);
    EXPECT_EQ(form.SelectBox->itemText(0).toStdString(), "Icon 16 x 16 4 bit");
    EXPECT_EQ(form.SelectBox->itemText(1).toStdString(), "Icon 32 x 32 8 bit");
    EXPECT_EQ(form.ColorLabel->text().toStdString(), "$ff00ff");
    EXPECT_EQ(form.PanelFrame->size(), QSize(18, 18));
    EXPECT_EQ(form.PanelFrame->Canvas().size(), QSize(16, 16));

    form.ChooseColor = [](const QColor& Initial) {
        EXPECT_EQ(Initial, QColor(255, 0, 255));
        return std::optional<QColor>(QColor(0x12, 0x34, 0x56));
    };
    form.SelectBox->setCurrentIndex(1);
    form.TransparentButton->click();
    EXPECT_EQ(form.ColorLabel->text().toStdString(), "$123456");
    EXPECT_EQ(form.ColorPanel->Color(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(form.PanelFrame->size(), QSize(34, 34));
    const QImage& canvas = form.PanelFrame->Canvas();
    ASSERT_EQ(canvas.size(), QSize(32, 32));
    EXPECT_EQ(canvas.pixelColor(0, 31), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(canvas.pixelColor(1, 31), QColor(200, 0, 0));

    // A cancelled colour dialog changes nothing; the form answers the box's image and its colour.
    form.ChooseColor = [](const QColor&) { return std::optional<QColor>(); };
    form.TransparentButton->click();
    EXPECT_EQ(form.Index(), 1);
    EXPECT_EQ(form.Color(), RGBColor(0x12, 0x34, 0x56));
}

TEST(IconSelectionForm, ChoosingAnImageAndAColourGivesThatImageWithThatColourTransparent) {
    const TLoaderGuard guard;
    InstallIconSelectionDialog([](const QColor&) { return std::optional<QColor>(QColor(10, 20, 30)); });
    QColor preview;
    WhenShown([&](TIconSelectionForm& form) {
        EXPECT_EQ(form.SelectBox->itemText(2).toStdString(), "Cursor 24 x 24 4 bit");
        form.SelectBox->setCurrentIndex(2);
        form.TransparentButton->click();
        preview = form.PanelFrame->Canvas().pixelColor(0, 0);
        form.OkButton->click();
    });
    TMemoryStream file;
    file.LoadFromFile(test::DataPath("cur/netpbm.cur"));
    file.SetPosition(0);
    const auto cursor = std::make_unique<linear::TCURGraphic>();
    cursor->LoadFromStream(file);
    EXPECT_EQ(preview, QColor(10, 20, 30));
    ASSERT_EQ(cursor->Width(), 24);
    const linear::TLinearBitmap& bitmap = cursor->Bitmap();
    ASSERT_EQ(bitmap.PixelFormat(), linear::lpf8bit);
    const uint8_t* corner = bitmap.Palette() + bitmap.ScanLine(0)[0] * 3;
    EXPECT_EQ(RGBColor(corner[2], corner[1], corner[0]), RGBColor(10, 20, 30));
    EXPECT_EQ(linear::ICOLoader().HotSpotY, 23);
}

class IconSelectionInTheViewer : public TViewerFixture {};

TEST_F(IconSelectionInTheViewer, CancellingTheDialogShowsNoError) {
    const TLoaderGuard guard;
    InstallIconSelectionDialog();
    WhenShown([](TIconSelectionForm& form) { form.CancelButton->click(); });
    Start({test::DataPath("cur/magick.cur")});
    EXPECT_EQ(window->ErrorBox(), nullptr);
}

} // namespace
} // namespace ferronel::qt
