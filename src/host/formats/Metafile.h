// Windows metafiles: placeable and plain WMF, and EMF. The class reads and checks the records (every
// record lies inside the data; the player checks the counts inside each record) and reports the
// picture's size as the platform did, at 96 dots per inch. Drawing plays the records through a
// player that the window-system layer installs.
#pragma once

#include "host/Graphic.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ferronel {

enum TMetafileKind : uint8_t { mkNone, mkWmf, mkEmf };

struct TMetafileRecord {
    uint32_t Type;   // WMF function number or EMF record type
    uint32_t Offset; // of the parameters in Data()
    uint32_t Size;   // bytes of parameters
};

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

    TMetafileKind Kind() const { return FKind; }
    const std::vector<uint8_t>& Data() const { return FData; }
    const std::vector<TMetafileRecord>& Records() const { return FRecords; }
    // The picture's box in its own units: a placeable WMF's bounds (Inch units an inch), an EMF's
    // frame in 0.01 mm. A plain WMF has its first window extent, Inch 0.
    const TRect& Bounds() const { return FBounds; }
    uint16_t Inch() const { return FInch; }
    // EMF only: the reference device in pixels and millimetres.
    int32_t DevicePixelsX = 0, DevicePixelsY = 0, DeviceMillimetresX = 0, DeviceMillimetresY = 0;

    using TPlayer = std::function<void(const TMetafile& Metafile, TCanvas& Canvas, const TRect& Rect)>;
    static void SetPlayer(TPlayer Player);

private:
    void ParseWmf(size_t Start);
    void ParseEmf();
    void SetSize(int64_t W, int64_t H);

    TMetafileKind FKind = mkNone;
    std::vector<uint8_t> FData;
    std::vector<TMetafileRecord> FRecords;
    TRect FBounds;
    uint16_t FInch = 0;
    int32_t FWidth = 0, FHeight = 0;
};

} // namespace ferronel
