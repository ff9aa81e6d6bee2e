#include "readers/formats/PSPGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/decoders/LZ77Decoder.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ferronel {

using namespace readers;

namespace {

const char* const PSPLabel = "PSP";
const char SignatureText[] = "Paint Shop Pro Image File";
constexpr size_t SignatureLength = 25;
constexpr size_t LayerNameLength = 256; // version 3
constexpr size_t LayerInfoSize = 115;
constexpr uint8_t FirstSkippedLayerType = 2; // later versions: vector, adjustment and the like
constexpr size_t PaletteChunkSize = 8;       // chunk length and entry count
constexpr size_t ChannelChunkSize = 16;      // chunk length and the channel information

[[noreturn]] void InvalidPSP() { ReaderErrorFmt(gesInvalidImage, {PSPLabel}); }

// A block header: the marker, the id, for version 3 the initial data length, and the length of
// what follows the header.
struct TPSPBlockHeader {
    uint16_t Id = 0;
    uint32_t Length = 0;

    static size_t SizeFor(bool Version3) { return Version3 ? 14 : 10; }
    // False when fewer bytes than a header remain or the marker is missing.
    static bool Parse(TByteReader& r, bool Version3, TPSPBlockHeader& Header) {
        if (!r.Has(SizeFor(Version3))) return false;
        const auto bytes = r.Bytes(SizeFor(Version3));
        if (bytes[0] != '~') return false;
        Header.Id = LoadU16LE(&bytes[4]);
        Header.Length = LoadU32LE(&bytes[Version3 ? 10 : 6]);
        return true;
    }
};

bool SignatureMatches(const std::array<char, 32>& s) {
    for (size_t i = 0; i < SignatureLength; ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(s[i]) != lower(SignatureText[i])) return false;
    }
    return true;
}

bool DepthSupported(uint16_t Depth) { return Depth == 1 || Depth == 4 || Depth == 8 || Depth == 24; }

uint64_t Align4(uint64_t Value) { return (Value + 3) & ~uint64_t(3); }

} // namespace

TPSPHeader TPSPHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPSPHeader h;
    r.Read(h.Signature.data(), h.Signature.size());
    h.MajorVersion = r.U16LE();
    h.MinorVersion = r.U16LE();
    return h;
}

TPSPImageAttributes TPSPImageAttributes::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPSPImageAttributes a;
    a.Width = r.S32LE();
    a.Height = r.S32LE();
    const uint32_t low = r.U32LE(), high = r.U32LE();
    const uint64_t bits = uint64_t(high) << 32 | low;
    std::memcpy(&a.Resolution, &bits, sizeof(bits));
    a.ResolutionUnit = r.U8();
    a.Compression = r.U16LE();
    a.BitDepth = r.U16LE();
    a.PlaneCount = r.U16LE();
    a.ColorCount = r.U32LE();
    a.GreyscaleFlag = r.U8();
    return a;
}

THeaderCheck CheckPSPHeader(const TPSPHeader& Header, const TPSPImageAttributes* Attributes) {
    THeaderCheck check;
    check.CanLoad = SignatureMatches(Header.Signature) && Header.MajorVersion >= TPSPHeader::FirstVersion;
    if (!check.CanLoad) {
        check.Refusal = Format(gesInvalidImage, {PSPLabel});
        return check;
    }
    if (Attributes) {
        if (Attributes->Width < 0 || Attributes->Height < 0 || Attributes->Compression > pkJPEG) {
            check.Refusal = Format(gesInvalidImage, {PSPLabel});
            return check;
        }
        if (!DepthSupported(Attributes->BitDepth)) {
            check.Refusal = Format(gesInvalidColorFormat, {PSPLabel});
            return check;
        }
        if (Attributes->Compression == pkJPEG) {
            check.Refusal = Format(gesNotSupported, {gesCompressionScheme, PSPLabel});
            return check;
        }
    }
    check.Load = true;
    return check;
}

TPSPGraphic::TPSPGraphic() = default;
TPSPGraphic::~TPSPGraphic() = default;

bool TPSPGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TPSPHeader>(Stream);
    return header && CheckPSPHeader(*header).CanLoad;
}

THeaderCheck TPSPGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TPSPHeader>(Stream);
    FAttributes = {};
    THeaderCheck check = CheckPSPHeader(FHeader);
    if (!check.Load) return check;

    // The first block holds the general attributes; it must lie inside the file.
    const bool v3 = FHeader.MajorVersion < TPSPHeader::ChunkedVersion;
    const uint64_t size = uint64_t(Stream.Size());
    const uint64_t start = uint64_t(Stream.Position());
    const size_t headerSize = TPSPBlockHeader::SizeFor(v3);
    const size_t wanted = headerSize + (v3 ? 0 : 4) + TPSPImageAttributes::Size;
    std::vector<uint8_t> bytes(wanted);
    TPSPBlockHeader block;
    TByteReader r(bytes);
    if (start + wanted > size || Stream.Read(bytes.data(), wanted) != wanted ||
        !TPSPBlockHeader::Parse(r, v3, block) || block.Id != pbImageAttributes ||
        CheckedAdd(start, headerSize, block.Length) > size || block.Length < wanted - headerSize) {
        check.Load = false;
        check.Refusal = Format(gesInvalidImage, {PSPLabel});
        return check;
    }
    FFirstBlockEnd = start + headerSize + block.Length;
    if (!v3) r.Skip(4);
    FAttributes =
        TPSPImageAttributes::Parse(r.Bytes(TPSPImageAttributes::Size).first<TPSPImageAttributes::Size>());
    Stream.SetPosition(int64_t(FFirstBlockEnd));

    TImageProperties& p = ImageProperties();
    const TPSPImageAttributes& a = FAttributes;
    p.Version = FHeader.MajorVersion;
    p.Width = uint32_t(std::max(a.Width, 0));
    p.Height = uint32_t(std::max(a.Height, 0));
    if (a.BitDepth == 24) {
        p.BitsPerSample = 8;
        p.SamplesPerPixel = 3;
        p.ColorScheme = csRGB;
    } else {
        p.BitsPerSample = uint8_t(a.BitDepth);
        p.SamplesPerPixel = 1;
        p.ColorScheme = a.GreyscaleFlag ? csGray : csIndexed;
    }
    p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = a.Compression == pkNone   ? cpNone
                    : a.Compression == pkRLE  ? cpRLE
                    : a.Compression == pkLZ77 ? cpDeflate
                    : a.Compression == pkJPEG ? cpJPEG
                                              : cpUnknown;
    const float resolution = float(a.Resolution);
    p.XResolution = a.ResolutionUnit == TPSPImageAttributes::PerCentimetre ? resolution * 2.54f : resolution;
    p.YResolution = p.XResolution;
    return CheckPSPHeader(FHeader, &FAttributes);
}

bool TPSPGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

void TPSPGraphic::ReadPalette(std::span<const uint8_t> Block) {
    TByteReader r(Block, InvalidPSP);
    uint32_t count;
    if (FHeader.MajorVersion >= TPSPHeader::ChunkedVersion) {
        const uint32_t chunk = r.U32LE();
        count = r.U32LE();
        if (chunk < PaletteChunkSize) InvalidPSP();
        r.Seek(chunk);
    } else {
        count = r.U32LE();
    }
    // At most 256 entries of blue, green, red and a spare byte; the rest is not read.
    count = std::min<uint32_t>(count, 256);
    const auto entries = r.Bytes(size_t(count) * 4);
    SetPalette(ColorManager().MakeColorMapPalette({entries}, 1, count, true));
}

bool TPSPGraphic::ReadLayers(std::span<const uint8_t> Block) {
    const bool v3 = FHeader.MajorVersion < TPSPHeader::ChunkedVersion;
    const TImageProperties& p = ImageProperties();
    TByteReader blocks(Block, InvalidPSP);
    TPSPBlockHeader header;
    // The layer search ends at a sub-block of another kind or at the end of the block.
    while (TPSPBlockHeader::Parse(blocks, v3, header) && header.Id == pbLayer) {
        TByteReader layer = blocks.Sub(header.Length);
        uint8_t layerType;
        if (v3) {
            layer.Skip(LayerNameLength);
            layerType = layer.Bytes(LayerInfoSize)[0];
            if (layerType != 0) continue;
        } else {
            const size_t q = layer.Position();
            const uint32_t length = layer.U32LE();
            layer.Skip(layer.U16LE());
            layerType = layer.Bytes(LayerInfoSize)[0];
            layer.Seek(CheckedAdd(q, length));
            if (layerType >= FirstSkippedLayerType) continue;
        }
        size_t bitmapInfoEnd = 0;
        const size_t q = layer.Position();
        if (!v3) bitmapInfoEnd = size_t(CheckedAdd(q, layer.U32LE()));
        layer.U16LE(); // bitmap count
        const uint16_t channelCount = layer.U16LE();
        if (!v3) layer.Seek(bitmapInfoEnd);

        // Rows as the channels store them: the length of an unpacked channel tells whether its rows
        // are padded to four bytes.
        const uint64_t tight = CheckedRowBytes(p.Width, p.BitsPerSample);
        const uint64_t minimal = p.BitsPerSample == 4 ? p.Width / 2 + 1 : tight;
        const bool rgb = p.ColorScheme == csRGB;
        const bool alpha = rgb && channelCount > 3;
        TColorManager& cm = ColorManager();
        if (alpha) {
            cm.SetSourceColorScheme(csRGBA);
            cm.SetSourceSamplesPerPixel(4);
            cm.SetTargetColorScheme(csBGRA);
            cm.SetTargetSamplesPerPixel(4);
            SetPixelFormat(cm.PixelFormatFor(true));
            SetAlphaFormat(afDefined);
        }
        // The pixels once there is a layer to fill them, and before the channels, which are as large.
        SetSize(int32_t(p.Width), int32_t(p.Height));
        // Planes: composite (or index), red, green, blue, transparency mask.
        std::vector<uint8_t> planes[5];
        uint64_t strides[5] = {};
        StartProgress(gesLoadingData);
        for (uint16_t c = 0; c < channelCount;) {
            TPSPBlockHeader channelHeader;
            if (!TPSPBlockHeader::Parse(layer, v3, channelHeader)) break;
            TByteReader channel = layer.Sub(channelHeader.Length);
            // Sub-blocks of other kinds among the channels are passed over.
            if (channelHeader.Id != pbChannel) continue;
            ++c;
            uint32_t chunk = 0;
            if (!v3) {
                chunk = channel.U32LE();
                if (chunk < ChannelChunkSize) InvalidPSP();
            }
            const uint32_t packedLength = channel.U32LE();
            const uint32_t unpackedLength = channel.U32LE();
            const uint16_t bitmapType = channel.U16LE();
            const uint16_t channelType = channel.U16LE();
            // The compressed bytes follow the chunk, which later versions may lengthen.
            if (!v3) channel.Seek(chunk);
            const auto packed = channel.Bytes(packedLength);
            size_t index;
            if (bitmapType == pmImage && channelType <= pcBlue)
                index = channelType;
            else if (bitmapType == pmTransparencyMask && channelType == pcComposite && alpha)
                index = 4;
            else
                continue;
            const uint64_t stride = unpackedLength >= CheckedMul(Align4(minimal), p.Height) ? Align4(minimal)
                                    : unpackedLength >= CheckedMul(minimal, p.Height)       ? minimal
                                                                                            : tight;
            std::vector<uint8_t>& plane = planes[index];
            plane.assign(size_t(CheckedMul(stride, p.Height)), 0);
            strides[index] = stride;
            const size_t unpacked = std::min<size_t>(plane.size(), unpackedLength);
            const uint8_t* source = packed.data();
            uint8_t* dest = plane.data();
            const int32_t packedSize = CheckedCast<int32_t>(packed.size());
            const int32_t unpackedSize = CheckedCast<int32_t>(unpacked);
            switch (FAttributes.Compression) {
            case pkNone: std::memcpy(dest, source, std::min(packed.size(), unpacked)); break;
            case pkRLE: TPSPRLEDecoder().Decode(source, dest, packedSize, unpackedSize); break;
            case pkLZ77: {
                TLZ77Decoder decoder(Z_FINISH, false);
                decoder.BeginDecode();
                decoder.Decode(source, dest, packedSize, unpackedSize);
                decoder.EndDecode();
                break;
            }
            default: break;
            }
        }
        EndProgress();

        // Channels the layer does not have stay 0, except opacity, which stays full.
        const size_t first = rgb ? 1 : 0, last = alpha ? 4 : rgb ? 3 : 0;
        for (size_t i = first; i <= last; ++i) {
            if (!planes[i].empty()) continue;
            strides[i] = tight;
            planes[i].assign(size_t(CheckedMul(tight, p.Height)), i == 4 ? 0xFF : 0);
        }
        StartProgress(gesTransfering);
        for (uint32_t y = 0; y < p.Height; ++y) {
            uint8_t* target = ScanLine(int32_t(y));
            if (rgb) {
                const uint8_t* rows[4] = {
                    planes[1].data() + y * strides[1], planes[2].data() + y * strides[2],
                    planes[3].data() + y * strides[3], alpha ? planes[4].data() + y * strides[4] : nullptr};
                cm.ConvertScanline(TSourceRows(rows, alpha ? 4 : 3), target, p.Width, 0xFF);
            } else {
                std::memcpy(target, planes[0].data() + y * strides[0], size_t(tight));
            }
            RowProgress(y);
        }
        EndProgress();
        return true;
    }
    return false;
}

void TPSPGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    if (!check.Load) ReaderError(check.Refusal);
    const TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, CheckedCast<int32_t>(p.Width), 1};
    StartProgress(gesPreparing);

    TColorManager& cm = ColorManager();
    cm.SourceOptions = {};
    cm.TargetOptions = {};
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(p.BitsPerSample);
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SetTargetColorScheme(p.ColorScheme == csRGB ? csBGR : p.ColorScheme);
    SetPixelFormat(cm.PixelFormatFor(true));
    // Grey images without a colour block still show grey.
    if (p.ColorScheme == csGray) SetPalette(cm.MakeGrayPalette(false));
    EndProgress();
    if (p.Width == 0 || p.Height == 0) return;

    // The block walk; every block must lie inside the file.
    const bool v3 = FHeader.MajorVersion < TPSPHeader::ChunkedVersion;
    const size_t headerSize = TPSPBlockHeader::SizeFor(v3);
    const uint64_t size = uint64_t(Stream.Size());
    uint64_t at = FFirstBlockEnd;
    bool loaded = false;
    std::vector<uint8_t> data;
    while (at + headerSize <= size && !loaded) {
        uint8_t bytes[14];
        Stream.SetPosition(int64_t(at));
        Stream.ReadBuffer(bytes, headerSize);
        TByteReader r(std::span<const uint8_t>(bytes, headerSize));
        TPSPBlockHeader block;
        if (!TPSPBlockHeader::Parse(r, v3, block)) break;
        const uint64_t next = CheckedAdd(at, headerSize, block.Length);
        if (next > size) InvalidPSP();
        if (block.Id == pbColorPalette || block.Id == pbLayerStart) {
            data.resize(block.Length);
            Stream.ReadBuffer(data.data(), data.size());
            if (block.Id == pbColorPalette)
                ReadPalette(data);
            else
                loaded = ReadLayers(data);
        }
        at = next;
    }
    // A file without a raster layer has no picture to show.
    if (!loaded) InvalidPSP();
}

} // namespace ferronel
