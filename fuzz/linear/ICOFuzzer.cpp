// The linear library's icon loader through its cursor graphic, first image without a dialog: what
// loads is written back as a one-image cursor and read again, and must show the same colours.
#include "fuzz/support/FuzzReader.h"
#include "host/Types.h"
#include "linear/ICOLoader.h"

namespace {

ferronel::TColor ColorAt(const ferronel::linear::TLinearBitmap& Bitmap, int32_t X, int32_t Y) {
    using namespace ferronel::linear;
    const uint8_t* p = Bitmap.PixelFormat() == lpf8bit ? Bitmap.Palette() + Bitmap.ScanLine(Y)[X] * 3
                                                       : Bitmap.ScanLine(Y) + int64_t(X) * Bitmap.PixelSize();
    return ferronel::RGBColor(p[2], p[1], p[0]);
}

} // namespace

FERRONEL_FUZZ_READER(ferronel::linear::TCURGraphic, 1 << 22, [](ferronel::linear::TCURGraphic& Cursor) {
    ferronel::TMemoryStream saved;
    Cursor.SaveToStream(saved);
    saved.SetPosition(0);
    ferronel::linear::TCURGraphic again;
    again.LoadFromStream(saved);
    const auto& a = Cursor.Bitmap();
    const auto& b = again.Bitmap();
    if (a.Width() != b.Width() || a.Height() != b.Height()) __builtin_trap();
    for (int32_t y = 0; y < a.Height(); ++y)
        for (int32_t x = 0; x < a.Width(); ++x)
            if (ColorAt(a, x, y) != ColorAt(b, x, y)) __builtin_trap();
})
