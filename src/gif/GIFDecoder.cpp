#include "gif/GIFDecoder.h"

#include "host/ByteReader.h"

#include <algorithm>
#include <array>
#include <cstring>
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

// Every string in the table was written out whole before it entered the table: a new entry is
// the previous code's string followed by the first index of the current one, and those two stand
// side by side in the output. So an entry is kept as the place of its string in the output and
// its length, and a code is decoded by copying, not by walking a chain of prefixes.
class TLZWDecoder {
public:
    TLZWDecoder(uint8_t MinCodeSize, const TCodeData& Data) : FMinCodeSize(MinCodeSize), FData(Data) {
        FClearCode = 1u << MinCodeSize;
        FEndCode = FClearCode + 1;
        Reset();
    }

    // Writes decoded indices from Begin up to End; answers where decoding stopped.
    uint8_t* Decode(uint8_t* const Begin, uint8_t* const End, const TGIFWarningSink& Warning) {
        const uint8_t* bytes = FData.Bytes.data();
        const uint64_t totalBits = FData.Bits;
        uint64_t bitPos = 0;
        uint8_t* out = Begin;
        int32_t oldCode = -1;
        size_t oldPos = 0; // where the previous code's string starts
        while (out < End) {
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

            if (code < FClearCode) {
                // A root: one index, its low 8 bits.
                if (oldCode >= 0) Add(oldPos, FLength[oldCode]);
                oldPos = size_t(out - Begin);
                *out++ = uint8_t(code);
                oldCode = int32_t(code);
                continue;
            }
            if (code == FClearCode) {
                Reset();
                oldCode = -1;
                continue;
            }
            if (code == FEndCode) break;
            if (oldCode < 0 || code > FNextCode) {
                // The first code after a clear must be a root, and a code past the next free slot
                // refers to nothing: such data cannot be followed.
                Warning(sInvalidData);
                break;
            }
            // A code equal to the next free slot is the previous string followed by its own first
            // index: the copy below then overlaps its source and is made forwards.
            Add(oldPos, FLength[oldCode]);
            const uint32_t length = FLength[code];
            const uint8_t* from = Begin + FOffset[code];
            oldPos = size_t(out - Begin);
            const size_t n = std::min<size_t>(length, size_t(End - out));
            if (n <= 16 || from + n > out)
                for (size_t i = 0; i < n; ++i) out[i] = from[i];
            else
                std::memcpy(out, from, n);
            out += n;
            oldCode = int32_t(code);
        }
        return out;
    }

private:
    static uint64_t LoadU64LE(const uint8_t* P) {
        return uint64_t(LoadU32LE(P)) | uint64_t(LoadU32LE(P + 4)) << 32;
    }

    void Reset() {
        FCodeSize = FMinCodeSize + 1u;
        FNextCode = FClearCode + 2;
        FCodeLimit = 2 * FClearCode;
        for (uint32_t i = 0; i < FClearCode; ++i) FLength[i] = 1;
    }

    // A new entry: the previous string (at Position, Length long) and the index after it.
    void Add(size_t Position, uint32_t Length) {
        if (FNextCode >= TableSize) return; // a full table stays as it is until a clear code
        FOffset[FNextCode] = Position;
        FLength[FNextCode] = uint16_t(Length + 1);
        if (++FNextCode >= FCodeLimit && FCodeLimit < TableSize) {
            FCodeLimit *= 2;
            ++FCodeSize;
        }
    }

    uint32_t FMinCodeSize;
    const TCodeData& FData;
    uint32_t FClearCode = 0, FEndCode = 0, FNextCode = 0, FCodeLimit = 0, FCodeSize = 0;
    std::array<size_t, TableSize> FOffset{};
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
