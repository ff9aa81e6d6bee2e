// The linear library's PCX loader through its graphic: what loads is saved, and what was saved must
// load again to the same pixels.
#include "fuzz/support/FuzzReader.h"
#include "host/Stream.h"
#include "linear/PCXLoader.h"

#include <cstring>

FERRONEL_FUZZ_READER(ferronel::linear::TPCXGraphic, 1 << 22, [](ferronel::linear::TPCXGraphic& Pcx) {
    ferronel::TMemoryStream saved;
    Pcx.SaveToStream(saved);
    saved.SetPosition(0);
    ferronel::linear::TPCXGraphic again;
    again.LoadFromStream(saved);
    const auto& a = Pcx.Bitmap();
    const auto& b = again.Bitmap();
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat() ||
        std::memcmp(a.Map(), b.Map(), size_t(a.Size())) != 0)
        __builtin_trap();
    if (a.PixelFormat() == ferronel::linear::lpf8bit && std::memcmp(a.Palette(), b.Palette(), 768) != 0)
        __builtin_trap();
})
