#include "readers/formats/TIFFGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Limits.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/decoders/CCITTFax3Decoder.h"
#include "readers/decoders/CCITTFax4Decoder.h"
#include "readers/decoders/CCITTMHDecoder.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/decoders/TIFFDeflateDecoder.h"
#include "readers/decoders/TIFFJPEGDecoder.h"
#include "readers/decoders/TIFFLZWDecoder.h"
#include "readers/decoders/ThunderDecoder.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <set>

namespace ferronel {

using namespace readers;

namespace {

const char* const TIFFLabel = "TIF/TIFF";

constexpr size_t EntrySize = 12;

// Bit order reversal of one byte, for data stored least significant bit first.
constexpr std::array<uint8_t, 256> MakeReversedBits() {
    std::array<uint8_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = 0;
        for (uint32_t b = 0; b < 8; ++b)
            if (i & (1u << b)) r |= 0x80u >> b;
        t[i] = uint8_t(r);
    }
    return t;
}
constexpr std::array<uint8_t, 256> ReversedBits = MakeReversedBits();

void ReverseBits(uint8_t* P, size_t Count) {
    for (size_t i = 0; i < Count; ++i) P[i] = ReversedBits[P[i]];
}

// Undoes horizontal differencing on one row of Pixels pixels of Samples interleaved samples. The
// running sums stay in registers: going through memory makes each byte wait for the store before.
template <size_t Samples> void UndoDifferencing8Fixed(uint8_t* Row, size_t Pixels) {
    std::array<uint8_t, Samples> sum;
    for (size_t s = 0; s < Samples; ++s) sum[s] = Row[s];
    for (size_t i = 1; i < Pixels; ++i) {
        uint8_t* p = Row + i * Samples;
        for (size_t s = 0; s < Samples; ++s) p[s] = sum[s] = uint8_t(sum[s] + p[s]);
    }
}

void UndoDifferencing8(uint8_t* Row, size_t Pixels, size_t Samples) {
    switch (Samples) {
    case 1: UndoDifferencing8Fixed<1>(Row, Pixels); return;
    case 2: UndoDifferencing8Fixed<2>(Row, Pixels); return;
    case 3: UndoDifferencing8Fixed<3>(Row, Pixels); return;
    case 4: UndoDifferencing8Fixed<4>(Row, Pixels); return;
    default:
        for (size_t i = Samples; i < Pixels * Samples; ++i) Row[i] = uint8_t(Row[i] + Row[i - Samples]);
    }
}

void UndoDifferencing16(uint8_t* Row, size_t Pixels, size_t Samples, bool BigEndian) {
    const size_t end = Pixels * Samples;
    auto load = [BigEndian](const uint8_t* p) { return BigEndian ? LoadU16BE(p) : LoadU16LE(p); };
    for (size_t i = Samples; i < end; ++i) {
        const uint16_t v = uint16_t(load(Row + 2 * i) + load(Row + 2 * (i - Samples)));
        if (BigEndian)
            StoreU16BE(Row + 2 * i, v);
        else
            StoreU16LE(Row + 2 * i, v);
    }
}

uint32_t CeilDiv(uint32_t A, uint32_t B) { return uint32_t((uint64_t(A) + B - 1) / B); }

} // namespace

TTIFFHeader TTIFFHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TTIFFHeader h;
    h.ByteOrder = r.U16LE();
    if (h.BigEndian()) {
        h.Version = r.U16BE();
        h.FirstIFDOffset = r.U32BE();
    } else {
        h.Version = r.U16LE();
        h.FirstIFDOffset = r.U32LE();
    }
    return h;
}

THeaderCheck CheckTIFFHeader(const TTIFFHeader& Header, uint64_t Remaining, const char* Label) {
    THeaderCheck check;
    const bool order = Header.ByteOrder == boLittleEndian || Header.ByteOrder == boBigEndian;
    check.CanLoad = order && Header.Version == TIFFVersion && int32_t(Header.FirstIFDOffset) >= 0 &&
                    uint64_t(Header.FirstIFDOffset) < Remaining;
    check.Load = Header.Version == TIFFVersion && Header.FirstIFDOffset >= TTIFFHeader::Size &&
                 uint64_t(Header.FirstIFDOffset) < Remaining;
    if (!check.Load) check.Refusal = Format(gesInvalidImage, {Label});
    return check;
}

uint32_t FieldTypeSize(uint16_t FieldType) {
    switch (FieldType) {
    case tfByte:
    case tfAscii:
    case tfSByte:
    case tfUndefined: return 1;
    case tfShort:
    case tfSShort: return 2;
    case tfLong:
    case tfSLong:
    case tfFloat: return 4;
    case tfRational:
    case tfSRational:
    case tfDouble: return 8;
    default: return 0;
    }
}

// What one load needs to know about the pixel data's arrangement.
struct TTIFFGraphic::TLayout {
    uint16_t Compression = tcNone;
    uint16_t Photometric = tpMinIsBlack;
    bool Tiled = false;
    bool Planar = false;
    uint32_t Planes = 1;
    uint32_t ChunkWidth = 0, ChunkRows = 0; // a strip (Width x RowsPerStrip) or a tile
    uint32_t ChunksAcross = 1, ChunksDown = 1;
    // Samples of one pixel as decoded (JPEG delivers colour) and the samples the colour manager
    // takes of them; planar data has one of them per plane.
    uint32_t Samples = 1, UsedSamples = 1;
    // Which stored sample each sample of the colour manager's row is (grey and opacity become red,
    // green and blue alike and opacity).
    std::array<uint8_t, 4> SampleMap{0, 1, 2, 3};
    uint8_t Bits = 8;
    uint64_t PlaneRowBytes = 0; // one image row of one plane
    uint64_t ChunkRowBytes = 0; // one chunk row of one plane
    uint64_t RowBytes = 0;      // the interleaved row handed to the colour manager
    bool Repack = false;        // rows are put together from planes or stripped of extra samples
    bool ReverseBits = false;   // the codec gets its bytes most significant bit first
    bool Predict = false;
    TCardinalArray Offsets, ByteCounts;
};

TTIFFGraphic::TTIFFGraphic() = default;
TTIFFGraphic::~TTIFFGraphic() = default;

void TTIFFGraphic::Invalid() const { ReaderErrorFmt(gesInvalidImage, {TIFFLabel}); }

bool TTIFFGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TTIFFHeader>(Stream);
    if (!header) return false;
    const int64_t remaining = Stream.Size() - Stream.Position();
    return CheckTIFFHeader(*header, uint64_t(std::max<int64_t>(remaining, 0)), TIFFLabel).CanLoad;
}

uint32_t TTIFFGraphic::ReadDirectory(uint32_t Offset) {
    TStream& stream = *FReadStream;
    const uint64_t at = uint64_t(BasePosition) + Offset;
    if (Offset < TTIFFHeader::Size || at + 2 > FStreamSize) Invalid();
    stream.SetPosition(int64_t(at));
    uint8_t countBytes[2];
    stream.ReadBuffer(countBytes, 2);
    const uint32_t count = FBigEndian ? LoadU16BE(countBytes) : LoadU16LE(countBytes);
    // The entries must be in the file; the next offset may be cut off, which ends the chain.
    const uint64_t entriesEnd = at + 2 + uint64_t(count) * EntrySize;
    if (entriesEnd > FStreamSize) Invalid();
    const bool withNext = entriesEnd + 4 <= FStreamSize;
    std::vector<uint8_t> bytes(size_t(count) * EntrySize + (withNext ? 4 : 0));
    stream.ReadBuffer(bytes.data(), bytes.size());
    TByteReader r(bytes);
    FDirectory.assign(count, {});
    for (TDirectoryEntry& e : FDirectory) {
        e.Tag = FBigEndian ? r.U16BE() : r.U16LE();
        e.FieldType = FBigEndian ? r.U16BE() : r.U16LE();
        e.ValueCount = FBigEndian ? r.U32BE() : r.U32LE();
        r.Read(e.Value.data(), 4);
    }
    // Lookups search by tag; the library sort stays O(n log n) whatever order the entries come in.
    std::stable_sort(FDirectory.begin(), FDirectory.end(),
                     [](const TDirectoryEntry& a, const TDirectoryEntry& b) { return a.Tag < b.Tag; });
    if (!withNext) return 0;
    return FBigEndian ? r.U32BE() : r.U32LE();
}

bool TTIFFGraphic::FindEntry(uint16_t Tag, size_t& Index) const {
    const auto it = std::lower_bound(FDirectory.begin(), FDirectory.end(), Tag,
                                     [](const TDirectoryEntry& e, uint16_t t) { return e.Tag < t; });
    Index = size_t(it - FDirectory.begin());
    return it != FDirectory.end() && it->Tag == Tag;
}

std::vector<uint8_t> TTIFFGraphic::EntryData(const TDirectoryEntry& Entry) {
    const uint64_t size = uint64_t(FieldTypeSize(Entry.FieldType)) * Entry.ValueCount;
    if (size <= 4) return std::vector<uint8_t>(Entry.Value.begin(), Entry.Value.begin() + ptrdiff_t(size));
    const uint32_t offset = FBigEndian ? LoadU32BE(Entry.Value.data()) : LoadU32LE(Entry.Value.data());
    const uint64_t at = uint64_t(BasePosition) + offset;
    // Values the file cannot hold are refused, not allocated.
    if (at > FStreamSize || size > FStreamSize - at) Invalid();
    std::vector<uint8_t> data(static_cast<size_t>(size));
    FReadStream->SetPosition(int64_t(at));
    FReadStream->ReadBuffer(data.data(), data.size());
    return data;
}

uint32_t TTIFFGraphic::EntryValue(const TDirectoryEntry& Entry, size_t Index, const uint8_t* Data) const {
    switch (Entry.FieldType) {
    case tfByte:
    case tfSByte:
    case tfUndefined:
    case tfAscii: return Data[Index];
    case tfShort:
    case tfSShort: return FBigEndian ? LoadU16BE(Data + 2 * Index) : LoadU16LE(Data + 2 * Index);
    case tfLong:
    case tfSLong: return FBigEndian ? LoadU32BE(Data + 4 * Index) : LoadU32LE(Data + 4 * Index);
    default: return 0;
    }
}

double TTIFFGraphic::EntryFloat(const TDirectoryEntry& Entry, size_t Index, const uint8_t* Data) const {
    auto u32 = [this](const uint8_t* p) { return FBigEndian ? LoadU32BE(p) : LoadU32LE(p); };
    switch (Entry.FieldType) {
    case tfRational:
    case tfSRational: {
        const uint32_t n = u32(Data + 8 * Index), d = u32(Data + 8 * Index + 4);
        if (d == 0) return std::numeric_limits<double>::quiet_NaN();
        return Entry.FieldType == tfRational ? double(n) / double(d)
                                             : double(int32_t(n)) / double(int32_t(d));
    }
    case tfFloat: {
        const uint32_t bits = u32(Data + 4 * Index);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    case tfDouble: {
        const uint64_t bits = uint64_t(u32(Data + 8 * Index + (FBigEndian ? 0 : 4))) << 32 |
                              u32(Data + 8 * Index + (FBigEndian ? 4 : 0));
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    default: return EntryValue(Entry, Index, Data);
    }
}

uint32_t TTIFFGraphic::TagValue(uint16_t Tag, uint32_t Default) const {
    uint32_t count;
    return TagValueAndCount(Tag, count, Default);
}

uint32_t TTIFFGraphic::TagValueAndCount(uint16_t Tag, uint32_t& Count, uint32_t Default) const {
    size_t i;
    Count = 0;
    if (!FindEntry(Tag, i) || FieldTypeSize(FDirectory[i].FieldType) == 0) return Default;
    const TDirectoryEntry& e = FDirectory[i];
    Count = e.ValueCount;
    if (e.ValueCount != 1) return FBigEndian ? LoadU32BE(e.Value.data()) : LoadU32LE(e.Value.data());
    switch (e.FieldType) {
    case tfByte:
    case tfShort:
    case tfSShort:
    case tfLong:
    case tfSLong: return EntryValue(e, 0, e.Value.data());
    default: return Default;
    }
}

float TTIFFGraphic::TagFloat(uint16_t Tag, float Default) {
    size_t i;
    if (!FindEntry(Tag, i) || FDirectory[i].ValueCount != 1 || FieldTypeSize(FDirectory[i].FieldType) == 0)
        return Default;
    const TDirectoryEntry& e = FDirectory[i];
    const std::vector<uint8_t> data = EntryData(e);
    const double v = EntryFloat(e, 0, data.data());
    if (!(v == v) || v > std::numeric_limits<float>::max() || v < -std::numeric_limits<float>::max())
        return Default;
    return float(v);
}

TByteArray TTIFFGraphic::TagByteList(uint16_t Tag) {
    const TCardinalArray values = TagCardinalList(Tag);
    TByteArray list(values.size());
    std::transform(values.begin(), values.end(), list.begin(), [](uint32_t v) { return uint8_t(v); });
    return list;
}

TCardinalArray TTIFFGraphic::TagCardinalList(uint16_t Tag) {
    size_t i;
    if (!FindEntry(Tag, i) || FieldTypeSize(FDirectory[i].FieldType) == 0) return {};
    const TDirectoryEntry& e = FDirectory[i];
    const std::vector<uint8_t> data = EntryData(e);
    TCardinalArray list(e.ValueCount);
    for (size_t k = 0; k < list.size(); ++k) list[k] = EntryValue(e, k, data.data());
    return list;
}

TFloatArray TTIFFGraphic::TagFloatList(uint16_t Tag) {
    size_t i;
    if (!FindEntry(Tag, i) || FieldTypeSize(FDirectory[i].FieldType) == 0) return {};
    const TDirectoryEntry& e = FDirectory[i];
    const std::vector<uint8_t> data = EntryData(e);
    TFloatArray list(e.ValueCount);
    for (size_t k = 0; k < list.size(); ++k) list[k] = float(EntryFloat(e, k, data.data()));
    return list;
}

THeaderCheck TTIFFGraphic::ReadProperties(TStream& Stream, uint32_t ImageIndex) {
    TReaderGraphic::LoadImageProperties(Stream, ImageIndex);
    FReadStream = &Stream;
    FDirectory.clear();
    FStreamSize = uint64_t(std::max<int64_t>(Stream.Size(), 0));
    THeaderCheck refused;
    refused.Refusal = Format(gesInvalidImage, {TIFFLabel});
    if (FStreamSize < uint64_t(BasePosition) + TTIFFHeader::Size) return refused;
    Stream.SetPosition(BasePosition);
    const TTIFFHeader header = ReadHeaderFrom<TTIFFHeader>(Stream);
    FBigEndian = header.BigEndian();
    TImageProperties& p = ImageProperties();
    if (FBigEndian) p.Flags.Include(ifBigEndian);
    p.Version = header.Version;
    p.FirstDirectoryOffset = header.FirstIFDOffset;
    THeaderCheck check = CheckTIFFHeader(header, FStreamSize - BasePosition, TIFFLabel);
    if (!check.Load) return check;

    // Walk the chain to the wanted directory; a chain that comes back to a directory is damaged.
    uint32_t offset = header.FirstIFDOffset;
    std::set<uint32_t> seen{offset};
    for (uint32_t index = ImageIndex; index > 0; --index) {
        offset = ReadDirectory(offset);
        if (offset == 0) return refused;
        if (!seen.insert(offset).second) Invalid();
    }
    ReadDirectory(offset);

    p.Width = TagValue(ttImageWidth, 0);
    p.Height = TagValue(ttImageLength, 0);
    p.RowsPerStrip = TagCardinalList(ttRowsPerStrip);
    if (p.RowsPerStrip.empty() || p.RowsPerStrip[0] == 0xFFFFFFFFu) p.RowsPerStrip = {p.Height};
    const uint32_t samples = TagValue(ttSamplesPerPixel, 1);
    const TCardinalArray bits = TagCardinalList(ttBitsPerSample);
    const uint32_t bitsPerSample = bits.empty() ? 1 : bits[0];
    p.TileWidth = TagValue(ttTileWidth, 0);
    p.TileLength = TagValue(ttTileLength, 0);
    if (p.TileWidth != 0 && p.TileLength != 0) p.Flags.Include(ifTiled);
    const uint32_t photometric = TagValue(ttPhotometricInterpretation, tpMinIsWhite);
    const TCardinalArray extra = TagCardinalList(ttExtraSamples);
    p.HasAlpha = !extra.empty() && std::all_of(extra.begin(), extra.end(), [](uint32_t v) { return v <= 2; });
    const uint32_t compression = TagValue(ttCompression, 0) & 0xFFFFu;
    switch (compression) {
    case tcNone: p.Compression = cpNone; break;
    case tcCCITTRLE: p.Compression = cpFaxRLE; break;
    case tcCCITTFax3: p.Compression = cpFax3; break;
    case tcCCITTFax4: p.Compression = cpFax4; break;
    case tcLZW: p.Compression = cpLZW; break;
    case tcOldJPEG: p.Compression = cpOldJPEG; break;
    case tcJPEG: p.Compression = cpJPEG; break;
    case tcAdobeDeflate:
    case tcDeflate: p.Compression = cpDeflate; break;
    case tcNeXT: p.Compression = cpNeXT; break;
    case tcCCITTRLEW: p.Compression = cpFaxRLEW; break;
    case tcPackBits: p.Compression = cpPackBits; break;
    case tcThunderscan: p.Compression = cpThunderscan; break;
    case tcIT8CTPAD: p.Compression = cpIT8CTPAD; break;
    case tcIT8LW: p.Compression = cpIT8LW; break;
    case tcIT8MP: p.Compression = cpIT8MP; break;
    case tcIT8BL: p.Compression = cpIT8BL; break;
    case tcPixarFilm: p.Compression = cpPixarFilm; break;
    case tcPixarLog: p.Compression = cpPixarLog; break;
    case tcDCS: p.Compression = cpDCS; break;
    case tcJBIG: p.Compression = cpJBIG; break;
    default: p.Compression = cpUnknown; break;
    }
    switch (photometric) {
    case tpMinIsWhite:
        p.ColorScheme = csGray;
        p.Flags.Include(ifMinIsWhite);
        break;
    case tpMinIsBlack: p.ColorScheme = csGray; break;
    case tpRGB: p.ColorScheme = samples < 4 ? csRGB : csRGBA; break;
    case tpPalette: p.ColorScheme = csIndexed; break;
    case tpSeparated: p.ColorScheme = csCMYK; break;
    case tpYCbCr: p.ColorScheme = csYCbCr; break;
    case tpCIELab: p.ColorScheme = csCIELab; break;
    default: p.ColorScheme = csUnknown; break;
    }
    if (photometric == tpYCbCr) {
        p.YCbCrSubsampling = TagByteList(ttYCbCrSubsampling);
        if (p.YCbCrSubsampling.size() < 2) p.YCbCrSubsampling = {2, 2};
        YCbCrPositioning = TagValue(ttYCbCrPositioning, 1);
        YCbCrCoefficients = TagFloatList(ttYCbCrCoefficients);
        if (YCbCrCoefficients.size() < 3) YCbCrCoefficients = {0.299f, 0.587f, 0.114f};
    }
    // Interleaved samples are what the format assumes when the tag is missing.
    p.PlanarConfiguration = TagValue(ttPlanarConfiguration, tpcChunky);
    p.XResolution = TagFloat(ttXResolution, 0);
    p.YResolution = TagFloat(ttYResolution, 0);
    if (TagValue(ttResolutionUnit, truInch) == truCentimeter) {
        p.XResolution *= 2.54f;
        p.YResolution *= 2.54f;
    }
    p.Predictor = TagValue(ttPredictor, tprNone);
    if (TagValue(ttFillOrder, tfoMSBFirst) == tfoLSBFirst) p.Flags.Include(ifReversedBits);

    // Sample layouts no bitmap row can take are refused here, before any size is worked out from
    // them; the colour manager judges the rest.
    p.SamplesPerPixel = uint8_t(std::min<uint32_t>(samples, 255));
    p.BitsPerSample = uint8_t(std::min<uint32_t>(bitsPerSample, 255));
    p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
    if (p.Width == 0 || p.Height == 0 || p.Width > uint32_t(INT32_MAX) || p.Height > uint32_t(INT32_MAX))
        return refused;
    const bool depth = bitsPerSample == 1 || bitsPerSample == 2 || bitsPerSample == 4 || bitsPerSample == 8 ||
                       bitsPerSample == 16;
    uint32_t needed = 1;
    switch (p.ColorScheme) {
    case csRGB:
    case csRGBA:
    case csYCbCr:
    case csCIELab: needed = 3; break;
    case csCMYK: needed = 4; break;
    case csUnknown: needed = 0; break;
    default: break;
    }
    if (!depth || needed == 0 || samples < needed || samples > 16) return refused;
    // Tiles come in multiples of 16 pixels; slivers would only turn a small file into millions of
    // empty tiles.
    if (p.Flags.Contains(ifTiled) &&
        (p.TileWidth < 8 || p.TileLength < 8 || (uint64_t(p.TileWidth) * bitsPerSample * samples) % 8 != 0))
        return refused;
    check.Load = true;
    return check;
}

bool TTIFFGraphic::LoadImageProperties(TStream& Stream, uint32_t ImageIndex) {
    // The file starts at the stream position, which is left as it was.
    const int64_t start = Stream.Position();
    BasePosition = CheckedCast<uint32_t>(start);
    const bool load = ReadProperties(Stream, ImageIndex).Load;
    Stream.SetPosition(start);
    return load;
}

void TTIFFGraphic::SetUpColors(TLayout& L) {
    TImageProperties& p = ImageProperties();
    TColorManager& cm = ColorManager();
    cm.SourceOptions = p.Flags.Contains(ifBigEndian) ? TConvertOptions{coxSwapBytes} : TConvertOptions{};
    cm.TargetOptions = {};
    TColorScheme source = p.ColorScheme;
    uint32_t used = source == csRGB || source == csYCbCr || source == csCIELab ? 3
                    : source == csRGBA || source == csCMYK                     ? 4
                                                                               : 1;
    if (source == csGray && p.HasAlpha && p.SamplesPerPixel >= 2 && L.Bits >= 8 && L.Compression != tcJPEG) {
        // No grey bitmap carries opacity, so grey and opacity go out as colour with opacity.
        source = csRGBA;
        used = 4;
        L.SampleMap = {0, 0, 0, 1};
    }
    if (L.Compression == tcJPEG) {
        // libjpeg delivers colour as RGB and grey as grey; CMYK passes through.
        if (source == csYCbCr) source = csRGB;
        if (source == csIndexed) Invalid();
    }
    if (source == csYCbCr) {
        // Subsampled chroma is stored in data units this reader does not take apart.
        const bool full =
            p.YCbCrSubsampling.size() >= 2 && p.YCbCrSubsampling[0] == 1 && p.YCbCrSubsampling[1] == 1;
        if (!full) Invalid();
    }
    L.UsedSamples = used;
    L.Repack = L.Planar ? L.Samples > 1 : L.Samples != used;
    if (L.Repack && L.Bits < 8) Invalid();

    cm.SetSourceBitsPerSample(L.Bits);
    cm.SetTargetBitsPerSample(L.Bits == 16 ? 8 : L.Bits == 2 ? 4 : L.Bits);
    TColorScheme target;
    switch (source) {
    case csIndexed: target = csIndexed; break;
    case csRGB: target = csBGR; break;
    case csRGBA: target = csBGRA; break;
    case csCMY:
    case csCMYK:
    case csCIELab:
    case csYCbCr: target = csBGR; break;
    default: target = source; break;
    }
    cm.SetSourceColorScheme(source);
    cm.SetTargetColorScheme(target);
    cm.SetSourceSamplesPerPixel(uint8_t(used));
    cm.SetTargetSamplesPerPixel(uint8_t(target == csBGRA ? 4 : target == csBGR ? 3 : 1));
    if (source == csCIELab) cm.SourceOptions.Include(coxLabByteLightness);
    SetPixelFormat(cm.PixelFormatFor(true));
    SetSize(int32_t(p.Width), int32_t(p.Height));
    L.RowBytes = cm.SourceRowBytes(p.Width);

    if (target == csIndexed) {
        uint32_t count;
        TagValueAndCount(ttColorMap, count, 0);
        size_t i;
        if (count > 0 && FindEntry(ttColorMap, i) && FDirectory[i].FieldType == tfShort) {
            // Past 8 bits per sample only the first 256 entries of each plane are read.
            const std::vector<uint8_t> data = EntryData(FDirectory[i]);
            const size_t perPlane = count / 3, kept = std::min<size_t>(perPlane, 256);
            std::vector<uint8_t> planes(kept * 6);
            for (size_t c = 0; c < 3; ++c)
                std::memcpy(planes.data() + c * kept * 2, data.data() + c * perPlane * 2, kept * 2);
            for (size_t k = 0; k < kept * 3; ++k) ColorMapStore[k] = LoadU16LE(planes.data() + 2 * k);
            const std::span<const uint8_t> all(planes);
            SetPalette(cm.MakeColorMapPalette(
                {all.subspan(0, kept * 2), all.subspan(kept * 2, kept * 2), all.subspan(kept * 4, kept * 2)},
                6, uint32_t(std::min<size_t>(count, kept * 3)), false));
        }
    } else if (target == csGray) {
        SetPalette(cm.MakeGrayPalette(p.Flags.Contains(ifMinIsWhite)));
    } else if (source == csYCbCr) {
        cm.SetYCbCrValues(YCbCrCoefficients, p.YCbCrSubsampling[0], p.YCbCrSubsampling[1]);
    }
    if (target == csBGRA) SetAlphaFormat(afDefined);
}

std::unique_ptr<TDecoder> TTIFFGraphic::MakeDecoder(const TLayout& L) {
    TImageProperties& p = ImageProperties();
    switch (L.Compression) {
    case tcNone: return nullptr;
    case tcPackBits: return std::make_unique<TPackbitsRLEDecoder>();
    case tcAdobeDeflate:
    case tcDeflate: return std::make_unique<TTIFFDeflateDecoder>();
    case tcLZW: return std::make_unique<TTIFFLZWDecoder>();
    case tcCCITTRLE:
    case tcCCITTRLEW:
        return std::make_unique<TCCITTMHDecoder>(0, p.Flags.Contains(ifReversedBits),
                                                 L.Compression == tcCCITTRLEW, L.ChunkWidth);
    case tcCCITTFax3:
        return std::make_unique<TCCITTFax3Decoder>(int32_t(TagValue(ttT4Options, 0)),
                                                   p.Flags.Contains(ifReversedBits), false, L.ChunkWidth);
    case tcCCITTFax4:
        return std::make_unique<TCCITTFax4Decoder>(p.Flags.Contains(ifReversedBits), L.ChunkWidth);
    case tcThunderscan: return std::make_unique<TThunderDecoder>(L.ChunkWidth);
    case tcJPEG: p.JPEGTables = TagByteList(ttJPEGTables); return std::make_unique<TTIFFJPEGDecoder>(&p);
    default: ReaderErrorFmt(gesNotSupported, {gesCompressionScheme, TIFFLabel});
    }
}

void TTIFFGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    SetStream(&Stream);
    const THeaderCheck check = ReadProperties(Stream, 0);
    if (!check.Load) ReaderError(check.Refusal);
    TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, 0, 1};
    StartProgress(gesPreparing);

    TLayout L;
    L.Compression = uint16_t(TagValue(ttCompression, 0));
    L.Photometric = uint16_t(TagValue(ttPhotometricInterpretation, tpMinIsWhite));
    L.Tiled = p.Flags.Contains(ifTiled);
    L.Planar = p.PlanarConfiguration == tpcSeparate && p.SamplesPerPixel > 1;
    L.Samples = p.SamplesPerPixel;
    L.Bits = p.BitsPerSample;
    if (L.Compression == tcJPEG) {
        if (L.Bits != 8) Invalid();
        if (p.ColorScheme == csYCbCr) {
            // libjpeg turns the three components into RGB.
            if (L.Planar) Invalid();
            L.Samples = 3;
        }
    }
    L.Planes = L.Planar ? L.Samples : 1;
    const uint32_t planeSamples = L.Planar ? 1 : L.Samples;
    L.PlaneRowBytes = CheckedRowBytes(p.Width, uint64_t(planeSamples) * L.Bits);
    if (L.Tiled) {
        L.ChunkWidth = p.TileWidth;
        L.ChunkRows = p.TileLength;
        // A tile may overhang the image, but not by so much that its buffer outgrows any picture.
        const uint64_t tilePixels = CheckedMul(p.TileWidth, p.TileLength);
        if (tilePixels > std::max<uint64_t>(CheckedMul(p.Width, p.Height), uint64_t(1) << 22)) Invalid();
        L.ChunksAcross = CeilDiv(p.Width, p.TileWidth);
        L.ChunksDown = CeilDiv(p.Height, p.TileLength);
        L.Offsets = TagCardinalList(ttTileOffsets);
        L.ByteCounts = TagCardinalList(ttTileByteCounts);
    } else {
        L.ChunkWidth = p.Width;
        const uint32_t rows = p.RowsPerStrip.empty() ? 0 : p.RowsPerStrip[0];
        L.ChunkRows = rows == 0 || rows > p.Height ? p.Height : rows;
        L.ChunksDown = CeilDiv(p.Height, L.ChunkRows);
        L.Offsets = TagCardinalList(ttStripOffsets);
        L.ByteCounts = TagCardinalList(ttStripByteCounts);
    }
    L.ChunkRowBytes = CheckedRowBytes(L.ChunkWidth, uint64_t(planeSamples) * L.Bits);
    p.StripCount = uint32_t(L.Offsets.size());
    p.BytesPerLine = uint32_t(std::min<uint64_t>(L.PlaneRowBytes, UINT32_MAX));
    const bool fax = L.Compression == tcCCITTRLE || L.Compression == tcCCITTRLEW ||
                     L.Compression == tcCCITTFax3 || L.Compression == tcCCITTFax4;
    // Fax decoders write one bit a pixel and read fill order 2 themselves; Thunderscan writes four.
    if (fax && (L.Bits != 1 || L.Samples != 1)) Invalid();
    if (L.Compression == tcThunderscan && (L.Bits != 4 || L.Samples != 1)) Invalid();
    L.ReverseBits = p.Flags.Contains(ifReversedBits) && !fax;
    L.Predict = p.Predictor == tprHorizontal && L.Compression != tcNone && (L.Bits == 8 || L.Bits == 16);

    SetUpColors(L);
    ProgressRect.Right = int32_t(p.Width);
    std::unique_ptr<TDecoder> decoder = MakeDecoder(L);
    if (decoder) decoder->BeginDecode();
    EndProgress();
    StartProgress(gesTransfering);
    try {
        TransferRows(L, decoder.get());
    } catch (...) {
        if (decoder) {
            try {
                decoder->EndDecode();
            } catch (const Exception&) {
                // The first error is the one to report.
            }
        }
        EndProgress();
        throw;
    }
    if (decoder) decoder->EndDecode();
    EndProgress();
}

void TTIFFGraphic::TransferRows(TLayout& L, TDecoder* Decoder) {
    TImageProperties& p = ImageProperties();
    TStream& stream = *FReadStream;
    const uint64_t bandBytes = CheckedMul(L.ChunkRows, L.PlaneRowBytes);
    const uint64_t chunkBytes = CheckedMul(L.ChunkRows, L.ChunkRowBytes);
    if (chunkBytes > uint64_t(INT32_MAX) || bandBytes > uint64_t(INT32_MAX)) SizeOutOfRange();
    // One band of rows per plane; tiles are decoded apart and copied into it.
    std::vector<uint8_t> bands(size_t(bandBytes) * L.Planes);
    std::vector<uint8_t> tile(L.Tiled ? size_t(chunkBytes) : 0);
    std::vector<uint8_t> packed;
    std::vector<uint8_t> row(L.Repack ? size_t(L.RowBytes) : 0);
    const uint32_t planeSamples = L.Planar ? 1 : L.Samples;
    const size_t sampleBytes = L.Bits / 8;
    const uint64_t chunksPerPlane = uint64_t(L.ChunksAcross) * L.ChunksDown;
    TColorManager& cm = ColorManager();

    const bool fillsChunk = L.Compression == tcAdobeDeflate || L.Compression == tcDeflate;
    // Decodes chunk Index into Dest, which takes Size bytes; what the file lacks stays 0.
    auto decodeChunk = [&](uint64_t Index, uint8_t* Dest, uint64_t Size) {
        if (Index >= L.Offsets.size()) {
            std::memset(Dest, 0, size_t(Size));
            return;
        }
        const uint64_t at = uint64_t(BasePosition) + L.Offsets[size_t(Index)];
        const uint64_t available = at < FStreamSize ? FStreamSize - at : 0;
        uint64_t count = Index < L.ByteCounts.size() && L.ByteCounts[size_t(Index)] != 0
                             ? L.ByteCounts[size_t(Index)]
                             : (Decoder ? available : Size);
        count = std::min({count, available, uint64_t(INT32_MAX)});
        if (!Decoder) {
            count = std::min(count, Size);
            if (count > 0) {
                stream.SetPosition(int64_t(at));
                count = stream.Read(Dest, size_t(count));
                if (L.ReverseBits) ReverseBits(Dest, size_t(count));
            }
            std::memset(Dest + count, 0, size_t(Size - count));
            return;
        }
        // The deflate decoder writes every byte of the chunk; the others leave what they do not
        // reach as it was.
        if (!fillsChunk) std::memset(Dest, 0, size_t(Size));
        if (count > 0) {
            packed.resize(size_t(count));
            stream.SetPosition(int64_t(at));
            packed.resize(stream.Read(packed.data(), packed.size()));
        }
        if (count == 0 || packed.empty()) {
            std::memset(Dest, 0, size_t(Size));
            return;
        }
        if (L.ReverseBits) ReverseBits(packed.data(), packed.size());
        const uint8_t* source = packed.data();
        uint8_t* dest = Dest;
        Decoder->Decode(source, dest, int32_t(packed.size()), int32_t(Size));
    };
    auto undoPredictor = [&](uint8_t* Rows, uint32_t Count, uint64_t Stride, uint32_t Pixels) {
        if (!L.Predict) return;
        for (uint32_t r = 0; r < Count; ++r) {
            uint8_t* q = Rows + r * Stride;
            if (L.Bits == 8)
                UndoDifferencing8(q, Pixels, planeSamples);
            else
                UndoDifferencing16(q, Pixels, planeSamples, FBigEndian);
        }
    };

    uint32_t currentRow = 0;
    for (uint32_t band = 0; band < L.ChunksDown; ++band) {
        const uint32_t y0 = band * L.ChunkRows;
        const uint32_t rows = std::min(L.ChunkRows, p.Height - y0);
        p.CurrentRow = y0;
        for (uint32_t plane = 0; plane < L.Planes; ++plane) {
            uint8_t* bandStart = bands.data() + size_t(plane) * size_t(bandBytes);
            for (uint32_t across = 0; across < L.ChunksAcross; ++across) {
                const uint64_t index = plane * chunksPerPlane + uint64_t(band) * L.ChunksAcross + across;
                p.CurrentStrip = uint32_t(std::min<uint64_t>(index, UINT32_MAX));
                if (!L.Tiled) {
                    decodeChunk(index, bandStart, rows * L.ChunkRowBytes);
                    undoPredictor(bandStart, rows, L.ChunkRowBytes, L.ChunkWidth);
                    continue;
                }
                decodeChunk(index, tile.data(), chunkBytes);
                undoPredictor(tile.data(), L.ChunkRows, L.ChunkRowBytes, L.ChunkWidth);
                const uint64_t left = uint64_t(across) * L.ChunkWidth * planeSamples * L.Bits / 8;
                const size_t width = size_t(std::min(L.ChunkRowBytes, L.PlaneRowBytes - left));
                for (uint32_t r = 0; r < rows; ++r)
                    std::memcpy(bandStart + r * L.PlaneRowBytes + left, tile.data() + r * L.ChunkRowBytes,
                                width);
            }
        }
        for (uint32_t r = 0; r < rows; ++r, ++currentRow) {
            const uint8_t* source = bands.data() + r * L.PlaneRowBytes;
            if (L.Repack) {
                // Planes side by side, or interleaved pixels with samples the colour manager does
                // not take (or takes twice), become one interleaved row of the samples it takes.
                const size_t used = L.UsedSamples, pixelBytes = used * sampleBytes;
                for (size_t s = 0; s < used; ++s) {
                    const size_t k = L.SampleMap[s];
                    const uint8_t* from =
                        L.Planar ? source + k * size_t(bandBytes) : source + k * sampleBytes;
                    const size_t step = L.Planar ? sampleBytes : L.Samples * sampleBytes;
                    uint8_t* to = row.data() + s * sampleBytes;
                    if (sampleBytes == 1) {
                        for (uint32_t x = 0; x < p.Width; ++x, from += step, to += pixelBytes) *to = *from;
                    } else {
                        for (uint32_t x = 0; x < p.Width; ++x, from += step, to += pixelBytes)
                            std::memcpy(to, from, 2);
                    }
                }
                source = row.data();
            }
            cm.ConvertScanline(source, ScanLine(int32_t(currentRow)), p.Width, 0xFF);
            RowProgress(currentRow);
        }
    }
}

} // namespace ferronel
