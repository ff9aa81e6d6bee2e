#include "host/Limits.h"

#include "host/Exceptions.h"
#include "host/Format.h"

#include <atomic>

namespace ferronel {

namespace {
std::atomic<uint64_t> Limit{DefaultPixelBufferLimit};
}

uint64_t PixelBufferLimit() { return Limit.load(); }
void SetPixelBufferLimit(uint64_t Bytes) { Limit.store(Bytes); }

uint64_t CheckPixelBufferSize(int64_t Width, int64_t Height, int BitsPerPixel) {
    if (Width < 0 || Height < 0)
        throw EInvalidGraphic(Format("Invalid picture size %d x %d", {Width, Height}));
    // Each factor is below 2^32, so the products stay inside 64 bits.
    const uint64_t limit = PixelBufferLimit();
    const uint64_t rowBytes = ((uint64_t(Width) * uint64_t(BitsPerPixel) + 31) / 32) * 4;
    if (Width > 0xFFFFFFFFll || Height > 0xFFFFFFFFll || (Height != 0 && rowBytes > limit / uint64_t(Height)))
        throw EInvalidGraphic(Format("Picture too large: %d x %d pixels at %d bits exceed the limit of %d MB",
                                     {Width, Height, BitsPerPixel, int64_t(limit >> 20)}));
    return rowBytes * uint64_t(Height);
}

} // namespace ferronel
