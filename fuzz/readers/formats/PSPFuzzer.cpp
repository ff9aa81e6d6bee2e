// Arbitrary bytes as a Paint Shop Pro image; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/PSPGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TPSPGraphic, 1 << 20, [](TPSPGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
