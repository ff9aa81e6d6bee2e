// Small value types shared by the drawing code.
#pragma once

#include <cstdint>

namespace ferronel {

struct TPoint {
    int32_t X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

inline TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return TRect{l, t, r, b}; }

inline void OffsetRect(TRect& R, int32_t DX, int32_t DY) {
    R.Left += DX;
    R.Right += DX;
    R.Top += DY;
    R.Bottom += DY;
}

// Number x Numerator / Denominator with a 64-bit intermediate, rounded half away from zero; -1 when
// the denominator is 0 or the result does not fit.
inline int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator) {
    if (Denominator == 0) return -1;
    const int64_t product = int64_t(Number) * Numerator;
    const bool negative = (product < 0) != (Denominator < 0);
    const uint64_t p = uint64_t(product < 0 ? -product : product);
    const uint64_t d = uint64_t(Denominator < 0 ? -int64_t(Denominator) : int64_t(Denominator));
    const uint64_t q = (p + d / 2) / d;
    if (q > uint64_t(INT32_MAX)) return -1;
    return negative ? -int32_t(q) : int32_t(q);
}

// Colours as the platform stores them: 0x00BBGGRR.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
    return TColor(r) | TColor(g) << 8 | TColor(b) << 16;
}
constexpr uint8_t GetRValue(TColor c) { return uint8_t(c); }
constexpr uint8_t GetGValue(TColor c) { return uint8_t(c >> 8); }
constexpr uint8_t GetBValue(TColor c) { return uint8_t(c >> 16); }

} // namespace ferronel
