// Feeds arbitrary bytes to the metafile reader and plays whatever loads into a small bitmap.
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Limits.h"
#include "host/Metafile.h"
#include "host/Stream.h"
#include "qt/MetafilePlayer.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace ferronel;
    static QGuiApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "metafile_fuzzer";
        static char* argv[] = {name, nullptr};
        qt::InstallMetafilePlayer();
        return new QGuiApplication(argc, argv); // lives for the whole run
    }();
    (void)application;
    SetPixelBufferLimit(8 << 20); // keeps each input fast; the limit itself is tested elsewhere
    TMemoryStream stream(Data, Size);
    TMetafile metafile;
    try {
        metafile.LoadFromStream(stream);
    } catch (const Exception&) {
        return 0;
    }
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(48, 32);
    metafile.Draw(target.Canvas(), TRect{-4, 2, 40, 30});
    return 0;
}
