// The linear-bitmap library's pixel buffer: rows top-down, one after another without padding.
// Formats: 3 = 8 bits with a palette, 5 = 16-bit grey (little-endian samples), 6 = 24 bits (blue,
// green, red), 7 = 32 bits (blue, green, red, fourth byte), 8 = none. Palettes are 256 entries of
// blue, green, red.
#pragma once

#include "host/Types.h"
#include "linear/BaseStream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace ferronel {
class TBitmap;
class TCanvas;
} // namespace ferronel

namespace ferronel::linear {

FERRONEL_EXCEPTION(ELinearBitmap, Exception);
FERRONEL_EXCEPTION(EUnsupportedFileFormat, Exception);

enum : uint8_t { lpf8bit = 3, lpf16bitGrey = 5, lpf24bit = 6, lpf32bit = 7, lpfNone = 8 };

using TLinearPalette = std::array<uint8_t, 768>;
// Entry i is (i, i, i).
const TLinearPalette& GreyPalette();

class TLinearBitmap : public TAssignObject {
    FERRONEL_CLASS(TLinearBitmap, TAssignObject)
public:
    TLinearBitmap() = default;
    TLinearBitmap(const TLinearBitmap&) = delete;
    TLinearBitmap& operator=(const TLinearBitmap&) = delete;

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    uint8_t PixelFormat() const { return FPixelFormat; }
    int64_t BytesPerLine() const { return FBytesPerLine; }
    int32_t PixelSize() const { return FPixelSize; }
    int64_t Size() const { return FSize; }
    bool Present() const { return FMap != nullptr; }
    uint8_t* Map() { return FMap.get(); }
    const uint8_t* Map() const { return FMap.get(); }
    uint8_t* Palette() { return FPalette.get(); }
    const uint8_t* Palette() const { return FPalette.get(); }

    // Keeps the pixels when size and format are already these; new pixels and palettes are 0.
    void Allocate(int32_t Width, int32_t Height, uint8_t PixelFormat);
    virtual void Clear();
    uint8_t* ScanLine(int32_t Row) { return FMap.get() + Row * FBytesPerLine; }
    const uint8_t* ScanLine(int32_t Row) const { return FMap.get() + Row * FBytesPerLine; }
    void FillBytes(uint8_t Value);
    // Color is 0x00BBGGRR.
    void Fill(TColor Color);
    void Resize(int32_t NewWidth, int32_t NewHeight, int32_t OffsetX, int32_t OffsetY, TColor Color);
    void ConvertTo(uint8_t PixelFormat);
    bool IsGreyScale() const;
    // Takes Other's pixels and palette; Other is left empty.
    void TakeOver(TLinearBitmap& Other);

    void Assign(const TObject& Source) override;
    bool AssignTo(TObject& Dest) const override;

    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);
    void LoadFromStream(TBaseStream& Stream, const std::string& Ext);
    void SaveToStream(TBaseStream& Stream, const std::string& Ext);
    // Stretches the picture onto Rect of Canvas.
    void Draw(TCanvas& Canvas, const TRect& Rect) const;

private:
    void CopyFromHostBitmap(const ferronel::TBitmap& Bitmap);

    int32_t FWidth = 0;
    int32_t FHeight = 0;
    uint8_t FPixelFormat = lpfNone;
    int64_t FBytesPerLine = 0;
    int32_t FPixelSize = 0;
    int64_t FSize = 0;
    std::unique_ptr<uint8_t[]> FMap;
    std::unique_ptr<uint8_t[]> FPalette;
};

// The extension of a file name, upper case: the text after the last dot when that dot follows the
// last path separator, else empty.
std::string LinearExtension(const std::string& FileName);

} // namespace ferronel::linear
