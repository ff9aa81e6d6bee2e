// Reading icon files: the directory, the choice of image and each image's colour bitmap and mask.
#include "host/formats/Icon.h"

#include "host/ByteReader.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Stream.h"
#include "host/formats/BmpFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ferronel {

namespace {

const char* const SInvalidIcon = "Icon image is not valid";

TIcon::TPngImageDecoder& PngDecoder() {
    static TIcon::TPngImageDecoder decoder;
    return decoder;
}

const uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct TCandidate {
    int64_t Offset = 0;
    int64_t Size = 0;
    bool Png = false;
    uint64_t Area = 0;
    uint32_t Depth = 0;
};

// The size and depth of one directory entry, from the image itself where it can be read (the
// directory's own fields are often 0 or wrong).
bool Examine(TMemoryStream& file, TCandidate& c) {
    if (c.Size < 8) return false;
    uint8_t sig[8];
    file.SetPosition(c.Offset);
    file.ReadBuffer(sig, 8);
    if (std::memcmp(sig, PngSignature, 8) == 0) {
        if (!PngDecoder() || c.Size < 24) return false;
        uint8_t ihdr[16];
        file.ReadBuffer(ihdr, 16); // length, "IHDR", width, height
        const uint64_t w = LoadU32BE(ihdr + 8);
        const uint64_t h = LoadU32BE(ihdr + 12);
        c.Png = true;
        c.Area = w * h;
        c.Depth = 32;
        return true;
    }
    file.SetPosition(c.Offset);
    TDibHeader h;
    try {
        h = ReadDibHeader(file, true);
    } catch (const Exception&) {
        return false;
    }
    c.Area = uint64_t(h.Width) * uint64_t(h.Height);
    c.Depth = h.BitCount;
    return true;
}

} // namespace

TIconDirHeader TIconDirHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TIconDirHeader h;
    h.Reserved = r.U16LE();
    h.Type = r.U16LE();
    h.Count = r.U16LE();
    return h;
}

TIconDirEntry TIconDirEntry::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TIconDirEntry e;
    e.Width = r.U8();
    e.Height = r.U8();
    e.ColorCount = r.U8();
    e.Reserved = r.U8();
    e.Planes = r.U16LE();
    e.BitCount = r.U16LE();
    e.BytesInRes = r.U32LE();
    e.ImageOffset = r.U32LE();
    return e;
}

void TIconDirHeader::Serialize(std::span<uint8_t, Size> Bytes) const {
    StoreU16LE(&Bytes[0], Reserved);
    StoreU16LE(&Bytes[2], Type);
    StoreU16LE(&Bytes[4], Count);
}

void TIconDirEntry::Serialize(std::span<uint8_t, Size> Bytes) const {
    Bytes[0] = Width;
    Bytes[1] = Height;
    Bytes[2] = ColorCount;
    Bytes[3] = Reserved;
    StoreU16LE(&Bytes[4], Planes);
    StoreU16LE(&Bytes[6], BitCount);
    StoreU32LE(&Bytes[8], BytesInRes);
    StoreU32LE(&Bytes[12], ImageOffset);
}

THeaderCheck CheckIconDirectory(const TIconDirHeader& Header, uint64_t FileSize) {
    THeaderCheck c;
    c.Load = Header.Reserved == 0 && (Header.Type == irIcon || Header.Type == irCursor) &&
             Header.Count != 0 &&
             TIconDirHeader::Size + uint64_t(Header.Count) * TIconDirEntry::Size <= FileSize;
    c.CanLoad = c.Load;
    if (!c.Load) c.Refusal = SInvalidIcon;
    return c;
}

void TIcon::SetPngImageDecoder(TPngImageDecoder Decoder) { PngDecoder() = std::move(Decoder); }

void TIcon::LoadFromStream(TStream& Stream) {
    // Icons are small; work on a copy in memory so entries can be visited in any order.
    TMemoryStream file;
    const int64_t start = Stream.Position();
    const int64_t size = Stream.Size() - start;
    if (size < int64_t(TIconDirHeader::Size)) throw EInvalidGraphic(SInvalidIcon);
    file.SetSize(size);
    Stream.ReadBuffer(file.Memory(), size_t(size));

    const uint8_t* p = file.Memory();
    const TIconDirHeader header =
        TIconDirHeader::Parse(std::span<const uint8_t, TIconDirHeader::Size>(p, TIconDirHeader::Size));
    const THeaderCheck check = CheckIconDirectory(header, uint64_t(size));
    if (!check.Load) throw EInvalidGraphic(check.Refusal);

    TCandidate best;
    bool found = false;
    for (uint16_t i = 0; i < header.Count; ++i) {
        const TIconDirEntry e = TIconDirEntry::Parse(std::span<const uint8_t, TIconDirEntry::Size>(
            p + TIconDirHeader::Size + size_t(i) * TIconDirEntry::Size, TIconDirEntry::Size));
        TCandidate c;
        c.Size = e.BytesInRes;
        c.Offset = e.ImageOffset;
        if (c.Offset >= size) continue;
        c.Size = std::min(c.Size, size - c.Offset); // some writers overstate the last entry
        if (!Examine(file, c)) continue;
        if (!found || c.Area > best.Area || (c.Area == best.Area && c.Depth > best.Depth))
            best = c, found = true;
    }
    if (!found) throw EInvalidGraphic(std::string(SInvalidIcon) + " (no image that can be read)");

    TMemoryStream entry(file.Memory() + best.Offset, size_t(best.Size));
    TBitmap image, mask;
    if (best.Png) {
        PngDecoder()(entry, image);
    } else {
        ReadDib(entry, image, true);
        // 32-bit images carry their own opacity unless it is all 0; then the AND mask rules.
        const bool ownAlpha = image.AnyFourthByteSet();
        image.SetAlphaFormat(ownAlpha ? afDefined : afIgnored);
        if (!ownAlpha) {
            mask.SetPixelFormat(pf1bit);
            mask.SetSize(image.Width(), image.Height());
            // A missing mask (truncated entry) leaves the image opaque.
            if (entry.Size() - entry.Position() >= int64_t(mask.RowBytes()) * mask.Height())
                for (int32_t y = mask.Height() - 1; y >= 0; --y)
                    entry.ReadBuffer(mask.ScanLine(y), mask.RowBytes());
        }
    }
    FImage.Assign(image);
    FMask.Assign(mask);
    Changed(this);
}

} // namespace ferronel
