// The host bitmap: width, height, a pixel format, an optional palette and top-down rows padded to
// 4 bytes, all in one buffer. It is what every reader fills; it reads and writes Windows bitmaps.
#pragma once

#include "host/Graphic.h"
#include "host/PixelBuffer.h"
#include "host/PixelFormat.h"

#include <memory>
#include <vector>

namespace ferronel {

enum TAlphaFormat : uint8_t {
    afIgnored, // the fourth byte of 32-bit pixels means nothing
    afDefined, // it is a straight (not premultiplied) opacity
};

class TBitmap : public TGraphic {
    FERRONEL_CLASS(TBitmap, TGraphic)
public:
    TBitmap();
    ~TBitmap() override;

    void Draw(TCanvas& Canvas, const TRect& Rect) override;
    bool Empty() const override { return FWidth == 0 || FHeight == 0; }
    int32_t Width() const override { return FWidth; }
    int32_t Height() const override { return FHeight; }
    void SetWidth(int32_t Value) override { SetSize(Value, FHeight); }
    void SetHeight(int32_t Value) override { SetSize(FWidth, Value); }
    // Resizes, keeping the overlapping top-left part; new pixels are 0.
    void SetSize(int32_t NewWidth, int32_t NewHeight);

    HPALETTE Palette() const override { return FPalette; }
    void SetPalette(HPALETTE Value) override;
    // The colours indexed pixels stand for: the palette, or the format's default when there is none.
    const TPaletteEntries& EffectivePalette() const;

    TPixelFormat PixelFormat() const { return FPixelFormat; }
    // Changes the format and converts the pixels (indexed to wider indexed, indexed to true colour,
    // true-colour formats among themselves; to indexed by nearest palette colour).
    void SetPixelFormat(TPixelFormat Value);
    int BitsPerPixel() const { return BitsPerPixelOf(FPixelFormat); }

    TAlphaFormat AlphaFormat() const { return FAlphaFormat; }
    void SetAlphaFormat(TAlphaFormat Value) { FAlphaFormat = Value; }
    // Whether a 32-bit bitmap has a pixel whose fourth byte is not 0 (readers use it to tell
    // opacity from bytes a writer left empty).
    bool AnyFourthByteSet() const;
    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor Value) { FTransparentColor = Value; }

    // Row Row (0 at the top); raises EInvalidGraphicOperation for a row outside the bitmap.
    uint8_t* ScanLine(int32_t Row);
    const uint8_t* ScanLine(int32_t Row) const;
    size_t RowBytes() const { return FRowBytes; }
    TCanvas& Canvas();

    void Assign(const TObject& Source) override;
    // Reads a Windows bitmap file; writes one.
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    // Drops the pixels: the bitmap becomes 0 x 0, keeping its format.
    void FreeImage();

private:
    void Reallocate(int32_t NewWidth, int32_t NewHeight, TPixelFormat NewFormat);

    int32_t FWidth = 0;
    int32_t FHeight = 0;
    TPixelFormat FPixelFormat = pfDevice;
    TAlphaFormat FAlphaFormat = afIgnored;
    TColor FTransparentColor = 0;
    size_t FRowBytes = 0;
    TPixelBuffer FPixels;
    HPALETTE FPalette;
    std::unique_ptr<TCanvas> FCanvas;
};

} // namespace ferronel
