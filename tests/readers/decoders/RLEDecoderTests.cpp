#include "readers/decoders/RLEDecoders.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

struct TResult {
    Bytes Output;
    size_t SourceUsed; // how far Source was moved
};

// Decodes Packed into a destination of exactly Unpacked units of UnitBytes, fenced by guard bytes
// that must survive; the source is a heap block of exactly its size, so a read past it is caught
// by the address sanitizer.
TResult Decode(TDecoder& decoder, const Bytes& packed, int32_t unpacked, size_t unitBytes = 1,
               int32_t packedSize = -1) {
    const size_t bytes = unpacked > 0 ? size_t(unpacked) * unitBytes : 0;
    auto source = std::make_unique<uint8_t[]>(std::max<size_t>(packed.size(), 1));
    std::copy(packed.begin(), packed.end(), source.get());
    Bytes dest(bytes + 16, 0xEE);
    const uint8_t* s = source.get();
    uint8_t* d = dest.data() + 8;
    decoder.Decode(s, d, packedSize < 0 ? int32_t(packed.size()) : packedSize, unpacked);
    EXPECT_EQ(d, dest.data() + 8) << "Dest must not move";
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(dest[i], 0xEE) << "guard before";
        EXPECT_EQ(dest[dest.size() - 1 - i], 0xEE) << "guard after";
    }
    return {Bytes(dest.begin() + 8, dest.end() - 8), size_t(s - source.get())};
}

TEST(TargaRLE, DecodesRunsAndLiteralsAndMovesTheSource) {
    TTargaRLEDecoder d24(24);
    const TResult r = Decode(d24, {0x81, 1, 2, 3, 0x00, 4, 5, 6, 0x99}, 3, 3);
    EXPECT_EQ(r.Output, (Bytes{1, 2, 3, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(r.SourceUsed, 8u);

    // Packets longer than the row go on in the next call: raw pixels from where the source was
    // left, a run with its pixel.
    TTargaRLEDecoder d8(8);
    const TResult cut = Decode(d8, {0x03, 1, 2, 3, 4, 0x80, 9}, 2);
    EXPECT_EQ(cut.Output, (Bytes{1, 2}));
    EXPECT_EQ(cut.SourceUsed, 3u);
    EXPECT_EQ(d8.PendingPixels(), 2u);
    const TResult rest = Decode(d8, {3, 4, 0x81, 9}, 4);
    EXPECT_EQ(rest.Output, (Bytes{3, 4, 9, 9}));
    EXPECT_EQ(rest.SourceUsed, 4u);
    TTargaRLEDecoder runs(8);
    EXPECT_EQ(Decode(runs, {0xFF, 7}, 5).Output, Bytes(5, 7));
    EXPECT_EQ(Decode(runs, {}, 3).Output, Bytes(3, 7));
    EXPECT_EQ(runs.PendingPixels(), 120u);
    runs.BeginDecode(); // a new image starts with a packet
    EXPECT_EQ(Decode(runs, {0x00, 5}, 2).Output, (Bytes{5, 0xEE}));

    // An unknown depth decodes nothing and leaves the source.
    TTargaRLEDecoder d12(12);
    const TResult none = Decode(d12, {0x81, 1, 2}, 2, 2);
    EXPECT_EQ(none.Output, Bytes(4, 0xEE));
    EXPECT_EQ(none.SourceUsed, 0u);
}

TEST(TargaRLE, HostileDataStopsAtEitherEnd) {
    TTargaRLEDecoder d16(16);
    // A literal packet announcing 128 pixels with 3 bytes of data: one whole pixel, then the end;
    // the half pixel is left for a call with more data.
    const TResult shortLiteral = Decode(d16, {0x7F, 1, 2, 3}, 4, 2);
    EXPECT_EQ(shortLiteral.Output, (Bytes{1, 2, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(shortLiteral.SourceUsed, 3u);
    d16.BeginDecode();
    // A run packet whose pixel is cut off.
    const TResult shortRun = Decode(d16, {0x85, 1}, 4, 2);
    EXPECT_EQ(shortRun.Output, Bytes(8, 0xEE));
    EXPECT_EQ(shortRun.SourceUsed, 2u);
    // PackedSize smaller than the data given: only that much is read.
    TTargaRLEDecoder d8(8);
    EXPECT_EQ(Decode(d8, {0x01, 5, 6}, 2, 1, 2).Output, (Bytes{5, 0xEE}));
    EXPECT_EQ(Decode(d8, {0x81, 5}, 0).Output, Bytes{});
    EXPECT_EQ(Decode(d8, {0x81, 5}, -3).Output, Bytes{});
}

TEST(TargaRLE, EncodesLiteralsAndRuns) {
    auto encode = [](uint32_t depth, const Bytes& pixels, uint32_t count) {
        TTargaRLEDecoder e(depth);
        Bytes out(pixels.size() * 2 + 4);
        uint32_t stored = 99;
        e.Encode(pixels.data(), out.data(), count, stored);
        out.resize(stored);
        return out;
    };
    EXPECT_EQ(encode(8, {7, 7, 7, 7}, 4), (Bytes{0x83, 7}));
    EXPECT_EQ(encode(8, {1, 2, 3}, 3), (Bytes{0x02, 1, 2, 3}));
    EXPECT_EQ(encode(8, {1, 2, 2, 2, 3}, 5), (Bytes{0x00, 1, 0x82, 2, 0x00, 3}));
    EXPECT_EQ(encode(15, {1, 0, 1, 0, 2, 0}, 3), (Bytes{0x81, 1, 0, 0x00, 2, 0}));

    // The worst case, a single pixel between pairs, needs more than one byte a pixel but never more
    // than two (the writer's row buffer).
    Bytes alternating;
    for (int i = 0; i < 99; ++i) alternating.push_back(i % 3 == 0 ? uint8_t(i) : uint8_t(i - i % 3 + 1));
    const Bytes worst = encode(8, alternating, 99);
    EXPECT_EQ(worst.size(), 132u);
    TTargaRLEDecoder decoder(8);
    EXPECT_EQ(Decode(decoder, worst, 99).Output, alternating);

    // Runs and literals longer than 128 pixels are split; decoding gives the pixels back.
    Bytes pixels;
    for (int i = 0; i < 300; ++i) pixels.push_back(uint8_t(i));
    pixels.insert(pixels.end(), 200, 9);
    const Bytes packed = encode(8, pixels, uint32_t(pixels.size()));
    EXPECT_EQ(packed[0], 0x7F);
    TTargaRLEDecoder d(8);
    EXPECT_EQ(Decode(d, packed, int32_t(pixels.size())).Output, pixels);
}

TEST(OtherRLE, DecodersFollowTheirCodes) {
    TPackbitsRLEDecoder packbits;
    EXPECT_EQ(Decode(packbits, {0xFE, 0xAA}, 3).Output, (Bytes{0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(Decode(packbits, {0x80, 0x02, 1, 2, 3}, 3).Output, (Bytes{1, 2, 3}));

    TPCXRLEDecoder pcx;
    EXPECT_EQ(Decode(pcx, {0xC3, 0x55, 0x41}, 4).Output, (Bytes{0x55, 0x55, 0x55, 0x41}));
    EXPECT_EQ(Decode(pcx, {0xC0, 0x55, 0x41}, 1).Output, (Bytes{0x41}));

    TSGIRLEDecoder sgi8(8);
    EXPECT_EQ(Decode(sgi8, {0x83, 1, 2, 3, 0x05, 7, 0x00}, 8).Output, (Bytes{1, 2, 3, 7, 7, 7, 7, 7}));
    TSGIRLEDecoder sgi16(16);
    EXPECT_EQ(Decode(sgi16, {0x00, 0x82, 1, 2, 3, 4, 0x00, 0x02, 5, 6, 0, 0}, 4, 2).Output,
              (Bytes{1, 2, 3, 4, 5, 6, 5, 6}));

    TCUTRLEDecoder cut;
    const TResult line = Decode(cut, {0x05, 0x00, 0x82, 0x09, 0x02, 0x0A, 0x0B, 0x00, 0x77}, 4);
    EXPECT_EQ(line.Output, (Bytes{9, 9, 10, 11}));
    EXPECT_EQ(line.SourceUsed, 8u);

    TPSPRLEDecoder psp;
    EXPECT_EQ(Decode(psp, {0x83, 0x7F, 0x02, 0x01, 0x02}, 5).Output, (Bytes{0x7F, 0x7F, 0x7F, 1, 2}));

    TRLADecoder rla;
    EXPECT_EQ(Decode(rla, {0xFE, 0x01, 0x02, 0x03, 0xAA}, 6).Output, (Bytes{1, 2, 0xAA, 0xAA, 0xAA, 0xAA}));
}

TEST(OtherRLE, HostileDataNeverPassesEitherBuffer) {
    // Runs longer than the output.
    TPackbitsRLEDecoder packbits;
    EXPECT_EQ(Decode(packbits, {0x81, 7}, 3).Output, Bytes(3, 7));
    TPCXRLEDecoder pcx;
    EXPECT_EQ(Decode(pcx, {0xFF, 7}, 3).Output, Bytes(3, 7));
    TSGIRLEDecoder sgi8(8);
    EXPECT_EQ(Decode(sgi8, {0x7F, 7}, 3).Output, Bytes(3, 7));
    TCUTRLEDecoder cut;
    const TResult line = Decode(cut, {0, 0, 0xFF, 7, 0x03, 1, 2, 3, 0}, 2);
    EXPECT_EQ(line.Output, Bytes(2, 7));
    EXPECT_EQ(line.SourceUsed, 9u); // still read to the end code, so the next line starts right
    TPSPRLEDecoder psp;
    EXPECT_EQ(Decode(psp, {0xFF, 7}, 3).Output, Bytes(3, 7));
    TRLADecoder rla;
    EXPECT_EQ(Decode(rla, {0x7F, 7}, 3).Output, Bytes(3, 7));

    // Counts past the end of the source.
    EXPECT_EQ(Decode(packbits, {0x7F, 1, 2}, 4).Output, (Bytes{1, 2, 0xEE, 0xEE}));
    EXPECT_EQ(Decode(packbits, {0xF0}, 2).Output, (Bytes{0xEE, 0xEE}));
    EXPECT_EQ(Decode(pcx, {0xC5}, 2).Output, (Bytes{0xEE, 0xEE}));
    EXPECT_EQ(Decode(sgi8, {0xFF, 1, 2}, 4).Output, (Bytes{1, 2, 0xEE, 0xEE}));
    TSGIRLEDecoder sgi16(16);
    EXPECT_EQ(Decode(sgi16, {0x00, 0x83, 1, 2, 3}, 3, 2).Output, (Bytes{1, 2, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Decode(sgi16, {0x00}, 3, 2).Output, Bytes(6, 0xEE));
    EXPECT_EQ(Decode(cut, {0, 0, 0x05, 1, 2}, 4).Output, (Bytes{1, 2, 0xEE, 0xEE}));
    EXPECT_EQ(Decode(cut, {0}, 4).SourceUsed, 1u);
    EXPECT_EQ(Decode(psp, {0x7F, 1, 2}, 4).Output, (Bytes{1, 2, 0xEE, 0xEE}));
    EXPECT_EQ(Decode(psp, {0x85}, 4).Output, Bytes(4, 0xEE));
    EXPECT_EQ(Decode(rla, {0x80, 1, 2}, 4).Output, (Bytes{1, 2, 0xEE, 0xEE}));
    EXPECT_EQ(Decode(rla, {0x05}, 4).Output, Bytes(4, 0xEE));
}

} // namespace
} // namespace ferronel
