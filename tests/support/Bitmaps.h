// Making bitmaps in tests.
#pragma once

#include "host/Bitmap.h"

#include <memory>

namespace ferronel::test {

inline std::unique_ptr<TBitmap> MakeBitmap(TPixelFormat Format, int32_t Width, int32_t Height) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(Format);
    b->SetSize(Width, Height);
    return b;
}

} // namespace ferronel::test
