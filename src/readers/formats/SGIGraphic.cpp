#include "readers/formats/SGIGraphic.h"

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

const char* const SGILabel = "sgi, bw or rgb(a)";

bool IsDimension(uint16_t d) { return d >= sdRow && d <= sdChannels; }

} // namespace

TSGIHeader TSGIHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TSGIHeader h;
    h.Magic = r.U16BE();
    h.Storage = r.U8();
    h.BytesPerChannel = r.U8();
    h.Dimension = r.U16BE();
    h.XSize = r.U16BE();
    h.YSize = r.U16BE();
    h.ZSize = r.U16BE();
    h.PixMin = r.U32BE();
    h.PixMax = r.U32BE();
    r.Skip(4);
    r.Read(h.Name.data(), h.Name.size());
    h.ColorMap = r.U32BE();
    return h;
}

THeaderCheck CheckSGIHeader(const TSGIHeader& Header) {
    THeaderCheck check;
    const bool bpc = Header.BytesPerChannel == 1 || Header.BytesPerChannel == 2;
    check.CanLoad = Header.Magic == SGIMagic && bpc && IsDimension(Header.Dimension);
    // Two channels (grey and opacity) and more than four have no bitmap layout here.
    const uint32_t channels = Header.Channels();
    check.Load = Header.Magic == SGIMagic && bpc && (channels == 1 || channels == 3 || channels == 4);
    if (!check.Load) check.Refusal = Format(gesInvalidImage, {SGILabel});
    return check;
}

TSGIGraphic::TSGIGraphic() = default;
TSGIGraphic::~TSGIGraphic() = default;

bool TSGIGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TSGIHeader>(Stream);
    return header && CheckSGIHeader(*header).CanLoad;
}

THeaderCheck TSGIGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TSGIHeader>(Stream);
    const THeaderCheck check = CheckSGIHeader(FHeader);

    TImageProperties& p = ImageProperties();
    p.Flags = TImageFlags{ifBigEndian};
    p.BitsPerSample = uint8_t(FHeader.BytesPerChannel * 8);
    p.Width = FHeader.XSize;
    p.Height = FHeader.Rows();
    p.SamplesPerPixel = uint8_t(FHeader.Channels());
    p.ColorScheme = p.SamplesPerPixel == 3 ? csRGB : p.SamplesPerPixel == 4 ? csRGBA : csIndexed;
    p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
    p.HasAlpha = p.SamplesPerPixel == 4;
    p.Compression = FHeader.Storage == ssRLE ? cpRLE : cpNone;
    return check;
}

bool TSGIGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

void TSGIGraphic::ReadAndDecode(uint8_t* Red, uint8_t* Green, uint8_t* Blue, uint8_t* Alpha, int32_t Row,
                                uint8_t BPC) {
    TStream& stream = *Stream();
    const TImageProperties& p = ImageProperties();
    const size_t rowBytes = size_t(p.Width) * BPC;
    uint8_t* const channels[4] = {Red, Green, Blue, Alpha};
    for (uint32_t c = 0; c < 4; ++c) {
        uint8_t* buffer = channels[c];
        if (!buffer) continue;
        size_t got = 0;
        if (!Decoder) {
            const uint64_t offset = BasePosition + TSGIHeader::Size +
                                    uint64_t(rowBytes) * (uint64_t(Row) + uint64_t(c) * p.Height);
            if (offset < uint64_t(FStreamSize)) {
                stream.SetPosition(int64_t(offset));
                got = stream.Read(buffer, rowBytes);
            }
        } else {
            std::memset(buffer, 0, rowBytes);
            const size_t index = size_t(c) * p.Height + size_t(Row);
            const uint64_t offset = uint64_t(BasePosition) + RowStart[index];
            if (offset < uint64_t(FStreamSize)) {
                // A row cannot use more than a control word and 127 samples for each sample it
                // writes; the table's length is cut there and at the end of the file.
                const uint64_t wanted =
                    std::min({uint64_t(RowSize[index]) * BPC, uint64_t(FStreamSize) - offset,
                              (uint64_t(p.Width) * 128 + 1) * BPC});
                FPacked.resize(size_t(wanted));
                stream.SetPosition(int64_t(offset));
                FPacked.resize(stream.Read(FPacked.data(), FPacked.size()));
                const uint8_t* source = FPacked.data();
                Decoder->Decode(source, buffer, int32_t(FPacked.size()), int32_t(p.Width));
            }
            got = rowBytes;
        }
        if (got < rowBytes) std::memset(buffer + got, 0, rowBytes - got);
    }
}

void TSGIGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    SetStream(&Stream);
    Decoder.reset();
    RowStart.clear();
    RowSize.clear();
    const THeaderCheck check = ReadHeader(Stream);
    const TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, int32_t(p.Width), 1};
    StartProgress(gesPreparing);
    if (!check.Load) ReaderError(check.Refusal);
    FStreamSize = Stream.Size();

    if (p.Compression == cpRLE) {
        // Both tables must be in the file; their size is bounded by the file's.
        const uint64_t count = CheckedMul(p.Height, p.SamplesPerPixel);
        const uint64_t tableEnd = CheckedAdd(BasePosition, TSGIHeader::Size, CheckedMul(count, 8));
        if (tableEnd > uint64_t(FStreamSize)) ReaderErrorFmt(gesInvalidImage, {SGILabel});
        std::vector<uint8_t> tables(size_t(count) * 8);
        Stream.ReadBuffer(tables.data(), tables.size());
        RowStart.resize(size_t(count));
        RowSize.resize(size_t(count));
        for (size_t i = 0; i < count; ++i) {
            RowStart[i] = LoadU32BE(tables.data() + 4 * i);
            RowSize[i] = LoadU32BE(tables.data() + 4 * (count + i));
        }
        Decoder = std::make_unique<TSGIRLEDecoder>(p.BitsPerSample);
    }

    TColorManager& cm = ColorManager();
    cm.SourceOptions = TConvertOptions{coxSwapBytes};
    cm.TargetOptions = {};
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(8);
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SetTargetColorScheme(p.ColorScheme == csRGB ? csBGR : p.ColorScheme == csRGBA ? csBGRA : csIndexed);
    SetPixelFormat(cm.PixelFormatFor(true));
    SetSize(int32_t(p.Width), int32_t(p.Height));
    if (p.SamplesPerPixel == 1) SetPalette(cm.MakeGrayPalette(false));
    Progress(this, psEnding, 100, true, ProgressRect, "");
    StartProgress(gesTransfering);

    const uint8_t bpc = FHeader.BytesPerChannel;
    const size_t planeBytes = size_t(p.Width) * bpc;
    // Channel buffers; one 8-bit channel goes straight into the scanline.
    const bool direct = p.SamplesPerPixel == 1 && bpc == 1;
    std::vector<uint8_t> planes(direct ? 0 : planeBytes * p.SamplesPerPixel);
    uint8_t* plane[4] = {};
    for (size_t c = 0; c < p.SamplesPerPixel && !direct; ++c) plane[c] = planes.data() + c * planeBytes;
    const int32_t height = Height();
    try {
        for (int32_t row = 0; row < height; ++row) {
            uint8_t* target = ScanLine(height - 1 - row);
            if (direct) {
                ReadAndDecode(target, nullptr, nullptr, nullptr, row, bpc);
            } else {
                ReadAndDecode(plane[0], plane[1], plane[2], plane[3], row, bpc);
                const uint8_t* sources[4] = {plane[0], plane[1], plane[2], plane[3]};
                cm.ConvertScanline(TSourceRows(sources, p.SamplesPerPixel), target, p.Width, 255);
            }
            RowProgress(uint32_t(row));
        }
    } catch (...) {
        Progress(this, psEnding, 100, true, ProgressRect, "");
        throw;
    }
    if (p.SamplesPerPixel == 4) SetAlphaFormat(afDefined);
    Progress(this, psEnding, 100, true, ProgressRect, "");
}

} // namespace ferronel
