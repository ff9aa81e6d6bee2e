// Arbitrary bytes as a Autodesk cel or picture; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/AutodeskGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TAutodeskGraphic, 1 << 20, [](TAutodeskGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
