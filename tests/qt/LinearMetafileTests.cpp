// The linear library's metafile loader with the real player: a picture saved as a metafile plays
// back to the same pixels, and its few colours become an exact 8-bit palette.
#include "linear/LinearBitmap.h"
#include "linear/MemStream.h"
#include "linear/WMFLoader.h"
#include "qt/MetafilePlayer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ferronel::qt {
namespace {

using linear::TLinearBitmap;

// The colour of a pixel as blue, green, red, whatever the format.
uint32_t ColourAt(const TLinearBitmap& Bitmap, int32_t X, int32_t Y) {
    const uint8_t* p = Bitmap.ScanLine(Y) + X * Bitmap.PixelSize();
    if (Bitmap.PixelFormat() == linear::lpf8bit) p = Bitmap.Palette() + *p * 3;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

TEST(LinearMetafile, SavedPicturesPlayBackToTheirPixels) {
    InstallMetafilePlayer();
    for (const uint8_t format : {linear::lpf8bit, linear::lpf24bit})
        for (const char* ext : {"WMF", "EMF"}) {
            TLinearBitmap original;
            original.Allocate(13, 7, format);
            const uint8_t colours[3][3] = {{0, 0, 255}, {10, 200, 30}, {255, 255, 255}};
            for (int32_t y = 0; y < 7; ++y)
                for (int32_t x = 0; x < 13; ++x) {
                    const int k = (x / 3 + y) % 3;
                    if (format == linear::lpf8bit)
                        original.ScanLine(y)[x] = uint8_t(k + 4);
                    else
                        std::memcpy(original.ScanLine(y) + x * 3, colours[k], 3);
                }
            if (format == linear::lpf8bit) {
                std::memset(original.Palette(), 0, 768);
                for (int k = 0; k < 3; ++k) std::memcpy(original.Palette() + (k + 4) * 3, colours[k], 3);
            }
            linear::TMemStream stream;
            linear::WMFLoader().SaveToStream(stream, ext, original);
            stream.SetPosition(0);
            TLinearBitmap back;
            linear::WMFLoader().LoadFromStream(stream, ext, back);
            ASSERT_EQ(back.Width(), 13) << ext;
            ASSERT_EQ(back.Height(), 7) << ext;
            ASSERT_EQ(back.PixelFormat(), linear::lpf8bit) << ext;
            for (int32_t y = 0; y < 7; ++y)
                for (int32_t x = 0; x < 13; ++x)
                    ASSERT_EQ(ColourAt(back, x, y), ColourAt(original, x, y)) << ext << " " << x << "," << y;
            // The first pixel's colour comes first in the palette.
            EXPECT_EQ(back.ScanLine(0)[0], 0) << ext;
        }
}

} // namespace
} // namespace ferronel::qt
