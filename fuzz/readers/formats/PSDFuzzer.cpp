// Arbitrary bytes as a Photoshop document; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/PSDGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TPSDGraphic, 1 << 20, [](TPSDGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
