// Arbitrary bytes as a TIFF file; what loads is drawn.
#include "fuzz/support/FuzzReader.h"
#include "host/RenderBitmap.h"
#include "readers/formats/TIFFGraphic.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TTIFFGraphic, 1 << 20, [](TTIFFGraphic& Graphic) {
    TBitmap rendered;
    RenderToBitmap(Graphic, rendered);
})
