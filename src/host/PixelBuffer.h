// The zeroed memory of a bitmap's pixels. It comes from calloc, which hands out large blocks as
// fresh zero pages without a pass over them, so a reader that fills a big picture touches each
// page once instead of twice.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace ferronel {

class TPixelBuffer {
public:
    TPixelBuffer() = default;
    // Raises std::bad_alloc when the memory is not there.
    explicit TPixelBuffer(size_t Size)
        : FData(static_cast<uint8_t*>(std::calloc(Size ? Size : 1, 1))), FSize(Size) {
        if (!FData) throw std::bad_alloc();
    }
    TPixelBuffer(const TPixelBuffer& Other) : TPixelBuffer(Other.FSize) {
        if (FSize) std::memcpy(FData.get(), Other.FData.get(), FSize);
    }
    TPixelBuffer& operator=(const TPixelBuffer& Other) {
        if (this != &Other) *this = TPixelBuffer(Other);
        return *this;
    }
    TPixelBuffer(TPixelBuffer&&) noexcept = default;
    TPixelBuffer& operator=(TPixelBuffer&&) noexcept = default;

    uint8_t* data() { return FData.get(); }
    const uint8_t* data() const { return FData.get(); }
    size_t size() const { return FSize; }
    bool empty() const { return FSize == 0; }
    void swap(TPixelBuffer& Other) noexcept {
        FData.swap(Other.FData);
        std::swap(FSize, Other.FSize);
    }

private:
    struct TFree {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, TFree> FData;
    size_t FSize = 0;
};

} // namespace ferronel
