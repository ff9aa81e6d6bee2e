#include "readers/decoders/ThunderDecoder.h"

#include <algorithm>
#include <cstring>

namespace ferronel {

namespace {

// The steps of the two- and three-bit delta codes; the marked field values put no pixel.
constexpr int Delta2[4] = {0, 1, 0, -1};
constexpr int Skip2 = 2;
constexpr int Delta3[8] = {0, 1, 2, 3, 0, -3, -2, -1};
constexpr int Skip3 = 4;

enum TThunderCode : uint8_t { tcRun = 0, tcDelta2 = 1, tcDelta3 = 2, tcRaw = 3 };

// One row being written: pixels at or past Limit (the end of the destination) are counted but not
// stored.
struct TRow {
    uint8_t* Bytes;
    uint32_t Limit;

    void Put(uint32_t n, uint8_t v) const {
        if (n >= Limit) return;
        uint8_t& b = Bytes[n >> 1];
        b = (n & 1) ? uint8_t((b & 0xF0) | v) : uint8_t(v << 4);
    }
    // Pixels From..To-1 to v.
    void Fill(uint32_t From, uint32_t To, uint8_t v) const {
        To = std::min(To, Limit);
        if (From >= To) return;
        if (From & 1) Put(From++, v);
        const uint32_t pairs = (To - From) / 2;
        std::memset(Bytes + (From >> 1), v * 0x11, pairs);
        From += 2 * pairs;
        if (From < To) Put(From, v);
    }
};

} // namespace

void TThunderDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                             int32_t UnpackedSize) {
    if (FPixelWidth == 0 || PackedSize <= 0 || UnpackedSize <= 0) return;
    const uint8_t* s = Source;
    const uint8_t* const end = Source + PackedSize;
    const size_t outSize = size_t(UnpackedSize);
    const size_t rowBytes = (size_t(FPixelWidth) + 1) / 2;
    for (size_t offset = 0; offset < outSize && s < end; offset += rowBytes) {
        const TRow row{Dest + offset, uint32_t(std::min<size_t>(FPixelWidth, 2 * (outSize - offset)))};
        uint32_t n = 0;
        uint8_t last = 0;
        auto put = [&](int value) {
            last = uint8_t(value & 15);
            row.Put(n++, last);
        };
        while (n < FPixelWidth && s < end) {
            const uint8_t c = *s++;
            switch (TThunderCode(c >> 6)) {
            case tcRun: {
                const uint32_t count = std::min<uint32_t>(c & 63, FPixelWidth - n);
                row.Fill(n, n + count, last);
                n += count;
                break;
            }
            case tcDelta2:
                for (const int shift : {4, 2, 0}) {
                    const int field = (c >> shift) & 3;
                    if (field != Skip2 && n < FPixelWidth) put(last + Delta2[field]);
                }
                break;
            case tcDelta3:
                for (const int shift : {3, 0}) {
                    const int field = (c >> shift) & 7;
                    if (field != Skip3 && n < FPixelWidth) put(last + Delta3[field]);
                }
                break;
            case tcRaw: put(c & 15); break;
            }
        }
    }
}

} // namespace ferronel
