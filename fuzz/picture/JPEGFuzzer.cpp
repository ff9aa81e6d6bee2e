// Arbitrary bytes as a JPEG file; what loads is decoded again with the other settings: scaled,
// palettised with the passes of a progressive file shown, grey and fast.
#include "fuzz/support/FuzzReader.h"
#include "picture/JPEGImage.h"

using namespace ferronel;

FERRONEL_FUZZ_READER(TJPEGImage, 1 << 20, [](TJPEGImage& Jpeg) {
    Jpeg.SetScale(jsQuarter);
    Jpeg.SetPixelFormat(jf8Bit);
    Jpeg.SetProgressiveDisplay(true);
    Jpeg.Bitmap();
    Jpeg.SetGrayscale(true);
    Jpeg.SetPerformance(jpBestSpeed);
    Jpeg.Bitmap();
})
