// Device-independent bitmap decoding: headers of every generation, colour tables, uncompressed rows
// in 1 to 32 bits, bit-field masks and the two run-length encodings.
#include "host/formats/BmpFormat.h"

#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Stream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace ferronel {

namespace {

const char* const SInvalidBitmap = "Bitmap image is not valid";
const char* const SUnsupportedBitmap = "Unsupported bitmap: %s";

[[noreturn]] void Invalid(const std::string& detail) {
    throw EInvalidGraphic(std::string(SInvalidBitmap) + " (" + detail + ")");
}

// One channel of a bit-field pixel: where it sits and how to widen it to 8 bits.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    int Bits = 0;
    uint8_t Scale[256] = {}; // for channels of at most 8 bits

    explicit TChannel(uint32_t mask) : Mask(mask) {
        if (!mask) return;
        Shift = std::countr_zero(mask);
        Bits = int(std::bit_width(mask >> Shift)); // the span, so that masks with gaps stay in range
        if (Bits <= 8) {
            const uint32_t max = (1u << Bits) - 1;
            for (uint32_t v = 0; v <= max; ++v) Scale[v] = uint8_t((v * 255 + max / 2) / max);
        }
    }
    uint8_t Get(uint32_t pixel, uint8_t absent) const {
        if (!Mask) return absent;
        const uint32_t v = (pixel & Mask) >> Shift;
        return Bits <= 8 ? Scale[v] : uint8_t(v >> (Bits - 8));
    }
};

bool MasksAre(const TDibHeader& h, uint32_t r, uint32_t g, uint32_t b) {
    return h.Masks[0] == r && h.Masks[1] == g && h.Masks[2] == b;
}

// Run-length decoding into an 8- or 4-bit bitmap, rows from the bottom. Codes that would move past
// the bitmap are clipped; data that ends early leaves the rest of the picture at index 0.
void DecodeRle(const uint8_t* src, size_t size, bool rle4, TBitmap& bitmap) {
    const int64_t w = bitmap.Width(), h = bitmap.Height();
    int64_t x = 0, y = 0;
    uint8_t* row = bitmap.ScanLine(int32_t(h - 1));
    auto put = [&](uint32_t v) {
        if (x < w) {
            if (rle4)
                row[x >> 1] = uint8_t((x & 1) ? (row[x >> 1] & 0xF0) | v : (row[x >> 1] & 0x0F) | v << 4);
            else
                row[x] = uint8_t(v);
        }
        ++x;
    };
    size_t p = 0;
    while (p + 1 < size) {
        const uint8_t n = src[p], b = src[p + 1];
        p += 2;
        if (n > 0) {
            if (x >= w) continue;
            for (uint32_t i = 0; i < n && x < w; ++i) put(rle4 ? ((i & 1) ? b & 15 : b >> 4) : b);
            continue;
        }
        if (b == 1) return; // end of bitmap
        if (b == 0 || b == 2) {
            if (b == 0) {
                x = 0;
                ++y;
            } else {
                if (p + 1 >= size) return;
                x += src[p];
                y += src[p + 1];
                p += 2;
            }
            if (y >= h) return;
            row = bitmap.ScanLine(int32_t(h - 1 - y));
            continue;
        }
        // Absolute run of b pixels, padded to a 16-bit boundary.
        const size_t bytes = rle4 ? (size_t(b) + 1) / 2 : b;
        const size_t available = std::min(bytes, size - p);
        const uint32_t count = rle4 ? uint32_t(std::min<size_t>(b, available * 2)) : uint32_t(available);
        for (uint32_t i = 0; i < count && x < w; ++i)
            put(rle4 ? (src[p + i / 2] >> ((i & 1) ? 0 : 4)) & 15 : src[p + i]);
        if (available < bytes) return;
        p += (bytes + 1) & ~size_t(1);
    }
}

} // namespace

namespace {

// Fields of an info header of HeaderSize bytes; the reader holds the bytes after the size field.
void ParseInfoFields(TByteReader& r, TDibHeader& h) {
    if (h.Core()) {
        h.Width = r.U16LE();
        h.StoredHeight = r.U16LE();
        h.Planes = r.U16LE();
        h.BitCount = r.U16LE();
        return;
    }
    // Headers shorter than 40 bytes (OS/2 2.x may stop anywhere) leave the rest at 0.
    std::array<uint8_t, DibV5HeaderSize - 4> all = {};
    const size_t stored = std::min(r.Remaining(), all.size());
    r.Read(all.data(), stored);
    TByteReader f(all);
    h.Width = f.S32LE();
    h.StoredHeight = f.S32LE();
    h.Planes = f.U16LE();
    h.BitCount = f.U16LE();
    h.Compression = f.U32LE();
    h.ImageSize = f.U32LE();
    h.XPelsPerMeter = f.S32LE();
    h.YPelsPerMeter = f.S32LE();
    h.ColorsUsed = f.U32LE();
    h.ColorsImportant = f.U32LE();
    if (!h.Os2()) {
        if (h.HeaderSize >= DibV2HeaderSize)
            for (int i = 0; i < 3; ++i) h.Masks[i] = f.U32LE();
        if (h.HeaderSize >= DibV3HeaderSize) h.Masks[3] = f.U32LE();
        if (h.HeaderSize >= DibV4HeaderSize) h.ColorSpaceType = f.U32LE();
    }
}

} // namespace

TDibHeader ReadDibHeader(TStream& Stream, bool IconImage) {
    TDibHeader h;
    h.HeaderSize = Stream.ReadDWord();
    if (h.Core() || h.HeaderSize >= 16) {
        std::array<uint8_t, DibV5HeaderSize - 4> bytes;
        const size_t stored = std::min<size_t>(h.HeaderSize, DibV5HeaderSize) - 4;
        Stream.ReadBuffer(bytes.data(), stored);
        if (h.HeaderSize > DibV5HeaderSize) Stream.Seek(int64_t(h.HeaderSize - DibV5HeaderSize), soCurrent);
        TByteReader r(std::span<const uint8_t>(bytes.data(), stored));
        ParseInfoFields(r, h);
        if (h.HeaderSize == DibInfoHeaderSize &&
            (h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS)) {
            const int count = h.Compression == BI_ALPHABITFIELDS ? 4 : 3;
            for (int i = 0; i < count; ++i) h.Masks[i] = Stream.ReadDWord();
        }
    }
    if (h.StoredHeight != INT32_MIN) {
        h.TopDown = h.StoredHeight < 0;
        h.Height = h.TopDown ? -h.StoredHeight : h.StoredHeight;
        if (IconImage) h.Height /= 2;
    }
    const THeaderCheck check = CheckDibHeader(h);
    if (!check.Load) throw EInvalidGraphic(check.Refusal);
    if (h.Compression == BI_RGB) {
        // Masks in a newer header mean nothing without the bit-field compression.
        static const uint32_t masks16[4] = {0x7C00, 0x3E0, 0x1F, 0};
        static const uint32_t masks32[4] = {0xFF0000, 0xFF00, 0xFF, 0};
        if (h.BitCount == 16) std::copy_n(masks16, 4, h.Masks);
        if (h.BitCount == 32) std::copy_n(masks32, 4, h.Masks);
    }
    return h;
}

THeaderCheck CheckDibHeader(const TDibHeader& h) {
    THeaderCheck c;
    auto invalid = [&](const std::string& detail) {
        c.Refusal = std::string(SInvalidBitmap) + " (" + detail + ")";
        return c;
    };
    auto unsupported = [&](const std::string& what) {
        c.Refusal = Format(SUnsupportedBitmap, {what});
        return c;
    };
    if (!h.Core() && h.HeaderSize < 16) return invalid(Format("header size %d", {h.HeaderSize}));
    if (h.StoredHeight == INT32_MIN) return invalid("height out of range");
    if (h.Os2() && (h.Compression == BI_BITFIELDS || h.Compression == BI_JPEG))
        return unsupported("OS/2 Huffman or 24-bit run-length compression");
    if (h.Width <= 0 || h.Height <= 0) return invalid(Format("size %d x %d", {h.Width, h.Height}));
    switch (h.BitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: return unsupported(Format("%d bits per pixel", {h.BitCount}));
    }
    switch (h.Compression) {
    case BI_RGB: break;
    case BI_RLE8:
    case BI_RLE4:
        if (h.BitCount != (h.Compression == BI_RLE8 ? 8 : 4))
            return invalid("run-length encoding with a wrong depth");
        if (h.TopDown) return invalid("run-length encoded rows stored top-down");
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (h.BitCount != 16 && h.BitCount != 32) return invalid("bit-field masks with a wrong depth");
        break;
    default: return unsupported(Format("compression %d", {h.Compression}));
    }
    c.Load = c.CanLoad = true;
    return c;
}

HPALETTE ReadDibColorTable(TStream& Stream, const TDibHeader& Header) {
    const uint32_t entrySize = Header.Core() ? 3 : 4;
    uint64_t count = Header.ColorsUsed;
    if (count == 0 && Header.BitCount <= 8) count = uint64_t(1) << Header.BitCount;
    if (Header.BitCount > 8) {
        // A table beside true-colour pixels is only a display hint; skip it.
        if (count > 0 && !Header.Core())
            Stream.Seek(int64_t(std::min<uint64_t>(count, 1u << 24) * entrySize), soCurrent);
        return nullptr;
    }
    // Only 2^bits entries can be used; a larger stated count is skipped over.
    const uint64_t used = std::min<uint64_t>(count, uint64_t(1) << Header.BitCount);
    std::vector<uint8_t> raw(size_t(used * entrySize));
    Stream.ReadBuffer(raw.data(), raw.size());
    if (count > used) Stream.Seek(int64_t(std::min<uint64_t>(count - used, 1u << 24) * entrySize), soCurrent);
    TPaletteEntries entries(static_cast<size_t>(used));
    for (size_t i = 0; i < entries.size(); ++i) {
        const uint8_t* e = raw.data() + i * entrySize;
        entries[i] = {e[2], e[1], e[0], 0};
    }
    return CreatePalette(std::move(entries));
}

void ReadDib(TStream& Stream, TBitmap& Bitmap, bool IconImage, int64_t PixelOffset) {
    const TDibHeader header = ReadDibHeader(Stream, IconImage);
    HPALETTE palette = ReadDibColorTable(Stream, header);
    const int64_t end = Stream.Size();
    if (PixelOffset >= Stream.Position() && PixelOffset < end) Stream.SetPosition(PixelOffset);
    ReadDibPixels(Stream, header, Bitmap, end);
    // A true-colour picture read into a bitmap that held an indexed one keeps no palette of it.
    Bitmap.SetPalette(IsIndexedFormat(Bitmap.PixelFormat()) ? std::move(palette) : nullptr);
}

void ReadDibPixels(TStream& Stream, const TDibHeader& Header, TBitmap& Bitmap, int64_t DataEnd) {
    const int32_t w = Header.Width, h = Header.Height;
    const uint16_t bits = Header.BitCount;

    TPixelFormat format;
    bool direct = true; // the file's row layout is the bitmap's
    switch (bits) {
    case 1: format = pf1bit; break;
    case 4: format = pf4bit; break;
    case 8: format = pf8bit; break;
    case 24: format = pf24bit; break;
    case 16:
        if (Header.Masks[3] == 0 && MasksAre(Header, 0x7C00, 0x3E0, 0x1F))
            format = pf15bit;
        else if (Header.Masks[3] == 0 && MasksAre(Header, 0xF800, 0x7E0, 0x1F))
            format = pf16bit;
        else
            format = pf32bit, direct = false;
        break;
    default: // 32
        format = pf32bit;
        direct = MasksAre(Header, 0xFF0000, 0xFF00, 0xFF) &&
                 (Header.Masks[3] == 0 || Header.Masks[3] == 0xFF000000u);
        break;
    }
    Bitmap.FreeImage();
    Bitmap.SetPixelFormat(format);
    Bitmap.SetAlphaFormat(Header.Masks[3] != 0 && Header.Compression != BI_RGB ? afDefined : afIgnored);
    Bitmap.SetSize(w, h);

    if (Header.Compression == BI_RLE8 || Header.Compression == BI_RLE4) {
        const int64_t start = Stream.Position();
        int64_t end = DataEnd;
        if (Header.ImageSize != 0) end = std::min(end, start + int64_t(Header.ImageSize));
        if (end <= start) Invalid("no run-length data");
        std::vector<uint8_t> data(size_t(end - start));
        Stream.ReadBuffer(data.data(), data.size());
        DecodeRle(data.data(), data.size(), Header.Compression == BI_RLE4, Bitmap);
        return;
    }

    const size_t fileRowBytes = size_t(BytesPerScanline(uint64_t(w), bits));
    if (direct) {
        for (int32_t i = 0; i < h; ++i)
            Stream.ReadBuffer(Bitmap.ScanLine(Header.TopDown ? i : h - 1 - i), fileRowBytes);
        return;
    }

    // Bit-field masks other than the usual ones: widen each channel to 8 bits.
    const TChannel red(Header.Masks[0]), green(Header.Masks[1]), blue(Header.Masks[2]),
        alpha(Header.Masks[3]);
    std::vector<uint8_t> row(fileRowBytes);
    for (int32_t i = 0; i < h; ++i) {
        Stream.ReadBuffer(row.data(), row.size());
        uint8_t* d = Bitmap.ScanLine(Header.TopDown ? i : h - 1 - i);
        const uint8_t* s = row.data();
        for (int32_t x = 0; x < w; ++x, d += 4) {
            const uint32_t v = bits == 16 ? LoadU16LE(s + 2 * x) : LoadU32LE(s + 4 * x);
            d[0] = blue.Get(v, 0);
            d[1] = green.Get(v, 0);
            d[2] = red.Get(v, 0);
            d[3] = alpha.Get(v, 0);
        }
    }
}

} // namespace ferronel
