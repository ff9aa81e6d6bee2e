// LZW data of TIFF strips and tiles: codes of 9 to 12 bits with a clear code (256) and an end code
// (257). Current files pack the codes most significant bit first and widen them one code early;
// files of the format's first years pack them least significant bit first and widen them when the
// table is full. A stream's first bytes tell which: a current one opens with a clear code, 0x80.
#pragma once

#include "readers/decoders/Decoder.h"

#include <array>
#include <cstdint>

namespace ferronel {

// Units: bytes. Each Decode call is one independent stream; Source and Dest are not advanced.
// A code the table does not hold yet ends the block; the rest of Dest is left as it was.
class TTIFFLZWDecoder : public TDecoder {
    FERRONEL_CLASS(TTIFFLZWDecoder, TDecoder)
public:
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;

private:
    static constexpr uint32_t TableSize = 4096;
    // Each code's string: the code of its prefix, its last and first bytes and its length.
    std::array<uint16_t, TableSize> FPrefix{};
    std::array<uint8_t, TableSize> FSuffix{};
    std::array<uint8_t, TableSize> FFirst{};
    std::array<uint16_t, TableSize> FLength{};
};

} // namespace ferronel
