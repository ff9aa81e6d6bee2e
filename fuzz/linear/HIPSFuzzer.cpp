// The linear library's HIPS loader through its graphic: what loads is drawn into a bitmap.
#include "fuzz/support/FuzzReader.h"
#include "host/Bitmap.h"
#include "host/RenderBitmap.h"
#include "linear/HIPSLoader.h"

FERRONEL_FUZZ_READER(ferronel::linear::THIPSGraphic, 1 << 22, [](ferronel::linear::THIPSGraphic& Hips) {
    ferronel::TBitmap bitmap;
    ferronel::RenderToBitmap(Hips, bitmap);
})
