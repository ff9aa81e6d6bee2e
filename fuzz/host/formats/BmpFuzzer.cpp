// Arbitrary bytes as a bitmap file; what loads is drawn and changes format.
#include "fuzz/support/FuzzReader.h"
#include "host/Bitmap.h"
#include "host/Canvas.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TBitmap, 8 << 20, [](TBitmap& Bitmap) {
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(17, 13);
    target.Canvas().StretchDraw(TRect{-3, 2, 15, 20}, Bitmap);
    // A format change may pass the size limit; that is an error, not a crash.
    Bitmap.SetPixelFormat(pf24bit);
})
