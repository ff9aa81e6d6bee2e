// Sets the pixel-buffer limit for one test and puts back the one before on every exit, so a failed
// assertion or an escaping exception cannot leave a small limit for the tests after it.
#pragma once

#include "host/Limits.h"

#include <cstdint>

namespace ferronel::test {

class TPixelBufferLimitGuard {
public:
    explicit TPixelBufferLimitGuard(uint64_t Bytes) : FPrevious(PixelBufferLimit()) {
        SetPixelBufferLimit(Bytes);
    }
    ~TPixelBufferLimitGuard() { SetPixelBufferLimit(FPrevious); }
    TPixelBufferLimitGuard(const TPixelBufferLimitGuard&) = delete;
    TPixelBufferLimitGuard& operator=(const TPixelBufferLimitGuard&) = delete;

private:
    uint64_t FPrevious;
};

} // namespace ferronel::test
