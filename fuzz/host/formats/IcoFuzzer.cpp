// Feeds arbitrary bytes to the icon reader, draws the icon and turns it into a bitmap.
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/formats/Icon.h"
#include "host/Limits.h"
#include "host/Stream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    SetPixelBufferLimit(8 << 20); // keeps each input fast; the limit itself is tested elsewhere
    TMemoryStream stream(Data, Size);
    TIcon icon;
    try {
        icon.LoadFromStream(stream);
        TBitmap target;
        target.SetPixelFormat(pf24bit);
        target.SetSize(9, 11);
        target.Canvas().StretchDraw(TRect{0, 0, 9, 11}, icon);
        TBitmap copy;
        copy.Assign(icon);
    } catch (const Exception&) {
    }
    return 0;
}
