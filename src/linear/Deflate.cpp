// The writing side of the deflate stream: greedy matching over hash chains, then dynamic, fixed or
// stored blocks (a dynamic block falls back to stored bytes when those are smaller).
#include "linear/DeflateStream.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <cstring>

namespace ferronel::linear {

namespace {

constexpr size_t History = 32768;
constexpr size_t BlockInput = 131072;
constexpr size_t DataSize = History + BlockInput;
constexpr int HashBits = 15;
constexpr int MaxChain = 48;
constexpr size_t MaxBlockSymbols = 16384;
constexpr size_t MaxBlockBytes = 65535;
constexpr uint32_t MatchFlag = 0x80000000u;

int LengthSymbol(uint32_t Length) {
    int s = 28;
    while (LengthBase[s] > Length) --s;
    return s;
}
int DistanceSymbol(uint32_t Distance) {
    int s = 29;
    while (DistanceBase[s] > Distance) --s;
    return s;
}

uint32_t Hash(const uint8_t* P) {
    const uint32_t v = uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16;
    return (v * 2654435761u) >> (32 - HashBits);
}

} // namespace

void TDeflateStream::PutBits(uint32_t Value, unsigned Count) {
    FOutBits |= uint64_t(Value) << FOutCount;
    FOutCount += Count;
    while (FOutCount >= 8) {
        FOut.push_back(uint8_t(FOutBits));
        FOutBits >>= 8;
        FOutCount -= 8;
    }
}

void TDeflateStream::FlushOutput(bool All) {
    if (FOut.empty() || (!All && FOut.size() < 65536)) return;
    const int32_t n = int32_t(FOut.size());
    const int32_t written = Source().Write(FOut.data(), n);
    FOut.clear();
    if (written < n) throw EInOutError(SWriteLess);
}

int32_t TDeflateStream::Write(const void* Buffer, int32_t Count) {
    if (!FCompressing || FEnded) throw EInOutError(SNotOpenForWrite);
    if (FData.empty()) {
        FData.resize(DataSize + 8);
        FHead.assign(size_t(1) << HashBits, -1);
        FPrev.assign(DataSize, -1);
        FSymbols.reserve(MaxBlockSymbols + 1);
    }
    const auto* from = static_cast<const uint8_t*>(Buffer);
    int32_t left = std::max(Count, 0);
    while (left > 0) {
        const size_t n = std::min(size_t(left), DataSize - FDataFill);
        std::memcpy(FData.data() + FDataFill, from, n);
        FDataFill += n;
        from += n;
        left -= int32_t(n);
        if (FDataFill == DataSize) CompressPending(false);
    }
    return Count;
}

void TDeflateStream::Flush() {
    if (!FCompressing || FEnded) return;
    if (FData.empty()) FData.resize(8);
    CompressPending(true);
    if (FOutCount > 0) PutBits(0, 8 - FOutCount);
    FEnded = true;
    FlushOutput(true);
    Source().Flush();
}

void TDeflateStream::CompressPending(bool Final) {
    uint8_t* const data = FData.data();
    size_t blockStart = FDataDone;
    auto emit = [&](bool Last, size_t End) {
        EmitBlock(Last, blockStart, End);
        FSymbols.clear();
        blockStart = End;
    };
    if (CompressMode == cmStored) {
        FDataDone = FDataFill;
    } else {
        size_t p = FDataDone;
        while (p < FDataFill) {
            const size_t avail = FDataFill - p;
            uint32_t best = 0, bestDistance = 0;
            if (avail >= 3) {
                const uint32_t h = Hash(data + p);
                int32_t candidate = FHead[h];
                const size_t maxLength = std::min<size_t>(avail, 258);
                for (int chain = MaxChain; candidate >= 0 && chain > 0; --chain) {
                    const size_t distance = p - size_t(candidate);
                    if (distance > History) break;
                    const uint8_t* a = data + candidate;
                    const uint8_t* b = data + p;
                    if (a[best] == b[best] && a[0] == b[0]) {
                        uint32_t length = 0;
                        while (length < maxLength && a[length] == b[length]) ++length;
                        if (length > best) {
                            best = length;
                            bestDistance = uint32_t(distance);
                            if (length == maxLength) break;
                        }
                    }
                    candidate = FPrev[size_t(candidate)];
                }
                FPrev[p] = FHead[h];
                FHead[h] = int32_t(p);
            }
            if (best >= 3) {
                FSymbols.push_back(MatchFlag | best << 16 | bestDistance);
                for (size_t q = p + 1; q < p + best && q + 3 <= FDataFill; ++q) {
                    const uint32_t h = Hash(data + q);
                    FPrev[q] = FHead[h];
                    FHead[h] = int32_t(q);
                }
                p += best;
            } else {
                FSymbols.push_back(data[p]);
                ++p;
            }
            if (FSymbols.size() >= MaxBlockSymbols || p - blockStart >= MaxBlockBytes) emit(false, p);
        }
        FDataDone = p;
    }
    if (FDataDone > blockStart || Final) emit(Final, FDataDone);
    FlushOutput(false);

    if (FDataFill == DataSize) {
        // Keep the last 32 KB as history for the next matches.
        const size_t shift = FDataFill - History;
        std::memmove(data, data + shift, History);
        FDataFill -= shift;
        FDataDone -= shift;
        for (int32_t& h : FHead) h = h >= int32_t(shift) ? h - int32_t(shift) : -1;
        for (size_t i = 0; i < History; ++i) {
            const int32_t v = FPrev[i + shift];
            FPrev[i] = v >= int32_t(shift) ? v - int32_t(shift) : -1;
        }
    }
}

void TDeflateStream::EmitBlock(bool Final, size_t Start, size_t End) {
    // The block's bytes are all still in the buffer, which a stored block needs.
    const uint8_t* const bytes = FData.data() + Start;
    const size_t byteCount = End - Start;
    auto stored = [&]() {
        size_t done = 0;
        do {
            const size_t n = std::min<size_t>(byteCount - done, 65535);
            const bool last = Final && done + n == byteCount;
            PutBits(last ? 1 : 0, 1);
            PutBits(0, 2);
            if (FOutCount > 0) PutBits(0, 8 - FOutCount);
            PutBits(uint32_t(n), 16);
            PutBits(uint32_t(n) ^ 0xFFFF, 16);
            FOut.insert(FOut.end(), bytes + done, bytes + done + n);
            done += n;
        } while (done < byteCount);
    };
    if (CompressMode == cmStored) {
        stored();
        return;
    }

    uint32_t litFreq[286] = {}, distFreq[30] = {};
    for (const uint32_t s : FSymbols) {
        if (s & MatchFlag) {
            ++litFreq[257 + LengthSymbol((s >> 16) & 0x1FF)];
            ++distFreq[DistanceSymbol(s & 0xFFFF)];
        } else {
            ++litFreq[s];
        }
    }
    litFreq[256] = 1;
    // 288 literal lengths: the fixed code's canonical order counts the two unused symbols.
    uint8_t lengths[288] = {};
    uint8_t distLengths[30] = {};
    if (CompressMode == cmFixed) {
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        std::fill(distLengths, distLengths + 30, 5);
    } else {
        BuildOptimalLengths(litFreq, 286, 15, lengths);
        BuildOptimalLengths(distFreq, 30, 15, distLengths);
    }

    // The code lengths, run-length coded, for a dynamic header.
    uint32_t literals = 286, distances = 30;
    while (literals > 257 && lengths[literals - 1] == 0) --literals;
    while (distances > 1 && distLengths[distances - 1] == 0) --distances;
    uint8_t all[286 + 30];
    std::memcpy(all, lengths, literals);
    std::memcpy(all + literals, distLengths, distances);
    const uint32_t total = literals + distances;
    std::vector<uint16_t> runs; // symbol | extra value << 8
    for (uint32_t i = 0; i < total;) {
        uint32_t run = 1;
        while (i + run < total && all[i + run] == all[i]) ++run;
        if (all[i] == 0 && run >= 3) {
            const uint32_t n = std::min<uint32_t>(run, 138);
            runs.push_back(n >= 11 ? uint16_t(18 | (n - 11) << 8) : uint16_t(17 | (n - 3) << 8));
            i += n;
        } else if (all[i] != 0 && run >= 4) {
            runs.push_back(all[i]);
            const uint32_t n = std::min<uint32_t>(run - 1, 6);
            runs.push_back(uint16_t(16 | (n - 3) << 8));
            i += 1 + n;
        } else {
            runs.push_back(all[i]);
            ++i;
        }
    }
    uint32_t clFreq[19] = {};
    for (const uint16_t r : runs) ++clFreq[r & 0xFF];
    uint8_t clLengths[19];
    BuildOptimalLengths(clFreq, 19, 7, clLengths);
    uint32_t clCount = 19;
    while (clCount > 4 && clLengths[CodeLengthOrder[clCount - 1]] == 0) --clCount;

    // Bits of each form, to pick the smallest.
    uint64_t payload = 0, fixedPayload = 0;
    uint8_t fixedLit[288];
    std::fill(fixedLit, fixedLit + 144, 8);
    std::fill(fixedLit + 144, fixedLit + 256, 9);
    std::fill(fixedLit + 256, fixedLit + 280, 7);
    std::fill(fixedLit + 280, fixedLit + 288, 8);
    for (int s = 0; s < 286; ++s) {
        const uint64_t extra = s >= 257 ? LengthExtra[s - 257] : 0;
        payload += litFreq[s] * (lengths[s] + extra);
        fixedPayload += litFreq[s] * (fixedLit[s] + extra);
    }
    for (int d = 0; d < 30; ++d) {
        payload += distFreq[d] * (distLengths[d] + DistanceExtra[d]);
        fixedPayload += distFreq[d] * (5u + DistanceExtra[d]);
    }
    uint64_t header = 14 + 3 * clCount;
    for (const uint16_t r : runs) {
        const int s = r & 0xFF;
        header += clLengths[s] + (s == 16 ? 2 : s == 17 ? 3 : s == 18 ? 7 : 0);
    }
    const uint64_t storedBits = (byteCount / 65535 + 1) * 40 + byteCount * 8;
    if (CompressMode == cmDynamic && storedBits < header + payload && storedBits < fixedPayload) {
        stored();
        return;
    }
    const bool fixed = CompressMode == cmFixed || fixedPayload <= header + payload;
    if (fixed) {
        std::memcpy(lengths, fixedLit, 288);
        std::fill(distLengths, distLengths + 30, 5);
    }

    PutBits(Final ? 1 : 0, 1);
    PutBits(fixed ? 1 : 2, 2);
    if (!fixed) {
        PutBits(literals - 257, 5);
        PutBits(distances - 1, 5);
        PutBits(clCount - 4, 4);
        for (uint32_t i = 0; i < clCount; ++i) PutBits(clLengths[CodeLengthOrder[i]], 3);
        uint16_t clCodes[19];
        BuildCodes(clLengths, 19, clCodes);
        for (const uint16_t r : runs) {
            const int s = r & 0xFF;
            PutBits(clCodes[s], clLengths[s]);
            if (s == 16) PutBits(r >> 8, 2);
            if (s == 17) PutBits(r >> 8, 3);
            if (s == 18) PutBits(r >> 8, 7);
        }
    }
    uint16_t litCodes[288], distCodes[30];
    BuildCodes(lengths, 288, litCodes);
    BuildCodes(distLengths, 30, distCodes);
    for (const uint32_t s : FSymbols) {
        if (s & MatchFlag) {
            const uint32_t length = (s >> 16) & 0x1FF, distance = s & 0xFFFF;
            const int ls = LengthSymbol(length), ds = DistanceSymbol(distance);
            PutBits(litCodes[257 + ls], lengths[257 + ls]);
            PutBits(length - LengthBase[ls], LengthExtra[ls]);
            PutBits(distCodes[ds], distLengths[ds]);
            PutBits(distance - DistanceBase[ds], DistanceExtra[ds]);
        } else {
            PutBits(litCodes[s], lengths[s]);
        }
    }
    PutBits(litCodes[256], lengths[256]);
}

} // namespace ferronel::linear
