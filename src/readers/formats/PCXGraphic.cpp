#include "readers/formats/PCXGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Limits.h"
#include "host/PixelBuffer.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>
#include <vector>

namespace ferronel {

using namespace readers;

namespace {

const char* const PCXLabel = "PCX";
const char* const PCXOrSCRLabel = "PCX or SCR";

// How the planes of a row make pixels.
enum TPCXLayout : uint8_t {
    plUnsupported,
    plPacked,    // one plane of 1, 2, 4 or 8-bit indices
    plBitPlanes, // 2 to 4 planes of 1 bit, bit k of each index from plane k
    plRGB,       // three byte planes: red, green, blue
    plRGBA,      // four byte planes: red, green, blue, opacity
};

TPCXLayout LayoutOf(const TPCXHeader& h) {
    const uint8_t bits = h.BitsPerPixel;
    if (h.Planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) return plPacked;
    if (h.Planes >= 2 && h.Planes <= 4 && bits == 1) return plBitPlanes;
    if (h.Planes == 3 && bits == 8) return plRGB;
    if (h.Planes == 4 && bits == 8) return plRGBA;
    return plUnsupported;
}

bool IsCanLoadVersion(uint8_t v) { return v == 0 || v == 2 || v == 3 || v == 5; }

} // namespace

TPCXHeader TPCXHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPCXHeader h;
    h.Manufacturer = r.U8();
    h.Version = r.U8();
    h.Encoding = r.U8();
    h.BitsPerPixel = r.U8();
    h.XMin = r.U16LE();
    h.YMin = r.U16LE();
    h.XMax = r.U16LE();
    h.YMax = r.U16LE();
    h.HorizontalResolution = r.U16LE();
    h.VerticalResolution = r.U16LE();
    r.Read(h.ColorMap.data(), h.ColorMap.size());
    h.Reserved = r.U8();
    h.Planes = r.U8();
    h.BytesPerLine = r.U16LE();
    h.PaletteInfo = r.U16LE();
    return h;
}

THeaderCheck CheckPCXHeader(const TPCXHeader& Header) {
    THeaderCheck check;
    check.CanLoad = (Header.Manufacturer == pmZSoft || Header.Manufacturer == pmCanLoadAlso) &&
                    IsCanLoadVersion(Header.Version) && Header.Encoding <= peRLE;
    if (Header.Manufacturer != pmZSoft && Header.Manufacturer != pmScreenCapture) {
        check.Refusal = Format(gesInvalidImage, {PCXOrSCRLabel});
        return check;
    }
    if (LayoutOf(Header) == plUnsupported) {
        check.Refusal = Format(gesInvalidColorFormat, {PCXLabel});
        return check;
    }
    // Each plane's stored row must hold the width's pixels, or the rows would be read past.
    if (Header.BytesPerLine < CheckedRowBytes(Header.Width(), Header.BitsPerPixel)) {
        check.Refusal = Format(gesInvalidImage, {PCXOrSCRLabel});
        return check;
    }
    check.Load = true;
    return check;
}

bool TPCXGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TPCXHeader>(Stream);
    return header && CheckPCXHeader(*header).CanLoad;
}

THeaderCheck TPCXGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TPCXHeader>(Stream);
    const THeaderCheck check = CheckPCXHeader(FHeader);

    TImageProperties& p = ImageProperties();
    p.Width = FHeader.Width();
    p.Height = FHeader.Height();
    p.SamplesPerPixel = FHeader.Planes;
    p.BitsPerSample = FHeader.BitsPerPixel;
    p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
    p.ColorScheme = FHeader.Planes * FHeader.BitsPerPixel <= 8 ? csIndexed : csRGB;
    p.Compression = FHeader.Encoding == peRLE ? cpRLE : cpNone;
    p.XResolution = FHeader.HorizontalResolution;
    p.YResolution = FHeader.VerticalResolution;
    return check;
}

bool TPCXGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

bool TPCXGraphic::MakePalette(TStream& Stream, int64_t DataStart) {
    TColorManager& cm = ColorManager();
    const TPixelFormat format = PixelFormat();
    // An 8-bit file may end with its palette block; it is only taken for one when it lies wholly
    // after the header and starts with its marker.
    bool block = false;
    std::array<uint8_t, PCXPaletteBlockSize> palette{};
    const int64_t blockStart = Stream.Size() - int64_t(PCXPaletteBlockSize);
    if (format == pf8bit && blockStart >= DataStart) {
        Stream.SetPosition(blockStart);
        Stream.ReadBuffer(palette.data(), palette.size());
        Stream.SetPosition(DataStart);
        block = palette[0] == PCXPaletteMarker;
    }
    if (FHeader.Version == pvNoPalette && format != pf1bit) {
        // Files of this version carry no palette of their own: the standard 16 colours.
        if (format != pf24bit && format != pf32bit) SetPalette(CreatePalette(DefaultPaletteEntries(4)));
        return block;
    }
    switch (format) {
    case pf1bit: {
        // Two colours from the header when it has two; many writers leave them both black, which
        // means black and white.
        const auto& m = FHeader.ColorMap;
        const bool twoColours = !std::equal(m.begin(), m.begin() + 3, m.begin() + 3);
        SetPalette(twoColours ? cm.MakeColorMapPalette({FHeader.ColorMap}, 0, 2, false)
                              : cm.MakeGrayPalette(false));
        break;
    }
    case pf4bit:
        SetPalette(FHeader.PaletteInfo == ppGray ? cm.MakeGrayPalette(false)
                                                 : cm.MakeColorMapPalette({FHeader.ColorMap}, 0, 16, false));
        break;
    case pf8bit:
        if (block)
            SetPalette(cm.MakeColorMapPalette({std::span(palette).subspan(1)}, 0, 256, false));
        else if (FHeader.PaletteInfo == ppGray)
            SetPalette(cm.MakeGrayPalette(false));
        break;
    default: break;
    }
    return block;
}

void TPCXGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    const TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, Width(), 1};
    StartProgress(gesPreparing);
    if (!check.Load) ReaderError(check.Refusal);

    const TPCXLayout layout = LayoutOf(FHeader);
    TColorManager& cm = ColorManager();
    if (layout == plBitPlanes) {
        // The planes are combined here into 4-bit indices; the manager only makes the palette.
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetSourceBitsPerSample(4);
        cm.SetTargetBitsPerSample(4);
        cm.SetSourceColorScheme(csIndexed);
        cm.SetTargetColorScheme(csIndexed);
    } else {
        cm.SetSourceColorScheme(layout == plRGBA ? csRGBA : p.ColorScheme);
        cm.SetSourceBitsPerSample(p.BitsPerSample);
        cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
        cm.SetTargetColorScheme(layout == plPacked ? csIndexed : layout == plRGBA ? csBGRA : csBGR);
        cm.SetTargetBitsPerSample(p.BitsPerSample == 2 ? 4 : p.BitsPerSample);
        cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    }
    cm.SourceOptions = {};
    cm.TargetOptions = {};
    SetPixelFormat(cm.PixelFormatFor(true));

    const int64_t dataStart = Stream.Position();
    const bool paletteBlock = MakePalette(Stream, dataStart);
    SetSize(int32_t(p.Width), int32_t(p.Height));

    // The whole pixel area in one zeroed buffer: what the file does not hold stays 0.
    const size_t lineBytes = FHeader.LineBytes();
    const uint64_t areaBytes = CheckedMul(lineBytes, p.Height);
    if (areaBytes > PixelBufferLimit()) SizeOutOfRange();
    TPixelBuffer area{size_t(areaBytes)};
    const int64_t rest = std::max<int64_t>(0, Stream.Size() - dataStart);
    const size_t dataBytes = size_t(paletteBlock ? rest - int64_t(PCXPaletteBlockSize) : rest);
    if (FHeader.Encoding == peRLE) {
        std::vector<uint8_t> packed(dataBytes);
        packed.resize(Stream.Read(packed.data(), packed.size()));
        const uint8_t* source = packed.data();
        uint8_t* dest = area.data();
        TPCXRLEDecoder decoder;
        decoder.Decode(source, dest, CheckedCast<int32_t>(packed.size()), CheckedCast<int32_t>(areaBytes));
    } else {
        Stream.Read(area.data(), std::min<size_t>(dataBytes, area.size()));
    }
    EndProgress();
    StartProgress(gesTransfering);

    const uint32_t width = p.Width;
    const size_t planeBytes = FHeader.BytesPerLine;
    for (int32_t y = 0; y < Height(); ++y) {
        const uint8_t* row = area.data() + size_t(y) * lineBytes;
        uint8_t* target = ScanLine(y);
        switch (layout) {
        case plBitPlanes:
            for (uint32_t x = 0; x < width; ++x) {
                const size_t byte = x >> 3;
                const unsigned shift = 7 - (x & 7);
                unsigned index = 0;
                for (unsigned k = 0; k < FHeader.Planes; ++k)
                    index |= ((row[k * planeBytes + byte] >> shift) & 1u) << k;
                uint8_t& t = target[x >> 1];
                t = (x & 1) ? uint8_t((t & 0xF0) | index) : uint8_t(index << 4);
            }
            break;
        case plRGB:
        case plRGBA: {
            const uint8_t* planes[4] = {row, row + planeBytes, row + 2 * planeBytes, row + 3 * planeBytes};
            cm.ConvertScanline(TSourceRows(planes, FHeader.Planes), target, width, 255);
            break;
        }
        default: cm.ConvertScanline(row, target, width, 255); break;
        }
        RowProgress(uint32_t(y));
    }
    if (layout == plRGBA) SetAlphaFormat(afDefined);
    EndProgress();
}

} // namespace ferronel
