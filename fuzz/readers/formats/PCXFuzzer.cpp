// Arbitrary bytes as a PCX file; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/PCXGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TPCXGraphic, 1 << 20, [](TPCXGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
