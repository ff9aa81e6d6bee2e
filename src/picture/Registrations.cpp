#include "picture/Registrations.h"

#include "gif/GIFImage.h"
#include "gif/GIFStrings.h"
#include "host/Picture.h"
#include "readers/FileFormatList.h"

namespace ferronel {

namespace {
bool Initialized = false;
}

void InitializePictureFormats() {
    if (Initialized) return;
    Initialized = true;
    PictureRegistry(); // the platform's four entries come first

    // Linear-bitmap library loaders (pcx, png, mng) and the JPEG wrapper (jpeg, jpg) register before
    // the GIF unit, the HIPS loader (hip, hips) after it, once they exist.
    RegisterFileFormat("gif", gif::sDescription, TGIFImage::ClassInfo());

    // The reader library's format list comes last of the modules. The JPEG image class is passed
    // in once it exists.
    InitializeFileFormatList(nullptr);
}

void FinalizePictureFormats() {
    if (!Initialized) return;
    Initialized = false;
    FinalizeFileFormatList();
    UnregisterGraphicClass(TGIFImage::ClassInfo());
}

} // namespace ferronel
