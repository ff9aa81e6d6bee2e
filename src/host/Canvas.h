// Software drawing on a bitmap: fills, rectangle copies with stretching, graphics drawn into a
// rectangle, and blits through a colour key, an opacity channel or a 1-bit mask. Work happens a row
// at a time in 32-bit pixels; bitmaps of other formats are converted row by row on the way.
#pragma once

#include "host/Bitmap.h"
#include "host/Types.h"

namespace ferronel {

class TCanvas {
public:
    enum TBlend : uint8_t {
        bmCopy,             // source pixels replace the destination
        bmTransparentColor, // source pixels of the key colour are left out
        bmAlpha,            // the source's fourth byte is its opacity
    };

    explicit TCanvas(TBitmap& Target) : FTarget(Target) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TBitmap& Bitmap() { return FTarget; }
    TColor BrushColor = clWhite;

    void FillRect(const TRect& R);
    // Stretches SourceRect of Source into Dest (nearest pixel).
    void StretchBitmap(const TRect& Dest, const TBitmap& Source, const TRect& SourceRect,
                       TBlend Blend = bmCopy, TColor Key = 0);
    // Like StretchBitmap, but where the 1-bit Mask (same size as Source) has a set bit the destination stays.
    void MaskBitmap(const TRect& Dest, const TBitmap& Source, const TRect& SourceRect, const TBitmap& Mask);
    void CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect) {
        StretchBitmap(Dest, Source.Bitmap(), SourceRect);
    }
    void Draw(int32_t X, int32_t Y, TGraphic& Graphic) {
        StretchDraw(TRect{X, Y, X + Graphic.Width(), Y + Graphic.Height()}, Graphic);
    }
    void StretchDraw(const TRect& R, TGraphic& Graphic) { Graphic.Draw(*this, R); }

    // Readers lock the canvas while they fill the bitmap behind it; drawing is single-threaded here,
    // so the count only lets callers pair their calls.
    void Lock() { ++FLockCount; }
    void Unlock() { --FLockCount; }
    int LockCount() const { return FLockCount; }

private:
    void Blit(const TRect& Dest, const TBitmap* Source, const TRect& SourceRect, TBlend Blend, TColor Key,
              const TBitmap* Mask);

    TBitmap& FTarget;
    int FLockCount = 0;
};

} // namespace ferronel
