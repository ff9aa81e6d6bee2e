// Error diffusion: each pixel goes to its lookup's colour and the difference is spread over
// neighbours still to come, by a kernel of weights over the rest of the row and the rows below.
// Rows run in serpentine order (the first left to right, then alternating), and the kernel turns
// with the direction.
#pragma once

#include "host/Object.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace ferronel {

enum TDitherKind : uint8_t {
    dkNone,
    dkFloydSteinberg,
    dkStucki,
    dkSierra,
    dkJaJuNi,
    dkSteveArche,
    dkBurkes,
};

struct TDiffusionTap {
    int8_t Row;    // rows below the current one, 0..3
    int8_t Column; // ahead in the row's direction, -3..3
    uint8_t Weight;
};
struct TDiffusionKernel {
    int32_t Divisor;
    std::vector<TDiffusionTap> Taps;
};

class TDitherEngine : public TObject {
    FERRONEL_ABSTRACT_CLASS(TDitherEngine, TObject)
public:
    // Without a kernel each pixel is only looked up.
    TDitherEngine(int32_t Width, const TDiffusionKernel* Kernel);

    int Direction() const { return FDirection; }
    // Maps one row of pixels (blue, green, red first, BytesPerPixel apart) to indices, walking in
    // this row's direction, and turns for the next row. Where Skip is non-null and Skip[x] is set,
    // the pixel is passed over without output or error.
    template <class TLookup>
    void DitherRow(const uint8_t* Pixels, int BytesPerPixel, uint8_t* Indices, const TLookup& Lookup,
                   const uint8_t* Skip = nullptr);

private:
    static constexpr int32_t Pad = 3;
    int32_t* ErrorAt(int Row, int32_t X) { return FRows[size_t(Row)] + size_t(X + Pad) * 3; }
    void NextRow();

    int32_t FWidth;
    const TDiffusionKernel* FKernel;
    int FDirection = 1;
    std::vector<int32_t> FStore;
    std::array<int32_t*, 4> FRows{};
};

class TFloydSteinbergDitherer : public TDitherEngine {
    FERRONEL_ABSTRACT_CLASS(TFloydSteinbergDitherer, TDitherEngine)
public:
    explicit TFloydSteinbergDitherer(int32_t Width);
};
class TStuckiDitherer : public TDitherEngine {
    FERRONEL_ABSTRACT_CLASS(TStuckiDitherer, TDitherEngine)
public:
    explicit TStuckiDitherer(int32_t Width);
};
class TSierraDitherer : public TDitherEngine {
    FERRONEL_ABSTRACT_CLASS(TSierraDitherer, TDitherEngine)
public:
    explicit TSierraDitherer(int32_t Width);
};
class TJaJuNiDitherer : public TDitherEngine {
    FERRONEL_ABSTRACT_CLASS(TJaJuNiDitherer, TDitherEngine)
public:
    explicit TJaJuNiDitherer(int32_t Width);
};
class TSteveArcheDitherer : public TDitherEngine {
    FERRONEL_ABSTRACT_CLASS(TSteveArcheDitherer, TDitherEngine)
public:
    explicit TSteveArcheDitherer(int32_t Width);
};
class TBurkesDitherer : public TDitherEngine {
    FERRONEL_ABSTRACT_CLASS(TBurkesDitherer, TDitherEngine)
public:
    explicit TBurkesDitherer(int32_t Width);
};

// The ditherer of a kind (dkNone: plain lookup); none for an unknown kind.
std::unique_ptr<TDitherEngine> MakeDitherer(uint8_t Kind, int32_t Width);

template <class TLookup>
void TDitherEngine::DitherRow(const uint8_t* Pixels, int BytesPerPixel, uint8_t* Indices,
                              const TLookup& Lookup, const uint8_t* Skip) {
    const int dir = FDirection;
    int32_t x = dir > 0 ? 0 : FWidth - 1;
    if (!FKernel) {
        for (int32_t i = 0; i < FWidth; ++i, x += dir) {
            if (Skip && Skip[x]) continue;
            const uint8_t* p = Pixels + size_t(x) * size_t(BytesPerPixel);
            uint8_t r, g, b;
            Indices[x] = Lookup.Map(p[2], p[1], p[0], r, g, b);
        }
        FDirection = -dir;
        return;
    }
    const int32_t divisor = FKernel->Divisor, half = divisor / 2;
    for (int32_t i = 0; i < FWidth; ++i, x += dir) {
        if (Skip && Skip[x]) continue;
        const uint8_t* p = Pixels + size_t(x) * size_t(BytesPerPixel);
        const int32_t* carried = ErrorAt(0, x);
        const uint8_t red = uint8_t(std::clamp(p[2] + (carried[0] + half) / divisor, 0, 255));
        const uint8_t green = uint8_t(std::clamp(p[1] + (carried[1] + half) / divisor, 0, 255));
        const uint8_t blue = uint8_t(std::clamp(p[0] + (carried[2] + half) / divisor, 0, 255));
        uint8_t r, g, b;
        Indices[x] = Lookup.Map(red, green, blue, r, g, b);
        const int32_t er = red - r, eg = green - g, eb = blue - b;
        for (const TDiffusionTap& tap : FKernel->Taps) {
            int32_t* e = ErrorAt(tap.Row, x + tap.Column * dir);
            e[0] += er * tap.Weight;
            e[1] += eg * tap.Weight;
            e[2] += eb * tap.Weight;
        }
    }
    NextRow();
}

} // namespace ferronel
