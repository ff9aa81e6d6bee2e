// The linear library's JPEG loader. The JPEG codec lives in the picture library, above this one, so
// the loader works through a codec the picture library installs at start-up; without it JPEG
// files are refused as an unsupported format.
#pragma once

#include "linear/BitmapLoader.h"

#include <cstdint>
#include <functional>

namespace ferronel {
class TBitmap;
class TStream;
} // namespace ferronel

namespace ferronel::linear {

struct TJPEGCodec {
    // Reads a JPEG file into a 24-bit bitmap at full size and best quality; answers whether the
    // file holds a greyscale picture.
    std::function<bool(TStream& Stream, TBitmap& Bitmap)> Decode;
    // Writes a 24-bit bitmap as a JPEG file at Quality (1 to 100), greyscale when Grey.
    std::function<void(const TBitmap& Bitmap, int32_t Quality, bool Grey, TStream& Stream)> Encode;
    // The quality the codec writes at unless told otherwise.
    std::function<int32_t()> DefaultQuality;
};

// Installs the codec; an empty one removes it.
void SetJPEGCodec(TJPEGCodec Codec);

class TJPEGLoader : public TBitmapLoader {
    FERRONEL_CLASS(TJPEGLoader, TBitmapLoader)
public:
    bool CanLoad(const std::string& Ext) override { return Ext == "JPG" || Ext == "JPEG" || Ext == "JPE"; }
    bool CanSave(const std::string& Ext) override { return Ext == "JPG" || Ext == "JPEG"; }
    std::string GetLoadFilter() override;
    std::string GetSaveFilter() override;
    // Greyscale files give 8-bit grey bitmaps, all others 24-bit ones.
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
    // 8- and 24-bit bitmaps; with MaxFileSize the best quality whose file fits (see the source).
    void SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;

    // 0 or less: the codec's default.
    int32_t Quality = 0;
    // Bytes; 0 or less: no limit.
    int32_t MaxFileSize = 0;
};

TJPEGLoader& JPEGLoader();

} // namespace ferronel::linear
