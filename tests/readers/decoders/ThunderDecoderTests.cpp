#include "readers/decoders/ThunderDecoder.h"

#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include <memory>
#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

// Decodes into Unpacked bytes first set to EE, fenced by guards that must survive; the source is a
// heap block of exactly its size.
Bytes Decode(uint32_t width, const Bytes& packed, size_t unpacked) {
    TThunderDecoder decoder(width);
    auto source = std::make_unique<uint8_t[]>(std::max<size_t>(packed.size(), 1));
    std::copy(packed.begin(), packed.end(), source.get());
    Bytes dest(unpacked + 16, 0xEE);
    const uint8_t* s = source.get();
    uint8_t* d = dest.data() + 8;
    decoder.Decode(s, d, int32_t(packed.size()), int32_t(unpacked));
    EXPECT_EQ(s, source.get());
    EXPECT_EQ(d, dest.data() + 8);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(dest[i], 0xEE) << "guard before";
        EXPECT_EQ(dest[dest.size() - 1 - i], 0xEE) << "guard after";
    }
    return Bytes(dest.begin() + 8, dest.end() - 8);
}

TEST(Thunder, RunsCompleteTheHalfByteFirst) {
    // Pixel 3, then a run of five more: the run finishes the first byte, then whole bytes; the
    // pixels the input never reaches keep what was there.
    EXPECT_EQ(Decode(8, {0xC3, 0x05}, 4), (Bytes{0x33, 0x33, 0x33, 0xEE}));
    // A run after an even count: whole bytes, and an odd tail leaves the low half clear.
    EXPECT_EQ(Decode(8, {0xC7, 0xC7, 0x03}, 4), (Bytes{0x77, 0x77, 0x70, 0xEE}));
}

TEST(Thunder, DeltaFieldsStepFromTheLastPixel) {
    // 2-bit fields 2, 1, 3: no pixel, +1, -1. 3-bit fields 4, 1: no pixel, +1.
    EXPECT_EQ(Decode(4, {0x67, 0xA1}, 2), (Bytes{0x10, 0x10}));
    // Steps wrap within four bits: 0 - 1 is 15; 3-bit steps of +3 and -3.
    EXPECT_EQ(Decode(4, {0x43, 0x9D, 0xC0}, 2), (Bytes{0x00, 0xF2}));
}

TEST(Thunder, EachRowIsCodedOnItsOwn) {
    // Two rows of two pixels: the second row's steps start from 0, not from the first row's 5.
    EXPECT_EQ(Decode(2, {0xC5, 0xC5, 0x89}, 2), (Bytes{0x55, 0x12}));
    // Odd widths pad each row to a whole byte.
    EXPECT_EQ(Decode(3, {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6}, 4), (Bytes{0x12, 0x30, 0x45, 0x60}));
    // A run longer than the row is cut at the row end; the next byte starts the next row.
    EXPECT_EQ(Decode(4, {0xC7, 0x3F, 0xC1, 0x03}, 4), (Bytes{0x77, 0x77, 0x11, 0x11}));
}

TEST(Thunder, NothingIsWrittenPastTheOutput) {
    EXPECT_EQ(Decode(4, Bytes(8, 0xC5), 2), (Bytes{0x55, 0x55}));
    EXPECT_EQ(Decode(4, {0x3F}, 1), (Bytes{0x00}));
    EXPECT_EQ(Decode(7, {0xC9, 0x45, 0xC1, 0xC2, 0xC3}, 3), (Bytes{0x99, 0xAB, 0x12}));
    EXPECT_EQ(Decode(0, {0xC5}, 2), (Bytes{0xEE, 0xEE}));
    EXPECT_EQ(Decode(4, {}, 2), (Bytes{0xEE, 0xEE}));
}

Bytes ReadFile(const std::string& name) {
    std::ifstream in(test::DataPath("thunder/" + name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Thunder, DecodesLikeAnIndependentDecoder) {
    // Every kind of code over 24 rows of an odd width (make-fixtures.py), against libtiff's rows.
    const Bytes strip = ReadFile("pattern.strip"), rows = ReadFile("pattern.rows");
    ASSERT_EQ(rows.size(), 24u * 19u);
    EXPECT_EQ(Decode(37, strip, rows.size()), rows);
}

} // namespace
} // namespace ferronel
