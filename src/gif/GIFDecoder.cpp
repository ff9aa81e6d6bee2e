#include "gif/GIFDecoder.h"

#include "host/ByteReader.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace ferronel {

using namespace gif;

namespace {

constexpr uint32_t TableSize = 4096;

// The image data without its sub-block framing, padded so that a code can always be taken with
// one 64-bit load.
struct TCodeData {
    std::vector<uint8_t> Bytes;
    uint64_t Bits = 0;
    bool TerminatorSeen = false;
};

constexpr size_t Padding = 8;

TCodeData GatherSubBlocks(TGIFSource& Source, const TGIFWarningSink& Warning) {
    TCodeData data;
    // Each block is copied after the previous one, so a code split over short blocks is gathered
    // from the right bytes however short the blocks are.
    const size_t start = Source.Position();
    size_t total = 0;
    for (;;) {
        const auto length = Source.ReadByte();
        if (!length) break;
        if (*length == 0) {
            data.TerminatorSeen = true;
            break;
        }
        size_t n = *length;
        if (n > Source.Remaining()) {
            Warning(sPrematureEnd);
            n = Source.Remaining();
        }
        Source.Move(int64_t(n));
        total += n;
    }
    const size_t end = Source.Position();
    data.Bytes.resize(total + Padding);
    Source.SetPosition(start);
    uint8_t* out = data.Bytes.data();
    while (Source.Position() < end) {
        const uint8_t length = *Source.ReadByte();
        if (length == 0) break;
        const size_t n = std::min<size_t>(length, Source.Remaining());
        Source.ReadExact(out, n);
        out += n;
    }
    Source.SetPosition(end);
    data.Bits = uint64_t(total) * 8;
    return data;
}

class TLZWDecoder {
public:
    TLZWDecoder(uint8_t MinCodeSize, const TCodeData& Data) : FMinCodeSize(MinCodeSize), FData(Data) {
        FClearCode = 1u << MinCodeSize;
        FEndCode = FClearCode + 1;
        for (uint32_t i = 0; i < FClearCode; ++i) {
            FPrefix[i] = 0;
            FSuffix[i] = uint8_t(i);
            FFirst[i] = uint8_t(i);
            FLength[i] = 1;
        }
        Reset();
    }

    // Writes decoded indices from Out up to End; answers where decoding stopped.
    uint8_t* Decode(uint8_t* Out, uint8_t* const End, const TGIFWarningSink& Warning) {
        const uint8_t* bytes = FData.Bytes.data();
        const uint64_t totalBits = FData.Bits;
        uint64_t bitPos = 0;
        int32_t oldCode = -1;
        while (Out < End) {
            if (bitPos + FCodeSize > totalBits) {
                // Codes asked for after the terminator with nothing left over is an under-run; a
                // few bits short of a code end the data quietly, as does data cut off by the
                // stream's end.
                if (FData.TerminatorSeen && bitPos >= totalBits) Warning(sBitBufferUnderrun);
                break;
            }
            const uint32_t code =
                uint32_t(LoadU64LE(bytes + (bitPos >> 3)) >> (bitPos & 7)) & ((1u << FCodeSize) - 1);
            bitPos += FCodeSize;

            if (code == FClearCode) {
                Reset();
                oldCode = -1;
                continue;
            }
            if (code == FEndCode) break;
            if (oldCode < 0) {
                // The first code after a clear stands for itself; one past the roots refers to
                // nothing yet.
                if (code > FClearCode) {
                    Warning(sInvalidData);
                    break;
                }
                *Out++ = FSuffix[code];
                oldCode = int32_t(code);
                continue;
            }
            if (code < FNextCode) {
                Out = Emit(code, Out, End);
                Add(uint32_t(oldCode), FFirst[code]);
            } else if (code == FNextCode) {
                // A string followed by its own first index.
                Add(uint32_t(oldCode), FFirst[oldCode]);
                Out = Emit(code, Out, End);
            } else {
                // A code past the next free slot refers to nothing; such data cannot be followed.
                Warning(sInvalidData);
                break;
            }
            oldCode = int32_t(code);
        }
        return Out;
    }

private:
    static uint64_t LoadU64LE(const uint8_t* P) {
        return uint64_t(LoadU32LE(P)) | uint64_t(LoadU32LE(P + 4)) << 32;
    }

    void Reset() {
        FCodeSize = FMinCodeSize + 1u;
        FNextCode = FClearCode + 2;
        FCodeLimit = 2 * FClearCode;
    }

    void Add(uint32_t Prefix, uint8_t Suffix) {
        if (FNextCode >= TableSize) return; // a full table stays as it is until a clear code
        FPrefix[FNextCode] = uint16_t(Prefix);
        FSuffix[FNextCode] = Suffix;
        FFirst[FNextCode] = FFirst[Prefix];
        FLength[FNextCode] = uint16_t(FLength[Prefix] + 1);
        if (++FNextCode >= FCodeLimit && FCodeLimit < TableSize) {
            FCodeLimit *= 2;
            ++FCodeSize;
        }
    }

    // Writes the string of Code at Out, cut at End; answers the position after it.
    uint8_t* Emit(uint32_t Code, uint8_t* Out, uint8_t* End) const {
        const uint32_t length = FLength[Code];
        if (length == 1) {
            *Out = FSuffix[Code];
            return Out + 1;
        }
        const size_t room = size_t(End - Out);
        uint32_t skip = 0; // trailing indices that do not fit
        if (length > room) skip = length - uint32_t(room);
        uint32_t c = Code;
        for (uint32_t i = 0; i < skip; ++i) c = FPrefix[c];
        const uint32_t kept = length - skip;
        for (uint32_t i = kept; i-- > 1;) {
            Out[i] = FSuffix[c];
            c = FPrefix[c];
        }
        Out[0] = FSuffix[c];
        return Out + kept;
    }

    uint32_t FMinCodeSize;
    const TCodeData& FData;
    uint32_t FClearCode = 0, FEndCode = 0, FNextCode = 0, FCodeLimit = 0, FCodeSize = 0;
    std::array<uint16_t, TableSize> FPrefix{};
    std::array<uint8_t, TableSize> FSuffix{};
    std::array<uint8_t, TableSize> FFirst{};
    std::array<uint16_t, TableSize> FLength{};
};

} // namespace

void DecodeGIFPixels(TGIFSource& Source, uint8_t* Pixels, uint32_t Width, uint32_t Height, bool Interlaced,
                     const TGIFWarningSink& Warning) {
    const auto minCodeSize = Source.ReadByte();
    if (!minCodeSize) return; // no data: the frame keeps its fill
    if (*minCodeSize > MaxGIFMinCodeSize) throw GIFException(sInvalidData);
    const TCodeData data = GatherSubBlocks(Source, Warning);
    const size_t count = size_t(Width) * Height;
    if (count == 0) return;
    auto decoder = std::make_unique<TLZWDecoder>(*minCodeSize, data);
    if (!Interlaced) {
        decoder->Decode(Pixels, Pixels + count, Warning);
        return;
    }
    // Decoded in stored order, then each row moved to its place; unreached rows keep the fill.
    std::vector<uint8_t> stored(Pixels, Pixels + count);
    decoder->Decode(stored.data(), stored.data() + count, Warning);
    const uint8_t* from = stored.data();
    ForEachInterlacedRow(Height, [&](uint32_t y) {
        std::copy_n(from, Width, Pixels + size_t(y) * Width);
        from += Width;
    });
}

} // namespace ferronel
