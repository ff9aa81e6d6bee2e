#include "picture/Registrations.h"

#include "gif/GIFImage.h"
#include "gif/GIFStrings.h"
#include "host/Picture.h"
#include "host/formats/Icon.h"
#include "linear/HIPSLoader.h"
#include "linear/ICOLoader.h"
#include "linear/PCXLoader.h"
#include "linear/PNGLoader.h"
#include "picture/JPEGEncoder.h"
#include "picture/JPEGImage.h"
#include "readers/FileFormatList.h"
#include "readers/formats/PNGGraphic.h"

namespace ferronel {

namespace {

bool Initialized = false;

// PNG-compressed icon images (the 256 x 256 ones) are read by the reader library's PNG reader.
void DecodeIconPng(TStream& Stream, TBitmap& Bitmap) {
    TPNGGraphic png;
    png.LoadFromStream(Stream);
    Bitmap.Assign(png);
}

} // namespace

void InitializePictureFormats() {
    if (Initialized) return;
    Initialized = true;
    PictureRegistry(); // the platform's four entries come first
    TIcon::SetPngImageDecoder(DecodeIconPng);
    InstallLinearJPEGCodec();

    // Linear-bitmap library loaders: pcx, png and mng (the reader library's pcx and png, registered
    // later, win those; mng stays here), then the JPEG wrapper, then the GIF unit (gif) and the HIPS
    // loader (hip, hips).
    linear::InitializePCXLoader();
    linear::InitializePNGLoader();
    // Cursors go through the linear library's icon loader; the host's icon class keeps ico.
    linear::InitializeICOLoader();
    RegisterFileFormat("jpeg", "JPEG Image File", TJPEGImage::ClassInfo());
    RegisterFileFormat("jpg", "JPEG Image File", TJPEGImage::ClassInfo());
    RegisterFileFormat("gif", gif::sDescription, TGIFImage::ClassInfo());
    linear::InitializeHIPSLoader();

    // The reader library's format list comes last of the modules.
    InitializeFileFormatList(TJPEGImage::ClassInfo());
}

void FinalizePictureFormats() {
    if (!Initialized) return;
    Initialized = false;
    FinalizeFileFormatList();
    linear::FinalizeHIPSLoader();
    UnregisterGraphicClass(TGIFImage::ClassInfo());
    UnregisterGraphicClass(TJPEGImage::ClassInfo());
    linear::FinalizeICOLoader();
    linear::FinalizePNGLoader();
    linear::FinalizePCXLoader();
    RemoveLinearJPEGCodec();
    TIcon::SetPngImageDecoder(nullptr);
}

} // namespace ferronel
