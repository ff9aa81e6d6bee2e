// Packs the bytes of a frame's code stream into data sub-blocks: a length byte (1..255) followed by
// that many bytes. Whole blocks go to the target stream at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ferronel {

class TStream;

class TGIFWriter {
public:
    explicit TGIFWriter(TStream& Target) : FTarget(Target) {}
    TGIFWriter(const TGIFWriter&) = delete;
    TGIFWriter& operator=(const TGIFWriter&) = delete;

    void Write(uint8_t Byte) {
        FBlock[FBlockFill++] = Byte;
        if (FBlockFill == FBlock.size()) WriteBlock();
    }
    // Writes the last, shorter block when bytes are pending; the caller then writes the terminator.
    void Flush() {
        if (FBlockFill > 1) WriteBlock();
    }

private:
    void WriteBlock();

    TStream& FTarget;
    // The first byte is the block's length.
    std::array<uint8_t, 256> FBlock{};
    size_t FBlockFill = 1;
};

} // namespace ferronel
