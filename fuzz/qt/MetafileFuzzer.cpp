// Feeds arbitrary bytes to the metafile reader and plays whatever loads into a small bitmap.
#include "fuzz/support/FuzzReader.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Limits.h"
#include "host/Stream.h"
#include "host/formats/Metafile.h"
#include "qt/MetafilePlayer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    qt::InstallOffscreenMetafilePlayer();
    SetPixelBufferLimit(8 << 20); // keeps each input fast; the limit itself is tested elsewhere
    const auto metafile = fuzz::LoadOrRefuse<TMetafile>(Data, Size);
    if (!metafile) return 0;
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(48, 32);
    metafile->Draw(target.Canvas(), TRect{-4, 2, 40, 30});
    return 0;
}
