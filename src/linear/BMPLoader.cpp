#include "linear/BMPLoader.h"

#include "host/Bitmap.h"
#include "linear/HostStreams.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearStrings.h"

namespace ferronel::linear {

std::string TBMPLoader::GetLoadFilter() { return std::string(SBMPDescription) + " (*.bmp)|*.bmp"; }

void TBMPLoader::LoadFromStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    std::unique_ptr<TMemStream> copy;
    const auto host = SeekableHostStream(Stream, copy);
    TBitmap bitmap;
    bitmap.LoadFromStream(*host);
    switch (bitmap.PixelFormat()) {
    case pf1bit:
    case pf4bit: bitmap.SetPixelFormat(pf8bit); break;
    case pf8bit:
    case pf24bit: break;
    default: bitmap.SetPixelFormat(pf24bit); break;
    }
    Bitmap.Assign(bitmap);
}

void TBMPLoader::SaveToStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    if (!Bitmap.Present()) throw ELinearBitmap(SInvalidBitmapSize);
    TBitmap bitmap;
    if (!Bitmap.AssignTo(bitmap)) throw ELinearBitmap(SUnsupportedPixelFormat);
    TMemoryStream saved;
    bitmap.SaveToStream(saved);
    WriteHostBytes(Stream, saved);
}

TBMPLoader& BMPLoader() {
    static TBMPLoader loader;
    return loader;
}

} // namespace ferronel::linear
