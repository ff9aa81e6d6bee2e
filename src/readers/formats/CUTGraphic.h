// Dr. Halo CUT files: 8-bit indices, run-length coded line by line, with the palette in a companion
// ".pal" file of the same name.
#pragma once

#include "host/HeaderCheck.h"
#include "readers/ReaderGraphic.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ferronel {

// The 6-byte file header, little-endian.
struct TCUTHeader {
    static constexpr size_t Size = 6;

    uint16_t Width = 0;
    uint16_t Height = 0;
    uint16_t Reserved = 0;

    static TCUTHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// The 40-byte header of the palette file, little-endian. Entries follow it, 6 bytes each (red,
// green, blue as 16-bit values from 0 to the header's maximum), in 512-byte blocks: an entry that
// would start past offset 506 of its block starts the next block instead.
struct TCUTPaletteHeader {
    static constexpr size_t Size = 40;
    static constexpr size_t BlockSize = 512;
    static constexpr size_t LastEntryOffset = 506;
    static constexpr size_t EntrySize = 6;

    std::array<char, 2> ID{}; // "AH"
    uint16_t Version = 0;
    uint16_t FileSize = 0;
    uint8_t FileType = 0;
    uint8_t SubType = 0;
    uint16_t BoardID = 0;
    uint16_t GraphicsMode = 0;
    uint16_t MaxIndex = 0; // entries less one
    uint16_t MaxRed = 0, MaxGreen = 0, MaxBlue = 0;

    static TCUTPaletteHeader Parse(std::span<const uint8_t, Size> Bytes);
};

// The one judgement of a header. The format has no signature: CanLoad never claims a stream (the
// reader is chosen by extension), loading takes any header.
THeaderCheck CheckCUTHeader(const TCUTHeader& Header);

// The palette of a palette file's bytes: at most 256 entries, and no more than the bytes hold.
// Values are scaled from the header's maxima to 0..255. Raises the palette error when the bytes do
// not hold the header.
TPaletteEntries ReadCUTPalette(std::span<const uint8_t> Bytes);

class TCUTGraphic : public TReaderGraphic {
    FERRONEL_CLASS(TCUTGraphic, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override;
    using TReaderGraphic::CanLoad;
    bool LoadImageProperties(TStream& Stream, uint32_t ImageIndex) override;
    void LoadFromStream(TStream& Stream) override;
    // Loads the file with the palette of the ".pal" file beside it.
    void LoadFromFile(const std::string& FileName) override;

    // The palette file of the load in progress; empty when loading from a stream alone, which
    // gives a grey ramp.
    std::string PaletteFile;

private:
    THeaderCheck ReadHeader(TStream& Stream);

    TCUTHeader FHeader;
};

} // namespace ferronel
