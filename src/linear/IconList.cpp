#include "linear/IconList.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Format.h"
#include "host/PixelFormat.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <cstring>

namespace ferronel::linear {

namespace {

constexpr int32_t ReadChunk = 65536;

// Everything the stream still holds. Entries may point anywhere in the file, in any order, and the
// stream cannot seek; what is kept is never more than the file itself.
std::vector<uint8_t> ReadAll(TBaseStream& Stream) {
    struct TRestoreExact {
        TBaseStream& Stream;
        bool Exact;
        ~TRestoreExact() { Stream.SetExactTransfers(Exact); }
    } restore{Stream, Stream.ExactTransfers()};
    Stream.SetExactTransfers(false);
    std::vector<uint8_t> bytes;
    for (;;) {
        const size_t at = bytes.size();
        bytes.resize(at + ReadChunk);
        const int32_t got = Stream.Read(bytes.data() + at, ReadChunk);
        bytes.resize(at + size_t(std::max(got, 0)));
        if (got <= 0) break;
    }
    return bytes;
}

// Reads an entry into Image; answers the message of the error that makes the entry unreadable
// (with %d for its number), or an empty text.
std::string ReadImage(std::span<const uint8_t> File, const TIconDirEntry& Entry,
                      std::unique_ptr<TIconImage>& Image) {
    const uint64_t size = File.size();
    const uint64_t offset = Entry.ImageOffset;
    if (offset > size || size - offset < DibInfoHeaderSize) return SIconOutsideFile;
    const TDibHeader header = ParseIconImageHeader(
        std::span<const uint8_t, DibInfoHeaderSize>(File.data() + offset, DibInfoHeaderSize));
    const THeaderCheck check = CheckIconImageHeader(Entry, header);
    if (!check.Load) return check.Refusal;
    const int32_t stored = header.BitCount;

    // Images with their own opacity are kept as 24 bits with the mostly transparent pixels masked.
    auto image = std::make_unique<TIconImage>(Entry.Width, Entry.Height, stored == 32 ? 24 : stored);
    image->HotSpotX = Entry.Planes;
    image->HotSpotY = Entry.BitCount;

    uint64_t at = offset + header.HeaderSize;
    if (stored <= 8) {
        // The colour table holds the header's count of used colours when it gives one.
        const uint32_t full = 1u << stored;
        const uint32_t used = header.ColorsUsed > 0 && header.ColorsUsed < full ? header.ColorsUsed : full;
        if (at > size || size - at < uint64_t(used) * 4) return SIconOutsideFile;
        const uint8_t* p = File.data() + at;
        for (uint32_t i = 0; i < used; ++i, p += 4) {
            uint8_t* e = image->Palette.data() + size_t(i) * 4;
            e[0] = p[2];
            e[1] = p[1];
            e[2] = p[0];
        }
        at += uint64_t(used) * 4;
    }
    // Rows are padded to whole 32-bit words.
    const uint64_t storedStride = (CheckedRowBytes(uint64_t(Entry.Width), uint64_t(stored)) + 3) / 4 * 4;
    const uint64_t xorBytes = storedStride * Entry.Height;
    if (at > size || size - at < xorBytes) return SIconOutsideFile;
    const uint8_t* rows = File.data() + at;
    at += xorBytes;
    // The mask comes last; writers that cut it short leave the rest of the picture opaque.
    const uint64_t maskBytes = std::min<uint64_t>(uint64_t(image->MaskSize), at <= size ? size - at : 0);
    std::copy_n(File.data() + std::min(at, size), size_t(maskBytes), image->Mask.data());

    if (stored != 32) {
        std::copy_n(rows, size_t(xorBytes), image->Xor.data());
    } else {
        for (int32_t y = 0; y < image->Height; ++y) {
            const uint8_t* s = rows + size_t(y) * storedStride;
            uint8_t* d = image->Xor.data() + size_t(y) * size_t(image->XorStride);
            uint8_t* m = image->Mask.data() + size_t(y) * size_t(image->MaskStride);
            for (int32_t x = 0; x < image->Width; ++x, s += 4, d += 3) {
                std::memcpy(d, s, 3);
                if (s[3] < 128) m[x >> 3] = uint8_t(m[x >> 3] | 0x80 >> (x & 7));
            }
        }
    }
    Image = std::move(image);
    return {};
}

} // namespace

TDibHeader ParseIconImageHeader(std::span<const uint8_t, DibInfoHeaderSize> Bytes) {
    TByteReader r(Bytes);
    TDibHeader h;
    h.HeaderSize = r.U32LE();
    h.Width = r.S32LE();
    h.StoredHeight = r.S32LE();
    h.Planes = r.U16LE();
    h.BitCount = r.U16LE();
    h.Compression = r.U32LE();
    h.ImageSize = r.U32LE();
    h.XPelsPerMeter = r.S32LE();
    h.YPelsPerMeter = r.S32LE();
    h.ColorsUsed = r.U32LE();
    h.ColorsImportant = r.U32LE();
    h.Height = h.StoredHeight / 2;
    return h;
}

THeaderCheck CheckIconImageHeader(const TIconDirEntry& Entry, const TDibHeader& Header) {
    THeaderCheck c;
    // A width or height byte of 0 stands for 256 pixels: such images (and PNG-compressed ones, whose
    // signature reads as a nonsense header) do not match their entry.
    if (Entry.Width == 0 || Entry.Height == 0 || Header.HeaderSize < DibInfoHeaderSize ||
        Header.Width != Entry.Width || Header.StoredHeight / 2 != Entry.Height) {
        c.Refusal = SSizeMismatchInIcon;
        return c;
    }
    const uint16_t bits = Header.BitCount;
    if (Header.Compression != BI_RGB || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
        c.Refusal = SUnsupportedPixelFormat;
        return c;
    }
    c.Load = c.CanLoad = true;
    return c;
}

TIconImage::TIconImage(int32_t AWidth, int32_t AHeight, int32_t ABitCount) {
    switch (ABitCount) {
    case 1: PixelFormat = pf1bit; break;
    case 4: PixelFormat = pf4bit; break;
    case 8: PixelFormat = pf8bit; break;
    case 24: PixelFormat = pf24bit; break;
    default: throw EInvalidGraphic(SUnsupportedPixelFormat);
    }
    // The directory stores each side in a byte, 0 standing for 256.
    if (AWidth <= 0 || AHeight <= 0 || AWidth > 256 || AHeight > 256)
        throw EInvalidGraphic(SInvalidBitmapSize);
    Width = AWidth;
    Height = AHeight;
    BitCount = ABitCount;
    XorStride = (BitCount * Width + 31) / 32 * 4;
    MaskStride = (Width + 31) / 32 * 4;
    XorSize = Height * XorStride;
    MaskSize = Height * MaskStride;
    PaletteSize = BitCount <= 8 ? 4 << BitCount : 0;
    Xor.assign(size_t(XorSize), 0);
    Mask.assign(size_t(MaskSize), 0);
    Palette.assign(size_t(PaletteSize), 0);
    for (size_t i = 3; i < Palette.size(); i += 4) Palette[i] = 1;
}

TColor TIconImage::PaletteColor(int32_t I) const {
    const uint8_t* e = Palette.data() + size_t(I) * 4;
    return RGBColor(e[0], e[1], e[2]);
}

bool TIconImage::HasPaletteColor(TColor Color) const {
    for (int32_t i = 0; i < PaletteCount(); ++i)
        if (PaletteColor(i) == Color) return true;
    return false;
}

bool TIconImage::Transparent(int32_t X, int32_t Y) const {
    const uint8_t* m = Mask.data() + size_t(Height - 1 - Y) * size_t(MaskStride);
    return (m[X >> 3] & (0x80 >> (X & 7))) != 0;
}

void TIconImage::Draw(TLinearBitmap& Target, int32_t X, int32_t Y) const {
    const uint8_t format = Target.PixelFormat();
    if (!Target.Present() || (format != lpf8bit && format != lpf24bit && format != lpf32bit) ||
        (format == lpf8bit && BitCount > 8))
        throw ELinearBitmap(SUnsupportedPixelFormat);
    const int32_t ps = Target.PixelSize();
    const int32_t x0 = std::max(0, -X), x1 = std::min(Width, Target.Width() - X);
    const int32_t y0 = std::max(0, -Y), y1 = std::min(Height, Target.Height() - Y);
    // Palette entries as the target's blue, green, red.
    uint8_t bgr[256][3] = {};
    for (int32_t i = 0; i < PaletteCount(); ++i) {
        bgr[i][0] = Palette[size_t(i) * 4 + 2];
        bgr[i][1] = Palette[size_t(i) * 4 + 1];
        bgr[i][2] = Palette[size_t(i) * 4];
    }
    const int shift = BitCount <= 8 ? 8 - BitCount : 0;
    const int valueMask = (1 << BitCount) - 1;
    for (int32_t y = y0; y < y1; ++y) {
        const size_t fileRow = size_t(Height - 1 - y);
        const uint8_t* src = Xor.data() + fileRow * size_t(XorStride);
        const uint8_t* mask = Mask.data() + fileRow * size_t(MaskStride);
        uint8_t* row = Target.ScanLine(Y + y);
        for (int32_t x = x0; x < x1; ++x) {
            if (mask[x >> 3] & (0x80 >> (x & 7))) continue;
            uint8_t* d = row + (int64_t(X) + x) * ps;
            if (BitCount == 24) {
                std::memcpy(d, src + size_t(x) * 3, 3);
                continue;
            }
            const int bit = x * BitCount;
            const uint8_t index = uint8_t(src[bit >> 3] >> (shift - (bit & 7)) & valueMask);
            if (format == lpf8bit)
                *d = index;
            else
                std::memcpy(d, bgr[index], 3);
        }
    }
}

void TIconList::Clear() {
    FImages.clear();
    FSkipped = 0;
    Kind = ikOther;
}

TIconImage& TIconList::Add(int32_t Width, int32_t Height, int32_t BitCount) {
    FImages.push_back(std::make_unique<TIconImage>(Width, Height, BitCount));
    return *FImages.back();
}

void TIconList::LoadFromStream(TBaseStream& Stream) {
    Clear();
    const std::vector<uint8_t> file = ReadAll(Stream);
    TByteReader reader(file);
    const TIconDirHeader header =
        TIconDirHeader::Parse(reader.Bytes(TIconDirHeader::Size).first<TIconDirHeader::Size>());
    Kind = header.Type == ikIcon || header.Type == ikCursor ? header.Type : uint16_t(ikOther);

    // Only entries the file holds count; a directory claiming more makes no room for them.
    const size_t present = (file.size() - TIconDirHeader::Size) / TIconDirEntry::Size;
    FImages.reserve(std::min<size_t>(header.Count, present));
    std::string firstError;
    for (uint32_t i = 0; i < header.Count; ++i) {
        if (i >= present) {
            // The directory runs past the end of the file: none of the rest can be read.
            if (firstError.empty()) firstError = SIconOutsideFile;
            FSkipped += int32_t(header.Count - i);
            break;
        }
        const TIconDirEntry entry = TIconDirEntry::Parse(std::span<const uint8_t, TIconDirEntry::Size>(
            file.data() + TIconDirHeader::Size + size_t(i) * TIconDirEntry::Size, TIconDirEntry::Size));
        std::unique_ptr<TIconImage> image;
        const std::string error = ReadImage(file, entry, image);
        if (!error.empty()) {
            if (firstError.empty()) firstError = error;
            ++FSkipped;
            continue;
        }
        FImages.push_back(std::move(image));
    }
    if (FImages.empty() && !firstError.empty()) throw EInvalidGraphic(Format(firstError, {1}));
}

void TIconList::SaveToStream(TBaseStream& Stream) const {
    if (Kind != ikIcon && Kind != ikCursor) throw EInvalidGraphicOperation(SUnsupportedIconKind);
    const size_t count = FImages.size();
    const size_t directory = TIconDirHeader::Size + count * TIconDirEntry::Size;
    size_t total = directory;
    for (const auto& image : FImages)
        total += DibInfoHeaderSize + size_t(image->PaletteSize + image->XorSize + image->MaskSize);
    std::vector<uint8_t> file(total);

    TIconDirHeader header;
    header.Type = Kind;
    header.Count = CheckedCast<uint16_t>(count);
    header.Serialize(std::span<uint8_t, TIconDirHeader::Size>(file.data(), TIconDirHeader::Size));
    size_t offset = directory;
    for (size_t i = 0; i < count; ++i) {
        const TIconImage& image = *FImages[i];
        const uint32_t bytes =
            uint32_t(DibInfoHeaderSize + image.PaletteSize + image.XorSize + image.MaskSize);
        TIconDirEntry entry;
        entry.Width = uint8_t(image.Width);
        entry.Height = uint8_t(image.Height);
        entry.ColorCount = image.BitCount < 8 ? uint8_t(1 << image.BitCount) : 0;
        entry.Planes = image.HotSpotX;
        entry.BitCount = image.HotSpotY;
        entry.BytesInRes = bytes;
        entry.ImageOffset = uint32_t(offset);
        entry.Serialize(std::span<uint8_t, TIconDirEntry::Size>(
            file.data() + TIconDirHeader::Size + i * TIconDirEntry::Size, TIconDirEntry::Size));

        TDibHeader info;
        info.Width = image.Width;
        info.StoredHeight = image.Height * 2;
        info.BitCount = uint16_t(image.BitCount);
        info.ImageSize = uint32_t(image.XorSize + image.MaskSize);
        uint8_t* p = file.data() + offset;
        info.Serialize(std::span<uint8_t>(p, DibInfoHeaderSize));
        p += DibInfoHeaderSize;
        for (int32_t c = 0; c < image.PaletteCount(); ++c, p += 4) {
            const uint8_t* e = image.Palette.data() + size_t(c) * 4;
            p[0] = e[2];
            p[1] = e[1];
            p[2] = e[0];
            p[3] = 0;
        }
        p = std::copy(image.Xor.begin(), image.Xor.end(), p);
        std::copy(image.Mask.begin(), image.Mask.end(), p);
        offset += bytes;
    }
    Stream.WriteAll(file.data(), file.size());
}

} // namespace ferronel::linear
