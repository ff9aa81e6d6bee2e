// The colour manager's row routines. Every choice that does not change within a row (sample
// widths, gamma, byte order, planar or interleaved, the order of the colour samples) is made once
// per row by picking a template instance, so the pixel loops run without tests beyond the mask walk.
#include "readers/ColorManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace ferronel {

namespace {

using TManager = TColorManager;

inline uint16_t Swap16(uint16_t v) { return uint16_t(v << 8 | v >> 8); }

template <typename T> inline T Load(const uint8_t* p) {
    if constexpr (sizeof(T) == 1) {
        return *p;
    } else {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
}

template <typename T> inline void Store(uint8_t* p, T v) {
    if constexpr (sizeof(T) == 1)
        *p = v;
    else
        std::memcpy(p, &v, sizeof v);
}

inline uint8_t Clamp8(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Calls F(i) for each target pixel i that Mask selects: bit 7 for pixel 0, rotating right.
template <typename F> inline void ForSelected(uint32_t Count, uint8_t Mask, F&& f) {
    if (Mask == 0xFF) {
        for (uint32_t i = 0; i < Count; ++i) f(i);
        return;
    }
    uint8_t bit = 0x80;
    for (uint32_t i = 0; i < Count; ++i) {
        if (Mask & bit) f(i);
        bit = bit == 1 ? 0x80 : uint8_t(bit >> 1);
    }
}

template <typename F> inline void WithBool(bool b, F&& f) {
    if (b)
        f(std::true_type{});
    else
        f(std::false_type{});
}

// Per-sample rules of the colour routines.
template <bool Gamma> struct TCopy8 {
    const uint8_t* Table;
    uint8_t operator()(uint8_t v) const { return Gamma ? Table[v] : v; }
};
template <bool Gamma, bool SwapOut> struct TWiden8 {
    const uint8_t* Table;
    uint16_t operator()(uint8_t v) const {
        const uint16_t w = uint16_t((Gamma ? Table[v] : v) * 257);
        return SwapOut ? Swap16(w) : w;
    }
};
template <bool SwapIn, bool Gamma> struct TNarrow16 {
    const uint8_t* Table;
    uint8_t operator()(uint16_t v) const {
        if (SwapIn) v = Swap16(v);
        const uint8_t n = uint8_t(uint32_t(v) * 255u / 65535u);
        return Gamma ? Table[n] : n;
    }
};
template <bool SwapIn> struct TCopy16 {
    uint16_t operator()(uint16_t v) const { return SwapIn ? Swap16(v) : v; }
};

// Source sample access: interleaved (one pointer, Step samples a pixel) or planar (a pointer a sample).
template <typename S, bool Planar> struct TSourceWalker {
    const uint8_t* Planes[4] = {};
    size_t Step = 0; // bytes per interleaved pixel

    TSourceWalker(TSourceRows rows, size_t samplesPerPixel) {
        for (size_t k = 0; k < std::min<size_t>(rows.size(), 4); ++k) Planes[k] = rows[k];
        Step = samplesPerPixel * sizeof(S);
    }
    S Get(size_t k) const {
        if constexpr (Planar)
            return Load<S>(Planes[k]);
        else
            return Load<S>(Planes[0] + k * sizeof(S));
    }
    void Next() {
        if constexpr (Planar) {
            for (const uint8_t*& p : Planes)
                if (p) p += sizeof(S);
        } else {
            Planes[0] += Step;
        }
    }
};

// Calls F with a walker type for the source layout: planar when more than one pointer. A planar
// source needs a plane for every sample it uses; with fewer nothing is converted.
template <typename S, typename F>
inline void WithSource(TSourceRows rows, size_t samples, size_t planesNeeded, F&& f) {
    if (rows.size() > 1) {
        if (rows.size() < planesNeeded) return;
        f(TSourceWalker<S, true>(rows, samples));
    } else {
        f(TSourceWalker<S, false>(rows, samples));
    }
}

// ---------------------------------------------------------------------------------------------------------
// RGB and BGR, the model of the colour routines

struct TRgbLayout {
    size_t SourceSamples; // 3, or 4 with a source alpha
    size_t TargetSamples; // 3, or 4 with a target alpha
    bool CopyAlpha;       // both sides have alpha
};

template <bool SwapOrder, typename D, typename W, typename F, typename A>
void RgbLoop(const TRgbLayout& L, W src, uint8_t* dst, uint32_t count, uint8_t mask, F f, A a) {
    const size_t pixel = L.TargetSamples * sizeof(D);
    ForSelected(count, mask, [&](uint32_t i) {
        uint8_t* t = dst + size_t(i) * pixel;
        for (size_t c = 0; c < 3; ++c) Store<D>(t + c * sizeof(D), D(f(src.Get(SwapOrder ? 2 - c : c))));
        if (L.CopyAlpha) Store<D>(t + 3 * sizeof(D), D(a(src.Get(3))));
        src.Next();
    });
}

// The common 8-bit rows without gamma: plain shuffles the compiler can vectorise.
bool FastRgb8(bool swapOrder, const TRgbLayout& L, const uint8_t* s, uint8_t* d, uint32_t count) {
    if (L.SourceSamples != L.TargetSamples || (L.SourceSamples == 4 && !L.CopyAlpha)) return false;
    if (!swapOrder) {
        std::memmove(d, s, size_t(count) * L.SourceSamples);
        return true;
    }
    if (L.SourceSamples == 4) {
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v;
            std::memcpy(&v, s + 4 * size_t(i), 4);
            v = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
            std::memcpy(d + 4 * size_t(i), &v, 4);
        }
        return true;
    }
    const uint32_t done = simd::SwapRgb3(s, d, count);
    s += 3 * size_t(done);
    d += 3 * size_t(done);
    for (uint32_t i = done; i < count; ++i, s += 3, d += 3) {
        const uint8_t r = s[0], g = s[1], b = s[2];
        d[0] = b;
        d[1] = g;
        d[2] = r;
    }
    return true;
}

template <bool SourceIsBGR, bool TargetIsBGR>
void ConvertRgbFamily(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    constexpr bool swapOrder = SourceIsBGR != TargetIsBGR;
    const bool sourceAlpha = M.SourceOptions.Contains(coxAlpha),
               targetAlpha = M.TargetOptions.Contains(coxAlpha);
    const bool planar = src.size() > 1;
    TRgbLayout L{size_t(sourceAlpha ? 4 : 3), size_t(targetAlpha ? 4 : 3),
                 sourceAlpha && targetAlpha && (!planar || src.size() >= 4)};
    const bool gamma = M.TargetOptions.Contains(coxApplyGamma), swap = M.SourceOptions.Contains(coxSwapBytes);
    const uint8_t* table = M.GammaTable().data();
    const uint8_t sb = M.SourceBitsPerSample(), tb = M.TargetBitsPerSample();
    const size_t planes = L.CopyAlpha ? 4 : 3;

    if (sb == 8 && tb == 8) {
        if (!gamma && !planar && mask == 0xFF && FastRgb8(swapOrder, L, src[0], dst, count)) return;
        WithSource<uint8_t>(src, L.SourceSamples, planes, [&](auto w) {
            WithBool(gamma, [&](auto G) {
                RgbLoop<swapOrder, uint8_t>(L, w, dst, count, mask, TCopy8<G>{table}, TCopy8<false>{});
            });
        });
    } else if (sb == 8 && tb == 16) {
        WithSource<uint8_t>(src, L.SourceSamples, planes, [&](auto w) {
            WithBool(gamma, [&](auto G) {
                WithBool(swap, [&](auto W) {
                    RgbLoop<swapOrder, uint16_t>(L, w, dst, count, mask, TWiden8<G, W>{table},
                                                 TWiden8<false, W>{table});
                });
            });
        });
    } else if (sb == 16 && tb == 8) {
        WithSource<uint16_t>(src, L.SourceSamples, planes, [&](auto w) {
            WithBool(gamma, [&](auto G) {
                WithBool(swap, [&](auto W) {
                    RgbLoop<swapOrder, uint8_t>(L, w, dst, count, mask, TNarrow16<W, G>{table},
                                                TNarrow16<W, false>{table});
                });
            });
        });
    } else if (sb == 16 && tb == 16) {
        WithSource<uint16_t>(src, L.SourceSamples, planes, [&](auto w) {
            WithBool(swap, [&](auto W) {
                RgbLoop<swapOrder, uint16_t>(L, w, dst, count, mask, TCopy16<W>{}, TCopy16<W>{});
            });
        });
    }
}

// ---------------------------------------------------------------------------------------------------------
// Grey

template <typename S, typename D, typename F>
void GrayLoop(const uint8_t* s, size_t step, uint8_t* d, uint32_t count, uint8_t mask, F f) {
    ForSelected(count, mask, [&](uint32_t i) {
        Store<D>(d + size_t(i) * sizeof(D), D(f(Load<S>(s))));
        s += step;
    });
}

void ConvertGray(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    const uint8_t sb = M.SourceBitsPerSample(), tb = M.TargetBitsPerSample();
    const size_t samples = M.SourceOptions.Contains(coxAlpha) ? 2 : 1;
    const bool swap = M.SourceOptions.Contains(coxSwapBytes);
    const uint8_t* s = src[0];
    if (sb == 8 && tb == 8)
        GrayLoop<uint8_t, uint8_t>(s, samples, dst, count, mask, TCopy8<false>{});
    else if (sb == 8 && tb == 16)
        GrayLoop<uint8_t, uint16_t>(s, samples, dst, count, mask, TWiden8<false, false>{});
    else if (sb == 16 && tb == 8)
        WithBool(swap, [&](auto W) {
            GrayLoop<uint16_t, uint8_t>(s, 2 * samples, dst, count, mask, TNarrow16<W, false>{});
        });
    else if (sb == 16 && tb == 16)
        WithBool(swap, [&](auto W) {
            GrayLoop<uint16_t, uint16_t>(s, 2 * samples, dst, count, mask, TCopy16<W>{});
        });
}

// ---------------------------------------------------------------------------------------------------------
// Indexed (and grey of up to 8 bits): packed fields

bool IsFieldWidth(uint8_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }

// Writes value v into pixel i's field of a row packed with T-bit fields, keeping the other bits.
inline void PutField(uint8_t* row, uint32_t i, uint32_t T, uint32_t v) {
    const uint32_t perByte = 8 / T;
    uint8_t& b = row[i / perByte];
    const uint32_t shift = 8 - T * (i % perByte + 1);
    const uint32_t fieldMask = ((1u << T) - 1) << shift;
    b = uint8_t((b & ~fieldMask) | ((v << shift) & fieldMask));
}

// Reads the fields of a packed source row one after another.
struct TFieldReader {
    const uint8_t* P;
    uint32_t Bits;
    uint32_t Used = 0; // bits of *P already read
    uint32_t Next() {
        const uint32_t v = (uint32_t(*P) >> (8 - Bits - Used)) & ((1u << Bits) - 1);
        Used += Bits;
        if (Used == 8) Used = 0, ++P;
        return v;
    }
};

void ConvertIndexed8(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    const uint32_t S = M.SourceBitsPerSample(), T = M.TargetBitsPerSample();
    if (!IsFieldWidth(uint8_t(S)) || !IsFieldWidth(uint8_t(T))) return;
    if (S == T && mask == 0xFF) {
        std::memcpy(dst, src[0], (size_t(count) * S + 7) / 8);
        return;
    }
    const uint32_t sMax = (1u << S) - 1, tMax = (1u << T) - 1;
    TFieldReader reader{src[0], S};
    if (T == 8 && S == 8)
        ForSelected(count, mask, [&](uint32_t i) { dst[i] = uint8_t(reader.Next()); });
    else
        ForSelected(count, mask, [&](uint32_t i) { PutField(dst, i, T, reader.Next() * tMax / sMax); });
}

void ConvertIndexed16To16(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    if (M.SourceBitsPerSample() != 16 || M.TargetBitsPerSample() != 16) return;
    const bool swap = M.SourceOptions.Contains(coxSwapBytes);
    if (!swap && mask == 0xFF) {
        std::memcpy(dst, src[0], size_t(count) * 2);
        return;
    }
    WithBool(swap, [&](auto W) { GrayLoop<uint16_t, uint16_t>(src[0], 2, dst, count, mask, TCopy16<W>{}); });
}

void ConvertIndexed16To8(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    const uint32_t T = M.TargetBitsPerSample();
    if (M.SourceBitsPerSample() != 16 || !IsFieldWidth(uint8_t(T))) return;
    const bool swap = M.SourceOptions.Contains(coxSwapBytes);
    const uint32_t tMax = (1u << T) - 1;
    const uint8_t* s = src[0];
    ForSelected(count, mask, [&](uint32_t i) {
        uint16_t v = Load<uint16_t>(s);
        if (swap) v = Swap16(v);
        PutField(dst, i, T, uint32_t(v) * tMax / 65535u);
        s += 2;
    });
}

void ConvertIndexed8To16(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    const uint32_t S = M.SourceBitsPerSample();
    if (!IsFieldWidth(uint8_t(S)) || M.TargetBitsPerSample() != 16) return;
    const bool swap = M.SourceOptions.Contains(coxSwapBytes);
    const uint32_t sMax = (1u << S) - 1;
    TFieldReader reader{src[0], S};
    ForSelected(count, mask, [&](uint32_t i) {
        uint16_t v = uint16_t(reader.Next() * 65535u / sMax);
        Store<uint16_t>(dst + 2 * size_t(i), swap ? Swap16(v) : v);
    });
}

// ---------------------------------------------------------------------------------------------------------
// CMYK, L*a*b*, YCbCr and PhotoYCC: computed in 8 (or 16) bits, written in the target's order

// Writes an 8-bit red, green, blue result (or a 16-bit one) into target pixel i.
template <bool TargetIsBGR, typename D>
inline void PutColour(uint8_t* dst, uint32_t i, size_t samples, D r, D g, D b) {
    uint8_t* t = dst + size_t(i) * samples * sizeof(D);
    Store<D>(t, TargetIsBGR ? b : r);
    Store<D>(t + sizeof(D), g);
    Store<D>(t + 2 * sizeof(D), TargetIsBGR ? r : b);
}

// CMYK per-sample rules, one for each pair of widths; K is the pixel's black sample.
struct TCmyk8To8 {
    uint8_t operator()(int32_t x, int32_t k) const { return Clamp8(x * k / 255 - x - k + 255); }
};
struct TCmyk8To16 {
    uint16_t operator()(int32_t x, int32_t k) const { return uint16_t(TCmyk8To8{}(x, k) * 257); }
};
struct TCmyk16To8 {
    uint8_t operator()(uint32_t x, uint32_t k) const {
        const uint32_t m = x * k / 65535u;
        const uint32_t o = uint16_t(x + k - m) * 255u / 65535u;
        return Clamp8(255 - int32_t(o));
    }
};
struct TCmyk16To16 {
    uint16_t operator()(uint32_t x, uint32_t k) const { return uint16_t(65535u - x - k + x * k / 65535u); }
};

template <bool TargetIsBGR, typename D, typename W, typename F>
void CmykLoop(W w, uint8_t* dst, size_t ts, uint32_t count, uint8_t mask, F part) {
    ForSelected(count, mask, [&](uint32_t i) {
        const auto k = w.Get(3);
        PutColour<TargetIsBGR, D>(dst, i, ts, part(w.Get(0), k), part(w.Get(1), k), part(w.Get(2), k));
        w.Next();
    });
}

template <bool TargetIsBGR>
void ConvertCMYK(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    const uint8_t sb = M.SourceBitsPerSample(), tb = M.TargetBitsPerSample();
    if ((sb != 8 && sb != 16) || (tb != 8 && tb != 16)) return;
    const size_t ts = M.TargetOptions.Contains(coxAlpha) ? 4 : 3;
    if (sb == 8) {
        WithSource<uint8_t>(src, 4, 4, [&](auto w) {
            if (tb == 8)
                CmykLoop<TargetIsBGR, uint8_t>(w, dst, ts, count, mask, TCmyk8To8{});
            else
                CmykLoop<TargetIsBGR, uint16_t>(w, dst, ts, count, mask, TCmyk8To16{});
        });
    } else {
        WithSource<uint16_t>(src, 4, 4, [&](auto w) {
            if (tb == 8)
                CmykLoop<TargetIsBGR, uint8_t>(w, dst, ts, count, mask, TCmyk16To8{});
            else
                CmykLoop<TargetIsBGR, uint16_t>(w, dst, ts, count, mask, TCmyk16To16{});
        });
    }
}

// One L*a*b* pixel to 8-bit red, green and blue, in double precision.
inline void LabToRgb(double L, double a, double b, uint8_t& red, uint8_t& green, uint8_t& blue) {
    double X, Y, Z;
    if (L < 7.9996) {
        Y = L / 903.3;
        X = Y + a / 3893.5;
        Z = Y - b / 1557.4;
    } else {
        const double fy = (L + 16) / 116;
        X = std::pow(fy + a / 500, 3);
        Y = fy * fy * fy;
        Z = std::pow(fy - b / 200, 3);
    }
    auto channel = [](double v) { return Clamp8(int32_t(std::clamp(std::nearbyint(v * 255), -1.0, 256.0))); };
    red = channel(2.998 * X - 1.458 * Y - 0.541 * Z);
    green = channel(-0.952 * X + 1.893 * Y + 0.059 * Z);
    blue = channel(0.099 * X - 0.198 * Y + 1.099 * Z);
}

// 8-bit samples and 16-bit ones alike: with the offset the value less 128, else its first byte as
// a signed byte.
template <bool TargetIsBGR, typename D, typename W>
void LabLoop(W w, uint8_t* dst, size_t ts, uint32_t count, uint8_t mask, bool byteL, bool offset) {
    ForSelected(count, mask, [&](uint32_t i) {
        double L = w.Get(0);
        if (byteL) L /= 2.55;
        const double a = offset ? double(w.Get(1)) - 128 : double(int8_t(uint8_t(w.Get(1))));
        const double b = offset ? double(w.Get(2)) - 128 : double(int8_t(uint8_t(w.Get(2))));
        uint8_t r, g, bl;
        LabToRgb(L, a, b, r, g, bl);
        if constexpr (sizeof(D) == 1)
            PutColour<TargetIsBGR, uint8_t>(dst, i, ts, r, g, bl);
        else
            PutColour<TargetIsBGR, uint16_t>(dst, i, ts, uint16_t(r * 257), uint16_t(g * 257),
                                             uint16_t(bl * 257));
        w.Next();
    });
}

template <bool TargetIsBGR>
void ConvertLab(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    const uint8_t sb = M.SourceBitsPerSample(), tb = M.TargetBitsPerSample();
    if ((sb != 8 && sb != 16) || (tb != 8 && tb != 16)) return;
    const size_t ts = M.TargetOptions.Contains(coxAlpha) ? 4 : 3;
    const bool byteL = M.SourceOptions.Contains(coxLabByteLightness);
    const bool offset = M.SourceOptions.Contains(coxLabChromaOffset);
    auto rows = [&](auto w) {
        if (tb == 8)
            LabLoop<TargetIsBGR, uint8_t>(w, dst, ts, count, mask, byteL, offset);
        else
            LabLoop<TargetIsBGR, uint16_t>(w, dst, ts, count, mask, byteL, offset);
    };
    if (sb == 8)
        WithSource<uint8_t>(src, 3, 3, rows);
    else
        WithSource<uint16_t>(src, 3, 3, rows);
}

template <bool TargetIsBGR, typename S, typename D, typename W>
void YccLoop(const TColorManager::TChromaTables& t, W w, uint8_t* dst, size_t ts, uint32_t count,
             uint8_t mask) {
    ForSelected(count, mask, [&](uint32_t i) {
        auto eight = [&](size_t k) -> int32_t {
            if constexpr (sizeof(S) == 1)
                return w.Get(k);
            else
                return int32_t(uint32_t(w.Get(k)) * 255u / 65535u);
        };
        const int32_t y = eight(0), cb = eight(1), cr = eight(2);
        const uint8_t b = Clamp8(y + t.CbToBlue[size_t(cb)]);
        const uint8_t g = Clamp8(y + t.CbToGreen[size_t(cb)] + t.CrToGreen[size_t(cr)]);
        const uint8_t r = Clamp8(y + t.CrToRed[size_t(cr)]);
        if constexpr (sizeof(D) == 1)
            PutColour<TargetIsBGR, uint8_t>(dst, i, ts, r, g, b);
        else
            PutColour<TargetIsBGR, uint16_t>(dst, i, ts, uint16_t(r * 257), uint16_t(g * 257),
                                             uint16_t(b * 257));
        w.Next();
    });
}

// YCbCr and PhotoYCC differ only in their tables. 16-bit sources with 16-bit targets give the 8-bit
// result widened.
template <bool TargetIsBGR>
void ConvertYcc(const TManager& M, TSourceRows src, uint8_t* dst, uint32_t count, uint8_t mask) {
    const uint8_t sb = M.SourceBitsPerSample(), tb = M.TargetBitsPerSample();
    if ((sb != 8 && sb != 16) || (tb != 8 && tb != 16)) return;
    const size_t ts = M.TargetOptions.Contains(coxAlpha) ? 4 : 3;
    const auto& t = M.ChromaTables();
    if (sb == 8 && tb == 8 && src.size() == 1 && mask == 0xFF) {
        // The common row: interleaved 8-bit samples, every pixel.
        const uint8_t* s = src[0];
        uint32_t i = 0;
        if (ts == 3 && t.FactorsExact) {
            i = simd::YccToColour3(t.Factors, TargetIsBGR, s, dst, count);
            s += 3 * size_t(i);
            dst += 3 * size_t(i);
        }
        for (; i < count; ++i, s += 3, dst += ts) {
            const int32_t y = s[0], cb = s[1], cr = s[2];
            const uint8_t b = Clamp8(y + t.CbToBlue[cb]);
            const uint8_t g = Clamp8(y + t.CbToGreen[cb] + t.CrToGreen[cr]);
            const uint8_t r = Clamp8(y + t.CrToRed[cr]);
            dst[0] = TargetIsBGR ? b : r;
            dst[1] = g;
            dst[2] = TargetIsBGR ? r : b;
        }
        return;
    }
    if (sb == 8) {
        WithSource<uint8_t>(src, 3, 3, [&](auto w) {
            if (tb == 8)
                YccLoop<TargetIsBGR, uint8_t, uint8_t>(t, w, dst, ts, count, mask);
            else
                YccLoop<TargetIsBGR, uint8_t, uint16_t>(t, w, dst, ts, count, mask);
        });
    } else {
        WithSource<uint16_t>(src, 3, 3, [&](auto w) {
            if (tb == 8)
                YccLoop<TargetIsBGR, uint16_t, uint8_t>(t, w, dst, ts, count, mask);
            else
                YccLoop<TargetIsBGR, uint16_t, uint16_t>(t, w, dst, ts, count, mask);
        });
    }
}

} // namespace

TColorManager::TConvertMethod SelectConvertMethod(const TColorManager& M) {
    const TColorScheme target = M.TargetColorScheme();
    const bool rgbTarget = target == csRGB || target == csRGBA;
    const bool bgrTarget = target == csBGR || target == csBGRA;
    const uint8_t sb = M.SourceBitsPerSample(), tb = M.TargetBitsPerSample();
    switch (M.SourceColorScheme()) {
    case csIndexed:
        if (sb == 16 && tb == 16) return ConvertIndexed16To16;
        if (sb == 16) return ConvertIndexed16To8;
        if (tb == 16) return ConvertIndexed8To16;
        return ConvertIndexed8;
    case csGray:
        if (sb != 16 && tb != 16) return ConvertIndexed8;
        if (sb >= 8 && tb >= 8) return ConvertGray;
        return nullptr;
    case csGrayAlpha:
        if ((sb == 8 || sb == 16) && (tb == 8 || tb == 16)) return ConvertGray;
        return nullptr;
    case csRGB:
    case csRGBA:
        if (rgbTarget) return ConvertRgbFamily<false, false>;
        if (bgrTarget) return ConvertRgbFamily<false, true>;
        return nullptr;
    case csBGR:
    case csBGRA:
        if (rgbTarget) return ConvertRgbFamily<true, false>;
        if (bgrTarget) return ConvertRgbFamily<true, true>;
        return nullptr;
    case csCMYK:
        if (rgbTarget) return ConvertCMYK<false>;
        if (bgrTarget) return ConvertCMYK<true>;
        return nullptr;
    case csCIELab:
        if (rgbTarget) return ConvertLab<false>;
        if (bgrTarget) return ConvertLab<true>;
        return nullptr;
    case csYCbCr:
    case csPhotoYCC:
        if (rgbTarget) return ConvertYcc<false>;
        if (bgrTarget) return ConvertYcc<true>;
        return nullptr;
    default: return nullptr;
    }
}

} // namespace ferronel
