// Metafiles: placeable and plain WMF, and EMF. The class reads the header and splits the data into
// records (every record lies inside the data); the decoders in WmfRecords.h and EmfRecords.h check
// the counts inside each record. The picture's size is reported as the platform did, at 96 dots per
// inch. Drawing plays the records through a player that the window-system layer installs.
#pragma once

#include "host/Graphic.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace ferronel {

class TStream;

enum TMetafileKind : uint8_t { mkNone, mkWmf, mkEmf };

// The 22 bytes in front of a placeable WMF: its bounds in its own units and how many make an inch.
struct TWmfPlaceableHeader {
    static constexpr size_t Size = 22;
    static constexpr uint32_t KeyValue = 0x9AC6CDD7;
    uint32_t Key = 0;
    uint16_t Handle = 0;
    int16_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    uint16_t Inch = 0;
    uint32_t Reserved = 0;
    uint16_t Checksum = 0;
};

// The header every WMF starts with (after the placeable header, if any). Sizes count 16-bit words.
struct TWmfHeader {
    static constexpr size_t Size = 18;
    uint16_t FileType = 0;    // 1 in memory, 2 on disk
    uint16_t HeaderWords = 0; // 9
    uint16_t Version = 0;
    uint32_t FileWords = 0;
    uint16_t NumberOfObjects = 0;
    uint32_t MaxRecordWords = 0;
    uint16_t NumberOfMembers = 0;
};

// The fixed part of an EMF's first record.
struct TEmfHeader {
    static constexpr size_t Size = 88;
    static constexpr uint32_t SignatureValue = 0x464D4520;
    uint32_t Type = 0; // 1
    uint32_t HeaderSize = 0;
    TRect Bounds; // device pixels, inclusive
    TRect Frame;  // 0.01 mm, inclusive
    uint32_t Signature = 0;
    uint32_t Version = 0;
    uint32_t FileSize = 0;
    uint32_t RecordCount = 0;
    uint16_t Handles = 0;
    uint16_t Reserved = 0;
    uint32_t DescriptionLength = 0, DescriptionOffset = 0, PaletteEntries = 0;
    int32_t DevicePixelsX = 0, DevicePixelsY = 0, DeviceMillimetresX = 0, DeviceMillimetresY = 0;
};

// The headers a file's first bytes hold, read once: Kind says which of them were found.
struct TMetafileHeader {
    // Enough bytes for any of the headers.
    static constexpr size_t PeekSize = TEmfHeader::Size;
    TMetafileKind Kind = mkNone;
    bool Placeable = false;
    TWmfPlaceableHeader PlaceableHeader;
    TWmfHeader WmfHeader;
    TEmfHeader EmfHeader;
    // Reads the headers from the start of a file (at most PeekSize bytes are looked at).
    static TMetafileHeader Parse(std::span<const uint8_t> Head);
};

// The one judgement on a header and the size of the file it starts: empty Refusal when the file
// can be loaded, else the reason loading gives in its error message.
struct TMetafileCheck {
    bool Load = false;
    std::string Refusal;
};
TMetafileCheck CheckMetafileHeader(const TMetafileHeader& Header, uint64_t FileSize);

struct TMetafileRecord {
    uint32_t Type;   // WMF function number or EMF record type
    uint32_t Offset; // of the parameters in Data()
    uint32_t Size;   // bytes of parameters
};

// A bitmap carried in a record: Info holds the info header (in EMF records with its colour table),
// Bits what follows it. The bitmap is read from the two joined. Both view the record's bytes, which
// must outlive them.
struct TMetafileDib {
    std::span<const uint8_t> Info;
    std::span<const uint8_t> Bits;
};
// Text output options in both kinds of records.
enum : uint32_t { ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004 };

// Whether Info starts with an info header size that is one and fits in Info.
bool MetafileDibInfoFits(std::span<const uint8_t> Info);

class TMetafile : public TGraphic {
    FERRONEL_CLASS(TMetafile, TGraphic)
public:
    void Draw(TCanvas& Canvas, const TRect& Rect) override;
    bool Empty() const override { return FKind == mkNone; }
    int32_t Width() const override { return FWidth; }
    int32_t Height() const override { return FHeight; }
    void SetWidth(int32_t Value) override;
    void SetHeight(int32_t Value) override;
    // Reads the whole stream as one metafile; SaveToStream writes the same bytes back.
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    // Whether the stream, from its position to its end, holds a metafile that loading would accept
    // at the header; the position is left alone.
    static bool CanLoad(TStream& Stream);

    TMetafileKind Kind() const { return FKind; }
    const std::vector<uint8_t>& Data() const { return FData; }
    const std::vector<TMetafileRecord>& Records() const { return FRecords; }
    // The parameter bytes of one of Records().
    std::span<const uint8_t> Parameters(const TMetafileRecord& Record) const {
        return std::span<const uint8_t>(FData).subspan(Record.Offset, Record.Size);
    }
    // The picture's box in its own units: a placeable WMF's bounds (Inch units an inch), an EMF's
    // frame in 0.01 mm. A plain WMF has its first window extent, Inch 0.
    const TRect& Bounds() const { return FBounds; }
    uint16_t Inch() const { return FInch; }
    // EMF only: the reference device in pixels and millimetres.
    int32_t DevicePixelsX = 0, DevicePixelsY = 0, DeviceMillimetresX = 0, DeviceMillimetresY = 0;

    using TPlayer = std::function<void(const TMetafile& Metafile, TCanvas& Canvas, const TRect& Rect)>;
    static void SetPlayer(TPlayer Player);

private:
    void ParseWmf(const TMetafileHeader& Header);
    void ParseEmf(const TEmfHeader& Header);
    void SetSize(int64_t W, int64_t H);

    TMetafileKind FKind = mkNone;
    std::vector<uint8_t> FData;
    std::vector<TMetafileRecord> FRecords;
    TRect FBounds;
    uint16_t FInch = 0;
    int32_t FWidth = 0, FHeight = 0;
};

} // namespace ferronel
