// The six portable map kinds: text and binary bitmaps (P1, P4), grey maps (P2, P5) and pixel maps
// (P3, P6). Samples are scaled from the file's maximum value to 8 bits; binary maps with a maximum
// above 255 store two bytes per sample, high byte first.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ferronel {

enum TPPMKind : uint8_t {
    pkUnknown = 0,
    pkTextBitmap = 1,
    pkTextGrayMap = 2,
    pkTextPixelMap = 3,
    pkBinaryBitmap = 4,
    pkBinaryGrayMap = 5,
    pkBinaryPixelMap = 6,
};

// The text header: the magic's digit, the sizes and the maximum sample value (1 for bitmaps).
struct TPPMHeader {
    uint8_t Kind = pkUnknown;
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t MaxValue = 0;

    bool Bitmap() const { return Kind == pkTextBitmap || Kind == pkBinaryBitmap; }
    bool PixelMap() const { return Kind == pkTextPixelMap || Kind == pkBinaryPixelMap; }
    bool Text() const { return Kind >= pkTextBitmap && Kind <= pkTextPixelMap; }
    // Bytes of one binary sample.
    size_t SampleBytes() const { return MaxValue > 255 ? 2 : 1; }
};

// The one judgement of a header: a kind from 1 to 6 and a maximum from 1 to 65535.
THeaderCheck CheckPPMHeader(const TPPMHeader& Header);

class TPPMGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TPPMGraphic, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    // Reads the header from the kept stream; raises on a number that does not end or does not fit.
    THeaderCheck ReadHeader(TStream& Stream);

    // The character source over the kept stream.
    int GetChar(); // the next byte, or -1 at the end of the data
    uint8_t NextChar();
    void SkipLine();
    uint32_t ReadNumber();
    // The next text bitmap pixel: one digit, separators between them optional.
    uint8_t ReadBit();
    void ReadBytes(uint8_t* Buffer, size_t Count);

    void ReadRows();

    std::array<uint8_t, 4096> CharBuffer{};
    size_t CharIndex = 0;
    size_t CharCount = 0; // bytes of CharBuffer that hold data
    TPPMHeader FHeader;
    std::vector<uint8_t> FScale; // sample value to 8 bits
};

} // namespace ferronel
