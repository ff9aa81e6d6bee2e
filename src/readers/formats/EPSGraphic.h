// Encapsulated PostScript files with a binary header: the PostScript, an optional metafile and an
// optional TIFF preview, each at an offset the 30-byte header gives. The preview is what is shown.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/formats/TIFFGraphic.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

enum : uint32_t { EPSMagic = 0xC6D3D0C5 };

// The binary header, little-endian; offsets count from its first byte.
struct TEPSHeader {
    static constexpr size_t Size = 30;

    uint32_t Magic = 0;
    uint32_t PostScriptOffset = 0, PostScriptLength = 0;
    uint32_t MetafileOffset = 0, MetafileLength = 0;
    uint32_t TIFFOffset = 0, TIFFLength = 0;
    uint16_t Checksum = 0;

    static TEPSHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// CanLoad and loading alike want the magic and a TIFF preview, at or past the header's end and
// inside the Remaining bytes.
THeaderCheck CheckEPSHeader(const TEPSHeader& Header, uint64_t Remaining);

class TEPSGraphic : public TTIFFGraphic {
    FERRONEL_CLASS(TEPSGraphic, TTIFFGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    // Reads the header at the stream position and moves to the preview; raises when there is none.
    void SeekPreview(TStream& Stream);
};

} // namespace ferronel
