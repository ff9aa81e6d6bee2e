#include "picture/Registrations.h"

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

    // Linear-bitmap library loaders (pcx, png, mng), the JPEG wrapper (jpeg, jpg), the GIF unit (gif)
    // and the HIPS loader (hip, hips) register here, in that order, once they exist.

    // The reader library's format list comes last of the modules. The JPEG image class is passed
    // in once it exists.
    InitializeFileFormatList(nullptr);
}

void FinalizePictureFormats() {
    if (!Initialized) return;
    Initialized = false;
    FinalizeFileFormatList();
}

} // namespace ferronel
