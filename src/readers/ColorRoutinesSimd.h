// Vector versions of the two hottest rows, used when the processor has SSSE3. Each answers how many
// pixels it converted; the caller finishes the row with the scalar routine.
#pragma once

#include <cstdint>

namespace ferronel::simd {

// Red-green-blue to blue-green-red (or back), 8-bit, 3 bytes a pixel. Source and target may be the same.
uint32_t SwapRgb3(const uint8_t* Source, uint8_t* Target, uint32_t Count);

// YCbCr (or PhotoYCC) to 3-byte BGR (or RGB) with the chroma factors in 1/16384 units and the
// chroma offsets. The caller has checked that these reproduce its chroma tables exactly.
struct TYccFactors {
    int16_t CrToRed, CbToBlue, CrToGreen, CbToGreen; // the green ones as positive factors
    int16_t CrOffset, CbOffset;
};
uint32_t YccToColour3(const TYccFactors& Factors, bool TargetIsBGR, const uint8_t* Source, uint8_t* Target,
                      uint32_t Count);

// The rounding of the vector multiply: (a x b + 2^14) >> 15.
inline int32_t MulHighRound(int32_t a, int32_t b) { return (a * b + 0x4000) >> 15; }

} // namespace ferronel::simd
