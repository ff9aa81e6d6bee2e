// Wavefront RLA files: a 740-byte big-endian header, a table of row offsets, and per row the
// run-length coded channels (colour, then matte), each with its byte count. Grey or RGB, with an
// optional matte as opacity, and a gamma stored as text.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

enum : uint16_t { RLARevision = 0xFFFE };

// The 740-byte file header, big-endian. The descriptive texts (primaries, names, dates, ...) are
// skipped; the fields below are named as stored.
struct TRLAHeader {
    static constexpr size_t Size = 740;

    int16_t WindowLeft = 0, WindowRight = 0, WindowBottom = 0, WindowTop = 0;
    int16_t ActiveLeft = 0, ActiveRight = 0, ActiveBottom = 0, ActiveTop = 0;
    int16_t Frame = 0;
    int16_t StorageType = 0;
    int16_t ChannelCount = 0;
    int16_t MatteCount = 0;
    int16_t AuxCount = 0;
    uint16_t Revision = 0;
    std::array<char, 16> Gamma{};
    int32_t JobNumber = 0;
    std::array<char, 32> Channel{}; // the channel space: "rgb" or "xyz"
    int16_t Field = 0;
    int16_t ChannelBits = 0;
    int16_t MatteType = 0;
    int16_t MatteBits = 0;
    int16_t AuxType = 0;
    int16_t AuxBits = 0;
    int32_t Next = 0;

    static TRLAHeader Parse(std::span<const uint8_t, Size> Bytes);

    int32_t Width() const { return int32_t(ActiveRight) - ActiveLeft + 1; }
    int32_t Height() const {
        return (ActiveBottom < ActiveTop ? ActiveTop - ActiveBottom : ActiveBottom - ActiveTop) + 1;
    }
    bool BottomUp() const { return ActiveBottom < ActiveTop; }
    bool RGBSpace() const;
    bool XYZSpace() const;
    // The gamma text as a number; 1.0 when it is none, or not a positive finite one.
    float GammaValue() const;
};

// The one judgement of a header. CanLoad wants the revision and a known channel space; loading a
// known channel space, a width of at least one pixel, one or three 8-bit colour channels.
THeaderCheck CheckRLAHeader(const TRLAHeader& Header);

class TRLAGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TRLAGraphic, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    THeaderCheck ReadHeader(TStream& Stream);

    TRLAHeader FHeader;
};

} // namespace ferronel
