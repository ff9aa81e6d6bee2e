#include "linear/LinearBitmap.h"

#include "host/Bitmap.h"
#include "host/CheckedSize.h"
#include "host/Limits.h"
#include "host/RenderBitmap.h"
#include "linear/BitmapLoader.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace ferronel::linear {

namespace {

int32_t PixelSizeOf(uint8_t Format) {
    switch (Format) {
    case lpf8bit: return 1;
    case lpf16bitGrey: return 2;
    case lpf24bit: return 3;
    case lpf32bit: return 4;
    default: throw ELinearBitmap(SUnsupportedPixelFormat);
    }
}

std::unique_ptr<uint8_t[]> NewBytes(size_t Count) {
    // Zeroed: a loader that stops early must not show what the memory held before.
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[Count]());
    if (!bytes) throw ELinearBitmap(SInvalidBitmapSize);
    return bytes;
}

} // namespace

const TLinearPalette& GreyPalette() {
    static const TLinearPalette grey = [] {
        TLinearPalette p{};
        for (int i = 0; i < 256; ++i)
            p[size_t(i) * 3] = p[size_t(i) * 3 + 1] = p[size_t(i) * 3 + 2] = uint8_t(i);
        return p;
    }();
    return grey;
}

void TLinearBitmap::Allocate(int32_t Width, int32_t Height, uint8_t PixelFormat) {
    if (Present() && Width == FWidth && Height == FHeight && PixelFormat == FPixelFormat) return;
    const int32_t pixelSize = PixelSizeOf(PixelFormat);
    if (Width <= 0 || Height <= 0) throw ELinearBitmap(SInvalidBitmapSize);
    // Sizes come from files: refuse a buffer past the limit before allocating it.
    CheckPixelBufferSize(Width, Height, pixelSize * 8);
    const int64_t bytesPerLine = int64_t(Width) * pixelSize;
    const int64_t size = int64_t(CheckedMul(uint64_t(bytesPerLine), uint64_t(Height)));
    FMap.reset();
    FMap = NewBytes(size_t(size) + 1);
    if (PixelFormat == lpf8bit) {
        if (!FPalette) FPalette = NewBytes(768);
    } else {
        FPalette.reset();
    }
    FWidth = Width;
    FHeight = Height;
    FPixelFormat = PixelFormat;
    FPixelSize = pixelSize;
    FBytesPerLine = bytesPerLine;
    FSize = size;
}

void TLinearBitmap::Clear() {
    FMap.reset();
    FPalette.reset();
    FWidth = FHeight = FPixelSize = 0;
    FBytesPerLine = FSize = 0;
    FPixelFormat = lpfNone;
}

void TLinearBitmap::FillBytes(uint8_t Value) {
    if (Present()) std::memset(FMap.get(), Value, size_t(FSize));
}

void TLinearBitmap::Fill(TColor Color) {
    if (!Present()) return;
    const uint8_t red = uint8_t(Color), green = uint8_t(Color >> 8), blue = uint8_t(Color >> 16);
    if ((Color & 0xFFFFFF) == 0) {
        FillBytes(0);
    } else if (FPixelFormat == lpf24bit || FPixelFormat == lpf32bit) {
        // The fourth byte of 32-bit pixels is 0, like after every conversion.
        const uint8_t pixel[4] = {blue, green, red, 0};
        uint8_t* p = FMap.get();
        for (int64_t i = 0; i < FSize; i += FPixelSize) std::memcpy(p + i, pixel, size_t(FPixelSize));
    } else {
        FillBytes(uint8_t((2 * red + 3 * green + blue + 3) / 6));
    }
}

void TLinearBitmap::Resize(int32_t NewWidth, int32_t NewHeight, int32_t OffsetX, int32_t OffsetY,
                           TColor Color) {
    if (NewWidth <= 0 || NewHeight <= 0) {
        Clear();
        return;
    }
    if (!Present()) {
        Allocate(NewWidth, NewHeight, lpf8bit);
        std::memcpy(FPalette.get(), GreyPalette().data(), 768);
        Fill(Color);
        return;
    }
    if (NewWidth == FWidth && NewHeight == FHeight && OffsetX == 0 && OffsetY == 0) return;
    TLinearBitmap resized;
    resized.Allocate(NewWidth, NewHeight, FPixelFormat);
    if (FPalette) std::memcpy(resized.FPalette.get(), FPalette.get(), 768);
    resized.Fill(Color);
    const int64_t x0 = std::max<int64_t>(0, -int64_t(OffsetX));
    const int64_t x1 = std::min<int64_t>(FWidth, int64_t(NewWidth) - OffsetX);
    for (int32_t y = 0; y < FHeight && x0 < x1; ++y) {
        const int64_t ty = int64_t(y) + OffsetY;
        if (ty < 0 || ty >= NewHeight) continue;
        std::memcpy(resized.ScanLine(int32_t(ty)) + (x0 + OffsetX) * FPixelSize,
                    ScanLine(y) + x0 * FPixelSize, size_t((x1 - x0) * FPixelSize));
    }
    TakeOver(resized);
}

void TLinearBitmap::ConvertTo(uint8_t PixelFormat) {
    if (!Present() || PixelFormat == FPixelFormat) return;
    const int64_t pixels = int64_t(FWidth) * FHeight;
    TLinearBitmap to;
    switch (PixelFormat) {
    case lpf8bit: {
        if (FPixelFormat == lpf32bit) ConvertTo(lpf24bit);
        to.Allocate(FWidth, FHeight, lpf8bit);
        uint8_t* d = to.Map();
        const uint8_t* s = FMap.get();
        if (FPixelFormat == lpf24bit) {
            for (int64_t i = 0; i < pixels; ++i, s += 3)
                d[i] = uint8_t((s[0] >> 6) | ((s[1] / 32) << 2) | (s[2] & 0xE0));
            for (int i = 0; i < 256; ++i) {
                uint8_t* e = to.Palette() + i * 3;
                e[2] = uint8_t(std::lround(((i >> 5) & 7) * 255.0 / 7));
                e[1] = uint8_t(std::lround(((i >> 2) & 7) * 255.0 / 7));
                e[0] = uint8_t((i & 3) * 85);
            }
        } else {
            for (int64_t i = 0; i < pixels; ++i) d[i] = s[i * 2 + 1];
            std::memcpy(to.Palette(), GreyPalette().data(), 768);
        }
        break;
    }
    case lpf24bit: {
        to.Allocate(FWidth, FHeight, lpf24bit);
        uint8_t* d = to.Map();
        const uint8_t* s = FMap.get();
        for (int64_t i = 0; i < pixels; ++i, d += 3) {
            switch (FPixelFormat) {
            case lpf8bit: std::memcpy(d, FPalette.get() + s[i] * 3, 3); break;
            case lpf16bitGrey: d[0] = d[1] = d[2] = s[i * 2 + 1]; break;
            default: std::memcpy(d, s + i * 4, 3); break;
            }
        }
        break;
    }
    case lpf32bit: {
        if (FPixelFormat != lpf24bit) ConvertTo(lpf24bit);
        to.Allocate(FWidth, FHeight, lpf32bit);
        uint8_t* d = to.Map();
        const uint8_t* s = FMap.get();
        for (int64_t i = 0; i < pixels; ++i) std::memcpy(d + i * 4, s + i * 3, 3);
        break;
    }
    default: throw ELinearBitmap(SUnsupportedPixelFormat);
    }
    TakeOver(to);
}

bool TLinearBitmap::IsGreyScale() const {
    if (!Present()) return false;
    switch (FPixelFormat) {
    case lpf8bit: return std::memcmp(FPalette.get(), GreyPalette().data(), 768) == 0;
    case lpf16bitGrey: return true;
    case lpf24bit:
        for (int64_t i = 0; i < FSize; i += 3)
            if (FMap[size_t(i)] != FMap[size_t(i) + 1] || FMap[size_t(i)] != FMap[size_t(i) + 2])
                return false;
        return true;
    default: return false;
    }
}

void TLinearBitmap::TakeOver(TLinearBitmap& Other) {
    if (&Other == this) return;
    Clear();
    FWidth = Other.FWidth;
    FHeight = Other.FHeight;
    FPixelFormat = Other.FPixelFormat;
    FBytesPerLine = Other.FBytesPerLine;
    FPixelSize = Other.FPixelSize;
    FSize = Other.FSize;
    FMap = std::move(Other.FMap);
    FPalette = std::move(Other.FPalette);
    Other.Clear();
}

void TLinearBitmap::CopyFromHostBitmap(const TBitmap& Bitmap) {
    if (Bitmap.Width() == 0 || Bitmap.Height() == 0) {
        Clear();
        return;
    }
    const TPixelFormat format = Bitmap.PixelFormat();
    Allocate(Bitmap.Width(), Bitmap.Height(),
             format == pf8bit    ? lpf8bit
             : format == pf24bit ? lpf24bit
                                 : lpf32bit);
    for (int32_t y = 0; y < FHeight; ++y) std::memcpy(ScanLine(y), Bitmap.ScanLine(y), size_t(FBytesPerLine));
    if (format == pf8bit) {
        const TPaletteEntries& entries = Bitmap.EffectivePalette();
        std::memset(FPalette.get(), 0, 768);
        for (size_t i = 0; i < std::min<size_t>(entries.size(), 256); ++i) {
            FPalette[i * 3] = entries[i].peBlue;
            FPalette[i * 3 + 1] = entries[i].peGreen;
            FPalette[i * 3 + 2] = entries[i].peRed;
        }
    }
}

void TLinearBitmap::Assign(const TObject& Source) {
    if (&Source == this) return;
    if (const auto* other = dynamic_cast<const TLinearBitmap*>(&Source)) {
        if (!other->Present()) {
            Clear();
            return;
        }
        Allocate(other->FWidth, other->FHeight, other->FPixelFormat);
        std::memcpy(FMap.get(), other->FMap.get(), size_t(FSize));
        if (FPixelFormat == lpf8bit) std::memcpy(FPalette.get(), other->FPalette.get(), 768);
        return;
    }
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&Source)) {
        const TPixelFormat f = bitmap->PixelFormat();
        if (f == pf8bit || f == pf24bit || f == pf32bit) {
            CopyFromHostBitmap(*bitmap);
            return;
        }
    }
    if (auto* graphic = dynamic_cast<const TGraphic*>(&Source)) {
        TBitmap through;
        RenderToBitmap(const_cast<TGraphic&>(*graphic), through);
        CopyFromHostBitmap(through);
        return;
    }
    TAssignObject::Assign(Source);
}

bool TLinearBitmap::AssignTo(TObject& Dest) const {
    if (auto* other = dynamic_cast<TLinearBitmap*>(&Dest)) {
        other->Assign(*this);
        return true;
    }
    auto* bitmap = dynamic_cast<TBitmap*>(&Dest);
    if (!bitmap) return false;
    if (!Present()) return true;
    const bool indexed = FPixelFormat == lpf8bit || FPixelFormat == lpf16bitGrey;
    bitmap->FreeImage();
    bitmap->SetPixelFormat(indexed ? pf8bit : FPixelFormat == lpf24bit ? pf24bit : pf32bit);
    TPaletteEntries entries(256);
    if (indexed) {
        const uint8_t* p = FPixelFormat == lpf8bit ? FPalette.get() : GreyPalette().data();
        for (size_t i = 0; i < 256; ++i) entries[i] = TPaletteEntry{p[i * 3 + 2], p[i * 3 + 1], p[i * 3], 1};
        bitmap->SetPalette(CreatePalette(std::move(entries)));
    }
    bitmap->SetSize(FWidth, FHeight);
    for (int32_t y = 0; y < FHeight; ++y) {
        const uint8_t* s = ScanLine(y);
        uint8_t* d = bitmap->ScanLine(y);
        if (FPixelFormat == lpf16bitGrey) {
            for (int32_t x = 0; x < FWidth; ++x) d[x] = s[x * 2 + 1];
        } else {
            std::memcpy(d, s, size_t(FBytesPerLine));
        }
    }
    return true;
}

std::string LinearExtension(const std::string& FileName) {
    const size_t dot = FileName.rfind('.');
    const size_t sep = FileName.find_last_of("/:");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    std::string ext = FileName.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return ext;
}

void TLinearBitmap::LoadFromFile(const std::string& FileName) {
    const std::string ext = LinearExtension(FileName);
    TBitmapLoader& loader = BitmapLoaders().FindLoader(ext);
    Clear();
    loader.LoadFromFile(FileName, ext, *this);
}

void TLinearBitmap::SaveToFile(const std::string& FileName) {
    const std::string ext = LinearExtension(FileName);
    BitmapLoaders().FindSaver(ext).SaveToFile(FileName, ext, *this);
}

void TLinearBitmap::LoadFromStream(TBaseStream& Stream, const std::string& Ext) {
    TBitmapLoader& loader = BitmapLoaders().FindLoader(Ext);
    Clear();
    loader.LoadFromStream(Stream, Ext, *this);
}

void TLinearBitmap::SaveToStream(TBaseStream& Stream, const std::string& Ext) {
    BitmapLoaders().FindSaver(Ext).SaveToStream(Stream, Ext, *this);
}

void TLinearBitmap::Draw(TCanvas& Canvas, const TRect& Rect) const {
    if (!Present()) return;
    TBitmap through;
    AssignTo(through);
    through.Draw(Canvas, Rect);
}

} // namespace ferronel::linear
