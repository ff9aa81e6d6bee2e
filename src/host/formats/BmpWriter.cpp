// Writes a bitmap as a Windows bitmap file: 40-byte info header (a version 4 header when the fourth
// byte is opacity), colour table for indexed formats, rows bottom-up.
#include "host/formats/BmpFormat.h"

#include "host/Exceptions.h"
#include "host/Stream.h"

#include <vector>

namespace ferronel {

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

} // namespace

void WriteBmp(TStream& Stream, const TBitmap& Bitmap) {
    TPixelFormat format = Bitmap.PixelFormat();
    if (format == pfDevice) format = pf32bit;
    const int bits = BitsPerPixelOf(format);
    if (bits == 0) throw EInvalidGraphicOperation("Unsupported pixel format");
    const bool alpha = format == pf32bit && Bitmap.AlphaFormat() == afDefined;
    const bool bitfields = format == pf16bit || alpha;
    const uint32_t headerSize = alpha ? 108 : 40;

    TPaletteEntries palette;
    if (IsIndexedFormat(format)) {
        palette = Bitmap.EffectivePalette();
        if (palette.size() > (size_t(1) << bits)) palette.resize(size_t(1) << bits);
    }
    const uint32_t masksSize = bitfields && headerSize == 40 ? 12 : 0;
    const uint32_t offBits = 14 + headerSize + masksSize + uint32_t(palette.size()) * 4;
    const uint64_t imageSize = uint64_t(Bitmap.RowBytes()) * uint64_t(Bitmap.Height());
    if (imageSize + offBits > 0xFFFFFFFFu)
        throw EInvalidGraphicOperation("Picture too large for a bitmap file");

    std::vector<uint8_t> head;
    head.push_back('B');
    head.push_back('M');
    Put32(head, uint32_t(offBits + imageSize));
    Put32(head, 0);
    Put32(head, offBits);
    Put32(head, headerSize);
    Put32(head, uint32_t(Bitmap.Width()));
    Put32(head, uint32_t(Bitmap.Height()));
    Put16(head, 1);
    Put16(head, uint32_t(bits));
    Put32(head, bitfields ? BI_BITFIELDS : BI_RGB);
    Put32(head, uint32_t(imageSize));
    Put32(head, 2835); // 72 dots per inch
    Put32(head, 2835);
    Put32(head, uint32_t(palette.size()));
    Put32(head, 0);
    if (format == pf16bit) {
        Put32(head, 0xF800);
        Put32(head, 0x7E0);
        Put32(head, 0x1F);
    }
    if (alpha) {
        Put32(head, 0xFF0000);
        Put32(head, 0xFF00);
        Put32(head, 0xFF);
        Put32(head, 0xFF000000u);
        Put32(head, 0x73524742);          // sRGB colour space
        head.resize(head.size() + 48, 0); // end points and gamma, unused with sRGB
    }
    for (const TPaletteEntry& e : palette) {
        head.push_back(e.peBlue);
        head.push_back(e.peGreen);
        head.push_back(e.peRed);
        head.push_back(0);
    }
    Stream.WriteBuffer(head.data(), head.size());
    for (int32_t y = Bitmap.Height() - 1; y >= 0; --y)
        Stream.WriteBuffer(Bitmap.ScanLine(y), Bitmap.RowBytes());
}

} // namespace ferronel
