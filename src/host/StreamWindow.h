// Reads a stream through a window of bytes, so that decoders work on memory and the stream is read
// in large blocks rather than row by row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ferronel {

class TStream;

class TStreamWindow {
public:
    explicit TStreamWindow(TStream& Stream, size_t BlockSize = size_t(1) << 20);

    // Makes N bytes available at Data(), or as many as the stream still has; answers how many are.
    size_t Ensure(size_t N);
    const uint8_t* Data() const { return FBuffer.data() + FBegin; }
    size_t Available() const { return FEnd - FBegin; }
    void Consume(size_t N);
    // Puts the stream at the first byte not consumed.
    void Sync();

private:
    TStream& FStream;
    size_t FBlockSize;
    std::vector<uint8_t> FBuffer;
    size_t FBegin = 0, FEnd = 0;
};

} // namespace ferronel
