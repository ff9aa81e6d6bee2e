// Arbitrary bytes as a Wavefront RLA file; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/RLAGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TRLAGraphic, 1 << 20, [](TRLAGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
