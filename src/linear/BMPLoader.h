// The linear library's Windows bitmap loader, through the host bitmap: 1- and 4-bit pictures
// become 8-bit, 15-, 16- and 32-bit ones 24-bit.
#pragma once

#include "linear/BitmapLoader.h"

namespace ferronel::linear {

class TBMPLoader : public TBitmapLoader {
    FERRONEL_CLASS(TBMPLoader, TBitmapLoader)
public:
    bool CanLoad(const std::string& Ext) override { return Ext == "BMP"; }
    bool CanSave(const std::string& Ext) override { return Ext == "BMP"; }
    std::string GetLoadFilter() override;
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
    void SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
};

TBMPLoader& BMPLoader();

} // namespace ferronel::linear
