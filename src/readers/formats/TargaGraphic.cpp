#include "readers/formats/TargaGraphic.h"

#include "host/Stream.h"
#include "host/StreamWindow.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/ReaderStrings.h"

#include <cstring>
#include <vector>

namespace ferronel {

using namespace readers;

namespace {

constexpr size_t HeaderSize = 18;
constexpr uint8_t TopDownBit = 0x20;

struct TTargaHeader {
    uint8_t IDLength, ColorMapType, ImageType;
    uint16_t ColorMapLength;
    uint8_t ColorMapEntrySize;
    uint16_t Width, Height;
    uint8_t PixelDepth, Descriptor;

    explicit TTargaHeader(const uint8_t* b)
        : IDLength(b[0]), ColorMapType(b[1]), ImageType(b[2]), ColorMapLength(uint16_t(b[5] | b[6] << 8)),
          ColorMapEntrySize(b[7]), Width(uint16_t(b[12] | b[13] << 8)), Height(uint16_t(b[14] | b[15] << 8)),
          PixelDepth(b[16]), Descriptor(b[17]) {}
    bool Grey() const { return ImageType == 3 || ImageType == 11; }
    bool Compressed() const { return ImageType >= 9 && ImageType <= 11; }
};

bool IsDepth(uint8_t d) { return d == 8 || d == 15 || d == 16 || d == 24 || d == 32; }

TTargaHeader ReadHeader(TStream& Stream) {
    uint8_t bytes[HeaderSize];
    Stream.ReadBuffer(bytes, HeaderSize);
    return TTargaHeader(bytes);
}

} // namespace

bool TTargaGraphic::CanLoad(TStream& Stream) const {
    const int64_t position = Stream.Position();
    if (Stream.Size() - position <= int64_t(HeaderSize)) return false;
    uint8_t b[HeaderSize];
    Stream.ReadBuffer(b, HeaderSize);
    Stream.SetPosition(position);
    const TTargaHeader h(b);
    const uint8_t t = h.ImageType;
    return (t <= 3 || (t >= 9 && t <= 11)) && h.ColorMapType <= 1 &&
           (h.ColorMapEntrySize == 15 || h.ColorMapEntrySize == 16 || h.ColorMapEntrySize == 24 ||
            h.ColorMapEntrySize == 32) &&
           IsDepth(h.PixelDepth);
}

bool TTargaGraphic::LoadImageProperties(TStream& Stream, uint32_t ImageIndex) {
    TReaderGraphic::LoadImageProperties(Stream, ImageIndex);
    const TTargaHeader h = ReadHeader(Stream);
    TImageProperties& p = ImageProperties();
    p.Width = h.Width;
    p.Height = h.Height;
    p.BitsPerSample = 8;
    switch (h.PixelDepth) {
    case 8:
        p.ColorScheme = h.Grey() ? csGray : csIndexed;
        p.SamplesPerPixel = 1;
        break;
    case 15:
    case 16:
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
    p.Compression = h.Compressed() ? cpRLE : cpNone;
    return true;
}

void TTargaGraphic::LoadFromStream(TStream& Stream) {
    FreeImage();
    BasePosition = uint32_t(Stream.Position());
    LoadImageProperties(Stream, 0);
    Stream.SetPosition(BasePosition);
    const TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, int32_t(p.Width), 1};
    StartProgress(gesPreparing);

    const TTargaHeader h = ReadHeader(Stream);
    Stream.Seek(h.IDLength, soCurrent);
    if (!IsDepth(h.PixelDepth)) ReaderErrorFmt(gesInvalidColorFormat, {"TGA"});

    TColorManager& cm = ColorManager();
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SourceOptions = {};
    cm.SetTargetColorScheme(csBGR);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(p.BitsPerSample);
    SetPixelFormat(cm.PixelFormatFor(true));

    // The colour map, when the file has one, stands between the ID and the pixels. A grey file does
    // not use it, but it is skipped so that the pixels are read from where they start. Entries are
    // whole bytes: 15-bit entries take two.
    const size_t mapBytes =
        h.ColorMapType == 1 ? size_t(h.ColorMapLength) * ((h.ColorMapEntrySize + 7u) / 8) : 0;
    if (h.Grey()) {
        SetPalette(cm.MakeGrayPalette(false));
        Stream.Seek(int64_t(mapBytes), soCurrent);
    } else if (h.ColorMapType == 1) {
        std::vector<uint8_t> map(mapBytes);
        Stream.ReadBuffer(map.data(), map.size());
        switch (h.ColorMapEntrySize) {
        case 24: SetPalette(cm.MakeColorMapPalette({map}, 0, h.ColorMapLength, true)); break;
        case 32: SetPalette(cm.MakeColorMapPalette({map}, 1, h.ColorMapLength, true)); break;
        case 15:
        case 16: {
            TPaletteEntries entries(std::min<size_t>(h.ColorMapLength, 256));
            for (size_t i = 0; i < entries.size(); ++i) {
                const uint32_t v = uint32_t(map[2 * i] | map[2 * i + 1] << 8);
                entries[i] = {uint8_t((v & 0x7C00) >> 7), uint8_t((v & 0x3E0) >> 2), uint8_t((v & 31) << 3),
                              0};
            }
            SetPalette(CreatePalette(std::move(entries)));
            break;
        }
        default: break; // an entry size without a palette format: the map is read past and left unused
        }
    }

    SetSize(int32_t(p.Width), int32_t(p.Height));
    const size_t pixelBytes = (h.PixelDepth + 1u) / 8;
    const size_t rowBytes = size_t(p.Width) * pixelBytes;
    EndProgress();
    StartProgress(gesTransfering);

    const int32_t height = Height();
    auto targetRow = [&](int32_t i) { return ScanLine((h.Descriptor & TopDownBit) ? i : height - 1 - i); };
    if (h.ImageType >= 1 && h.ImageType <= 3) {
        for (int32_t i = 0; i < height; ++i) {
            Stream.ReadBuffer(targetRow(i), rowBytes);
            RowProgress(uint32_t(i));
        }
    } else if (h.Compressed()) {
        // Rows are decoded from a window over the stream; each row takes what its packets use and
        // the next starts right after, however the packets fall.
        TTargaRLEDecoder decoder(h.PixelDepth);
        TStreamWindow window(Stream);
        for (int32_t i = 0; i < height; ++i) {
            const size_t available = window.Ensure(2 * rowBytes);
            const uint8_t* source = window.Data();
            uint8_t* dest = targetRow(i);
            decoder.Decode(source, dest, int32_t(available), int32_t(p.Width));
            window.Consume(size_t(source - window.Data()));
            RowProgress(uint32_t(i));
        }
        window.Sync();
    }
    // 32-bit pixels carry opacity when the descriptor says the image has 8 attribute bits and some
    // pixel is not fully transparent; many writers leave those bytes at 0 and mean nothing by them.
    if (h.PixelDepth == 32 && (h.Descriptor & 15) == 8)
        SetAlphaFormat(AnyFourthByteSet() ? afDefined : afIgnored);
    EndProgress();
}

void TTargaGraphic::SaveToStream(TStream& Stream) { SaveToStream(Stream, true); }

void TTargaGraphic::SaveToStream(TStream& Stream, bool Compressed) {
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
    uint8_t header[HeaderSize] = {};
    header[1] = b == 1 ? 1 : 0;
    header[2] = uint8_t(b == 1 ? (Compressed ? 9 : 1) : (Compressed ? 10 : 2));
    header[5] = 0; // 256 entries
    header[6] = 1;
    header[7] = 24;
    header[12] = uint8_t(Width());
    header[13] = uint8_t(Width() >> 8);
    header[14] = uint8_t(Height());
    header[15] = uint8_t(Height() >> 8);
    header[16] = uint8_t(b * 8);
    header[17] = uint8_t(TopDownBit | (alpha ? 8 : 0));
    if (Width() > 0xFFFF || Height() > 0xFFFF) ReaderErrorFmt(gesInvalidImage, {"TGA"});
    Stream.WriteBuffer(header, HeaderSize);
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
