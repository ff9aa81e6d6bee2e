// Arbitrary bytes as a PNG file; what loads is turned into 32-bit pixels, through its palette.
#include "fuzz/support/FuzzReader.h"
#include "readers/formats/PNGGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TPNGGraphic, 1 << 20, [](TPNGGraphic& Png) {
    TBitmap copy;
    copy.Assign(Png);
    copy.SetPixelFormat(pf32bit);
})
