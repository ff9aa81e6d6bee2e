#include "host/Canvas.h"
#include "host/Stream.h"
#include "host/formats/Metafile.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"
#include "linear/WMFLoader.h"
#include "support/LinearLoad.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Save(TLinearBitmap& Bitmap, const std::string& Ext) { return test::SaveWith(WMFLoader(), Ext, Bitmap); }
void Load(const Bytes& File, TLinearBitmap& Bitmap) { test::LoadWith(WMFLoader(), "WMF", File, Bitmap); }

// Stands in for the window system's player: one-pixel columns in the given colours, repeating.
class TStripePlayer {
public:
    explicit TStripePlayer(std::vector<TColor> Colours) {
        TMetafile::SetPlayer([Colours](const TMetafile&, TCanvas& Canvas, const TRect& Rect) {
            for (int32_t x = Rect.Left; x < Rect.Right; ++x) {
                Canvas.BrushColor = Colours[size_t(x - Rect.Left) % Colours.size()];
                Canvas.FillRect(TRect{x, Rect.Top, x + 1, Rect.Bottom});
            }
        });
    }
    ~TStripePlayer() { TMetafile::SetPlayer(nullptr); }
};

Bytes AnyMetafile(int32_t Width, int32_t Height) {
    TLinearBitmap b;
    b.Allocate(Width, Height, lpf24bit);
    return Save(b, "WMF");
}

TEST(WMFLoader, FewColoursBecomeAnExactPaletteInOrderOfAppearance) {
    // Blue (0xBBGGRR), red, blue again, green.
    const TStripePlayer player({0xFF0000, 0x0000FF, 0xFF0000, 0x00FF00});
    TLinearBitmap bitmap;
    Load(AnyMetafile(6, 2), bitmap);
    ASSERT_EQ(bitmap.PixelFormat(), lpf8bit);
    ASSERT_EQ(bitmap.Width(), 6);
    ASSERT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(Bytes(bitmap.ScanLine(1), bitmap.ScanLine(1) + 6), (Bytes{0, 1, 0, 2, 0, 1}));
    // Palette entries blue, green, red: blue, then red, then green; the rest black.
    EXPECT_EQ(Bytes(bitmap.Palette(), bitmap.Palette() + 12),
              (Bytes{255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0, 0}));
}

TEST(WMFLoader, MoreThan256ColoursStay24Bit) {
    std::vector<TColor> colours;
    for (TColor c = 0; c < 257; ++c) colours.push_back(c * 0x010203);
    const TStripePlayer player(colours);
    TLinearBitmap bitmap;
    Load(AnyMetafile(257, 1), bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), lpf24bit);
    // Exactly 256 reduce.
    colours.pop_back();
    const TStripePlayer fewer(colours);
    Load(AnyMetafile(257, 1), bitmap);
    ASSERT_EQ(bitmap.PixelFormat(), lpf8bit);
    EXPECT_EQ(bitmap.ScanLine(0)[255], 255);
    EXPECT_EQ(bitmap.ScanLine(0)[256], 0);
}

TEST(WMFLoader, SavesAPlaceableOrEnhancedMetafileOfThePicturesSize) {
    TLinearBitmap bitmap;
    bitmap.Allocate(5, 3, lpf8bit);
    for (const char* ext : {"WMF", "EMF"}) {
        TMemoryStream file(Save(bitmap, ext));
        TMetafile metafile;
        metafile.LoadFromStream(file);
        EXPECT_EQ(metafile.Kind(), ext[0] == 'E' ? mkEmf : mkWmf) << ext;
        EXPECT_EQ(metafile.Width(), 5) << ext;
        EXPECT_EQ(metafile.Height(), 3) << ext;
    }
    TLinearBitmap empty;
    EXPECT_THROW(Save(empty, "WMF"), ELinearBitmap);
    TLinearBitmap wide;
    wide.Allocate(40000, 1, lpf8bit);
    EXPECT_THROW(Save(wide, "WMF"), ELinearBitmap);
}

} // namespace
} // namespace ferronel::linear
