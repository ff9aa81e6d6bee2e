// Arbitrary bytes as a Photo-CD pack; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/PCDGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TPCDGraphic, 4 << 20, [](TPCDGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
