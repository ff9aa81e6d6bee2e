// Arbitrary bytes as an EPS file with a TIFF preview; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/EPSGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TEPSGraphic, 1 << 20, [](TEPSGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
