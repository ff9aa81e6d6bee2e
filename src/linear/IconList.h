// The images of an icon or cursor file: each image's colour rows, mask rows and palette as the file
// stores them, read from and written to the file's layout.
#pragma once

#include "host/HeaderCheck.h"
#include "host/Types.h"
#include "host/formats/BmpFormat.h"
#include "host/formats/Icon.h"
#include "linear/BaseStream.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <vector>

namespace ferronel::linear {

class TLinearBitmap;

enum TIconListKind : uint16_t { ikOther = 0, ikIcon = irIcon, ikCursor = irCursor };

// The 40-byte information header in front of each image; its height counts the mask rows too.
TDibHeader ParseIconImageHeader(std::span<const uint8_t, DibInfoHeaderSize> Bytes);

// The one judgement of an image's header against its directory entry (icons have no CanLoad of
// their own). The refusal holds %d for the entry's number.
THeaderCheck CheckIconImageHeader(const TIconDirEntry& Entry, const TDibHeader& Header);

// One image. Rows are bottom-up as in the file; palette entries are red, green, blue and a flag 1.
class TIconImage {
public:
    // Raises EInvalidGraphic "Unsupported pixel format" for a bit count other than 1, 4, 8 or 24.
    TIconImage(int32_t Width, int32_t Height, int32_t BitCount);

    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t PixelFormat = 0; // the host's code: 1, 2, 3 or 6
    int32_t BitCount = 0;
    int32_t XorStride = 0;
    int32_t MaskStride = 0;
    int32_t XorSize = 0;
    int32_t MaskSize = 0;
    int32_t PaletteSize = 0; // bytes
    std::vector<uint8_t> Mask;
    std::vector<uint8_t> Xor;
    std::vector<uint8_t> Palette;
    uint16_t HotSpotX = 0;
    uint16_t HotSpotY = 0;

    int32_t PaletteCount() const { return PaletteSize / 4; }
    // Entry I as 0x00BBGGRR.
    TColor PaletteColor(int32_t I) const;
    bool HasPaletteColor(TColor Color) const;
    // Whether the pixel (X, Y), Y counted from the top, is transparent.
    bool Transparent(int32_t X, int32_t Y) const;
    // Draws the opaque pixels with their top left corner at (X, Y), clipped to Target: palette
    // indices into an 8-bit target (whose palette is the caller's), colours into a 24- or 32-bit one.
    void Draw(TLinearBitmap& Target, int32_t X, int32_t Y) const;
};

class TIconList {
public:
    uint16_t Kind = ikOther;

    int32_t Count() const { return int32_t(FImages.size()); }
    TIconImage& operator[](int32_t Index) { return *FImages[size_t(Index)]; }
    const TIconImage& operator[](int32_t Index) const { return *FImages[size_t(Index)]; }
    void Clear();
    TIconImage& Add(int32_t Width, int32_t Height, int32_t BitCount);

    // Reads every image the file holds. An entry that cannot be read (a size that disagrees with its
    // header, a depth or compression not handled, data outside the file) is passed over; when no
    // entry can be read, the first entry's error is raised. Entries not read are counted in Skipped.
    void LoadFromStream(TBaseStream& Stream);
    // Raises EInvalidGraphicOperation "Unsupported file format" for a kind other than icon or cursor.
    void SaveToStream(TBaseStream& Stream) const;
    int32_t Skipped() const { return FSkipped; }

private:
    std::vector<std::unique_ptr<TIconImage>> FImages;
    int32_t FSkipped = 0;
};

} // namespace ferronel::linear
