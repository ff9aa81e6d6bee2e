#include "host/Bitmap.h"

#include "host/formats/BmpFormat.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Limits.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ferronel {

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::Reallocate(int32_t NewWidth, int32_t NewHeight, TPixelFormat NewFormat) {
    const int bits = BitsPerPixelOf(NewFormat);
    if (bits == 0) throw EInvalidGraphicOperation("Unsupported pixel format");
    const uint64_t bytes = CheckPixelBufferSize(NewWidth, NewHeight, bits);
    const size_t rowBytes = size_t(BytesPerScanline(uint64_t(NewWidth), bits));
    TPixelBuffer pixels;
    try {
        pixels = TPixelBuffer(size_t(bytes));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(Format("Not enough memory for a %d x %d picture", {NewWidth, NewHeight}));
    }
    // Keep the overlapping top-left part when only the size changes.
    if (NewFormat == FPixelFormat && !FPixels.empty()) {
        const size_t copyBytes = std::min(FRowBytes, rowBytes);
        const int32_t rows = std::min(FHeight, NewHeight);
        for (int32_t y = 0; y < rows; ++y)
            std::memcpy(pixels.data() + size_t(y) * rowBytes, FPixels.data() + size_t(y) * FRowBytes,
                        copyBytes);
    }
    FPixels = std::move(pixels);
    FWidth = NewWidth;
    FHeight = NewHeight;
    FRowBytes = rowBytes;
    FPixelFormat = NewFormat;
}

void TBitmap::SetSize(int32_t NewWidth, int32_t NewHeight) {
    if (NewWidth == FWidth && NewHeight == FHeight) return;
    Reallocate(NewWidth, NewHeight, FPixelFormat);
    Changed(this);
}

void TBitmap::FreeImage() {
    FPixels = TPixelBuffer();
    FWidth = FHeight = 0;
    FRowBytes = 0;
}

void TBitmap::SetPalette(HPALETTE Value) {
    FPalette = std::move(Value);
    Changed(this);
}

const TPaletteEntries& TBitmap::EffectivePalette() const {
    return FPalette ? *FPalette : DefaultPaletteEntries(BitsPerPixel());
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
    if (Value == FPixelFormat) return;
    if (Value == pfCustom) throw EInvalidGraphicOperation("Unsupported pixel format");
    const TPixelFormat oldFormat = FPixelFormat;
    if (Empty()) {
        Reallocate(FWidth, FHeight, Value);
    } else if (IsIndexedFormat(oldFormat) && IsIndexedFormat(Value) &&
               BitsPerPixelOf(Value) > BitsPerPixelOf(oldFormat)) {
        // Wider indices: the values and the palette stay.
        TBitmap old;
        old.FPixels.swap(FPixels);
        old.FRowBytes = FRowBytes;
        Reallocate(FWidth, FHeight, Value);
        for (int32_t y = 0; y < FHeight; ++y) {
            const uint8_t* s = old.FPixels.data() + size_t(y) * old.FRowBytes;
            uint8_t* d = ScanLine(y);
            for (int32_t x = 0; x < FWidth; ++x) {
                const uint32_t v = oldFormat == pf1bit ? (s[x >> 3] >> (7 - (x & 7))) & 1
                                                       : (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
                if (Value == pf8bit)
                    d[x] = uint8_t(v);
                else
                    d[x >> 1] = uint8_t(d[x >> 1] | v << ((x & 1) ? 0 : 4));
            }
        }
    } else {
        // Everything else goes through 32-bit rows.
        const TPaletteEntries sourcePalette = EffectivePalette();
        TPixelBuffer oldPixels;
        oldPixels.swap(FPixels);
        const size_t oldRowBytes = FRowBytes;
        std::unique_ptr<TColorMatcher> matcher;
        if (IsIndexedFormat(Value)) {
            const size_t capacity = size_t(1) << BitsPerPixelOf(Value);
            if (!FPalette || FPalette->size() > capacity)
                FPalette = CreatePalette(DefaultPaletteEntries(BitsPerPixelOf(Value)));
            matcher = std::make_unique<TColorMatcher>(*FPalette);
        } else {
            FPalette = nullptr;
        }
        try {
            Reallocate(FWidth, FHeight, Value);
        } catch (...) {
            FPixels.swap(oldPixels);
            throw;
        }
        std::vector<uint8_t> row(size_t(FWidth) * 4);
        for (int32_t y = 0; y < FHeight; ++y) {
            DecodeRow(oldFormat, oldPixels.data() + size_t(y) * oldRowBytes, row.data(), uint32_t(FWidth),
                      sourcePalette);
            EncodeRow(Value, row.data(), ScanLine(y), uint32_t(FWidth), matcher.get());
        }
    }
    if (Value != pf32bit && Value != pfDevice) FAlphaFormat = afIgnored;
    Changed(this);
}

bool TBitmap::AnyFourthByteSet() const {
    if (FPixelFormat != pf32bit) return false;
    for (int32_t y = 0; y < FHeight; ++y) {
        const uint8_t* row = ScanLine(y);
        for (int32_t x = 0; x < FWidth; ++x)
            if (row[4 * x + 3] != 0) return true;
    }
    return false;
}

uint8_t* TBitmap::ScanLine(int32_t Row) {
    if (Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
    return FPixels.data() + size_t(Row) * FRowBytes;
}

const uint8_t* TBitmap::ScanLine(int32_t Row) const { return const_cast<TBitmap*>(this)->ScanLine(Row); }

TCanvas& TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>(*this);
    return *FCanvas;
}

void TBitmap::Draw(TCanvas& Canvas, const TRect& Rect) {
    if (Empty()) return;
    TCanvas::TBlend blend = TCanvas::bmCopy;
    if (FPixelFormat == pf32bit && FAlphaFormat == afDefined)
        blend = TCanvas::bmAlpha;
    else if (Transparent())
        blend = TCanvas::bmTransparentColor;
    Canvas.StretchBitmap(Rect, *this, TRect{0, 0, FWidth, FHeight}, blend, FTransparentColor);
}

void TBitmap::Assign(const TObject& Source) {
    if (&Source == this) return;
    if (const auto* other = dynamic_cast<const TBitmap*>(&Source)) {
        FPixels = other->FPixels;
        FWidth = other->FWidth;
        FHeight = other->FHeight;
        FRowBytes = other->FRowBytes;
        FPixelFormat = other->FPixelFormat;
        FAlphaFormat = other->FAlphaFormat;
        FTransparentColor = other->FTransparentColor;
        FPalette = other->FPalette;
        SetTransparent(other->Transparent());
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

void TBitmap::LoadFromStream(TStream& Stream) {
    ReadBmp(Stream, *this);
    Changed(this);
}

void TBitmap::SaveToStream(TStream& Stream) { WriteBmp(Stream, *this); }

} // namespace ferronel
