#include "readers/formats/PSDGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>
#include <cstring>

namespace ferronel {

using namespace readers;

namespace {

const char* const PSDLabel = "PSD or PDD";

// How a document's channels become bitmap rows.
struct TPSDPlan {
    bool Valid = false;
    TColorScheme Scheme = csUnknown; // of the samples handed to the colour manager
    uint8_t Used = 0;                // channels read, from the first
    bool Invert = false;             // ink amounts stored inverted (CMYK)
    bool Narrow = false;             // 16-bit samples brought to 8 bits here, big-endian
};

TPSDPlan PlanFor(const TPSDHeader& h) {
    TPSDPlan plan;
    const uint16_t depth = h.Depth, channels = h.Channels;
    const bool eightOrSixteen = depth == 8 || depth == 16;
    auto grey = [&] {
        plan.Scheme = csGray;
        plan.Used = 1;
        plan.Valid = channels >= 1 && eightOrSixteen;
    };
    auto rgb = [&] {
        plan.Scheme = channels == 3 ? csRGB : csRGBA;
        plan.Used = channels == 3 ? 3 : 4;
        plan.Valid = eightOrSixteen;
    };
    switch (h.Mode) {
    case pmBitmap:
        plan.Scheme = csGray;
        plan.Used = 1;
        plan.Valid = channels >= 1 && depth == 1;
        break;
    case pmGrayscale:
    case pmDuotone: grey(); break;
    case pmIndexed:
        plan.Scheme = csIndexed;
        plan.Used = 1;
        plan.Valid = channels >= 1 && depth == 8;
        break;
    case pmRGB:
        if (channels >= 3) rgb();
        break;
    case pmMultichannel:
        // Fewer than three channels have no colour to show; the first is shown as grey.
        if (channels >= 3)
            rgb();
        else
            grey();
        break;
    case pmCMYK:
        plan.Scheme = csCMYK;
        plan.Used = 4;
        plan.Invert = true;
        plan.Narrow = depth == 16;
        plan.Valid = channels >= 4 && eightOrSixteen;
        break;
    case pmLab:
        plan.Scheme = csCIELab;
        plan.Used = 3;
        plan.Narrow = depth == 16;
        plan.Valid = channels >= 3 && eightOrSixteen;
        break;
    default: break;
    }
    return plan;
}

bool SignatureIs(const std::array<char, 4>& s, bool IgnoreCase) {
    static const char expected[4] = {'8', 'B', 'P', 'S'};
    for (size_t i = 0; i < 4; ++i) {
        const char c = IgnoreCase && s[i] >= 'a' && s[i] <= 'z' ? char(s[i] - 'a' + 'A') : s[i];
        if (c != expected[i]) return false;
    }
    return true;
}

// The number of bytes one channel's row takes, unpacked.
uint64_t RowBytesOf(const TPSDHeader& h) { return CheckedRowBytes(h.Columns, h.Depth); }

} // namespace

TPSDHeader TPSDHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPSDHeader h;
    r.Read(h.Signature.data(), h.Signature.size());
    h.Version = r.U16BE();
    r.Skip(6);
    h.Channels = r.U16BE();
    h.Rows = r.U32BE();
    h.Columns = r.U32BE();
    h.Depth = r.U16BE();
    h.Mode = r.U16BE();
    return h;
}

THeaderCheck CheckPSDHeader(const TPSDHeader& Header, const TPSDSections* Sections) {
    THeaderCheck check;
    check.CanLoad = SignatureIs(Header.Signature, true) && Header.Version == TPSDHeader::FileVersion;
    if (!SignatureIs(Header.Signature, false)) {
        check.Refusal = Format(gesInvalidImage, {PSDLabel});
        return check;
    }
    if (!PlanFor(Header).Valid) {
        check.Refusal = Format(gesInvalidColorFormat, {PSDLabel});
        return check;
    }
    if (Sections) {
        if (!Sections->Fit || Sections->Compression > pcZipPrediction) {
            check.Refusal = Format(gesInvalidImage, {PSDLabel});
            return check;
        }
        if (Sections->Compression != pcRaw && Sections->Compression != pcPackBits) {
            check.Refusal = Format(gesNotSupported, {gesCompressionScheme, PSDLabel});
            return check;
        }
    }
    check.Load = true;
    return check;
}

TPSDGraphic::TPSDGraphic() = default;
TPSDGraphic::~TPSDGraphic() = default;

bool TPSDGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TPSDHeader>(Stream);
    return header && CheckPSDHeader(*header).CanLoad;
}

THeaderCheck TPSDGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TPSDHeader>(Stream);
    FSections = {};
    THeaderCheck check = CheckPSDHeader(FHeader);
    const TPSDPlan plan = PlanFor(FHeader);

    TImageProperties& p = ImageProperties();
    p.Flags = TImageFlags{ifBigEndian};
    if (FHeader.Mode == pmBitmap) p.Flags.Include(ifMinIsWhite);
    p.BitsPerSample = uint8_t(FHeader.Depth);
    p.ChannelCount = uint8_t(FHeader.Channels);
    p.SamplesPerPixel = plan.Used;
    p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
    p.ColorScheme = plan.Scheme;
    p.HasAlpha = plan.Scheme == csRGBA;
    p.Width = FHeader.Columns;
    p.Height = FHeader.Rows;
    p.Compression = cpNone;
    if (!check.Load) return check;

    // The three length-prefixed sections, each of which must lie inside the file.
    const uint64_t size = uint64_t(Stream.Size());
    const uint64_t sectionsStart = uint64_t(Stream.Position());
    uint64_t at = sectionsStart;
    uint32_t lengths[3] = {};
    FSections.Fit = true;
    for (uint32_t& length : lengths) {
        uint8_t bytes[4];
        if (CheckedAdd(at, 4) > size) {
            FSections.Fit = false;
            break;
        }
        Stream.SetPosition(int64_t(at));
        Stream.ReadBuffer(bytes, 4);
        length = LoadU32BE(bytes);
        at = CheckedAdd(at, 4, length);
        if (at > size) {
            FSections.Fit = false;
            break;
        }
    }
    // The colour data follows its length, just after the header.
    FSections.ColorDataOffset = sectionsStart + 4;
    if (FSections.Fit && CheckedAdd(at, 2) <= size) {
        uint8_t bytes[2];
        Stream.SetPosition(int64_t(at));
        Stream.ReadBuffer(bytes, 2);
        FSections.Compression = LoadU16BE(bytes);
        FSections.ColorDataLength = lengths[0];
        FSections.ImageDataOffset = at + 2;
    } else {
        FSections.Fit = false;
    }
    p.Compression = FSections.Compression == pcPackBits        ? cpPackBits
                    : FSections.Compression == pcRaw           ? cpNone
                    : FSections.Compression <= pcZipPrediction ? cpDeflate
                                                               : cpUnknown;
    return CheckPSDHeader(FHeader, &FSections);
}

bool TPSDGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

void TPSDGraphic::ReadPalette(TStream& Stream) {
    // Three planes of 256 entries; a longer section is cut there, a shorter one gives fewer entries.
    const uint32_t length = std::min<uint32_t>(FSections.ColorDataLength, 768);
    std::vector<uint8_t> data(length);
    Stream.SetPosition(int64_t(FSections.ColorDataOffset));
    Stream.ReadBuffer(data.data(), data.size());
    const uint32_t count = length / 3;
    const std::span<const uint8_t> all(data);
    SetPalette(ColorManager().MakeColorMapPalette(
        {all.subspan(0, count), all.subspan(count, count), all.subspan(2 * size_t(count), count)}, 2, count,
        false));
}

void TPSDGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    if (!check.Load) ReaderError(check.Refusal);
    const TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, CheckedCast<int32_t>(p.Width), 1};
    StartProgress(gesPreparing);
    const TPSDPlan plan = PlanFor(FHeader);

    // Bitmap, grey and indexed rows of 8 or fewer bits go straight into the scanlines.
    const bool direct = plan.Used == 1 && FHeader.Depth <= 8;
    const uint8_t sampleBits = plan.Narrow ? 8 : uint8_t(FHeader.Depth);
    TColorManager& cm = ColorManager();
    cm.SourceOptions = TConvertOptions{coxSwapBytes};
    cm.TargetOptions = {};
    if (plan.Scheme == csCIELab) {
        cm.SourceOptions.Include(coxLabByteLightness);
        cm.SourceOptions.Include(coxLabChromaOffset);
    }
    cm.SetSourceBitsPerSample(sampleBits);
    cm.SetTargetBitsPerSample(FHeader.Depth == 16 ? 8 : uint8_t(FHeader.Depth));
    cm.SetSourceSamplesPerPixel(plan.Used);
    cm.SetSourceColorScheme(plan.Scheme);
    switch (plan.Scheme) {
    case csRGB:
    case csCMYK:
    case csCIELab:
        cm.SetTargetColorScheme(csBGR);
        cm.SetTargetSamplesPerPixel(3);
        break;
    case csRGBA:
        cm.SetTargetColorScheme(csBGRA);
        cm.SetTargetSamplesPerPixel(4);
        break;
    default:
        cm.SetTargetColorScheme(plan.Scheme);
        cm.SetTargetSamplesPerPixel(1);
        break;
    }
    SetPixelFormat(cm.PixelFormatFor(true));
    // Where each channel's rows start, and for PackBits each row's packed length. Every byte the
    // image claims must be in the file.
    const uint64_t fileSize = uint64_t(Stream.Size());
    const uint64_t rowBytes = RowBytesOf(FHeader);
    const uint64_t rows = p.Height;
    const uint16_t channels = FHeader.Channels;
    std::vector<uint64_t> next(plan.Used);
    std::vector<uint16_t> counts;
    std::unique_ptr<TPackbitsRLEDecoder> decoder;
    size_t longestRow = 0;
    if (p.Compression == cpPackBits) {
        const uint64_t entries = CheckedMul(rows, channels);
        const uint64_t tableEnd = CheckedAdd(FSections.ImageDataOffset, CheckedMul(entries, 2));
        if (tableEnd > fileSize) ReaderErrorFmt(gesInvalidImage, {PSDLabel});
        std::vector<uint8_t> table(size_t(entries) * 2);
        Stream.SetPosition(int64_t(FSections.ImageDataOffset));
        Stream.ReadBuffer(table.data(), table.size());
        counts.resize(size_t(entries));
        uint64_t at = tableEnd;
        for (size_t i = 0; i < counts.size(); ++i) {
            if (i % rows == 0 && i / rows < plan.Used) next[i / rows] = at;
            counts[i] = LoadU16BE(&table[2 * i]);
            longestRow = std::max<size_t>(longestRow, counts[i]);
            at += counts[i];
        }
        if (at > fileSize) ReaderErrorFmt(gesInvalidImage, {PSDLabel});
        decoder = std::make_unique<TPackbitsRLEDecoder>();
    } else {
        const uint64_t plane = CheckedMul(rowBytes, rows);
        if (CheckedAdd(FSections.ImageDataOffset, CheckedMul(plane, channels)) > fileSize)
            ReaderErrorFmt(gesInvalidImage, {PSDLabel});
        for (size_t c = 0; c < plan.Used; ++c) next[c] = FSections.ImageDataOffset + c * plane;
    }
    // Only now, with the data known to be there, the picture's pixels.
    SetSize(CheckedCast<int32_t>(p.Width), CheckedCast<int32_t>(p.Height));
    if (plan.Scheme == csIndexed)
        ReadPalette(Stream);
    else if (plan.Scheme == csGray)
        SetPalette(cm.MakeGrayPalette(p.Flags.Contains(ifMinIsWhite)));
    if (p.Width == 0 || p.Height == 0) {
        EndProgress();
        return;
    }
    EndProgress();
    StartProgress(gesTransfering);

    // One row of every channel used; a direct row is decoded into its scanline instead.
    const size_t row = size_t(rowBytes);
    std::vector<uint8_t> rowBuffers(direct ? 0 : row * plan.Used);
    std::vector<uint8_t> narrowed(plan.Narrow ? size_t(p.Width) * plan.Used : 0);
    std::vector<uint8_t> packed(longestRow);
    const uint8_t* sources[4] = {};
    for (size_t c = 0; c < plan.Used && !direct; ++c)
        sources[c] = plan.Narrow ? narrowed.data() + c * p.Width : rowBuffers.data() + c * row;
    for (uint32_t y = 0; y < p.Height; ++y) {
        for (size_t c = 0; c < plan.Used; ++c) {
            uint8_t* target = direct ? ScanLine(int32_t(y)) : rowBuffers.data() + c * row;
            Stream.SetPosition(int64_t(next[c]));
            if (decoder) {
                const uint16_t count = counts[c * rows + y];
                Stream.ReadBuffer(packed.data(), count);
                next[c] += count;
                std::memset(target, 0, row);
                const uint8_t* source = packed.data();
                uint8_t* dest = target;
                decoder->Decode(source, dest, count, int32_t(row));
            } else {
                Stream.ReadBuffer(target, row);
                next[c] += row;
            }
            if (plan.Invert)
                for (size_t i = 0; i < row; ++i) target[i] = uint8_t(~target[i]);
            if (plan.Narrow) {
                uint8_t* to = narrowed.data() + c * p.Width;
                // Rounded, so that the chroma centre 0x8000 stays at 128.
                for (size_t x = 0; x < p.Width; ++x)
                    to[x] = uint8_t((LoadU16BE(target + 2 * x) + 128u) / 257u);
            }
        }
        if (!direct) cm.ConvertScanline(TSourceRows(sources, plan.Used), ScanLine(int32_t(y)), p.Width, 0xFF);
        RowProgress(y);
    }
    if (plan.Scheme == csRGBA) SetAlphaFormat(afDefined);
    EndProgress();
}

} // namespace ferronel
