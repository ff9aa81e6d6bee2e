#include "gif/Ditherer.h"

#include <cstring>

namespace ferronel {

namespace {

const TDiffusionKernel FloydSteinberg{16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}};
const TDiffusionKernel Stucki{42,
                              {{0, 1, 8},
                               {0, 2, 4},
                               {1, -2, 2},
                               {1, -1, 4},
                               {1, 0, 8},
                               {1, 1, 4},
                               {1, 2, 2},
                               {2, -2, 1},
                               {2, -1, 2},
                               {2, 0, 4},
                               {2, 1, 2},
                               {2, 2, 1}}};
const TDiffusionKernel Sierra{32,
                              {{0, 1, 5},
                               {0, 2, 3},
                               {1, -2, 2},
                               {1, -1, 4},
                               {1, 0, 5},
                               {1, 1, 4},
                               {1, 2, 2},
                               {2, -1, 2},
                               {2, 0, 3},
                               {2, 1, 2}}};
const TDiffusionKernel JaJuNi{48,
                              {{0, 1, 7},
                               {0, 2, 5},
                               {1, -2, 3},
                               {1, -1, 5},
                               {1, 0, 7},
                               {1, 1, 5},
                               {1, 2, 3},
                               {2, -2, 1},
                               {2, -1, 3},
                               {2, 0, 5},
                               {2, 1, 3},
                               {2, 2, 1}}};
const TDiffusionKernel SteveArche{200,
                                  {{0, 2, 32},
                                   {1, -3, 12},
                                   {1, -1, 26},
                                   {1, 1, 30},
                                   {1, 3, 16},
                                   {2, -2, 12},
                                   {2, 0, 26},
                                   {2, 2, 12},
                                   {3, -3, 5},
                                   {3, -1, 12},
                                   {3, 1, 12},
                                   {3, 3, 5}}};
const TDiffusionKernel Burkes{
    32, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}};

} // namespace

TDitherEngine::TDitherEngine(int32_t Width, const TDiffusionKernel* Kernel) : FWidth(Width), FKernel(Kernel) {
    if (!FKernel) return;
    const size_t rowSize = (size_t(Width) + 2 * Pad) * 3;
    FStore.assign(rowSize * FRows.size(), 0);
    for (size_t i = 0; i < FRows.size(); ++i) FRows[i] = FStore.data() + i * rowSize;
}

void TDitherEngine::NextRow() {
    // The current row's errors are spent; its storage becomes the last row below.
    int32_t* spent = FRows[0];
    std::memset(spent, 0, (size_t(FWidth) + 2 * Pad) * 3 * sizeof(int32_t));
    for (size_t i = 0; i + 1 < FRows.size(); ++i) FRows[i] = FRows[i + 1];
    FRows.back() = spent;
    FDirection = -FDirection;
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int32_t Width) : TDitherEngine(Width, &FloydSteinberg) {}
TStuckiDitherer::TStuckiDitherer(int32_t Width) : TDitherEngine(Width, &Stucki) {}
TSierraDitherer::TSierraDitherer(int32_t Width) : TDitherEngine(Width, &Sierra) {}
TJaJuNiDitherer::TJaJuNiDitherer(int32_t Width) : TDitherEngine(Width, &JaJuNi) {}
TSteveArcheDitherer::TSteveArcheDitherer(int32_t Width) : TDitherEngine(Width, &SteveArche) {}
TBurkesDitherer::TBurkesDitherer(int32_t Width) : TDitherEngine(Width, &Burkes) {}

std::unique_ptr<TDitherEngine> MakeDitherer(uint8_t Kind, int32_t Width) {
    switch (Kind) {
    case dkNone: return std::make_unique<TDitherEngine>(Width, nullptr);
    case dkFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(Width);
    case dkStucki: return std::make_unique<TStuckiDitherer>(Width);
    case dkSierra: return std::make_unique<TSierraDitherer>(Width);
    case dkJaJuNi: return std::make_unique<TJaJuNiDitherer>(Width);
    case dkSteveArche: return std::make_unique<TSteveArcheDitherer>(Width);
    case dkBurkes: return std::make_unique<TBurkesDitherer>(Width);
    default: return nullptr;
    }
}

} // namespace ferronel
