// The linear library's metafile loader: WMF and EMF files are played into a 24-bit picture through
// the host's metafile class (and the player the window-system layer installs); a picture of at most
// 256 colours becomes 8-bit with exactly those colours. Saving wraps the picture in a metafile
// that stretches it over its own size.
#pragma once

#include "linear/BitmapLoader.h"

#include <cstdint>
#include <vector>

namespace ferronel::linear {

class TWMFLoader : public TBitmapLoader {
    FERRONEL_CLASS(TWMFLoader, TBitmapLoader)
public:
    bool CanLoad(const std::string& Ext) override { return Ext == "WMF" || Ext == "EMF"; }
    bool CanSave(const std::string& Ext) override { return Ext == "WMF" || Ext == "EMF"; }
    std::string GetLoadFilter() override;
    std::string GetSaveFilter() override;
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
    // An extension starting with "E" writes an enhanced metafile, any other a placeable WMF.
    void SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) override;
};

// A 24-bit picture of at most 256 distinct colours becomes 8-bit, its palette the colours in the
// order they first appear (scanning from the first pixel); larger colour counts stay 24-bit.
void ReduceToExactPalette(TLinearBitmap& Bitmap);

TWMFLoader& WMFLoader();

} // namespace ferronel::linear
