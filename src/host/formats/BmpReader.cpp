// Windows bitmap files: the 14-byte file header in front of a device-independent bitmap.
#include "host/formats/BmpFormat.h"

#include "host/Exceptions.h"
#include "host/Stream.h"

namespace ferronel {

void ReadBmp(TStream& Stream, TBitmap& Bitmap) {
    const int64_t start = Stream.Position();
    uint8_t fileHeader[14];
    Stream.ReadBuffer(fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') throw EInvalidGraphic("Bitmap image is not valid");
    const uint32_t offBits = uint32_t(fileHeader[10]) | uint32_t(fileHeader[11]) << 8 |
                             uint32_t(fileHeader[12]) << 16 | uint32_t(fileHeader[13]) << 24;
    ReadDib(Stream, Bitmap, false, offBits != 0 ? start + int64_t(offBits) : -1);
}

} // namespace ferronel
