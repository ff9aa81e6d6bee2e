// Paint Shop Pro images (major version 3 and later): a file header, then blocks, each with a "~"
// marker, an id and a length. The general attributes block gives size and compression, the colour
// block the palette, and the layer start block holds layers whose channels are stored raw,
// run-length or deflate compressed. The first raster layer is shown. Little-endian.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

enum TPSPBlockId : uint16_t {
    pbImageAttributes = 0,
    pbColorPalette = 2,
    pbLayerStart = 3,
    pbLayer = 4,
    pbChannel = 5,
};

enum TPSPCompression : uint16_t { pkNone = 0, pkRLE = 1, pkLZ77 = 2, pkJPEG = 3 };

// Which bitmap of a layer a channel belongs to, and which of its colours it holds.
enum TPSPBitmapType : uint16_t { pmImage = 0, pmTransparencyMask = 1 };
enum TPSPChannelType : uint16_t { pcComposite = 0, pcRed = 1, pcGreen = 2, pcBlue = 3 };

// The 36-byte file header.
struct TPSPHeader {
    static constexpr size_t Size = 36;
    static constexpr uint16_t FirstVersion = 3;
    // Version 3 block headers carry an extra length; later versions start chunks with a length.
    static constexpr uint16_t ChunkedVersion = 4;

    std::array<char, 32> Signature{};
    uint16_t MajorVersion = 0;
    uint16_t MinorVersion = 0;

    static TPSPHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// The general image attributes, as stored (after the chunk length of later versions).
struct TPSPImageAttributes {
    static constexpr size_t Size = 42;
    static constexpr uint8_t PerCentimetre = 2;

    int32_t Width = 0;
    int32_t Height = 0;
    double Resolution = 0;
    uint8_t ResolutionUnit = 0;
    uint16_t Compression = pkNone;
    uint16_t BitDepth = 0;
    uint16_t PlaneCount = 0;
    uint32_t ColorCount = 0;
    uint8_t GreyscaleFlag = 0;

    static TPSPImageAttributes Parse(std::span<const uint8_t, Size> Bytes);
};

// The one judgement of a file. CanLoad wants the signature (25 characters, any case) and version 3 or
// later; loading also wants, once the attributes are read, a bit depth of 1, 4, 8 or 24, a size
// that is not negative and a compression this reader decodes.
THeaderCheck CheckPSPHeader(const TPSPHeader& Header, const TPSPImageAttributes* Attributes = nullptr);

class TPSPGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TPSPGraphic, TReaderGraphic)
public:
    TPSPGraphic();
    ~TPSPGraphic() override;
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    THeaderCheck ReadHeader(TStream& Stream);
    void ReadPalette(std::span<const uint8_t> Block);
    // Loads the first raster layer of a layer start block; answers whether there was one.
    bool ReadLayers(std::span<const uint8_t> Block);

    TPSPHeader FHeader;
    TPSPImageAttributes FAttributes;
    uint64_t FFirstBlockEnd = 0;
};

} // namespace ferronel
