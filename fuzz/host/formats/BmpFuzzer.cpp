// Feeds arbitrary bytes to the bitmap file reader and draws the result.
#include "host/Bitmap.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Limits.h"
#include "host/Stream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    SetPixelBufferLimit(8 << 20); // keeps each input fast; the limit itself is tested elsewhere
    TMemoryStream stream(Data, Size);
    TBitmap bitmap;
    try {
        bitmap.LoadFromStream(stream);
        TBitmap target;
        target.SetPixelFormat(pf32bit);
        target.SetSize(17, 13);
        target.Canvas().StretchDraw(TRect{-3, 2, 15, 20}, bitmap);
        // A format change may pass the size limit; that is an error, not a crash.
        bitmap.SetPixelFormat(pf24bit);
    } catch (const Exception&) {
    }
    return 0;
}
