#include "readers/formats/PNGGraphic.h"

#include "host/ByteReader.h"
#include "host/Canvas.h"
#include "host/CheckedSize.h"
#include "host/Limits.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace ferronel {

using namespace readers;

namespace {

const char* const PNGLabel = "PNG";

// PNG sizes, chunk lengths among them, are at most 2^31 - 1.
constexpr uint32_t MaxPNGValue = 0x7FFFFFFF;

bool IsColorFormat(uint8_t ColorType, uint8_t Depth) {
    switch (ColorType) {
    case ctGray: return Depth == 1 || Depth == 2 || Depth == 4 || Depth == 8 || Depth == 16;
    case ctIndexed: return Depth == 1 || Depth == 2 || Depth == 4 || Depth == 8;
    case ctRGB:
    case ctGrayAlpha:
    case ctRGBA: return Depth == 8 || Depth == 16;
    default: return false;
    }
}

// The first letter's case bit marks an ancillary chunk, which a reader may pass over.
bool IsCritical(uint32_t Type) { return (Type & 0x20000000u) == 0; }

struct TAdam7Pass {
    uint32_t Row, Column, RowStep, ColumnStep;
    uint8_t Mask; // the pass's pixels in every group of eight
};
constexpr TAdam7Pass Adam7[7] = {
    {0, 0, 8, 8, 0x80}, {0, 4, 8, 8, 0x08}, {4, 0, 8, 4, 0x88}, {0, 2, 4, 4, 0x22},
    {2, 0, 4, 2, 0xAA}, {0, 1, 2, 2, 0x55}, {1, 0, 2, 1, 0xFF},
};

// The predictor closest to a + b - c, ties going to a, then b. Written without branches: on noisy
// rows the choice is unpredictable.
inline uint8_t Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int nearer = pb < pa ? b : a;
    const int distance = pb < pa ? pb : pa;
    return uint8_t(pc < distance ? c : nearer);
}

// The distance is a template argument for the common pixel sizes, so the loops unroll.
template <uint32_t D>
void UnfilterWith(uint8_t Type, uint8_t* Row, const uint8_t* Prior, size_t Length, uint32_t Dist) {
    const size_t d = D ? D : Dist;
    const size_t head = std::min(d, Length);
    switch (Type) {
    case fiSub:
        for (size_t i = d; i < Length; ++i) Row[i] = uint8_t(Row[i] + Row[i - d]);
        break;
    case fiUp:
        for (size_t i = 0; i < Length; ++i) Row[i] = uint8_t(Row[i] + Prior[i]);
        break;
    case fiAverage:
        for (size_t i = 0; i < head; ++i) Row[i] = uint8_t(Row[i] + (Prior[i] >> 1));
        for (size_t i = d; i < Length; ++i) Row[i] = uint8_t(Row[i] + ((Row[i - d] + Prior[i]) >> 1));
        break;
    case fiPaeth:
        for (size_t i = 0; i < head; ++i) Row[i] = uint8_t(Row[i] + Prior[i]);
        for (size_t i = d; i < Length; ++i)
            Row[i] = uint8_t(Row[i] + Paeth(Row[i - d], Prior[i], Prior[i - d]));
        break;
    default: break; // None, and types the format does not have
    }
}

} // namespace

void UnfilterPNGRow(uint8_t FilterType, uint8_t* Row, const uint8_t* Prior, size_t Length,
                    uint32_t Distance) {
    switch (Distance) {
    case 1: UnfilterWith<1>(FilterType, Row, Prior, Length, Distance); break;
    case 3: UnfilterWith<3>(FilterType, Row, Prior, Length, Distance); break;
    case 4: UnfilterWith<4>(FilterType, Row, Prior, Length, Distance); break;
    default: UnfilterWith<0>(FilterType, Row, Prior, Length, std::max<uint32_t>(Distance, 1)); break;
    }
}

TPNGChunkHeader TPNGChunkHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPNGChunkHeader h;
    h.Length = r.U32BE();
    h.Type = r.U32BE();
    return h;
}

TPNGHeader TPNGHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPNGHeader h;
    h.Width = r.U32BE();
    h.Height = r.U32BE();
    h.BitDepth = r.U8();
    h.ColorType = r.U8();
    h.Compression = r.U8();
    h.Filter = r.U8();
    h.Interlace = r.U8();
    return h;
}

uint32_t TPNGHeader::Channels() const {
    switch (ColorType) {
    case ctRGB: return 3;
    case ctGrayAlpha: return 2;
    case ctRGBA: return 4;
    default: return 1;
    }
}

uint32_t TPNGHeader::PixelBytes() const { return std::max<uint32_t>(1, Channels() * BitDepth / 8); }

TPNGFileHeader TPNGFileHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TPNGFileHeader h;
    std::copy_n(Bytes.begin(), 8, h.Signature.begin());
    h.First = TPNGChunkHeader::Parse(Bytes.subspan<8, TPNGChunkHeader::Size>());
    h.IHDR = TPNGHeader::Parse(Bytes.subspan<8 + TPNGChunkHeader::Size, TPNGHeader::Size>());
    return h;
}

THeaderCheck CheckPNGHeader(const TPNGFileHeader& Header) {
    THeaderCheck check;
    check.CanLoad = Header.Signature == PNGSignature;
    const TPNGHeader& h = Header.IHDR;
    if (!check.CanLoad || Header.First.Type != ckIHDR || Header.First.Length != TPNGHeader::Size ||
        h.Width == 0 || h.Height == 0 || h.Width > MaxPNGValue || h.Height > MaxPNGValue)
        check.Refusal = Format(gesInvalidImage, {PNGLabel});
    else if (h.Compression != 0)
        check.Refusal = Format(gesNotSupported, {gesCompressionScheme, PNGLabel});
    else if (!IsColorFormat(h.ColorType, h.BitDepth))
        check.Refusal = Format(gesInvalidColorFormat, {PNGLabel});
    check.Load = check.Refusal.empty();
    return check;
}

TPNGGraphic::TPNGGraphic() = default;
TPNGGraphic::~TPNGGraphic() = default;

bool TPNGGraphic::CanLoad(TStream& Stream) const {
    // The header and the CRC that follows it: no shorter file holds a picture.
    std::array<uint8_t, TPNGFileHeader::Size + 4> bytes;
    if (!PeekBytes(Stream, bytes.data(), bytes.size())) return false;
    return CheckPNGHeader(TPNGFileHeader::Parse(std::span(bytes).first<TPNGFileHeader::Size>())).CanLoad;
}

THeaderCheck TPNGGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    SetStream(&Stream);
    std::array<uint8_t, TPNGFileHeader::Size> bytes;
    Stream.ReadBuffer(bytes.data(), bytes.size());
    const TPNGFileHeader file = TPNGFileHeader::Parse(bytes);
    const THeaderCheck check = CheckPNGHeader(file);
    FHeader = file.IHDR;
    if (file.Signature != PNGSignature || file.First.Type != ckIHDR || file.First.Length != TPNGHeader::Size)
        return check;
    uint8_t stored[4];
    Stream.ReadBuffer(stored, 4);
    const uint8_t* chunk = bytes.data() + 12; // type and data
    if (crc32(0, chunk, 4 + TPNGHeader::Size) != LoadU32BE(stored)) ReaderErrorFmt(gesInvalidCRC, {PNGLabel});

    TImageProperties& p = ImageProperties();
    p.Flags.Include(ifBigEndian);
    p.Width = FHeader.Width;
    p.Height = FHeader.Height;
    p.Compression = FHeader.Compression == 0 ? cpDeflate : cpUnknown;
    p.BitsPerSample = FHeader.BitDepth;
    p.SamplesPerPixel = FHeader.ColorType == ctRGB ? 3 : FHeader.ColorType == ctRGBA ? 4 : 1;
    switch (FHeader.ColorType) {
    case ctGray: p.ColorScheme = csGray; break;
    case ctRGB: p.ColorScheme = csRGB; break;
    case ctIndexed: p.ColorScheme = csIndexed; break;
    case ctGrayAlpha: p.ColorScheme = csGrayAlpha; break;
    case ctRGBA: p.ColorScheme = csRGBA; break;
    default: p.ColorScheme = csUnknown; break;
    }
    p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
    p.FilterMode = FHeader.Filter;
    p.Interlaced = FHeader.Interlace != piNone;
    p.HasAlpha = p.ColorScheme == csGrayAlpha || p.ColorScheme == csRGBA;
    return check;
}

bool TPNGGraphic::LoadImageProperties(TStream& Stream, uint32_t) {
    if (!ReadHeader(Stream).Load) return false;
    // The file gamma, which stands before the image data. The walk ends there, at the end chunk or
    // at the end of the file; chunks are passed over unread.
    uint8_t bytes[TPNGChunkHeader::Size];
    while (Stream.Read(bytes, sizeof bytes) == sizeof bytes) {
        const TPNGChunkHeader h = TPNGChunkHeader::Parse(bytes);
        if (h.Length > MaxPNGValue || h.Type == ckIDAT || h.Type == ckIEND) break;
        if (h.Type == ckgAMA && h.Length >= 4) {
            uint8_t value[4];
            if (Stream.Read(value, 4) != 4) break;
            if (LoadU32BE(value) != 0) ImageProperties().Gamma = float(LoadU32BE(value) / 100000.0);
            break;
        }
        Stream.Seek(int64_t(h.Length) + 4, soCurrent);
    }
    return true;
}

void TPNGGraphic::ReadChunkHeader() {
    TStream& s = *Stream();
    uint8_t bytes[TPNGChunkHeader::Size];
    // Once the image has started, the end of the file ends it like an end chunk.
    if (FInImageData && (FEndOfFile || s.Size() - s.Position() < int64_t(sizeof bytes))) {
        FEndOfFile = true;
        FChunkType = ckIEND;
        FChunkLength = 0;
        return;
    }
    s.ReadBuffer(bytes, sizeof bytes);
    const TPNGChunkHeader h = TPNGChunkHeader::Parse(bytes);
    if (h.Length > MaxPNGValue) ReaderErrorFmt(gesInvalidImage, {PNGLabel});
    FChunkLength = h.Length;
    FChunkType = h.Type;
    FRunningCRC = uint32_t(crc32(0, bytes + 4, 4));
}

void TPNGGraphic::ReadChunkData() {
    TStream& s = *Stream();
    const int64_t remaining = s.Size() - s.Position();
    if (int64_t(FChunkLength) + 4 > remaining) {
        // Image data cut by the end of the file gives what it holds; any other chunk that runs past
        // the end is an error, before a buffer of its stated length is made.
        if (!(FInImageData && FChunkType == ckIDAT)) ReaderErrorFmt(gesStreamReadError, {PNGLabel});
        FChunkLength = uint32_t(std::clamp<int64_t>(remaining, 0, FChunkLength));
        FChunkData.resize(FChunkLength);
        s.ReadBuffer(FChunkData.data(), FChunkLength);
        FEndOfFile = true;
        return;
    }
    FChunkData.resize(FChunkLength);
    s.ReadBuffer(FChunkData.data(), FChunkLength);
    uint8_t stored[4];
    s.ReadBuffer(stored, 4);
    FRunningCRC = uint32_t(crc32(FRunningCRC, FChunkData.data(), FChunkLength));
    if (FRunningCRC != LoadU32BE(stored)) ReaderErrorFmt(gesInvalidCRC, {PNGLabel});
}

bool TPNGGraphic::IsChunk(TPNGChunkType Type) const { return FChunkType == Type; }

uint32_t TPNGGraphic::SetupSourceLayout() {
    TColorManager& cm = ColorManager();
    const uint8_t depth = FHeader.BitDepth;
    switch (FHeader.ColorType) {
    case ctGray:
    case ctIndexed: {
        const TColorScheme scheme = FHeader.ColorType == ctGray ? csGray : csIndexed;
        cm.SetSourceColorScheme(scheme);
        cm.SetTargetColorScheme(scheme);
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetSourceBitsPerSample(depth);
        cm.SetTargetBitsPerSample(depth == 2 ? 4 : depth == 16 ? 8 : depth);
        SetPixelFormat(cm.PixelFormatFor(true));
        if (FHeader.ColorType == ctGray) FPendingPalette = cm.MakeGrayPalette(false);
        break;
    }
    case ctRGB:
    case ctRGBA: {
        const bool alpha = FHeader.ColorType == ctRGBA;
        cm.SetSourceSamplesPerPixel(alpha ? 4 : 3);
        cm.SetTargetSamplesPerPixel(alpha ? 4 : 3);
        cm.SetSourceColorScheme(alpha ? csRGBA : csRGB);
        cm.SetTargetColorScheme(alpha ? csBGRA : csBGR);
        cm.SetSourceBitsPerSample(depth);
        cm.SetTargetBitsPerSample(8);
        SetPixelFormat(alpha ? pf32bit : pf24bit);
        break;
    }
    case ctGrayAlpha:
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetSourceBitsPerSample(depth);
        cm.SetTargetBitsPerSample(8);
        cm.SetSourceColorScheme(csGrayAlpha);
        cm.SetTargetColorScheme(csIndexed);
        SetPixelFormat(pf8bit);
        FPendingPalette = cm.MakeGrayPalette(false);
        break;
    default: ReaderErrorFmt(gesInvalidColorFormat, {PNGLabel});
    }
    FLayoutSet = true;
    return FHeader.PixelBytes();
}

bool TPNGGraphic::NextIDAT() {
    while (FIDATLeft == 0) {
        if (!IsChunk(ckIDAT) || FEndOfFile) return false;
        ReadChunkData();
        FChunkCursor = FChunkData.data();
        FIDATLeft = FChunkLength;
        ReadChunkHeader();
        if (FIDATLeft == 0 && FEndOfFile) return false;
    }
    return true;
}

bool TPNGGraphic::InflateBytes(uint8_t* Target, size_t Count) {
    size_t missing = Count;
    while (missing > 0) {
        // With no image data left, one more call gives what inflate still holds.
        const bool draining = FIDATLeft == 0 && !NextIDAT();
        const uint8_t* in = FChunkCursor;
        uint8_t* out = Target;
        const int32_t want = int32_t(std::min<size_t>(missing, size_t(std::numeric_limits<int32_t>::max())));
        FInflater->Decode(FChunkCursor, Target, draining ? 0 : int32_t(FIDATLeft), want);
        const size_t produced = size_t(Target - out);
        FIDATLeft -= uint32_t(FChunkCursor - in);
        missing -= produced;
        switch (FInflater->LastResult()) {
        case Z_OK: break;
        case Z_STREAM_END:
            if (missing > 0 || FIDATLeft > 0) ReaderErrorFmt(gesExtraCompressedData, {PNGLabel});
            return true;
        case Z_BUF_ERROR:
            if (draining) return false;
            [[fallthrough]];
        default: ReaderErrorFmt(gesInvalidCompression, {PNGLabel});
        }
        if (draining && produced == 0) return false;
    }
    return true;
}

TColor TPNGGraphic::ScaledGray(uint16_t Sample) const {
    const uint32_t max = (1u << FHeader.BitDepth) - 1;
    const uint8_t v = uint8_t((Sample & max) * 255u / max);
    return RGBColor(v, v, v);
}

TColor TPNGGraphic::ScaledColor(const uint8_t* Samples) const {
    uint8_t c[3];
    for (int i = 0; i < 3; ++i) {
        const uint16_t v = LoadU16BE(Samples + 2 * i);
        c[i] = FHeader.BitDepth == 16 ? uint8_t(v * 255u / 65535u) : uint8_t(v);
    }
    return RGBColor(c[0], c[1], c[2]);
}

void TPNGGraphic::ReadBackground() {
    ReadChunkData();
    const size_t n = FChunkData.size();
    switch (FHeader.ColorType) {
    case ctGray:
    case ctGrayAlpha:
        if (n >= 2) FFillColor = ScaledGray(LoadU16BE(FChunkData.data()));
        break;
    case ctRGB:
    case ctRGBA:
        if (n >= 6) FFillColor = ScaledColor(FChunkData.data());
        break;
    default:
        // The background of a palette image is an index; it is shown as the colour it stands for.
        if (n >= 1 && FPendingPalette && FChunkData[0] < FPendingPalette->size()) {
            const TPaletteEntry& e = (*FPendingPalette)[FChunkData[0]];
            FFillColor = RGBColor(e.peRed, e.peGreen, e.peBlue);
        }
        break;
    }
}

void TPNGGraphic::ReadTransparency() {
    ReadChunkData();
    const size_t n = FChunkData.size();
    switch (FHeader.ColorType) {
    case ctGray:
        if (n >= 2) FKeyColor = ScaledGray(LoadU16BE(FChunkData.data()));
        break;
    case ctRGB:
        if (n >= 6) FKeyColor = ScaledColor(FChunkData.data());
        break;
    case ctGrayAlpha:
    case ctRGBA: break;
    default: {
        const size_t kept = std::min<size_t>(n, 256);
        FAlphaTable.assign(256, 255);
        std::copy_n(FChunkData.begin(), kept, FAlphaTable.begin());
        break;
    }
    }
}

void TPNGGraphic::FillRows(int32_t FromRow) {
    if (FromRow >= Height()) return;
    TCanvas& canvas = Canvas();
    canvas.Lock();
    canvas.BrushColor = FFillColor;
    canvas.FillRect(TRect{0, FromRow, Width(), Height()});
    canvas.Unlock();
}

void TPNGGraphic::LoadRows() {
    StartProgress(gesTransfering);
    if (!FLayoutSet) FPixelBytes = SetupSourceLayout();
    // A palette image needs its palette before the first row.
    if (FHeader.ColorType == ctIndexed && !FHasPalette) ReaderErrorFmt(gesInvalidPalette, {PNGLabel});
    const uint32_t depth = FHeader.BitDepth;
    const uint64_t rowSize =
        CheckedAdd(CheckedMul(CheckedRowBytes(FHeader.Width, depth), FHeader.Channels()), 1);
    if (FPendingPalette) SetPalette(FPendingPalette);
    SetSize(int32_t(FHeader.Width), int32_t(FHeader.Height));
    // The two row buffers are bounded like the picture: 16-bit samples make them wider than its rows.
    if (CheckedMul(rowSize, 2) > PixelBufferLimit()) SizeOutOfRange();
    if (FKeyColor != NoKeyColor) {
        SetTransparentColor(FKeyColor);
        SetTransparent(true);
    }
    if (FHeader.ColorType == ctRGBA) SetAlphaFormat(afDefined);
    FInImageData = true;

    std::vector<uint8_t> current(rowSize), previous(rowSize);
    TColorManager& cm = ColorManager();
    const int32_t height = Height();
    if (FHeader.Interlace == piNone) {
        for (int32_t y = 0; y < height; ++y) {
            // Rows the data does not reach keep the fill colour; a partly inflated row is one of them.
            if (!InflateBytes(current.data(), rowSize)) {
                FillRows(y);
                break;
            }
            UnfilterPNGRow(current[0], current.data() + 1, previous.data() + 1, rowSize - 1, FPixelBytes);
            cm.ConvertScanline(current.data() + 1, ScanLine(y), FHeader.Width, 0xFF);
            RowProgress(uint32_t(y));
            current.swap(previous);
        }
    } else {
        FillRows(0);
        for (const TAdam7Pass& pass : Adam7) {
            if (pass.Column >= FHeader.Width) continue;
            const uint64_t columns =
                (uint64_t(FHeader.Width) - pass.Column + pass.ColumnStep - 1) / pass.ColumnStep;
            const size_t passSize = size_t(CheckedRowBytes(columns, depth) * FHeader.Channels() + 1);
            std::fill_n(previous.begin(), passSize, uint8_t(0));
            const bool last = pass.Mask == 0xFF;
            bool complete = true;
            for (uint32_t y = pass.Row; y < FHeader.Height && complete; y += pass.RowStep) {
                complete = InflateBytes(current.data(), passSize);
                if (!complete) break;
                UnfilterPNGRow(current[0], current.data() + 1, previous.data() + 1, passSize - 1,
                               FPixelBytes);
                cm.ConvertScanline(current.data() + 1, ScanLine(int32_t(y)), FHeader.Width, pass.Mask);
                if (last) RowProgress(y);
                current.swap(previous);
            }
            if (!complete) break;
        }
    }
    while (IsChunk(ckIDAT) && !FEndOfFile) {
        ReadChunkData();
        ReadChunkHeader();
    }
}

void TPNGGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    FInflater.reset();
    FPendingPalette = nullptr;
    FAlphaTable.clear();
    FFillColor = clWhite;
    FKeyColor = NoKeyColor;
    FIDATLeft = 0;
    FChunkCursor = nullptr;
    FHasPalette = FLayoutSet = FInImageData = FEndOfFile = false;
    SetTransparent(false);
    const THeaderCheck check = ReadHeader(Stream);
    ProgressRect = TRect{0, 0, int32_t(ImageProperties().Width), 1};
    StartProgress(gesPreparing);

    // Whatever way the load ends, the decoder and the chunk buffer go and the phase ends.
    struct TCleanUp {
        TPNGGraphic& G;
        ~TCleanUp() {
            G.FInflater.reset();
            G.FChunkData = {};
            G.EndProgress();
        }
    } cleanUp{*this};
    if (!check.Load) ReaderError(check.Refusal);

    // The manager starts from 8-bit samples without gamma, so a gamma table is built for the
    // 8-bit values palettes and colour rows pass through, whatever the previous file was.
    TColorManager& cm = ColorManager();
    cm.SetSourceBitsPerSample(8);
    cm.SetTargetBitsPerSample(8);
    cm.SetGammaValues(1.0f, 2.2f);
    cm.SourceOptions = {coxSwapBytes}; // 16-bit samples are big-endian
    cm.TargetOptions = {};

    FInflater = std::make_unique<TLZ77Decoder>(Z_PARTIAL_FLUSH, false);
    FInflater->BeginDecode();
    bool rowsLoaded = false;
    ReadChunkHeader();
    for (;;) {
        if (IsChunk(ckIDAT) && !rowsLoaded) {
            EndProgress();
            LoadRows();
            rowsLoaded = true;
            // The chunk after the image data is passed over, whatever it is.
        } else if (IsChunk(ckPLTE)) {
            if (FChunkLength % 3 != 0 || FChunkLength == 0 || FChunkLength > 256 * 3)
                ReaderErrorFmt(gesInvalidPalette, {PNGLabel});
            ReadChunkData();
            if (FHeader.ColorType == ctIndexed) {
                FPixelBytes = SetupSourceLayout();
                FPendingPalette = cm.MakeColorMapPalette({FChunkData}, 0, FChunkLength / 3, false);
                FHasPalette = true;
            }
            ReadChunkHeader();
            continue;
        } else if (IsChunk(ckgAMA)) {
            ReadChunkData();
            // A gamma of 0 says nothing; it is passed over rather than taken as 1.
            if (FChunkData.size() >= 4 && LoadU32BE(FChunkData.data()) != 0) {
                const float gamma = float(LoadU32BE(FChunkData.data()) / 100000.0);
                cm.SetGammaValues(gamma, 2.2f);
                cm.TargetOptions.Include(coxApplyGamma);
                ImageProperties().Gamma = gamma;
                ImageProperties().Flags.Include(ifFileGamma);
            }
            ReadChunkHeader();
            continue;
        } else if (IsChunk(ckbKGD)) {
            ReadBackground();
            ReadChunkHeader();
            continue;
        } else if (IsChunk(cktRNS)) {
            ReadTransparency();
            ReadChunkHeader();
            continue;
        }
        if (FEndOfFile || IsChunk(ckIEND)) break;
        // A second IHDR, or a critical chunk this reader does not know, cannot be passed over.
        if (IsCritical(FChunkType) && !IsChunk(ckIDAT)) ReaderError(gesUnknownCriticalChunk);
        Stream.Seek(int64_t(FChunkLength) + 4, soCurrent);
        ReadChunkHeader();
    }
    if (!rowsLoaded) ReaderErrorFmt(gesInvalidImage, {PNGLabel});
    FInflater->EndDecode();
}

} // namespace ferronel
