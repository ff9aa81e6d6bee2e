#include "picture/Registrations.h"

#include "host/Bitmap.h"
#include "host/Icon.h"
#include "host/Metafile.h"
#include "host/Picture.h"

namespace ferronel {

namespace {
bool Initialized = false;
}

void InitializePictureFormats() {
    if (Initialized) return;
    Initialized = true;
    PictureRegistry(); // the platform's four entries come first

    // Linear-bitmap library loaders (pcx, png, mng), the JPEG wrapper (jpeg, jpg), the GIF unit (gif)
    // and the HIPS loader (hip, hips) register here, in that order, once they exist.

    // The reader library's format list. Its rows for the platform classes come first; its own
    // readers follow in the list's order as they are added.
    RegisterFileFormat("bmp", "Windows bitmaps", TBitmap::ClassInfo());
    RegisterFileFormat("ico", "Windows icons", TIcon::ClassInfo());
    RegisterFileFormat("wmf", "Windows metafiles", TMetafile::ClassInfo());
    RegisterFileFormat("emf", "Windows enhanced meta files", TMetafile::ClassInfo());
    RegisterFileFormat("rle", "Run length encoded Windows bitmaps", TBitmap::ClassInfo());
    RegisterFileFormat("dib", "Device independant Windows bitmaps", TBitmap::ClassInfo());
}

void FinalizePictureFormats() {
    if (!Initialized) return;
    Initialized = false;
    UnregisterGraphicClass(TBitmap::ClassInfo());
    UnregisterGraphicClass(TIcon::ClassInfo());
    UnregisterGraphicClass(TMetafile::ClassInfo());
}

} // namespace ferronel
