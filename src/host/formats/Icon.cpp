#include "host/formats/Icon.h"

#include "host/Canvas.h"
#include "host/Exceptions.h"

namespace ferronel {

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

void TIcon::SetWidth(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }
void TIcon::SetHeight(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::SaveToStream(TStream&) { throw EInvalidGraphicOperation("Saving icons is not supported"); }

void TIcon::Draw(TCanvas& Canvas, const TRect& Rect) {
    if (Empty()) return;
    const TRect all{0, 0, FImage.Width(), FImage.Height()};
    if (FImage.PixelFormat() == pf32bit && FImage.AlphaFormat() == afDefined)
        Canvas.StretchBitmap(Rect, FImage, all, TCanvas::bmAlpha);
    else if (!FMask.Empty())
        Canvas.MaskBitmap(Rect, FImage, all, FMask);
    else
        Canvas.StretchBitmap(Rect, FImage, all);
}

void TIcon::Assign(const TObject& Source) {
    if (const auto* other = dynamic_cast<const TIcon*>(&Source)) {
        if (other == this) return;
        FImage.Assign(other->FImage);
        FMask.Assign(other->FMask);
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

bool TIcon::AssignTo(TObject& Dest) const {
    auto* bitmap = dynamic_cast<TBitmap*>(&Dest);
    if (!bitmap) return false;
    bitmap->Assign(FImage);
    bitmap->SetPixelFormat(pf32bit);
    if (FImage.AlphaFormat() != afDefined || FImage.PixelFormat() != pf32bit) {
        for (int32_t y = 0; y < bitmap->Height(); ++y) {
            uint8_t* row = bitmap->ScanLine(y);
            const uint8_t* mask = FMask.Empty() ? nullptr : FMask.ScanLine(y);
            for (int32_t x = 0; x < bitmap->Width(); ++x)
                row[4 * x + 3] = mask && (mask[x >> 3] >> (7 - (x & 7)) & 1) ? 0 : 255;
        }
    }
    bitmap->SetAlphaFormat(afDefined);
    return true;
}

} // namespace ferronel
