// Arbitrary bytes as a Dr. Halo CUT file (no palette file); what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/CUTGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TCUTGraphic, 1 << 20, [](TCUTGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
