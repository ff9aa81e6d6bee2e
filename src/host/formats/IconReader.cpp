// Reading icon files: the directory, the choice of image and each image's colour bitmap and mask.
#include "host/formats/Icon.h"

#include "host/formats/BmpFormat.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Stream.h"

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
        const uint64_t w =
            uint64_t(ihdr[8]) << 24 | uint64_t(ihdr[9]) << 16 | uint64_t(ihdr[10]) << 8 | ihdr[11];
        const uint64_t h =
            uint64_t(ihdr[12]) << 24 | uint64_t(ihdr[13]) << 16 | uint64_t(ihdr[14]) << 8 | ihdr[15];
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

void TIcon::SetPngImageDecoder(TPngImageDecoder Decoder) { PngDecoder() = std::move(Decoder); }

void TIcon::LoadFromStream(TStream& Stream) {
    // Icons are small; work on a copy in memory so entries can be visited in any order.
    TMemoryStream file;
    const int64_t start = Stream.Position();
    const int64_t size = Stream.Size() - start;
    if (size < 6) throw EInvalidGraphic(SInvalidIcon);
    file.SetSize(size);
    Stream.ReadBuffer(file.Memory(), size_t(size));

    const uint8_t* p = file.Memory();
    const uint16_t reserved = uint16_t(p[0] | p[1] << 8), type = uint16_t(p[2] | p[3] << 8),
                   count = uint16_t(p[4] | p[5] << 8);
    if (reserved != 0 || (type != 1 && type != 2) || count == 0) throw EInvalidGraphic(SInvalidIcon);
    if (6 + int64_t(count) * 16 > size) throw EInvalidGraphic(SInvalidIcon);

    TCandidate best;
    bool found = false;
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* e = p + 6 + size_t(i) * 16;
        TCandidate c;
        c.Size = int64_t(uint32_t(e[8] | e[9] << 8 | e[10] << 16) | uint32_t(e[11]) << 24);
        c.Offset = int64_t(uint32_t(e[12] | e[13] << 8 | e[14] << 16) | uint32_t(e[15]) << 24);
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
