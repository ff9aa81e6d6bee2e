// Photoshop documents: the merged image that follows the colour data, the image resources and the
// layer and mask information, each of those a length-prefixed section that is skipped. Channels are
// stored one after another, raw or PackBits-compressed row by row. Big-endian.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ferronel {

enum TPSDColorMode : uint16_t {
    pmBitmap = 0,
    pmGrayscale = 1,
    pmIndexed = 2,
    pmRGB = 3,
    pmCMYK = 4,
    pmMultichannel = 7,
    pmDuotone = 8,
    pmLab = 9,
};

enum TPSDCompression : uint16_t { pcRaw = 0, pcPackBits = 1, pcZip = 2, pcZipPrediction = 3 };

// The 26-byte file header, named as stored.
struct TPSDHeader {
    static constexpr size_t Size = 26;
    static constexpr uint16_t FileVersion = 1;

    std::array<char, 4> Signature{};
    uint16_t Version = 0;
    uint16_t Channels = 0;
    uint32_t Rows = 0;
    uint32_t Columns = 0;
    uint16_t Depth = 0;
    uint16_t Mode = 0;

    static TPSDHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// Where the sections after the header lead: the colour data and the merged image. Fit is false when
// a section claims more bytes than the file holds.
struct TPSDSections {
    bool Fit = false;
    uint64_t ColorDataOffset = 0;
    uint32_t ColorDataLength = 0;
    uint16_t Compression = pcRaw;
    uint64_t ImageDataOffset = 0; // just after the compression word
};

// The one judgement of a document. CanLoad takes the signature in any letter case and wants version
// 1; loading wants the exact signature, a mode and depth this reader shows, enough channels for the
// mode and, once the sections are known, sections inside the file and raw or PackBits data.
THeaderCheck CheckPSDHeader(const TPSDHeader& Header, const TPSDSections* Sections = nullptr);

class TPSDGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TPSDGraphic, TReaderGraphic)
public:
    TPSDGraphic();
    ~TPSDGraphic() override;
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    THeaderCheck ReadHeader(TStream& Stream);
    void ReadPalette(TStream& Stream);

    TPSDHeader FHeader;
    TPSDSections FSections;
};

} // namespace ferronel
