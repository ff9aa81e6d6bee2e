#include "readers/formats/TargaGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "host/StreamWindow.h"
#include "readers/ReaderStrings.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>
#include <array>
#include <vector>

namespace ferronel {

using namespace readers;

namespace {

const char* const TargaLabel = "TGA";

bool IsPixelDepth(uint8_t Depth) {
    return Depth == 8 || Depth == 15 || Depth == 16 || Depth == 24 || Depth == 32;
}
bool IsColorMapEntrySize(uint8_t Size) { return Size == 15 || Size == 16 || Size == 24 || Size == 32; }
bool IsImageType(uint8_t Type) { return Type <= ttGray || (Type >= ttRLEColorMapped && Type <= ttRLEGray); }

// Grey and opacity byte pairs as blue, green, red and opacity.
void WidenGrayAlpha(const uint8_t* Source, uint8_t* Dest, uint32_t Width) {
    for (uint32_t x = 0; x < Width; ++x, Source += 2, Dest += 4) {
        Dest[0] = Dest[1] = Dest[2] = Source[0];
        Dest[3] = Source[1];
    }
}

// Reverses the order of the Width pixels of PixelBytes bytes in a row.
void MirrorRow(uint8_t* Row, uint32_t Width, size_t PixelBytes) {
    if (Width < 2) return;
    uint8_t* left = Row;
    uint8_t* right = Row + size_t(Width - 1) * PixelBytes;
    for (; left < right; left += PixelBytes, right -= PixelBytes)
        std::swap_ranges(left, left + PixelBytes, right);
}

} // namespace

TTargaHeader TTargaHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TTargaHeader h;
    h.IDLength = r.U8();
    h.ColorMapType = r.U8();
    h.ImageType = r.U8();
    h.FirstColorMapEntry = r.U16LE();
    h.ColorMapLength = r.U16LE();
    h.ColorMapEntrySize = r.U8();
    h.XOrigin = r.U16LE();
    h.YOrigin = r.U16LE();
    h.Width = r.U16LE();
    h.Height = r.U16LE();
    h.PixelDepth = r.U8();
    h.Descriptor = r.U8();
    return h;
}

void TTargaHeader::Serialize(std::span<uint8_t, Size> Bytes) const {
    uint8_t* p = Bytes.data();
    p[0] = IDLength;
    p[1] = ColorMapType;
    p[2] = ImageType;
    StoreU16LE(p + 3, FirstColorMapEntry);
    StoreU16LE(p + 5, ColorMapLength);
    p[7] = ColorMapEntrySize;
    StoreU16LE(p + 8, XOrigin);
    StoreU16LE(p + 10, YOrigin);
    StoreU16LE(p + 12, Width);
    StoreU16LE(p + 14, Height);
    p[16] = PixelDepth;
    p[17] = Descriptor;
}

THeaderCheck CheckTargaHeader(const TTargaHeader& Header) {
    THeaderCheck check;
    check.Load = IsPixelDepth(Header.PixelDepth);
    if (!check.Load) check.Refusal = Format(gesInvalidColorFormat, {TargaLabel});
    check.CanLoad = check.Load && IsImageType(Header.ImageType) && Header.ColorMapType <= tmPresent &&
                    IsColorMapEntrySize(Header.ColorMapEntrySize);
    return check;
}

bool TTargaGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TTargaHeader>(Stream);
    return header && CheckTargaHeader(*header).CanLoad;
}

THeaderCheck TTargaGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TTargaHeader>(Stream);
    const THeaderCheck check = CheckTargaHeader(FHeader);

    TImageProperties& p = ImageProperties();
    p.Width = FHeader.Width;
    p.Height = FHeader.Height;
    p.BitsPerSample = 8;
    switch (FHeader.PixelDepth) {
    case 8:
        p.ColorScheme = FHeader.Gray() ? csGray : csIndexed;
        p.SamplesPerPixel = 1;
        break;
    case 16:
        if (FHeader.GrayAlpha()) {
            p.ColorScheme = csGrayAlpha;
            p.SamplesPerPixel = 2;
            p.HasAlpha = FHeader.DeclaresAlpha();
            break;
        }
        [[fallthrough]];
    case 15:
        p.ColorScheme = csRGB;
        p.BitsPerSample = 5;
        p.SamplesPerPixel = 3;
        break;
    case 24:
        p.ColorScheme = csRGB;
        p.SamplesPerPixel = 3;
        break;
    case 32:
        p.ColorScheme = csRGBA;
        p.SamplesPerPixel = 4;
        break;
    default: break;
    }
    p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = FHeader.Compressed() ? cpRLE : cpNone;
    p.BottomUp = !FHeader.TopDown();
    return check;
}

bool TTargaGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

void TTargaGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    const TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, int32_t(p.Width), 1};
    StartProgress(gesPreparing);
    if (!check.Load) ReaderError(check.Refusal);
    Stream.Seek(FHeader.IDLength, soCurrent);

    // The colour map, when the file has one, stands between the ID and the pixels. A grey file does
    // not use it, but it is skipped so that the pixels are read from where they start.
    const size_t mapBytes = FHeader.ColorMapBytes();
    if (FHeader.GrayAlpha()) {
        // Grey and opacity become 32-bit pixels; the colour manager has no row layout for them.
        SetPixelFormat(pf32bit);
        Stream.Seek(int64_t(mapBytes), soCurrent);
    } else {
        TColorManager& cm = ColorManager();
        cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
        cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
        cm.SetSourceColorScheme(p.ColorScheme);
        cm.SourceOptions = {};
        cm.SetTargetColorScheme(csBGR);
        cm.SetSourceBitsPerSample(p.BitsPerSample);
        cm.SetTargetBitsPerSample(p.BitsPerSample);
        SetPixelFormat(cm.PixelFormatFor(true));
        ReadPalette(Stream, mapBytes);
    }

    SetSize(int32_t(p.Width), int32_t(p.Height));
    const size_t rowBytes = size_t(p.Width) * FHeader.PixelBytes();
    EndProgress();
    StartProgress(gesTransfering);

    // Rows arrive in file order; bit 5 says whether the first is the top one, bit 4 whether each
    // starts at the right. Grey-with-opacity rows are read into a buffer and widened.
    const int32_t height = Height();
    const uint32_t width = p.Width;
    const bool grayAlpha = FHeader.GrayAlpha();
    std::vector<uint8_t> stored(grayAlpha ? rowBytes : 0);
    auto rowOf = [&](int32_t i) { return ScanLine(FHeader.TopDown() ? i : height - 1 - i); };
    auto readInto = [&](int32_t i) { return grayAlpha ? stored.data() : rowOf(i); };
    auto finishRow = [&](int32_t i) {
        uint8_t* row = rowOf(i);
        if (grayAlpha) WidenGrayAlpha(stored.data(), row, width);
        if (FHeader.RightToLeft()) MirrorRow(row, width, size_t(BitsPerPixel()) / 8);
        RowProgress(uint32_t(i));
    };
    if (FHeader.Uncompressed()) {
        for (int32_t i = 0; i < height; ++i) {
            Stream.ReadBuffer(readInto(i), rowBytes);
            finishRow(i);
        }
    } else if (FHeader.Compressed()) {
        // Rows are decoded from a window over the stream; each row takes what its packets use and
        // the next starts right after, however the packets fall. A packet may run on into the next
        // row: the decoder keeps what is left of it.
        TTargaRLEDecoder decoder(FHeader.PixelDepth);
        decoder.BeginDecode();
        TStreamWindow window(Stream);
        for (int32_t i = 0; i < height; ++i) {
            const size_t available = window.Ensure(2 * rowBytes);
            const uint8_t* source = window.Data();
            uint8_t* dest = readInto(i);
            decoder.Decode(source, dest, CheckedCast<int32_t>(available), int32_t(width));
            window.Consume(size_t(source - window.Data()));
            finishRow(i);
        }
        window.Sync();
    }
    // 32-bit pixels and grey with opacity carry opacity when the descriptor says the image has 8
    // attribute bits and some pixel is not fully transparent; many writers leave those bytes at 0
    // and mean nothing by them.
    if ((FHeader.PixelDepth == 32 || grayAlpha) && FHeader.DeclaresAlpha())
        SetAlphaFormat(AnyFourthByteSet() ? afDefined : afIgnored);
    EndProgress();
}

void TTargaGraphic::ReadPalette(TStream& Stream, size_t MapBytes) {
    TColorManager& cm = ColorManager();
    if (FHeader.Gray()) {
        SetPalette(cm.MakeGrayPalette(false));
        Stream.Seek(int64_t(MapBytes), soCurrent);
        return;
    }
    if (FHeader.ColorMapType != tmPresent) return;
    std::vector<uint8_t> map(MapBytes);
    Stream.ReadBuffer(map.data(), map.size());
    const uint16_t length = FHeader.ColorMapLength;
    switch (FHeader.ColorMapEntrySize) {
    case 24: SetPalette(cm.MakeColorMapPalette({map}, 0, length, true)); break;
    case 32: SetPalette(cm.MakeColorMapPalette({map}, 1, length, true)); break;
    case 15:
    case 16: {
        TPaletteEntries entries(std::min<size_t>(length, 256));
        for (size_t i = 0; i < entries.size(); ++i) {
            const uint32_t v = LoadU16LE(map.data() + 2 * i);
            entries[i] = {uint8_t((v & 0x7C00) >> 7), uint8_t((v & 0x3E0) >> 2), uint8_t((v & 31) << 3), 0};
        }
        SetPalette(CreatePalette(std::move(entries)));
        break;
    }
    default: break; // an entry size without a palette format: the map is read past and left unused
    }
}

void TTargaGraphic::SaveToStream(TStream& Stream) { SaveToStream(Stream, true); }

void TTargaGraphic::SaveToStream(TStream& Stream, bool Compressed) {
    // The header stores 16-bit sizes; say so before anything starts or is written.
    if (Width() > 0xFFFF || Height() > 0xFFFF)
        throw EInvalidGraphic(Format(gesTargaTooLarge, {Width(), Height()}));
    ProgressRect = TRect{0, 0, Width(), 1};
    StartProgress(gesPreparing);
    // The rows are written from a copy when the format has to change, so saving leaves the picture
    // as it is. 16-bit 5-6-5 pixels become the 5-5-5 pixels the format stores.
    const TBitmap* source = this;
    TBitmap converted;
    TPixelFormat format = PixelFormat();
    if (format == pf1bit || format == pf4bit || format == pf16bit) {
        converted.Assign(*this);
        converted.SetPixelFormat(format == pf16bit ? pf15bit : pf8bit);
        source = &converted;
        format = converted.PixelFormat();
    }
    const size_t b = format == pf8bit ? 1 : format == pf15bit ? 2 : format == pf24bit ? 3 : 4;
    if (source->Empty()) {
        EndProgress();
        return;
    }
    const bool alpha = b == 4 && AlphaFormat() == afDefined;
    TTargaHeader h;
    h.ColorMapType = b == 1 ? tmPresent : tmNone;
    h.ImageType = b == 1 ? (Compressed ? ttRLEColorMapped : ttColorMapped)
                         : (Compressed ? ttRLETrueColor : ttTrueColor);
    h.ColorMapLength = 256;
    h.ColorMapEntrySize = 24;
    h.Width = uint16_t(Width());
    h.Height = uint16_t(Height());
    h.PixelDepth = uint8_t(b * 8);
    h.Descriptor = uint8_t(tdTopDown | (alpha ? 8 : 0));
    std::array<uint8_t, TTargaHeader::Size> header;
    h.Serialize(header);
    Stream.WriteBuffer(header.data(), header.size());
    if (b == 1) {
        uint8_t map[256 * 3] = {};
        const TPaletteEntries& palette = source->EffectivePalette();
        for (size_t i = 0; i < std::min<size_t>(palette.size(), 256); ++i) {
            map[3 * i] = palette[i].peBlue;
            map[3 * i + 1] = palette[i].peGreen;
            map[3 * i + 2] = palette[i].peRed;
        }
        Stream.WriteBuffer(map, sizeof map);
    }
    EndProgress();
    StartProgress(gesTransfering);
    const size_t rowBytes = size_t(Width()) * b;
    TTargaRLEDecoder encoder(uint32_t(b * 8));
    std::vector<uint8_t> buffer(Compressed ? 2 * rowBytes : 0);
    for (int32_t y = 0; y < Height(); ++y) {
        if (Compressed) {
            uint32_t stored = 0;
            encoder.Encode(source->ScanLine(y), buffer.data(), uint32_t(Width()), stored);
            Stream.WriteBuffer(buffer.data(), stored);
        } else {
            Stream.WriteBuffer(source->ScanLine(y), rowBytes);
        }
        Progress(this, psRunning, 0, false, ProgressRect, "");
        OffsetRect(ProgressRect, 0, 1);
    }
    EndProgress();
}

} // namespace ferronel
