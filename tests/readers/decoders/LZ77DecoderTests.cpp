#include "readers/decoders/LZ77Decoder.h"
#include "support/Deflate.h"

#include <gtest/gtest.h>

#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

using test::Deflate;

Bytes Counting(size_t N) {
    Bytes b(N);
    for (size_t i = 0; i < N; ++i) b[i] = uint8_t(i * 7);
    return b;
}

TEST(LZ77Decoder, OneStreamInBlocksOfAnySize) {
    const Bytes raw = Counting(1000);
    const Bytes z = Deflate(raw);
    TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
    d.BeginDecode();
    Bytes out(raw.size());
    uint8_t* dest = out.data();
    // Input 5 bytes at a time, output at most 64 a call; the pointers move past what was used.
    const uint8_t* source = z.data();
    while (source < z.data() + z.size() && d.LastResult() == Z_OK) {
        const int32_t in = int32_t(std::min<size_t>(5, size_t(z.data() + z.size() - source)));
        const int32_t room = int32_t(std::min<size_t>(64, size_t(out.data() + out.size() - dest)));
        const uint8_t* before = source;
        d.Decode(source, dest, in, room);
        EXPECT_LE(source - before, in);
        EXPECT_EQ(d.InputLeft(), uint32_t(in - (source - before)));
    }
    EXPECT_EQ(d.LastResult(), Z_STREAM_END);
    EXPECT_EQ(out, raw);
    // After the end of the stream, further blocks are passed over untouched.
    Bytes more(4, 0xEE);
    uint8_t* m = more.data();
    const uint8_t* again = z.data();
    d.Decode(again, m, int32_t(z.size()), 4);
    EXPECT_EQ(more, Bytes(4, 0xEE));
    EXPECT_EQ(again, z.data());
    d.EndDecode();
}

TEST(LZ77Decoder, ResetPerCallDecodesEachBlockAsItsOwnStream) {
    TLZ77Decoder d(Z_PARTIAL_FLUSH, true);
    d.BeginDecode();
    for (const Bytes& raw : {Counting(100), Bytes(50, 3)}) {
        const Bytes z = Deflate(raw);
        Bytes out(raw.size());
        const uint8_t* s = z.data();
        uint8_t* o = out.data();
        d.Decode(s, o, int32_t(z.size()), int32_t(out.size()));
        EXPECT_EQ(out, raw);
        EXPECT_EQ(o, out.data() + out.size());
    }
    d.EndDecode();
}

TEST(LZ77Decoder, DamagedDataRaisesNothingAndStopsTheStream) {
    TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
    d.BeginDecode();
    const Bytes bad{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF};
    Bytes out(8, 0xAA);
    const uint8_t* s = bad.data();
    uint8_t* o = out.data();
    d.Decode(s, o, int32_t(bad.size()), int32_t(out.size()));
    EXPECT_EQ(d.LastResult(), Z_DATA_ERROR);
    EXPECT_EQ(out, Bytes(8, 0xAA));
    // Decoding without a stream, ending twice and dropping a decoder mid-stream are harmless.
    TLZ77Decoder idle(Z_PARTIAL_FLUSH, false);
    idle.Decode(s, o, 1, 1);
    idle.EndDecode();
    TLZ77Decoder dropped(Z_PARTIAL_FLUSH, false);
    dropped.BeginDecode();
}

} // namespace
} // namespace ferronel
