// Photo-CD image packs and overview packs: 2048-byte sectors, a header in the first three, and
// images of fixed sizes at fixed sectors. Each image stores two luminance rows, then one row of each
// half-resolution chroma plane, in PhotoYCC. This reader shows the Base image (768 x 512) of an
// image pack, or the first thumbnail (192 x 128) of an overview pack, turned upright.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

enum TPCDResolution : uint8_t {
    prBase16 = 0, // 192 x 128
    prBase4 = 1,
    prBase = 2,
    prBase4x = 3,
    prBase16x = 4,
    prBase64x = 5,
};

// Quarter turns the picture needs to stand upright, as the header stores them.
enum TPCDRotation : uint8_t { ptNone = 0, ptCounterClockwise = 1, ptHalf = 2, ptClockwise = 3 };

// The first three sectors of a pack, with the fields this reader uses.
struct TPCDHeader {
    static constexpr size_t SectorSize = 2048;
    static constexpr size_t Size = 3 * SectorSize;
    static constexpr uint32_t BaseSector = 96;
    static constexpr uint32_t OverviewSector = 5;

    bool OverviewSignature = false;  // "PCD_OPA" at the start
    bool ImagePackSignature = false; // "PCD" at the start of the second sector
    uint16_t Version = 0;            // bytes 10 and 11, big-endian
    uint8_t Rotation = ptNone;       // low two bits of byte 3586

    static TPCDHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// The one judgement of a pack. A stream that is not a pack is not refused with an error: loading
// it leaves an empty picture.
THeaderCheck CheckPCDHeader(const TPCDHeader& Header);

class TPCDGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TPCDGraphic, TReaderGraphic)
public:
    TPCDGraphic();
    ~TPCDGraphic() override;
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    // ImageIndex is the resolution (0 to 5; larger values count as 5).
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    THeaderCheck ReadHeader(TStream& Stream, uint32_t Resolution);

    TPCDHeader FHeader;
};

} // namespace ferronel
