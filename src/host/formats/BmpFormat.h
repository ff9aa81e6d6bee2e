// Windows bitmap files and the device-independent bitmaps inside them (also used by icons).
#pragma once

#include "host/Bitmap.h"

#include <cstdint>

namespace ferronel {

class TStream;

enum : uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6 };

struct TDibHeader {
    uint32_t HeaderSize = 0;
    int32_t Width = 0;
    int32_t Height = 0; // rows, always positive
    bool TopDown = false;
    uint16_t BitCount = 0;
    uint32_t Compression = BI_RGB;
    uint32_t ColorsUsed = 0;
    uint32_t ImageSize = 0;
    uint32_t Masks[4] = {}; // red, green, blue, alpha (bit-field formats)
    bool Core = false;      // 12-byte header: 16-bit sizes and 3-byte colour table entries
};

// Reads an info header (core, OS/2 or Windows up to version 5) and the masks that follow it, leaving
// the stream at the colour table. In an icon the height counts the image and its mask together.
TDibHeader ReadDibHeader(TStream& Stream, bool IconImage);
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
