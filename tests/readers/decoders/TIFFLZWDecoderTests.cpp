#include "readers/decoders/TIFFLZWDecoder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

// A plain LZW encoder in either bit order. The current order widens its codes as soon as the next
// code needs it (one code before its decoder would have to), the old one a code later; a clear
// code follows a full table.
Bytes Encode(const Bytes& In, bool OldStyle) {
    Bytes out;
    uint64_t bits = 0;
    uint32_t count = 0, width = 9;
    auto put = [&](uint32_t code) {
        if (OldStyle) {
            bits |= uint64_t(code) << count;
            count += width;
            while (count >= 8) out.push_back(uint8_t(bits)), bits >>= 8, count -= 8;
        } else {
            bits = bits << width | code;
            count += width;
            while (count >= 8) out.push_back(uint8_t(bits >> (count - 8))), count -= 8;
        }
    };
    std::map<std::pair<uint32_t, uint8_t>, uint32_t> table;
    uint32_t next = 258;
    const uint32_t early = OldStyle ? 0 : 1;
    put(256);
    int32_t w = -1;
    for (uint8_t c : In) {
        if (w < 0) {
            w = c;
            continue;
        }
        const auto it = table.find({uint32_t(w), c});
        if (it != table.end()) {
            w = int32_t(it->second);
            continue;
        }
        put(uint32_t(w));
        table[{uint32_t(w), c}] = next++;
        if (next + early > (1u << width) && width < 12) ++width;
        if (next >= 4093) {
            put(256);
            table.clear();
            next = 258;
            width = 9;
        }
        w = c;
    }
    if (w >= 0) put(uint32_t(w));
    put(257);
    if (count > 0) out.push_back(uint8_t(OldStyle ? bits : bits << (8 - count)));
    return out;
}

Bytes Decode(const Bytes& Packed, size_t Size) {
    Bytes out(Size, 0xEE);
    TTIFFLZWDecoder d;
    const uint8_t* s = Packed.data();
    uint8_t* t = out.data();
    d.Decode(s, t, int32_t(Packed.size()), int32_t(Size));
    return out;
}

TEST(TIFFLZWDecoder, BothBitOrdersRoundTripThroughEveryCodeWidthAndClear) {
    std::mt19937 random(7);
    Bytes data(60000);
    // Runs and noise, so that strings grow long and the table fills several times.
    for (size_t i = 0; i < data.size(); ++i) data[i] = (i / 300) % 2 ? uint8_t(random() % 6) : uint8_t(i / 7);
    for (const bool old : {false, true}) {
        const Bytes packed = Encode(data, old);
        EXPECT_EQ(Decode(packed, data.size()), data) << old;
    }
}

TEST(TIFFLZWDecoder, TheCodeBeingDefinedAndTheOutputEndAreHandled) {
    // Clear, 'A', then 258 before it is in the table (A + A), end: "AAA".
    const Bytes packed = Encode(Bytes{'A', 'A', 'A'}, false);
    EXPECT_EQ(Decode(packed, 3), (Bytes{'A', 'A', 'A'}));
    // A string longer than the room left is cut at the end of the output, not written past it.
    EXPECT_EQ(Decode(packed, 2), (Bytes{'A', 'A'}));
    // A code the table does not hold yet ends the block; the rest stays as it was.
    const Bytes bad = {0x80, 0x10, 0x7F, 0xF0}; // clear, 'A', then code 511
    const Bytes out = Decode(bad, 4);
    EXPECT_EQ(out[0], 'A');
    EXPECT_EQ(out[1], 0xEE);
}

} // namespace
} // namespace ferronel
