#include "linear/WMFLoader.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "host/formats/BmpFormat.h"
#include "host/formats/EmfRecords.h"
#include "host/formats/Metafile.h"
#include "host/formats/WmfRecords.h"
#include "linear/HostStreams.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearStrings.h"

#include <array>
#include <cstring>

namespace ferronel::linear {

namespace {

constexpr uint32_t SrcCopy = 0x00CC0020;
constexpr uint16_t DibRgbColors = 0;
constexpr uint16_t ColorOnColor = 3;
constexpr uint16_t ScreenDPI = 96;
constexpr uint16_t WmfVersion = 0x0300;
constexpr uint32_t EmfVersion = 0x10000;
constexpr int32_t HundredthsOfMmPerInch = 2540;
constexpr int32_t MaxWmfSide = 0x7FFF; // WMF coordinates are 16-bit

// Little-endian bytes appended to a growing file.
struct TWriter {
    std::vector<uint8_t> Bytes;
    void U16(uint32_t V) {
        const size_t at = Bytes.size();
        Bytes.resize(at + 2);
        StoreU16LE(&Bytes[at], uint16_t(V));
    }
    void U32(uint32_t V) {
        const size_t at = Bytes.size();
        Bytes.resize(at + 4);
        StoreU32LE(&Bytes[at], V);
    }
    void Append(const std::vector<uint8_t>& More) { Bytes.insert(Bytes.end(), More.begin(), More.end()); }
};

// The picture as a bottom-up device-independent bitmap: info header, the palette of an 8-bit
// picture, rows padded to 4 bytes.
struct TPackedDib {
    std::vector<uint8_t> Info;
    std::vector<uint8_t> Bits;
};

TPackedDib MakeDib(const TLinearBitmap& Bitmap) {
    const bool indexed = Bitmap.PixelFormat() == lpf8bit;
    // Rows padded to 4 bytes.
    const uint64_t rowBytes =
        CheckedAdd(CheckedRowBytes(uint64_t(Bitmap.Width()), indexed ? 8 : 24), 3) / 4 * 4;
    TDibHeader header;
    header.Width = Bitmap.Width();
    header.StoredHeight = Bitmap.Height();
    header.BitCount = indexed ? 8 : 24;
    header.ImageSize = CheckedCast<uint32_t>(CheckedMul(rowBytes, uint64_t(Bitmap.Height())));
    header.ColorsUsed = indexed ? 256 : 0;
    TPackedDib dib;
    dib.Info.resize(DibInfoHeaderSize + (indexed ? 1024 : 0));
    header.Serialize(std::span<uint8_t>(dib.Info.data(), DibInfoHeaderSize));
    if (indexed) {
        const uint8_t* p = Bitmap.Palette();
        for (size_t i = 0; i < 256; ++i) std::memcpy(&dib.Info[DibInfoHeaderSize + i * 4], p + i * 3, 3);
    }
    dib.Bits.assign(header.ImageSize, 0);
    for (int32_t y = 0; y < Bitmap.Height(); ++y)
        std::memcpy(&dib.Bits[size_t(Bitmap.Height() - 1 - y) * rowBytes], Bitmap.ScanLine(y),
                    size_t(Bitmap.BytesPerLine()));
    return dib;
}

std::vector<uint8_t> PlaceableWmf(const TLinearBitmap& Bitmap, const TPackedDib& Dib) {
    const uint32_t w = uint32_t(Bitmap.Width()), h = uint32_t(Bitmap.Height());
    TWriter records;
    auto record = [&](uint16_t Function, std::initializer_list<uint16_t> Params) {
        records.U32(3 + uint32_t(Params.size()));
        records.U16(Function);
        for (uint16_t p : Params) records.U16(p);
    };
    record(META_SETWINDOWORG, {0, 0});
    record(META_SETWINDOWEXT, {uint16_t(h), uint16_t(w)});
    record(META_SETSTRETCHBLTMODE, {ColorOnColor});
    // Raster operation, colour use, source height, width, y, x, destination height, width, y, x.
    const uint64_t dibBytes = CheckedAdd(Dib.Info.size(), Dib.Bits.size());
    const uint32_t stretchWords = CheckedCast<uint32_t>(CheckedAdd(3 + 11, dibBytes / 2));
    records.U32(stretchWords);
    records.U16(META_STRETCHDIB);
    records.U32(SrcCopy);
    records.U16(DibRgbColors);
    for (uint32_t v : {h, w, 0u, 0u, h, w, 0u, 0u}) records.U16(v);
    records.Append(Dib.Info);
    records.Append(Dib.Bits);
    record(META_EOF, {});

    TWriter file;
    // The placeable header: key, handle, bounds, units per inch, reserved, checksum of the words
    // before it.
    file.U32(TWmfPlaceableHeader::KeyValue);
    file.U16(0);
    for (uint32_t v : {0u, 0u, w, h}) file.U16(v);
    file.U16(ScreenDPI);
    file.U32(0);
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2) checksum ^= LoadU16LE(&file.Bytes[i]);
    file.U16(checksum);
    file.U16(TWmfHeader::ftMemory);
    file.U16(TWmfHeader::HeaderWordsValue);
    file.U16(WmfVersion);
    file.U32(CheckedCast<uint32_t>(CheckedAdd(TWmfHeader::Size, records.Bytes.size()) / 2));
    file.U16(0); // objects
    file.U32(stretchWords);
    file.U16(0);
    file.Append(records.Bytes);
    return std::move(file.Bytes);
}

std::vector<uint8_t> EnhancedMetafile(const TLinearBitmap& Bitmap, const TPackedDib& Dib) {
    const int32_t w = Bitmap.Width(), h = Bitmap.Height();
    constexpr uint32_t StretchFixedSize = 80;
    const uint32_t stretchSize =
        CheckedCast<uint32_t>(CheckedAdd(StretchFixedSize, Dib.Info.size(), Dib.Bits.size()));
    const uint32_t fileSize = CheckedCast<uint32_t>(CheckedAdd(TEmfHeader::Size, 12, stretchSize, 20));
    TWriter file;
    // Header: bounds in pixels (inclusive), frame in 0.01 mm at 96 dots per inch, a 96-dpi device.
    file.U32(EMR_HEADER);
    file.U32(TEmfHeader::Size);
    for (int32_t v : {0, 0, w - 1, h - 1}) file.U32(uint32_t(v));
    const int32_t frameW = int32_t((int64_t(w) * HundredthsOfMmPerInch + ScreenDPI / 2) / ScreenDPI);
    const int32_t frameH = int32_t((int64_t(h) * HundredthsOfMmPerInch + ScreenDPI / 2) / ScreenDPI);
    for (int32_t v : {0, 0, frameW, frameH}) file.U32(uint32_t(v));
    file.U32(TEmfHeader::SignatureValue);
    file.U32(EmfVersion);
    file.U32(fileSize);
    file.U32(4); // records
    file.U16(1); // handles
    file.U16(0);
    for (uint32_t v : {0u, 0u, 0u}) file.U32(v); // description, palette entries
    for (int32_t v : {ScreenDPI * 100, ScreenDPI * 100, HundredthsOfMmPerInch, HundredthsOfMmPerInch})
        file.U32(uint32_t(v));

    file.U32(EMR_SETSTRETCHBLTMODE);
    file.U32(12);
    file.U32(ColorOnColor);

    // Bounds, destination x, y, source x, y, width, height, where the info and bits lie, colour use,
    // raster operation, destination width and height.
    file.U32(EMR_STRETCHDIBITS);
    file.U32(stretchSize);
    for (int32_t v : {0, 0, w - 1, h - 1, 0, 0, 0, 0, w, h}) file.U32(uint32_t(v));
    file.U32(StretchFixedSize);
    file.U32(uint32_t(Dib.Info.size()));
    file.U32(StretchFixedSize + uint32_t(Dib.Info.size()));
    file.U32(uint32_t(Dib.Bits.size()));
    file.U32(DibRgbColors);
    file.U32(SrcCopy);
    file.U32(uint32_t(w));
    file.U32(uint32_t(h));
    file.Append(Dib.Info);
    file.Append(Dib.Bits);

    file.U32(EMR_EOF);
    file.U32(20);
    file.U32(0);  // palette entries
    file.U32(16); // their offset
    file.U32(20); // the record's size again
    return std::move(file.Bytes);
}

} // namespace

void ReduceToExactPalette(TLinearBitmap& Bitmap) {
    if (Bitmap.PixelFormat() != lpf24bit) return;
    // Colours seen so far, by an open-addressed table of 1024 slots (at most 257 are ever put in).
    constexpr uint32_t Slots = 1024, Empty = 0xFFFFFFFF;
    std::array<uint32_t, Slots> keys;
    std::array<uint8_t, Slots> indices{};
    keys.fill(Empty);
    std::array<uint8_t, 768> palette{};
    uint32_t count = 0;
    auto find = [&](uint32_t Colour) -> uint32_t {
        uint32_t slot = (Colour * 2654435761u) >> 22;
        while (keys[slot] != Empty && keys[slot] != Colour) slot = (slot + 1) & (Slots - 1);
        return slot;
    };
    const uint8_t* p = Bitmap.Map();
    const int64_t pixels = int64_t(Bitmap.Width()) * Bitmap.Height();
    for (int64_t i = 0; i < pixels; ++i, p += 3) {
        const uint32_t colour = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        const uint32_t slot = find(colour);
        if (keys[slot] != Empty) continue;
        if (count == 256) return; // more than 256 colours: stays 24-bit
        keys[slot] = colour;
        indices[slot] = uint8_t(count);
        std::memcpy(&palette[count * 3], p, 3);
        ++count;
    }
    // Every pixel's colour is in the palette, so its nearest entry is its own.
    TLinearBitmap reduced;
    reduced.Allocate(Bitmap.Width(), Bitmap.Height(), lpf8bit);
    std::memcpy(reduced.Palette(), palette.data(), palette.size());
    p = Bitmap.Map();
    uint8_t* d = reduced.Map();
    for (int64_t i = 0; i < pixels; ++i, p += 3)
        d[i] = indices[find(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16)];
    Bitmap.TakeOver(reduced);
}

std::string TWMFLoader::GetLoadFilter() {
    return std::string(SWMFDescription) + " (*.wmf,*.emf)|*.wmf;*.emf";
}

std::string TWMFLoader::GetSaveFilter() {
    return std::string(SWMFDescription) + " (*.wmf)|*.wmf|" + SEMFDescription + " (*.emf)|*.emf";
}

void TWMFLoader::LoadFromStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    std::unique_ptr<TMemStream> copy;
    const auto host = SeekableHostStream(Stream, copy);
    TMetafile metafile;
    metafile.LoadFromStream(*host);
    Bitmap.Assign(metafile);
    Bitmap.ConvertTo(lpf24bit);
    ReduceToExactPalette(Bitmap);
}

void TWMFLoader::SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) {
    if (!Bitmap.Present()) throw ELinearBitmap(SInvalidBitmapSize);
    const bool enhanced = !Ext.empty() && (Ext[0] == 'E' || Ext[0] == 'e');
    if (!enhanced && (Bitmap.Width() > MaxWmfSide || Bitmap.Height() > MaxWmfSide))
        throw ELinearBitmap(SInvalidBitmapSize);
    // 8-bit pictures keep their palette; every other format is written as 24-bit.
    TLinearBitmap converted;
    const TLinearBitmap* source = &Bitmap;
    if (Bitmap.PixelFormat() != lpf8bit && Bitmap.PixelFormat() != lpf24bit) {
        converted.Assign(Bitmap);
        converted.ConvertTo(lpf24bit);
        source = &converted;
    }
    const TPackedDib dib = MakeDib(*source);
    TMemoryStream out(enhanced ? EnhancedMetafile(*source, dib) : PlaceableWmf(*source, dib));
    WriteHostBytes(Stream, out);
}

TWMFLoader& WMFLoader() {
    static TWMFLoader loader;
    return loader;
}

} // namespace ferronel::linear
