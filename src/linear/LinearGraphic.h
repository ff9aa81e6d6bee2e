// The host graphic over a linear bitmap, so that the picture registry can serve extensions through
// this library's loaders.
#pragma once

#include "host/Bitmap.h"
#include "host/Graphic.h"
#include "linear/LinearBitmap.h"

#include <memory>

namespace ferronel::linear {

class TLinearGraphic : public TGraphic {
    FERRONEL_CLASS(TLinearGraphic, TGraphic)
public:
    TLinearGraphic() = default;

    void Draw(TCanvas& Canvas, const TRect& Rect) override;
    bool Empty() const override { return !FBitmap.Present(); }
    int32_t Width() const override { return FBitmap.Width(); }
    int32_t Height() const override { return FBitmap.Height(); }
    void SetWidth(int32_t Value) override;
    void SetHeight(int32_t Value) override;
    bool AssignTo(TObject& Dest) const override;
    void Assign(const TObject& Source) override;

    // Through the bitmap's loaders, by the file's extension.
    void LoadFromFile(const std::string& FileName) override;
    void SaveToFile(const std::string& FileName) override;
    // Host bitmap streams (Windows bitmaps).
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;

    TLinearBitmap& Bitmap() { return FBitmap; }
    const TLinearBitmap& Bitmap() const { return FBitmap; }

protected:
    // After the bitmap changed: drops the drawing copy and reports the change.
    void BitmapChanged();
    // Loads or saves the stream with the loader for Ext (the format classes' stream pair).
    void LoadWithExtension(TStream& Stream, const std::string& Ext);
    void SaveWithExtension(TStream& Stream, const std::string& Ext);

private:
    TLinearBitmap FBitmap;
    std::unique_ptr<TBitmap> FDrawn; // the host bitmap drawn, made on first draw
};

} // namespace ferronel::linear
