#include "readers/formats/AutodeskGraphic.h"

#include "host/ByteReader.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/formats/HeaderBytes.h"

#include <array>

namespace ferronel {

using namespace readers;

namespace {
const char* const AutodeskLabel = "Autodesk";
}

TAutodeskHeader TAutodeskHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TAutodeskHeader h;
    h.Magic = r.U16LE();
    h.Width = r.U16LE();
    h.Height = r.U16LE();
    h.XPosition = r.U16LE();
    h.YPosition = r.U16LE();
    h.BitDepth = r.U8();
    h.Compression = r.U8();
    h.DataSize = r.U32LE();
    return h;
}

THeaderCheck CheckAutodeskHeader(const TAutodeskHeader& Header) {
    THeaderCheck check;
    // The loader is as strict as CanLoad: other depths and compressed data are not 8-bit rows.
    check.Load = check.CanLoad =
        Header.Magic == AutodeskMagic && Header.BitDepth == 8 && Header.Compression == acNone;
    if (!check.Load) check.Refusal = Format(gesInvalidImage, {AutodeskLabel});
    return check;
}

bool TAutodeskGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TAutodeskHeader>(Stream);
    return header && CheckAutodeskHeader(*header).CanLoad;
}

THeaderCheck TAutodeskGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TAutodeskHeader>(Stream);
    TImageProperties& p = ImageProperties();
    p.ColorScheme = csIndexed;
    p.Width = FHeader.Width;
    p.Height = FHeader.Height;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = cpNone;
    return CheckAutodeskHeader(FHeader);
}

bool TAutodeskGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

void TAutodeskGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    if (!check.Load) ReaderError(check.Refusal);
    ProgressRect = TRect{0, 0, Width(), 1};
    StartProgress(gesTransfering);

    // 6-bit values become 0..252; a short palette leaves its missing entries black.
    std::array<uint8_t, AutodeskPaletteSize> map{};
    Stream.Read(map.data(), map.size());
    TPaletteEntries entries(256);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = {uint8_t(map[3 * i] << 2), uint8_t(map[3 * i + 1] << 2), uint8_t(map[3 * i + 2] << 2),
                      0};
    SetPixelFormat(pf8bit);
    SetPalette(CreatePalette(std::move(entries)));
    SetSize(FHeader.Width, FHeader.Height);

    // Rows the file does not hold stay 0.
    const size_t width = FHeader.Width;
    bool more = true;
    for (int32_t y = 0; y < Height(); ++y) {
        if (more) more = Stream.Read(ScanLine(y), width) == width;
        RowProgress(uint32_t(y));
    }
    EndProgress();
}

} // namespace ferronel
