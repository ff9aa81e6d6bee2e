#include "readers/formats/CUTGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace ferronel {

using namespace readers;

namespace {

const char* const CUTLabel = "CUT";

// A value from 0 to Max as 0..255; a maximum of 0 leaves the low byte as it is.
uint8_t ScalePaletteValue(uint16_t Value, uint16_t Max) {
    if (Max == 0) return uint8_t(Value);
    return uint8_t(std::min<uint32_t>(255, uint32_t(Value) * 255 / Max));
}

// The bytes of the palette file, as many as 256 entries can use; none when there is no file.
std::optional<std::vector<uint8_t>> ReadPaletteFile(const std::string& FileName) {
    if (FileName.empty()) return std::nullopt;
    std::unique_ptr<TFileStream> stream;
    try {
        stream = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    } catch (const EStreamError&) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(4 * TCUTPaletteHeader::BlockSize);
    bytes.resize(stream->Read(bytes.data(), bytes.size()));
    return bytes;
}

} // namespace

TCUTHeader TCUTHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TCUTHeader h;
    h.Width = r.U16LE();
    h.Height = r.U16LE();
    h.Reserved = r.U16LE();
    return h;
}

TCUTPaletteHeader TCUTPaletteHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TCUTPaletteHeader h;
    r.Read(h.ID.data(), h.ID.size());
    h.Version = r.U16LE();
    h.FileSize = r.U16LE();
    h.FileType = r.U8();
    h.SubType = r.U8();
    h.BoardID = r.U16LE();
    h.GraphicsMode = r.U16LE();
    h.MaxIndex = r.U16LE();
    h.MaxRed = r.U16LE();
    h.MaxGreen = r.U16LE();
    h.MaxBlue = r.U16LE();
    return h;
}

THeaderCheck CheckCUTHeader(const TCUTHeader&) { return THeaderCheck{false, true, ""}; }

TPaletteEntries ReadCUTPalette(std::span<const uint8_t> Bytes) {
    if (Bytes.size() < TCUTPaletteHeader::Size) ReaderErrorFmt(gesInvalidPalette, {CUTLabel});
    const TCUTPaletteHeader h = TCUTPaletteHeader::Parse(Bytes.first<TCUTPaletteHeader::Size>());
    const size_t count = std::min<size_t>(size_t(h.MaxIndex) + 1, 256);
    TPaletteEntries entries;
    entries.reserve(count);
    size_t block = 0, offset = TCUTPaletteHeader::Size;
    for (size_t i = 0; i < count; ++i, offset += TCUTPaletteHeader::EntrySize) {
        if (offset > TCUTPaletteHeader::LastEntryOffset) ++block, offset = 0;
        const size_t at = block * TCUTPaletteHeader::BlockSize + offset;
        if (at + TCUTPaletteHeader::EntrySize > Bytes.size()) break;
        const uint8_t* e = Bytes.data() + at;
        entries.push_back({ScalePaletteValue(LoadU16LE(e), h.MaxRed),
                           ScalePaletteValue(LoadU16LE(e + 2), h.MaxGreen),
                           ScalePaletteValue(LoadU16LE(e + 4), h.MaxBlue), 0});
    }
    return entries;
}

bool TCUTGraphic::CanLoad(TStream&) const { return false; }

THeaderCheck TCUTGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TCUTHeader>(Stream);
    TImageProperties& p = ImageProperties();
    p.Width = FHeader.Width;
    p.Height = FHeader.Height;
    p.ColorScheme = csIndexed;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = cpRLE;
    SetPixelFormat(pf8bit);
    return CheckCUTHeader(FHeader);
}

bool TCUTGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

void TCUTGraphic::LoadFromFile(const std::string& FileName) {
    // The companion file, in the letter case of the picture's extension or in either plain case.
    std::filesystem::path pal(FileName);
    PaletteFile = pal.replace_extension(".pal").string();
    if (!std::filesystem::exists(PaletteFile) && std::filesystem::exists(pal.replace_extension(".PAL")))
        PaletteFile = pal.string();
    struct TForget {
        std::string& File;
        ~TForget() { File.clear(); }
    } forget{PaletteFile};
    TReaderGraphic::LoadFromFile(FileName);
}

void TCUTGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    if (!check.Load) ReaderError(check.Refusal);
    ProgressRect = TRect{0, 0, FHeader.Width, 0};
    StartProgress(gesTransfering);

    if (const auto palette = ReadPaletteFile(PaletteFile)) {
        SetPalette(CreatePalette(ReadCUTPalette(*palette)));
    } else {
        TPaletteEntries ramp(256);
        for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
        SetPalette(CreatePalette(std::move(ramp)));
    }
    SetSize(FHeader.Width, FHeader.Height);

    // Lines follow one another; each starts where the previous one's end code left the source.
    std::vector<uint8_t> data(size_t(std::max<int64_t>(0, Stream.Size() - Stream.Position())));
    data.resize(Stream.Read(data.data(), data.size()));
    const uint8_t* source = data.data();
    const uint8_t* const end = data.data() + data.size();
    TCUTRLEDecoder decoder;
    for (int32_t y = 0; y < Height(); ++y) {
        uint8_t* dest = ScanLine(y);
        decoder.Decode(source, dest, CheckedCast<int32_t>(end - source), FHeader.Width);
        RowProgress(uint32_t(y));
    }
    EndProgress();
}

} // namespace ferronel
