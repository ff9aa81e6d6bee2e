#include "readers/ColorRoutinesSimd.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <array>

namespace ferronel::simd {

namespace {

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

using TMask = std::array<int8_t, 16>;

// Gathers every third byte from Offset of 48 bytes (three registers) into one register: the part
// that register Part (0..2) contributes.
constexpr TMask GatherMask(int Offset, int Part) {
    TMask m{};
    for (int i = 0; i < 16; ++i) {
        const int from = 3 * i + Offset - 16 * Part;
        m[size_t(i)] = int8_t(from >= 0 && from < 16 ? from : -128);
    }
    return m;
}

// Spreads a register of 16 samples to every third byte, from Offset, of output register Part.
constexpr TMask ScatterMask(int Offset, int Part) {
    TMask m{};
    for (int j = 0; j < 16; ++j) {
        const int out = 16 * Part + j;
        m[size_t(j)] = int8_t(out % 3 == Offset ? out / 3 : -128);
    }
    return m;
}

template <int Offset, int Part> __attribute__((target("ssse3"))) inline __m128i Mask() {
    static constexpr TMask m = Offset >= 0 ? GatherMask(Offset, Part) : ScatterMask(-Offset - 1, Part);
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.data()));
}

template <int Offset>
__attribute__((target("ssse3"))) inline __m128i Gather(__m128i a, __m128i b, __m128i c) {
    return _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(a, Mask<Offset, 0>()), _mm_shuffle_epi8(b, Mask<Offset, 1>())),
        _mm_shuffle_epi8(c, Mask<Offset, 2>()));
}

template <int Part>
__attribute__((target("ssse3"))) inline __m128i Scatter(__m128i x0, __m128i x1, __m128i x2) {
    return _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(x0, Mask<-1, Part>()), _mm_shuffle_epi8(x1, Mask<-2, Part>())),
        _mm_shuffle_epi8(x2, Mask<-3, Part>()));
}

__attribute__((target("ssse3"))) uint32_t SwapRgb3Ssse3(const uint8_t* s, uint8_t* d, uint32_t count) {
    // Five pixels a step; the sixteenth byte is stored unchanged, so working in place is safe.
    const __m128i m = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    uint32_t i = 0;
    for (; i + 6 <= count; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * size_t(i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * size_t(i)), _mm_shuffle_epi8(v, m));
    }
    return i;
}

__attribute__((target("ssse3"))) uint32_t YccSsse3(const TYccFactors& f, bool bgr, const uint8_t* s,
                                                   uint8_t* d, uint32_t count) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i crOffset = _mm_set1_epi16(f.CrOffset), cbOffset = _mm_set1_epi16(f.CbOffset);
    const __m128i kr = _mm_set1_epi16(f.CrToRed), kb = _mm_set1_epi16(f.CbToBlue);
    const __m128i krg = _mm_set1_epi16(f.CrToGreen), kbg = _mm_set1_epi16(f.CbToGreen);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16, s += 48, d += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
        const __m128i y = Gather<0>(a, b, c), cb = Gather<1>(a, b, c), cr = Gather<2>(a, b, c);
        __m128i out[3][2]; // blue, green, red; low and high eight pixels
        for (int half = 0; half < 2; ++half) {
            const auto widen = [&](__m128i v) {
                return half == 0 ? _mm_unpacklo_epi8(v, zero) : _mm_unpackhi_epi8(v, zero);
            };
            const __m128i y16 = widen(y);
            __m128i db = _mm_sub_epi16(widen(cb), cbOffset);
            __m128i dr = _mm_sub_epi16(widen(cr), crOffset);
            db = _mm_add_epi16(db, db);
            dr = _mm_add_epi16(dr, dr);
            out[0][half] = _mm_add_epi16(y16, _mm_mulhrs_epi16(db, kb));
            out[1][half] =
                _mm_sub_epi16(_mm_sub_epi16(y16, _mm_mulhrs_epi16(db, kbg)), _mm_mulhrs_epi16(dr, krg));
            out[2][half] = _mm_add_epi16(y16, _mm_mulhrs_epi16(dr, kr));
        }
        // Packing with unsigned saturation is the clamp to 0..255.
        const __m128i blue = _mm_packus_epi16(out[0][0], out[0][1]);
        const __m128i green = _mm_packus_epi16(out[1][0], out[1][1]);
        const __m128i red = _mm_packus_epi16(out[2][0], out[2][1]);
        const __m128i first = bgr ? blue : red, last = bgr ? red : blue;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), Scatter<0>(first, green, last));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), Scatter<1>(first, green, last));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), Scatter<2>(first, green, last));
    }
    return i;
}

} // namespace

uint32_t SwapRgb3(const uint8_t* Source, uint8_t* Target, uint32_t Count) {
    return HasSsse3() ? SwapRgb3Ssse3(Source, Target, Count) : 0;
}

uint32_t YccToColour3(const TYccFactors& Factors, bool TargetIsBGR, const uint8_t* Source, uint8_t* Target,
                      uint32_t Count) {
    return HasSsse3() ? YccSsse3(Factors, TargetIsBGR, Source, Target, Count) : 0;
}

} // namespace ferronel::simd

#else

namespace ferronel::simd {
uint32_t SwapRgb3(const uint8_t*, uint8_t*, uint32_t) { return 0; }
uint32_t YccToColour3(const TYccFactors&, bool, const uint8_t*, uint8_t*, uint32_t) { return 0; }
} // namespace ferronel::simd

#endif
