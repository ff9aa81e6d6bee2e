// The linear library's PNG/MNG loader through its MNG graphic (PNG files go through the same
// loader): what loads is drawn into a bitmap.
#include "fuzz/support/FuzzReader.h"
#include "host/Bitmap.h"
#include "host/RenderBitmap.h"
#include "linear/PNGLoader.h"

FERRONEL_FUZZ_READER(ferronel::linear::TMNGGraphic, 1 << 22, [](ferronel::linear::TMNGGraphic& Mng) {
    ferronel::TBitmap bitmap;
    ferronel::RenderToBitmap(Mng, bitmap);
})
