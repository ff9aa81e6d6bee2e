// Writes a bitmap as a Windows bitmap file: 40-byte info header (a version 4 header when the fourth
// byte is opacity), colour table for indexed formats, rows bottom-up.
#include "host/formats/BmpFormat.h"

#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"

#include <algorithm>
#include <vector>

namespace ferronel {

void TDibHeader::Serialize(std::span<uint8_t> Bytes) const {
    if (Bytes.size() < HeaderSize || (HeaderSize != DibInfoHeaderSize && HeaderSize != DibV4HeaderSize))
        throw EInvalidGraphicOperation("Only 40-byte and version 4 bitmap headers are written");
    uint8_t* p = Bytes.data();
    StoreU32LE(p, HeaderSize);
    StoreU32LE(p + 4, uint32_t(Width));
    StoreU32LE(p + 8, uint32_t(StoredHeight));
    StoreU16LE(p + 12, Planes);
    StoreU16LE(p + 14, BitCount);
    StoreU32LE(p + 16, Compression);
    StoreU32LE(p + 20, ImageSize);
    StoreU32LE(p + 24, uint32_t(XPelsPerMeter));
    StoreU32LE(p + 28, uint32_t(YPelsPerMeter));
    StoreU32LE(p + 32, ColorsUsed);
    StoreU32LE(p + 36, ColorsImportant);
    if (HeaderSize == DibV4HeaderSize) {
        for (int i = 0; i < 4; ++i) StoreU32LE(p + 40 + 4 * i, Masks[i]);
        StoreU32LE(p + 56, ColorSpaceType);
        std::fill(p + 60, p + DibV4HeaderSize, 0); // end points and gamma, unused with sRGB
    }
}

void WriteBmp(TStream& Stream, const TBitmap& Bitmap) {
    TPixelFormat format = Bitmap.PixelFormat();
    if (format == pfDevice) format = pf32bit;
    const int bits = BitsPerPixelOf(format);
    if (bits == 0) throw EInvalidGraphicOperation("Unsupported pixel format");
    const bool alpha = format == pf32bit && Bitmap.AlphaFormat() == afDefined;
    const bool bitfields = format == pf16bit || alpha;
    const uint32_t headerSize = alpha ? DibV4HeaderSize : DibInfoHeaderSize;

    TPaletteEntries palette;
    if (IsIndexedFormat(format)) {
        palette = Bitmap.EffectivePalette();
        if (palette.size() > (size_t(1) << bits)) palette.resize(size_t(1) << bits);
    }
    const uint32_t masksSize = bitfields && headerSize == DibInfoHeaderSize ? 12 : 0;
    const uint32_t offBits =
        uint32_t(TBmpFileHeader::Size) + headerSize + masksSize + uint32_t(palette.size()) * 4;
    const uint64_t imageSize = uint64_t(Bitmap.RowBytes()) * uint64_t(Bitmap.Height());
    if (imageSize + offBits > 0xFFFFFFFFu)
        throw EInvalidGraphicOperation("Picture too large for a bitmap file");

    TBmpFileHeader file;
    file.FileSize = uint32_t(offBits + imageSize);
    file.OffBits = offBits;
    TDibHeader info;
    info.HeaderSize = headerSize;
    info.Width = Bitmap.Width();
    info.StoredHeight = Bitmap.Height();
    info.BitCount = uint16_t(bits);
    info.Compression = bitfields ? BI_BITFIELDS : BI_RGB;
    info.ImageSize = uint32_t(imageSize);
    info.XPelsPerMeter = info.YPelsPerMeter = 2835; // 72 dots per inch
    info.ColorsUsed = uint32_t(palette.size());
    if (alpha) {
        const uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
        std::copy_n(masks, 4, info.Masks);
        info.ColorSpaceType = LcsSRGB;
    }

    std::vector<uint8_t> head(TBmpFileHeader::Size + headerSize);
    file.Serialize(std::span(head).first<TBmpFileHeader::Size>());
    info.Serialize(std::span(head).subspan(TBmpFileHeader::Size));
    if (format == pf16bit) { // masks after a 40-byte header
        for (const uint32_t mask : {0xF800u, 0x7E0u, 0x1Fu}) {
            head.resize(head.size() + 4);
            StoreU32LE(head.data() + head.size() - 4, mask);
        }
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
