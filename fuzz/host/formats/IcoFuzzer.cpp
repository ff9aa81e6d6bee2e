// Arbitrary bytes as an icon file; what loads is drawn and turned into a bitmap.
#include "fuzz/support/FuzzReader.h"
#include "host/Canvas.h"
#include "host/formats/Icon.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TIcon, 8 << 20, [](TIcon& Icon) {
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(9, 11);
    target.Canvas().StretchDraw(TRect{0, 0, 9, 11}, Icon);
    TBitmap copy;
    copy.Assign(Icon);
})
