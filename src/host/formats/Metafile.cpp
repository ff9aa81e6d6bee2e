#include "host/formats/Metafile.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Stream.h"
#include "host/formats/EmfRecords.h"
#include "host/formats/WmfRecords.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace ferronel {

namespace {

const char* const SInvalidMetafile = "Metafile is not valid (%s)";
constexpr uint64_t MaxMetafileBytes = uint64_t(256) << 20;

TMetafile::TPlayer& Player() {
    static TMetafile::TPlayer player;
    return player;
}

[[noreturn]] void Invalid(const std::string& why) {
    throw EInvalidGraphic(Format(SInvalidMetafile, {why.c_str()}));
}

TRect ReadRect(TByteReader& r) {
    TRect rect;
    rect.Left = r.S32LE();
    rect.Top = r.S32LE();
    rect.Right = r.S32LE();
    rect.Bottom = r.S32LE();
    return rect;
}

} // namespace

TWmfPlaceableHeader TWmfPlaceableHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TWmfPlaceableHeader h;
    h.Key = r.U32LE();
    h.Handle = r.U16LE();
    h.Left = r.S16LE();
    h.Top = r.S16LE();
    h.Right = r.S16LE();
    h.Bottom = r.S16LE();
    h.Inch = r.U16LE();
    h.Reserved = r.U32LE();
    h.Checksum = r.U16LE();
    return h;
}

TWmfHeader TWmfHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TWmfHeader h;
    h.FileType = r.U16LE();
    h.HeaderWords = r.U16LE();
    h.Version = r.U16LE();
    h.FileWords = r.U32LE();
    h.NumberOfObjects = r.U16LE();
    h.MaxRecordWords = r.U32LE();
    h.NumberOfMembers = r.U16LE();
    return h;
}

TEmfHeader TEmfHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TEmfHeader h;
    h.Type = r.U32LE();
    h.HeaderSize = r.U32LE();
    h.Bounds = ReadRect(r);
    h.Frame = ReadRect(r);
    h.Signature = r.U32LE();
    h.Version = r.U32LE();
    h.FileSize = r.U32LE();
    h.RecordCount = r.U32LE();
    h.Handles = r.U16LE();
    h.Reserved = r.U16LE();
    h.DescriptionLength = r.U32LE();
    h.DescriptionOffset = r.U32LE();
    h.PaletteEntries = r.U32LE();
    h.DevicePixelsX = r.S32LE();
    h.DevicePixelsY = r.S32LE();
    h.DeviceMillimetresX = r.S32LE();
    h.DeviceMillimetresY = r.S32LE();
    return h;
}

TMetafileHeader TMetafileHeader::Parse(std::span<const uint8_t> Head) {
    TMetafileHeader h;
    const std::span<const uint8_t> bytes = Head.first(std::min(Head.size(), PeekSize));
    if (bytes.size() >= 4 && LoadU32LE(bytes.data()) == TWmfPlaceableHeader::KeyValue) {
        // A placeable file too short for both headers stays of no kind; the check says why.
        h.Placeable = true;
        if (bytes.size() < TWmfPlaceableHeader::Size + TWmfHeader::Size) return h;
        h.PlaceableHeader = TWmfPlaceableHeader::Parse(bytes.first<TWmfPlaceableHeader::Size>());
        h.WmfHeader = TWmfHeader::Parse(bytes.subspan<TWmfPlaceableHeader::Size, TWmfHeader::Size>());
        h.Kind = mkWmf;
    } else if (bytes.size() >= TEmfHeader::Size) {
        const TEmfHeader emf = TEmfHeader::Parse(bytes.first<TEmfHeader::Size>());
        if (emf.Type == EMR_HEADER && emf.Signature == TEmfHeader::SignatureValue) {
            h.EmfHeader = emf;
            h.Kind = mkEmf;
        }
    }
    if (h.Kind == mkNone && !h.Placeable && bytes.size() >= TWmfHeader::Size) {
        const TWmfHeader wmf = TWmfHeader::Parse(bytes.first<TWmfHeader::Size>());
        if ((wmf.FileType == TWmfHeader::ftMemory || wmf.FileType == TWmfHeader::ftDisk) &&
            wmf.HeaderWords == TWmfHeader::HeaderWordsValue) {
            h.WmfHeader = wmf;
            h.Kind = mkWmf;
        }
    }
    return h;
}

THeaderCheck CheckMetafileHeader(const TMetafileHeader& Header, uint64_t FileSize) {
    auto refuse = [](const char* why) { return THeaderCheck{false, false, why}; };
    const THeaderCheck accept{true, true, {}};
    if (FileSize < TWmfHeader::Size) return refuse("too short");
    if (FileSize > MaxMetafileBytes) return refuse("larger than 256 MB");
    if (Header.Placeable) {
        if (Header.Kind == mkNone) return refuse("too short");
        if (Header.PlaceableHeader.Inch == 0) return refuse("no units per inch");
        return accept;
    }
    if (Header.Kind == mkEmf) {
        if (Header.EmfHeader.HeaderSize < TEmfHeader::Size || Header.EmfHeader.HeaderSize > FileSize)
            return refuse("header");
        return accept;
    }
    if (Header.Kind == mkWmf) return accept;
    return refuse("unknown header");
}

bool MetafileDibInfoFits(std::span<const uint8_t> Info) {
    if (Info.size() < 4) return false;
    const uint32_t headerSize = LoadU32LE(Info.data());
    return headerSize >= 12 && headerSize <= Info.size();
}

void TMetafile::SetPlayer(TPlayer P) { Player() = std::move(P); }

void TMetafile::SetWidth(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of a metafile"); }
void TMetafile::SetHeight(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of a metafile"); }

void TMetafile::Draw(TCanvas& Canvas, const TRect& Rect) {
    if (!Empty() && Player()) Player()(*this, Canvas, Rect);
}

void TMetafile::SetSize(int64_t W, int64_t H) {
    // Larger pictures could not be drawn into any bitmap; such sizes come from damaged headers.
    if (W > 65535 || H > 65535) Invalid("size out of range");
    FWidth = int32_t(W);
    FHeight = int32_t(H);
}

void TMetafile::SaveToStream(TStream& Stream) { Stream.WriteBuffer(FData.data(), FData.size()); }

namespace {

// The headers at the stream position and the size from there to the end; the position stays.
THeaderCheck PeekHeader(TStream& Stream, TMetafileHeader& Header, uint64_t& Size) {
    const int64_t remaining = Stream.Size() - Stream.Position();
    Size = remaining > 0 ? uint64_t(remaining) : 0;
    std::array<uint8_t, TMetafileHeader::PeekSize> head{};
    const size_t count = PeekUpTo(Stream, head.data(), head.size());
    if (count < std::min<uint64_t>(Size, head.size())) Size = 0; // the stream would not give its bytes
    Header = TMetafileHeader::Parse(std::span(head).first(count));
    return CheckMetafileHeader(Header, Size);
}

} // namespace

bool TMetafile::CanLoad(TStream& Stream) {
    TMetafileHeader header;
    uint64_t size = 0;
    return PeekHeader(Stream, header, size).CanLoad;
}

void TMetafile::LoadFromStream(TStream& Stream) {
    TMetafileHeader header;
    uint64_t size = 0;
    const THeaderCheck check = PeekHeader(Stream, header, size);
    if (!check.Load) Invalid(check.Refusal);
    FKind = mkNone;
    FRecords.clear();
    FBounds = TRect{};
    FInch = 0;
    FData.resize(size_t(size));
    Stream.ReadBuffer(FData.data(), FData.size());
    if (header.Kind == mkEmf)
        ParseEmf(header.EmfHeader);
    else
        ParseWmf(header);
    Changed(this);
}

void TMetafile::ParseWmf(const TMetafileHeader& Header) {
    size_t start = 0;
    if (Header.Placeable) {
        const TWmfPlaceableHeader& p = Header.PlaceableHeader;
        FBounds = TRect{p.Left, p.Top, p.Right, p.Bottom};
        FInch = p.Inch;
        start = TWmfPlaceableHeader::Size;
    }
    const uint64_t first = CheckedAdd(start, CheckedMul(Header.WmfHeader.HeaderWords, 2));
    TByteReader r(FData);
    r.Seek(size_t(std::min<uint64_t>(first, FData.size())));
    bool haveExtent = FInch != 0;
    while (r.Has(6)) {
        const size_t at = r.Position();
        const uint32_t words = r.U32LE();
        const uint16_t function = r.U16LE();
        const uint64_t bytes = CheckedMul(words, 2);
        if (words < 3 || bytes > FData.size() - at) Invalid("a record runs past the end");
        const TMetafileRecord record{function, uint32_t(at + 6), uint32_t(bytes - 6)};
        FRecords.push_back(record);
        if (function == META_EOF) break;
        if (!haveExtent && function == META_SETWINDOWEXT) {
            // The first window extent sizes a plain file.
            if (const auto extent = DecodeWmfPoint(Parameters(record))) {
                FBounds = TRect{0, 0, extent->X, extent->Y};
                haveExtent = true;
            }
        }
        r.Seek(size_t(at + bytes));
    }
    if (!haveExtent) Invalid("no size");
    const int64_t w = int64_t(FBounds.Right) - FBounds.Left, h = int64_t(FBounds.Bottom) - FBounds.Top;
    SetSize(std::abs(FInch ? w * 96 / FInch : w), std::abs(FInch ? h * 96 / FInch : h));
    FKind = mkWmf;
}

void TMetafile::ParseEmf(const TEmfHeader& Header) {
    FBounds = Header.Frame;
    DevicePixelsX = Header.DevicePixelsX;
    DevicePixelsY = Header.DevicePixelsY;
    DeviceMillimetresX = Header.DeviceMillimetresX;
    DeviceMillimetresY = Header.DeviceMillimetresY;
    // The header is the first record.
    TByteReader r(FData);
    while (r.Has(8)) {
        const size_t at = r.Position();
        const uint32_t type = r.U32LE(), size = r.U32LE();
        if (size < 8 || size % 4 != 0 || size > FData.size() - at) Invalid("a record runs past the end");
        FRecords.push_back({type, uint32_t(at + 8), size - 8});
        if (type == EMR_EOF) break;
        r.Seek(at + size);
    }
    // The frame (0.01 mm, inclusive) at 96 dots per inch; without a frame, the device bounds.
    const TRect& bounds = Header.Bounds;
    const int64_t fw = int64_t(FBounds.Right) - FBounds.Left, fh = int64_t(FBounds.Bottom) - FBounds.Top;
    if (fw > 0 && fh > 0)
        SetSize((fw * 96 + 1270) / 2540, (fh * 96 + 1270) / 2540);
    else
        SetSize(std::abs(int64_t(bounds.Right) - bounds.Left) + 1,
                std::abs(int64_t(bounds.Bottom) - bounds.Top) + 1);
    if (DevicePixelsX <= 0 || DevicePixelsY <= 0 || DeviceMillimetresX <= 0 || DeviceMillimetresY <= 0) {
        // A header without a reference device: take a 96-dpi screen.
        DevicePixelsX = DevicePixelsY = 96 * 100;
        DeviceMillimetresX = DeviceMillimetresY = 2540;
    }
    FKind = mkEmf;
}

} // namespace ferronel
