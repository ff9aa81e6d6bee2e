// SGI images: one, three or four channels of 8 or 16 bits, stored channel after channel and rows
// bottom first, uncompressed or run-length encoded with tables of row offsets. Big-endian.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace ferronel {

class TSGIRLEDecoder;

enum : uint16_t { SGIMagic = 474 };
enum TSGIStorage : uint8_t { ssVerbatim = 0, ssRLE = 1 };
enum TSGIDimension : uint16_t {
    sdRow = 1,      // one row of one channel: the Y and Z sizes mean nothing
    sdGray = 2,     // one channel: the Z size means nothing
    sdChannels = 3, // Z size channels
};

// The 512-byte file header, big-endian; the fields this reader uses, named as stored.
struct TSGIHeader {
    static constexpr size_t Size = 512;

    uint16_t Magic = 0;
    uint8_t Storage = ssVerbatim;
    uint8_t BytesPerChannel = 0;
    uint16_t Dimension = 0;
    uint16_t XSize = 0, YSize = 0, ZSize = 0;
    uint32_t PixMin = 0, PixMax = 0;
    std::array<char, 80> Name{};
    uint32_t ColorMap = 0;

    static TSGIHeader Parse(std::span<const uint8_t, Size> Bytes);

    // The sizes the dimension gives meaning to; only the low byte of the Z size counts.
    uint32_t Rows() const { return Dimension == sdRow ? 1 : YSize; }
    uint32_t Channels() const { return Dimension == sdRow || Dimension == sdGray ? 1 : ZSize & 0xFFu; }
};

// The one judgement of a header. CanLoad also wants a known dimension; loading wants the magic and
// one, three or four channels of one or two bytes.
THeaderCheck CheckSGIHeader(const TSGIHeader& Header);

class TSGIGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TSGIGraphic, TReaderGraphic)
public:
    TSGIGraphic();
    ~TSGIGraphic() override;
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

protected:
    // Fills up to four channel buffers (null ones are skipped, channel index = argument order) with
    // Width samples of stored row Row. What the file does not hold stays 0.
    void ReadAndDecode(uint8_t* Red, uint8_t* Green, uint8_t* Blue, uint8_t* Alpha, int32_t Row, uint8_t BPC);

    TCardinalArray RowStart;
    TCardinalArray RowSize;
    std::unique_ptr<TSGIRLEDecoder> Decoder;

private:
    THeaderCheck ReadHeader(TStream& Stream);

    TSGIHeader FHeader;
    std::vector<uint8_t> FPacked; // one compressed row
    int64_t FStreamSize = 0;
};

} // namespace ferronel
