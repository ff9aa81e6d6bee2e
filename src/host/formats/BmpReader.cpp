// Windows bitmap files: the 14-byte file header in front of a device-independent bitmap.
#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "host/formats/BmpFormat.h"

#include <array>

namespace ferronel {

TBmpFileHeader TBmpFileHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TBmpFileHeader h;
    h.Type = r.U16LE();
    h.FileSize = r.U32LE();
    h.Reserved1 = r.U16LE();
    h.Reserved2 = r.U16LE();
    h.OffBits = r.U32LE();
    return h;
}

void TBmpFileHeader::Serialize(std::span<uint8_t, Size> Bytes) const {
    uint8_t* p = Bytes.data();
    StoreU16LE(p, Type);
    StoreU32LE(p + 2, FileSize);
    StoreU16LE(p + 6, Reserved1);
    StoreU16LE(p + 8, Reserved2);
    StoreU32LE(p + 10, OffBits);
}

void ReadBmp(TStream& Stream, TBitmap& Bitmap) {
    const int64_t start = Stream.Position();
    std::array<uint8_t, TBmpFileHeader::Size> bytes;
    Stream.ReadBuffer(bytes.data(), bytes.size());
    const TBmpFileHeader h = TBmpFileHeader::Parse(bytes);
    if (h.Type != BmpSignature) throw EInvalidGraphic("Bitmap image is not valid");
    ReadDib(Stream, Bitmap, false, h.OffBits != 0 ? start + int64_t(h.OffBits) : -1);
}

} // namespace ferronel
