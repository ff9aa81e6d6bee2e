#include "gif/RLEEncoder.h"

namespace ferronel {

namespace {

uint32_t IntegerSquareRoot(uint32_t X) {
    if (X < 2) return X;
    uint64_t r = X, next = (r + X / r) / 2;
    while (next < r) {
        r = next;
        next = (r + X / r) / 2;
    }
    return uint32_t(r);
}

} // namespace

void TRLEEncoder::ResetCodes() {
    TGIFEncoder::ResetCodes();
    ClearPending = false;
    CodeWidth = InitialCodeWidth;
    MaxCode = (1u << CodeWidth) - 1;
    FCodeCount = 0;
    FWidenAt = FWidenAtInitial;
    FClearAt = FClearAtInitial;
    FTableMax = 0;
    FJustCleared = true;
}

void TRLEEncoder::OutputPlain(uint32_t Code) {
    FJustCleared = false;
    EmitCode(Code);
    ++FCodeCount;
    // The decoder's table reaches the next power of two with this code.
    if (FCodeCount >= FWidenAt) {
        FWidenAt += 1u << CodeWidth;
        ++CodeWidth;
        MaxCode = (1u << CodeWidth) - 1;
    }
    if (FCodeCount >= FClearAt) ResetCodes();
}

void TRLEEncoder::RestoreForcedClear() {
    FClearAt = FClearAtInitial;
    if (FCodeCount >= FClearAt) ResetCodes();
}

uint32_t TRLEEncoder::TriangleCount(uint32_t Count) const {
    const uint32_t perRepeat = FCodeBudget * (FCodeBudget + 1) / 2;
    uint32_t cost = 0;
    cost += (Count / perRepeat) * FCodeBudget;
    Count %= perRepeat;
    if (Count > 0) {
        uint32_t n = IntegerSquareRoot(Count);
        while (n > 0 && uint64_t(n) * (n + 1) >= 2 * uint64_t(Count)) --n;
        while (uint64_t(n) * (n + 1) < 2 * uint64_t(Count)) ++n;
        cost += n;
    }
    return cost;
}

void TRLEEncoder::FlushFromClear(uint32_t Count) {
    SuspendForcedClear();
    FTablePixel = FRunPixel;
    uint32_t n = 1;
    while (Count > 0) {
        if (n == 1) {
            FTableMax = 1;
            OutputPlain(FRunPixel);
            --Count;
        } else if (Count >= n) {
            // The decoder learns the run of n from this code (its string plus its first index).
            FTableMax = n;
            OutputPlain(BaseCode + n - 2);
            Count -= n;
        } else if (Count == 1) {
            ++FTableMax;
            OutputPlain(FRunPixel);
            Count = 0;
        } else {
            ++FTableMax;
            OutputPlain(BaseCode + Count - 2);
            Count = 0;
        }
        n = FCodeCount == 0 ? 1 : n + 1;
    }
    RestoreForcedClear();
}

void TRLEEncoder::FlushClearOrRepeat(uint32_t Count) {
    if (1 + TriangleCount(Count) < Count) {
        ResetCodes();
        FlushFromClear(Count);
        return;
    }
    for (; Count > 0; --Count) OutputPlain(FRunPixel);
}

void TRLEEncoder::FlushWithTable(uint32_t Count) {
    uint32_t repeats = Count / FTableMax;
    uint32_t leftover = Count % FTableMax;
    uint32_t leftoverCost = leftover ? 1 : 0;
    if (FCodeCount + repeats + leftoverCost > FCodeBudget) {
        repeats = FCodeBudget - FCodeCount;
        leftover = Count - repeats * FTableMax;
        leftoverCost = 1 + TriangleCount(leftover);
    }
    if (1 + TriangleCount(Count) < repeats + leftoverCost) {
        ResetCodes();
        FlushFromClear(Count);
        return;
    }
    SuspendForcedClear();
    for (; repeats > 0; --repeats) OutputPlain(BaseCode + FTableMax - 2);
    if (leftover) {
        if (FJustCleared)
            FlushFromClear(leftover);
        else if (leftover == 1)
            OutputPlain(FRunPixel);
        else
            OutputPlain(BaseCode + leftover - 2);
    }
    RestoreForcedClear();
}

void TRLEEncoder::FlushRun(uint32_t Count) {
    if (Count == 1)
        OutputPlain(FRunPixel);
    else if (FJustCleared)
        FlushFromClear(Count);
    else if (FTableMax < 2 || FTablePixel != FRunPixel)
        FlushClearOrRepeat(Count);
    else
        FlushWithTable(Count);
}

void TRLEEncoder::EncodePixels() {
    FWidenAtInitial = ClearCode - 1;
    FClearAtInitial = BitsPerPixel > 3 ? ClearCode - 2 : 9;
    FCodeBudget = GIFTableSize - 1 - BaseCode;
    ResetCodes();
    uint32_t run = 0;
    ForEachSpan([&](const uint8_t* Span, size_t Count) {
        for (size_t i = 0; i < Count; ++i) {
            const uint8_t c = Span[i];
            CheckIndex(c);
            if (run > 0 && c == FRunPixel) {
                ++run;
                continue;
            }
            if (run > 0) FlushRun(run);
            FRunPixel = c;
            run = 1;
        }
    });
    if (run > 0) FlushRun(run);
}

} // namespace ferronel
