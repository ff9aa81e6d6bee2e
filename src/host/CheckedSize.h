// Arithmetic on sizes, counts and offsets read from files: products, sums and narrowing that raise
// instead of wrapping, so that a damaged header cannot turn a huge size into a small one.
#pragma once

#include "host/Exceptions.h"

#include <concepts>
#include <cstdint>
#include <limits>
#include <utility>

namespace ferronel {

inline constexpr const char* SSizeOutOfRange = "Size out of range";

[[noreturn]] inline void SizeOutOfRange() { throw EInvalidGraphic(SSizeOutOfRange); }

inline uint64_t CheckedMul(uint64_t A, uint64_t B) {
    uint64_t r;
    if (__builtin_mul_overflow(A, B, &r)) SizeOutOfRange();
    return r;
}
template <typename... T> uint64_t CheckedMul(uint64_t A, uint64_t B, T... More) {
    return CheckedMul(CheckedMul(A, B), uint64_t(More)...);
}

inline uint64_t CheckedAdd(uint64_t A, uint64_t B) {
    uint64_t r;
    if (__builtin_add_overflow(A, B, &r)) SizeOutOfRange();
    return r;
}
template <typename... T> uint64_t CheckedAdd(uint64_t A, uint64_t B, T... More) {
    return CheckedAdd(CheckedAdd(A, B), uint64_t(More)...);
}

// A - B for sizes where B > A means the file is wrong.
inline uint64_t CheckedSub(uint64_t A, uint64_t B) {
    if (B > A) SizeOutOfRange();
    return A - B;
}

// Narrows Value to To, raising when it does not fit (negative into unsigned included).
template <std::integral To, std::integral From> To CheckedCast(From Value) {
    if (!std::in_range<To>(Value)) SizeOutOfRange();
    return static_cast<To>(Value);
}

// Bytes in a row of Width pixels of BitsPerPixel, rounded up to whole bytes.
inline uint64_t CheckedRowBytes(uint64_t Width, uint64_t BitsPerPixel) {
    return CheckedAdd(CheckedMul(Width, BitsPerPixel), 7) / 8;
}

} // namespace ferronel
