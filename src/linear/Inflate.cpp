// The reading side of the deflate stream.
#include "linear/DeflateStream.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace ferronel::linear {

namespace {

constexpr size_t History = 32768;
constexpr size_t WindowSize = size_t(1) << 18;
constexpr size_t WindowSlack = 16;             // wide match copies may write a few bytes past the match
constexpr size_t DecodeEnd = WindowSize - 262; // room for two literals and a longest match
constexpr size_t InputSize = 65536;
constexpr int LiteralBits = 10;
constexpr int DistanceBits = 8;
constexpr int CodeLengthBits = 7;
// Enough for any complete code of 288 (30) symbols up to 15 bits behind a first level of 10 (8) bits.
constexpr size_t LiteralTableSize = (1u << LiteralBits) + 1664;
constexpr size_t DistanceTableSize = (1u << DistanceBits) + 640;

struct TSymbolEntries {
    std::array<uint32_t, 288> Literal{};
    std::array<uint32_t, 32> Distance{};
    std::array<uint32_t, 19> CodeLength{};
    TSymbolEntries() {
        for (uint32_t s = 0; s < 256; ++s) Literal[s] = HuffmanEntry(s, hkLiteral, 0, 0);
        Literal[256] = HuffmanEntry(0, hkEnd, 0, 0);
        for (uint32_t s = 257; s < 286; ++s)
            Literal[s] = HuffmanEntry(LengthBase[s - 257], hkLength, LengthExtra[s - 257], 0);
        Literal[286] = Literal[287] = HuffmanEntry(0, hkInvalid, 0, 0);
        for (uint32_t d = 0; d < 30; ++d)
            Distance[d] = HuffmanEntry(DistanceBase[d], hkLength, DistanceExtra[d], 0);
        Distance[30] = Distance[31] = HuffmanEntry(0, hkInvalid, 0, 0);
        for (uint32_t s = 0; s < 19; ++s) CodeLength[s] = HuffmanEntry(s, hkLiteral, 0, 0);
    }
};
const TSymbolEntries Symbols;

struct TFixedTables {
    std::array<uint32_t, LiteralTableSize> Literal{};
    std::array<uint32_t, DistanceTableSize> Distance{};
    TFixedTables() {
        uint8_t lengths[288];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        THuffmanBitStream::BuildTable(lengths, 288, Symbols.Literal.data(), LiteralBits, Literal.data(),
                                      Literal.size());
        std::fill(lengths, lengths + 32, 5);
        THuffmanBitStream::BuildTable(lengths, 32, Symbols.Distance.data(), DistanceBits, Distance.data(),
                                      Distance.size());
    }
};
const TFixedTables& FixedTables() {
    static const TFixedTables tables;
    return tables;
}

[[noreturn]] void DataError() { throw Exception(SCompressedDataError); }

inline uint64_t Load64(const uint8_t* P) {
    uint64_t v;
    std::memcpy(&v, P, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// Copies a match of Length bytes from Distance back; may write up to 7 bytes past its end.
inline void CopyMatch(uint8_t* Dest, size_t Distance, size_t Length) {
    const uint8_t* from = Dest - Distance;
    uint8_t* const end = Dest + Length;
    if (Distance >= 8) {
        do {
            std::memcpy(Dest, from, 8);
            Dest += 8;
            from += 8;
        } while (Dest < end);
    } else if (Distance == 1) {
        std::memset(Dest, *from, Length);
    } else {
        do *Dest++ = *from++;
        while (Dest < end);
    }
}

} // namespace

TDeflateStream::TDeflateStream(TBaseStream& Source, int Mode) : THuffmanBitStream(Source) {
    if (!Source.CanRead() && !Source.CanWrite()) throw Exception("Assertion failure");
    FCompressing = Mode == dmCompress || (Mode == dmAuto && Source.CanWrite());
    if (FCompressing && !Source.CanWrite()) throw Exception("Assertion failure");
    if (!FCompressing && !Source.CanRead()) throw Exception("Assertion failure");
    SetAccess(!FCompressing, FCompressing);
    if (!FCompressing) {
        FWindow = std::make_unique<uint8_t[]>(WindowSize + WindowSlack);
        FIn.resize(InputSize);
        FLiteralTable = std::make_unique<uint32_t[]>(LiteralTableSize);
        FDistanceTable = std::make_unique<uint32_t[]>(DistanceTableSize);
        // Reading ahead may rightly get less than asked from the source.
        if (Source.ExactTransfers()) {
            Source.SetExactTransfers(false);
            FRestoreExact = true;
        }
    }
    // This stream's own flag is its own: the source must keep answering short reads.
    TBaseStream::SetExactTransfers(true);
}

TDeflateStream::~TDeflateStream() {
    if (FCompressing) {
        try {
            Flush();
        } catch (const Exception&) {
        }
    }
    if (FRestoreExact) Source().SetExactTransfers(true);
}

int64_t TDeflateStream::BytesLeft() {
    if (FCompressing) return 0;
    const int64_t pending = int64_t(FOutPos - FServePos);
    if (FState == stDone || FState == stTruncated) return pending;
    return pending + int64_t(FInEnd - FInPos) + FBitCount / 8 + std::max<int64_t>(Source().BytesLeft(), 1);
}

bool TDeflateStream::RefillInput() {
    if (FSourceEnded) return false;
    const size_t rest = FInEnd - FInPos;
    std::memmove(FIn.data(), FIn.data() + FInPos, rest);
    FInPos = 0;
    FInEnd = rest;
    const int32_t got = Source().Read(FIn.data() + rest, int32_t(FIn.size() - rest));
    if (got <= 0) {
        FSourceEnded = true;
        return false;
    }
    FInEnd += size_t(got);
    return true;
}

void TDeflateStream::SlowRefill() {
    while (FBitCount <= 56) {
        if (FInPos == FInEnd) RefillInput();
        if (FInPos < FInEnd)
            FBitBuffer |= uint64_t(FIn[FInPos++]) << FBitCount;
        else
            FPadBits += 8; // zeros past the end; using them means the data was cut short
        FBitCount += 8;
    }
}

uint32_t TDeflateStream::TakeBits(unsigned Count) {
    if (FBitCount < Count) SlowRefill();
    const uint32_t v = uint32_t(FBitBuffer & ((uint64_t(1) << Count) - 1));
    FBitBuffer >>= Count;
    FBitCount -= Count;
    return v;
}

void TDeflateStream::Slide() {
    const size_t keep = std::min(FOutPos, History);
    std::memmove(FWindow.get(), FWindow.get() + FOutPos - keep, keep);
    FOutPos = FServePos = keep;
}

void TDeflateStream::ReadBlockHeader() {
    if (FFinalBlock) {
        FState = stDone;
        return;
    }
    SlowRefill();
    FFinalBlock = TakeBits(1);
    const uint32_t type = TakeBits(2);
    switch (type) {
    case 0: {
        TakeBits(FBitCount & 7);
        const uint32_t length = TakeBits(16), complement = TakeBits(16);
        if (Overran()) break;
        if ((length ^ 0xFFFF) != complement) DataError();
        FStoredLeft = length;
        FState = stStored;
        break;
    }
    case 1:
        std::memcpy(FLiteralTable.get(), FixedTables().Literal.data(), LiteralTableSize * 4);
        std::memcpy(FDistanceTable.get(), FixedTables().Distance.data(), DistanceTableSize * 4);
        FState = stHuffman;
        break;
    case 2: ReadDynamicTables(); break;
    default: DataError();
    }
    if (Overran()) FState = stTruncated;
}

void TDeflateStream::ReadDynamicTables() {
    const uint32_t literals = TakeBits(5) + 257, distances = TakeBits(5) + 1, codeLengths = TakeBits(4) + 4;
    if (literals > 286 || distances > 30) DataError();
    uint8_t clLengths[19] = {};
    for (uint32_t i = 0; i < codeLengths; ++i) clLengths[CodeLengthOrder[i]] = uint8_t(TakeBits(3));
    if (Overran()) return;
    if (CheckLengths(clLengths, 19) != hcComplete) DataError();
    uint32_t clTable[1u << CodeLengthBits];
    BuildTable(clLengths, 19, Symbols.CodeLength.data(), CodeLengthBits, clTable, 1u << CodeLengthBits);

    uint8_t lengths[286 + 30] = {};
    const uint32_t total = literals + distances;
    uint32_t n = 0;
    while (n < total) {
        if (FBitCount < 16) SlowRefill();
        const uint32_t e = clTable[FBitBuffer & ((1u << CodeLengthBits) - 1)];
        FBitBuffer >>= EntryLength(e);
        FBitCount -= EntryLength(e);
        if (Overran()) return;
        const uint32_t symbol = EntryValue(e);
        if (symbol < 16) {
            lengths[n++] = uint8_t(symbol);
            continue;
        }
        uint8_t value = 0;
        uint32_t repeat;
        if (symbol == 16) {
            // Nothing to repeat before the first length.
            if (n == 0) DataError();
            value = lengths[n - 1];
            repeat = 3 + TakeBits(2);
        } else if (symbol == 17) {
            repeat = 3 + TakeBits(3);
        } else {
            repeat = 11 + TakeBits(7);
        }
        if (Overran()) return;
        if (repeat > total - n) DataError();
        std::memset(lengths + n, value, repeat);
        n += repeat;
    }
    if (Overran()) return;
    if (lengths[256] == 0) DataError();
    const THuffmanCheck lit = CheckLengths(lengths, literals);
    const THuffmanCheck dist = CheckLengths(lengths + literals, distances);
    if (lit == hcOversubscribed || lit == hcIncomplete || dist == hcOversubscribed || dist == hcIncomplete)
        DataError();
    BuildTable(lengths, literals, Symbols.Literal.data(), LiteralBits, FLiteralTable.get(), LiteralTableSize);
    BuildTable(lengths + literals, distances, Symbols.Distance.data(), DistanceBits, FDistanceTable.get(),
               DistanceTableSize);
    FState = stHuffman;
}

void TDeflateStream::CopyStored() {
    uint8_t* const window = FWindow.get();
    while (FStoredLeft > 0 && FOutPos < WindowSize) {
        // Whole bytes still in the bit buffer come first.
        if (FBitCount > 0) {
            if (FBitCount <= FPadBits) {
                FState = stTruncated;
                return;
            }
            window[FOutPos++] = uint8_t(FBitBuffer);
            FBitBuffer >>= 8;
            FBitCount -= 8;
            --FStoredLeft;
            continue;
        }
        FBitBuffer = 0;
        if (FInPos == FInEnd && !RefillInput()) {
            FState = stTruncated;
            return;
        }
        const size_t n = std::min({size_t(FStoredLeft), WindowSize - FOutPos, FInEnd - FInPos});
        std::memcpy(window + FOutPos, FIn.data() + FInPos, n);
        FOutPos += n;
        FInPos += n;
        FStoredLeft -= uint32_t(n);
    }
    if (FStoredLeft == 0) FState = stHeader;
}

void TDeflateStream::DecodeHuffman() {
    uint8_t* const window = FWindow.get();
    const uint32_t* const lit = FLiteralTable.get();
    const uint32_t* const dist = FDistanceTable.get();
    constexpr uint64_t LitMask = (1u << LiteralBits) - 1, DistMask = (1u << DistanceBits) - 1;
    auto lookup = [](const uint32_t* Table, uint64_t Bits, int Primary, uint64_t Mask) {
        uint32_t e = Table[Bits & Mask];
        if (EntryKind(e) == hkSubTable)
            e = Table[EntryValue(e) + ((Bits >> Primary) & ((uint64_t(1) << EntryExtra(e)) - 1))];
        return e;
    };

    // Fast loop: enough input for two refills and room for two literals and a match, so no
    // check inside but the ones the data calls for.
    {
        uint64_t bits = FBitBuffer;
        unsigned count = FBitCount;
        size_t out = FOutPos;
        const uint8_t* in = FIn.data() + FInPos;
        for (;;) {
            if (FInEnd - size_t(in - FIn.data()) < 16) {
                FBitBuffer = bits;
                FBitCount = count;
                FInPos = size_t(in - FIn.data());
                RefillInput();
                in = FIn.data() + FInPos;
                if (FInEnd - FInPos < 16) break;
            }
            if (out > DecodeEnd) break;
#define FERRONEL_REFILL()                                                                                    \
    bits |= Load64(in) << count;                                                                             \
    in += (63 - count) >> 3;                                                                                 \
    count |= 56
            FERRONEL_REFILL();
            uint32_t e = lookup(lit, bits, LiteralBits, LitMask);
            if (EntryKind(e) == hkLiteral) {
                bits >>= EntryLength(e);
                count -= EntryLength(e);
                window[out++] = uint8_t(EntryValue(e));
                e = lookup(lit, bits, LiteralBits, LitMask);
                if (EntryKind(e) == hkLiteral) {
                    bits >>= EntryLength(e);
                    count -= EntryLength(e);
                    window[out++] = uint8_t(EntryValue(e));
                    e = lookup(lit, bits, LiteralBits, LitMask);
                    if (EntryKind(e) == hkLiteral) {
                        bits >>= EntryLength(e);
                        count -= EntryLength(e);
                        window[out++] = uint8_t(EntryValue(e));
                        continue;
                    }
                }
                FERRONEL_REFILL();
            }
#undef FERRONEL_REFILL
            const uint32_t kind = EntryKind(e);
            if (kind == hkLength) {
                bits >>= EntryLength(e);
                count -= EntryLength(e);
                const uint32_t extra = EntryExtra(e);
                const size_t length = EntryValue(e) + size_t(bits & ((uint64_t(1) << extra) - 1));
                bits >>= extra;
                count -= extra;
                const uint32_t d = lookup(dist, bits, DistanceBits, DistMask);
                if (EntryKind(d) != hkLength) DataError();
                bits >>= EntryLength(d);
                count -= EntryLength(d);
                const uint32_t dExtra = EntryExtra(d);
                const size_t distance = EntryValue(d) + size_t(bits & ((uint64_t(1) << dExtra) - 1));
                bits >>= dExtra;
                count -= dExtra;
                if (distance > out) DataError();
                CopyMatch(window + out, distance, length);
                out += length;
            } else if (kind == hkEnd) {
                bits >>= EntryLength(e);
                count -= EntryLength(e);
                FState = stHeader;
                break;
            } else {
                DataError();
            }
        }
        FBitBuffer = bits;
        FBitCount = count;
        FInPos = size_t(in - FIn.data());
        FOutPos = out;
        if (FState != stHuffman) return;
    }

    // Careful loop near the end of the input: one symbol at a time, and nothing is kept from a
    // symbol whose bits ran past the end of the data.
    while (FOutPos <= DecodeEnd) {
        SlowRefill();
        const uint32_t e = lookup(lit, FBitBuffer, LiteralBits, LitMask);
        const uint32_t kind = EntryKind(e);
        uint64_t bits = FBitBuffer;
        unsigned used = EntryLength(e);
        bits >>= used;
        if (kind == hkLiteral) {
            FBitBuffer = bits;
            FBitCount -= used;
            if (Overran()) break;
            window[FOutPos++] = uint8_t(EntryValue(e));
            continue;
        }
        if (kind == hkEnd) {
            FBitBuffer = bits;
            FBitCount -= used;
            if (Overran()) break;
            FState = stHeader;
            return;
        }
        if (kind != hkLength) {
            // A code that exists only past the end of the data is a cut, not a fault.
            FBitBuffer = bits;
            FBitCount -= std::min(used, FBitCount);
            if (Overran()) break;
            DataError();
        }
        const uint32_t extra = EntryExtra(e);
        const size_t length = EntryValue(e) + size_t(bits & ((uint64_t(1) << extra) - 1));
        bits >>= extra;
        used += extra;
        const uint32_t d = lookup(dist, bits, DistanceBits, DistMask);
        used += EntryLength(d);
        bits >>= EntryLength(d);
        const uint32_t dExtra = EntryExtra(d);
        const size_t distance = EntryValue(d) + size_t(bits & ((uint64_t(1) << dExtra) - 1));
        bits >>= dExtra;
        used += dExtra;
        FBitBuffer = bits;
        FBitCount -= used;
        if (Overran()) break;
        if (EntryKind(d) != hkLength || distance > FOutPos) DataError();
        CopyMatch(window + FOutPos, distance, length);
        FOutPos += length;
    }
    if (Overran()) FState = stTruncated;
}

void TDeflateStream::DecodeSome() {
    while (FOutPos <= DecodeEnd) {
        switch (FState) {
        case stHeader: ReadBlockHeader(); break;
        case stStored: CopyStored(); break;
        case stHuffman: DecodeHuffman(); break;
        case stDone:
        case stTruncated: return;
        }
    }
}

int32_t TDeflateStream::Read(void* Buffer, int32_t Count) {
    if (FCompressing) return Source().Read(Buffer, Count);
    auto* to = static_cast<uint8_t*>(Buffer);
    int32_t delivered = 0;
    while (delivered < Count) {
        if (FServePos < FOutPos) {
            const size_t n = std::min(FOutPos - FServePos, size_t(Count - delivered));
            std::memcpy(to + delivered, FWindow.get() + FServePos, n);
            FServePos += n;
            delivered += int32_t(n);
            continue;
        }
        if (FState == stDone || FState == stTruncated) break;
        if (FOutPos > WindowSize / 2) Slide();
        DecodeSome();
    }
    if (delivered < Count && ExactTransfers()) throw EInOutError(SReadLess);
    return delivered;
}

int64_t TDeflateStream::FinishData(void (*Discard)(void* Context, const uint8_t* Bytes, size_t Count),
                                   void* Context) {
    int64_t passed = 0;
    for (;;) {
        if (FServePos < FOutPos) {
            if (Discard) Discard(Context, FWindow.get() + FServePos, FOutPos - FServePos);
            passed += int64_t(FOutPos - FServePos);
            FServePos = FOutPos;
        }
        if (FState == stDone) return passed;
        if (FState == stTruncated) throw EInOutError(SReadLess);
        if (FOutPos > WindowSize / 2) Slide();
        DecodeSome();
    }
}

int32_t TDeflateStream::ReadTrailer(void* Buffer, int32_t Count) {
    auto* to = static_cast<uint8_t*>(Buffer);
    int32_t delivered = 0;
    TakeBits(FBitCount & 7);
    while (delivered < Count && FBitCount >= 8 && FBitCount > FPadBits) {
        to[delivered++] = uint8_t(FBitBuffer);
        FBitBuffer >>= 8;
        FBitCount -= 8;
    }
    if (delivered < Count && FBitCount <= FPadBits) {
        FBitBuffer = 0;
        FBitCount = 0;
        FPadBits = 0;
        const size_t n = std::min(size_t(Count - delivered), FInEnd - FInPos);
        std::memcpy(to + delivered, FIn.data() + FInPos, n);
        FInPos += n;
        delivered += int32_t(n);
        if (delivered < Count && !FSourceEnded)
            delivered += std::max(Source().Read(to + delivered, Count - delivered), 0);
    }
    return delivered;
}

} // namespace ferronel::linear
