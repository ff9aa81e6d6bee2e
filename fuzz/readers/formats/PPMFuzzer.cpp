// Arbitrary bytes as a portable map; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/PPMGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TPPMGraphic, 1 << 20, [](TPPMGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
