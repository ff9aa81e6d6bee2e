// Arbitrary bytes as a SGI file; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/SGIGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TSGIGraphic, 1 << 20, [](TSGIGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
