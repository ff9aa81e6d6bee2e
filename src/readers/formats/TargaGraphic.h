// Truevision Targa images: colour-mapped, true-colour and grey, uncompressed or run-length
// encoded; and writing the bitmap it holds as a Targa file.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

enum TTargaImageType : uint8_t {
    ttNoImage = 0,
    ttColorMapped = 1,
    ttTrueColor = 2,
    ttGray = 3,
    ttRLEColorMapped = 9,
    ttRLETrueColor = 10,
    ttRLEGray = 11,
};

enum TTargaColorMapType : uint8_t { tmNone = 0, tmPresent = 1 };

// Image descriptor bits.
enum : uint8_t {
    tdAttributeBits = 0x0F, // bits of opacity per pixel
    tdRightToLeft = 0x10,   // the first stored pixel of a row is the rightmost
    tdTopDown = 0x20,       // the first stored row is the top row
};

// The 18-byte file header, little-endian, every field as stored.
struct TTargaHeader {
    static constexpr size_t Size = 18;

    uint8_t IDLength = 0;
    uint8_t ColorMapType = tmNone;
    uint8_t ImageType = ttNoImage;
    uint16_t FirstColorMapEntry = 0;
    uint16_t ColorMapLength = 0;
    uint8_t ColorMapEntrySize = 0;
    uint16_t XOrigin = 0;
    uint16_t YOrigin = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t PixelDepth = 0;
    uint8_t Descriptor = 0;

    static TTargaHeader Parse(std::span<const uint8_t, Size> Bytes);
    void Serialize(std::span<uint8_t, Size> Bytes) const;

    bool Gray() const { return ImageType == ttGray || ImageType == ttRLEGray; }
    bool Compressed() const { return ImageType >= ttRLEColorMapped && ImageType <= ttRLEGray; }
    bool Uncompressed() const { return ImageType >= ttColorMapped && ImageType <= ttGray; }
    bool TopDown() const { return (Descriptor & tdTopDown) != 0; }
    bool RightToLeft() const { return (Descriptor & tdRightToLeft) != 0; }
    // 16-bit grey pixels are a grey byte and an opacity byte.
    bool GrayAlpha() const { return Gray() && PixelDepth == 16; }
    bool DeclaresAlpha() const { return (Descriptor & tdAttributeBits) == 8; }
    // Bytes per pixel: depth 15 takes two.
    size_t PixelBytes() const { return (PixelDepth + 1u) / 8; }
    // Bytes of colour map between the ID and the pixels; entries are whole bytes.
    size_t ColorMapBytes() const {
        return ColorMapType == tmPresent ? size_t(ColorMapLength) * ((ColorMapEntrySize + 7u) / 8) : 0;
    }
};

// The one judgement of a header. CanLoad is stricter than loading: it also wants a known image and
// colour map type and a colour map entry size even in files without a map.
THeaderCheck CheckTargaHeader(const TTargaHeader& Header);

class TTargaGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TTargaGraphic, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    // The writer; SaveToStream compresses.
    void SaveToStream(TStream& Stream, bool Compressed);

private:
    // Reads the header at the stream position into FHeader and fills the image properties from it.
    THeaderCheck ReadHeader(TStream& Stream);
    // The palette of a grey or colour-mapped file, from the colour map where the file has one (a
    // grey file's map is skipped); the stream stands at the map.
    void ReadPalette(TStream& Stream, size_t MapBytes);

    TTargaHeader FHeader;
};

} // namespace ferronel
