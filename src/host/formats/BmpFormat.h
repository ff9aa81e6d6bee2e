// Windows bitmap files and the device-independent bitmaps inside them (also used by icons).
#pragma once

#include "host/Bitmap.h"
#include "host/HeaderCheck.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

class TStream;

enum TBmpCompression : uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3, // OS/2 2.x headers: Huffman 1D
    BI_JPEG = 4,      // OS/2 2.x headers: 24-bit run-length
    BI_PNG = 5,
    BI_ALPHABITFIELDS = 6,
};

// Info header sizes of the generations the reader tells apart.
enum : uint32_t {
    DibCoreHeaderSize = 12,  // 16-bit sizes, 3-byte colour table entries
    DibInfoHeaderSize = 40,  // masks, when any, follow the header
    DibV2HeaderSize = 52,    // red, green and blue masks inside the header
    DibV3HeaderSize = 56,    // and the alpha mask
    DibOs2v2HeaderSize = 64, // OS/2 2.x: same first fields, other compression codes
    DibV4HeaderSize = 108,
    DibV5HeaderSize = 124,
};

inline constexpr uint16_t BmpSignature = 0x4D42; // "BM"
inline constexpr uint32_t LcsSRGB = 0x73524742;  // "sRGB": the colour space of a version 4 header

// The 14-byte file header.
struct TBmpFileHeader {
    static constexpr size_t Size = 14;
    uint16_t Type = BmpSignature;
    uint32_t FileSize = 0;
    uint16_t Reserved1 = 0;
    uint16_t Reserved2 = 0;
    uint32_t OffBits = 0; // from the start of the file to the pixels; 0 when unknown

    static TBmpFileHeader Parse(std::span<const uint8_t, Size> Bytes);
    void Serialize(std::span<uint8_t, Size> Bytes) const;
};

// An info header of any generation, fields as stored (a core header's 16-bit fields widened), plus
// the two facts loading derives from them.
struct TDibHeader {
    uint32_t HeaderSize = DibInfoHeaderSize;
    int32_t Width = 0;
    int32_t StoredHeight = 0; // negative for rows stored top-down; an icon's counts its mask too
    uint16_t Planes = 1;
    uint16_t BitCount = 0;
    uint32_t Compression = BI_RGB;
    uint32_t ImageSize = 0;
    int32_t XPelsPerMeter = 0;
    int32_t YPelsPerMeter = 0;
    uint32_t ColorsUsed = 0;
    uint32_t ColorsImportant = 0;
    uint32_t Masks[4] = {}; // red, green, blue, alpha (bit-field formats)
    uint32_t ColorSpaceType = 0;

    // Derived by ReadDibHeader: rows of the image (always positive) and their order.
    int32_t Height = 0;
    bool TopDown = false;

    bool Core() const { return HeaderSize == DibCoreHeaderSize; }
    // OS/2 2.x headers share the first fields but use compression 3 and 4 for other schemes.
    bool Os2() const { return HeaderSize < DibInfoHeaderSize || HeaderSize == DibOs2v2HeaderSize; }
    // Writes a 40-byte header, or a version 4 header with its masks and colour space; the bytes
    // must hold HeaderSize.
    void Serialize(std::span<uint8_t> Bytes) const;
};

// Reads an info header (core, OS/2 or Windows up to version 5) and the masks that follow it, leaving
// the stream at the colour table; raises EInvalidGraphic for one CheckDibHeader refuses. In an icon
// the height counts the image and its mask together.
TDibHeader ReadDibHeader(TStream& Stream, bool IconImage);
// The one judgement of an info header, after ReadDibHeader has derived the rows.
THeaderCheck CheckDibHeader(const TDibHeader& Header);
// Reads the colour table at the stream position (indexed images) or skips it.
HPALETTE ReadDibColorTable(TStream& Stream, const TDibHeader& Header);
// Reads the pixels at the stream position into Bitmap, which gets the header's size and a format
// that holds the pixels as stored. Compressed data ends at DataEnd.
void ReadDibPixels(TStream& Stream, const TDibHeader& Header, TBitmap& Bitmap, int64_t DataEnd);

// A whole device-independent bitmap at the stream position: header, colour table and pixels, which
// start at PixelOffset when that lies after the colour table and inside the stream (writers get it
// wrong often enough), else right after the table.
void ReadDib(TStream& Stream, TBitmap& Bitmap, bool IconImage, int64_t PixelOffset = -1);

// A whole bitmap file: file header, info header, colour table and pixels.
void ReadBmp(TStream& Stream, TBitmap& Bitmap);
void WriteBmp(TStream& Stream, const TBitmap& Bitmap);

} // namespace ferronel
