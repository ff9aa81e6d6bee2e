// The largest pixel buffer the system allocates for one picture. Sizes come from files, so a
// damaged header must be refused before the allocation, not by running out of memory.
#pragma once

#include <cstdint>

namespace ferronel {

constexpr uint64_t DefaultPixelBufferLimit = uint64_t(1) << 30; // 1 GiB

uint64_t PixelBufferLimit();
void SetPixelBufferLimit(uint64_t Bytes);

// Raises EInvalidGraphic when Width x Height pixels of BitsPerPixel, in rows padded to 4 bytes,
// would pass the limit; answers the buffer size otherwise.
uint64_t CheckPixelBufferSize(int64_t Width, int64_t Height, int BitsPerPixel);

} // namespace ferronel
