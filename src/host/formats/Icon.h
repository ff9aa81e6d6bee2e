// Windows icons. An icon file holds several images; the icon shows the one a user would want, the
// largest and then the deepest. Its AND mask (or its own opacity, for 32-bit images) makes pixels
// transparent when it is drawn.
#pragma once

#include "host/Bitmap.h"

#include <functional>
#include <memory>

namespace ferronel {

class TIcon : public TGraphic {
    FERRONEL_CLASS(TIcon, TGraphic)
public:
    TIcon();
    ~TIcon() override;

    void Draw(TCanvas& Canvas, const TRect& Rect) override;
    bool Empty() const override { return FImage.Empty(); }
    int32_t Width() const override { return FImage.Width(); }
    int32_t Height() const override { return FImage.Height(); }
    void SetWidth(int32_t Value) override;
    void SetHeight(int32_t Value) override;
    HPALETTE Palette() const override { return FImage.Palette(); }

    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    void Assign(const TObject& Source) override;
    // Into a bitmap: 32 bits with the opacity the mask gives.
    bool AssignTo(TObject& Dest) const override;

    const TBitmap& Image() const { return FImage; }
    // The AND mask as a 1-bit bitmap (set bit = transparent); empty for images with their own opacity.
    const TBitmap& Mask() const { return FMask; }

    // Decodes a PNG-compressed icon image. PNG reading lives in a library above the host, which
    // installs this hook at start-up; without it such images are passed over.
    using TPngImageDecoder = std::function<void(TStream& Stream, TBitmap& Bitmap)>;
    static void SetPngImageDecoder(TPngImageDecoder Decoder);

private:
    TBitmap FImage;
    TBitmap FMask;
};

} // namespace ferronel
