// Windows bitmap files: the 14-byte file header in front of a device-independent bitmap.
#include "host/BmpFormat.h"

#include "host/Exceptions.h"
#include "host/Stream.h"

namespace ferronel {

void ReadBmp(TStream& Stream, TBitmap& Bitmap) {
    const int64_t start = Stream.Position();
    const int64_t end = Stream.Size();
    uint8_t fileHeader[14];
    Stream.ReadBuffer(fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') throw EInvalidGraphic("Bitmap image is not valid");
    const uint32_t offBits = uint32_t(fileHeader[10]) | uint32_t(fileHeader[11]) << 8 |
                             uint32_t(fileHeader[12]) << 16 | uint32_t(fileHeader[13]) << 24;

    const TDibHeader header = ReadDibHeader(Stream, false);
    HPALETTE palette = ReadDibColorTable(Stream, header);
    // The pixels start where the file header says, unless that points into the headers or past
    // the end, as some writers get it wrong; then they follow the colour table.
    const int64_t afterTable = Stream.Position();
    const int64_t stated = start + int64_t(offBits);
    if (offBits != 0 && stated >= afterTable && stated < end) Stream.SetPosition(stated);
    ReadDibPixels(Stream, header, Bitmap, end);
    if (IsIndexedFormat(Bitmap.PixelFormat())) Bitmap.SetPalette(std::move(palette));
}

} // namespace ferronel
