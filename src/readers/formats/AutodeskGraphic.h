// Autodesk Animator cel and picture files: 8-bit indices, uncompressed, with a 256-colour palette
// of 6-bit values.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace ferronel {

enum : uint16_t { AutodeskMagic = 0x9119 };
enum TAutodeskCompression : uint8_t { acNone = 0 };
// 256 entries of red, green, blue, each 0 to 63.
inline constexpr size_t AutodeskPaletteSize = 768;

// The 32-byte file header, little-endian, every field as stored.
struct TAutodeskHeader {
    static constexpr size_t Size = 32;

    uint16_t Magic = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint16_t XPosition = 0;
    uint16_t YPosition = 0;
    uint8_t BitDepth = 0;
    uint8_t Compression = acNone;
    uint32_t DataSize = 0;

    static TAutodeskHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// The one judgement of a header: the magic, 8 bits and no compression, for CanLoad and loading.
THeaderCheck CheckAutodeskHeader(const TAutodeskHeader& Header);

class TAutodeskGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TAutodeskGraphic, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;

private:
    THeaderCheck ReadHeader(TStream& Stream);

    TAutodeskHeader FHeader;
};

} // namespace ferronel
