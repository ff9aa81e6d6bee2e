#include "readers/decoders/CCITTFax3Decoder.h"
#include "readers/decoders/CCITTFax4Decoder.h"
#include "readers/decoders/CCITTMHDecoder.h"

#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

// Decodes Packed (from a heap block of exactly its size) into Unpacked bytes fenced by guard bytes
// that must survive; the input must come back unchanged and neither pointer may move.
Bytes Decode(TCCITTDecoder& decoder, const Bytes& packed, size_t unpacked) {
    auto source = std::make_unique<uint8_t[]>(std::max<size_t>(packed.size(), 1));
    std::copy(packed.begin(), packed.end(), source.get());
    Bytes dest(unpacked + 16, 0xEE);
    const uint8_t* s = source.get();
    uint8_t* d = dest.data() + 8;
    decoder.Decode(s, d, int32_t(packed.size()), int32_t(unpacked));
    EXPECT_EQ(s, source.get());
    EXPECT_EQ(d, dest.data() + 8);
    EXPECT_TRUE(std::equal(packed.begin(), packed.end(), source.get())) << "input modified";
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(dest[i], 0xEE) << "guard before";
        EXPECT_EQ(dest[dest.size() - 1 - i], 0xEE) << "guard after";
    }
    return Bytes(dest.begin() + 8, dest.end() - 8);
}

// Bits written as text ("0111 11"; spaces ignored), packed most significant first, zero-padded.
Bytes Bits(const std::string& text) {
    Bytes out;
    int n = 0;
    for (const char c : text) {
        if (c != '0' && c != '1') continue;
        if (n % 8 == 0) out.push_back(0);
        if (c == '1') out.back() |= uint8_t(0x80 >> (n % 8));
        ++n;
    }
    return out;
}

Bytes Reversed(Bytes b) {
    for (uint8_t& v : b) {
        uint8_t r = 0;
        for (int i = 0; i < 8; ++i)
            if (v & (1 << i)) r |= uint8_t(0x80 >> i);
        v = r;
    }
    return b;
}

const std::string EOL = "000000000001 ";

TEST(CCITT, ModifiedHuffmanRunsMakeRows) {
    // A white row of 1728 (make-up + terminating 0), then a row starting black: W0 B10 W6.
    TCCITTMHDecoder mh(0, false, false, 1728 - 10);
    // Width 1718: the 1728 run is cut at the row end and must not spill into the next row.
    const Bytes out = Decode(mh,
                             Bits("010011011 00110101"
                                  "0000000"
                                  "00110101 0000100 1110"),
                             2 * 215);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 215), Bytes(215, 0));
    EXPECT_EQ(out[215], 0xFF);
    EXPECT_EQ(out[216], 0xC0);
    EXPECT_EQ(Bytes(out.begin() + 217, out.end()), Bytes(213, 0));

    // A black run crossing byte boundaries sets exactly its bits: W3 B10 W3.
    TCCITTMHDecoder small(0, false, false, 16);
    EXPECT_EQ(Decode(small, Bits("1000 0000100 1000"), 2), (Bytes{0x1F, 0xF8}));
    // The codes in the last byte count: W2 B2 in one byte.
    TCCITTMHDecoder four(0, false, false, 4);
    EXPECT_EQ(Decode(four, {0x7C}, 1), (Bytes{0x30}));
}

TEST(CCITT, LongRunsSumMakeUpCodes) {
    // 2560 + 63 white, then 1 black, in a row of 2624.
    TCCITTMHDecoder mh(0, false, false, 2624);
    const Bytes out = Decode(mh, Bits("000000011111 00110100 010"), 328);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 327), Bytes(327, 0));
    EXPECT_EQ(out[327], 0x01);
    // Black make-up followed by black make-up and a terminating code: 2560 + 1728 + 2 = 4290.
    TCCITTMHDecoder black(0, false, false, 4290);
    const Bytes b = Decode(black, Bits("00110101 000000011111 0000001100101 11"), 537);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 536), Bytes(536, 0xFF));
    EXPECT_EQ(b[536], 0xC0);
}

TEST(CCITT, RunsNeverLeaveTheirRowOrTheOutput) {
    // W0, B2560, B0 in a 16-pixel row: two bytes, not 320.
    TCCITTMHDecoder mh(0, false, false, 16);
    EXPECT_EQ(Decode(mh, {0x35, 0x01, 0xF0, 0xDC}, 4), (Bytes{0xFF, 0xFF, 0, 0}));
    // An output that ends inside a row takes the part that fits.
    TCCITTMHDecoder nine(0, false, false, 9);
    EXPECT_EQ(Decode(nine,
                     Bits("00110101 000000011111 0000110111 00"
                          "00110101 000000011111 0000110111"),
                     3),
              (Bytes{0xFF, 0x80, 0xFF}));
    // Word alignment moves the coded input, not the output: rows of 3 bytes stay 3 bytes apart.
    TCCITTMHDecoder aligned(0, false, true, 17);
    const Bytes twoRows = Bits("00110101 0000011000 00000000000000"
                               "10100 011 1011");
    EXPECT_EQ(Decode(aligned, twoRows, 6), (Bytes{0xFF, 0xFF, 0x80, 0x00, 0x78, 0x00}));
}

TEST(CCITT, FillOrderTwoDecodesLikeReversedBytes) {
    const Bytes msb = Bits("1000 0000100 1000 0"
                           "0111 011 00111");
    TCCITTMHDecoder normal(0, false, false, 16), swapped(0, true, false, 16);
    const Bytes expected = Decode(normal, msb, 4);
    EXPECT_EQ(expected, (Bytes{0x1F, 0xF8, 0x3C, 0x00}));
    EXPECT_EQ(Decode(swapped, Reversed(msb), 4), expected);
}

TEST(CCITT, InputEndingInsideACodeKeepsTheSumSoFar) {
    // W64 (make-up), then the input ends inside the terminating code: 64 white, nothing more.
    TCCITTMHDecoder mh(0, false, false, 80);
    EXPECT_EQ(Decode(mh, Bits("11011 0011"), 10), Bytes(10, 0));
    // The same with a black make-up run: 64 black, then the input ends.
    EXPECT_EQ(Decode(mh, Bits("00110101 0000001111 0000"), 10),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
    // Nothing at all: white.
    EXPECT_EQ(Decode(mh, {}, 10), Bytes(10, 0));
}

TEST(CCITT, Group3RowsFollowTheirEndOfLineCodes) {
    // Fill bits before each end-of-line code; W3 B10 W3 then W0 B16.
    TCCITTFax3Decoder g3(t4FillBits, false, false, 16);
    EXPECT_EQ(Decode(g3, Bits("0000" + EOL + "1000 0000100 1000 000" + EOL + "00110101 0000010111"), 4),
              (Bytes{0x1F, 0xF8, 0xFF, 0xFF}));
    // Codes in the last byte count: W2 B1 W1 B1 in a row of 5.
    TCCITTFax3Decoder five(0, false, false, 5);
    EXPECT_EQ(Decode(five, {0x00, 0x17, 0x43, 0xA0}, 1), (Bytes{0x28}));
    // A row cut short by an end-of-line code stays white after it, and the next row starts right
    // after that code, whole.
    TCCITTFax3Decoder g(0, false, false, 16);
    EXPECT_EQ(Decode(g, {0x00, 0x17, 0x00, 0x13, 0x50, 0x5C}, 4), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(Decode(g, Bits(EOL + "1000 0010 " + EOL + "00110101 0000010111"), 4),
              (Bytes{0x1F, 0x80, 0xFF, 0xFF}));
}

TEST(CCITT, Group3StripWithoutTheFirstEndOfLineCode) {
    // The first row starts at once (W3 B10 W3); the second has its end-of-line code.
    TCCITTFax3Decoder g3(0, false, false, 16);
    EXPECT_EQ(Decode(g3, Bits("1000 0000100 1000 " + EOL + "00110101 0000010111"), 4),
              (Bytes{0x1F, 0xF8, 0xFF, 0xFF}));
}

TEST(CCITT, MakeUpCodeBeforeABadCodeIsNotARun) {
    // W64 and then an end-of-line code: the row ends there, white; the next row is read whole.
    TCCITTFax3Decoder g3(0, false, false, 16);
    EXPECT_EQ(Decode(g3, Bits(EOL + "11011 " + EOL + "00110101 0000010111"), 4), (Bytes{0, 0, 0xFF, 0xFF}));
}

TEST(CCITT, TwoDimensionalRowsFollowTheRowAbove) {
    // Width 16. Row 1 (one-dimensional): W4 B8 W4. Row 2 (two-dimensional): V0 V0 — the same.
    // Row 3: VR1 VL1 — black from 5 to 11. Row 4: pass to the end (white), then nothing.
    const std::string row1 = "1 1011 000101 1011";
    const std::string rows = EOL + row1 + EOL + "0 1 1 1 " + EOL + "0 011 010 1 " + EOL + "0 0001 1";
    TCCITTFax3Decoder g3(t4TwoDimensional, false, false, 16);
    EXPECT_EQ(Decode(g3, Bits(rows), 8), (Bytes{0x0F, 0xF0, 0x0F, 0xF0, 0x07, 0xE0, 0x00, 0x00}));

    // The same rows in Group 4: the first against a white row (horizontal mode); row 4 a single
    // black pixel (horizontal, pass, vertical); row 5 a vertical mode that points before the row
    // start, which is damage that ends the strip.
    TCCITTFax4Decoder g4(false, 16);
    const std::string g4rows = "001 1011 000101 1 "
                               "1 1 1 "
                               "011 010 1 "
                               "001 000111 010 0001 1 "
                               "0000010 001 1011 000101 1";
    EXPECT_EQ(Decode(g4, Bits(g4rows), 10),
              (Bytes{0x0F, 0xF0, 0x0F, 0xF0, 0x07, 0xE0, 0x40, 0x00, 0x00, 0x00}));
    // Closing end-of-line codes end decoding; what follows is not read.
    EXPECT_EQ(Decode(g4, Bits("001 1011 000101 1 " + EOL + EOL + "001 00110101 0000010111"), 4),
              (Bytes{0x0F, 0xF0, 0x00, 0x00}));
}

// Real strips: tests/data/fax holds one strip of each kind, cut from TIFF files public tools wrote
// from the same picture, and the rows libtiff decodes from them (make-fixtures.sh).
Bytes ReadFile(const std::string& name) {
    std::ifstream in(test::DataPath("fax/" + name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct TStripCase {
    const char* Name;
    int Kind; // TIFF compression, or 32 for two-dimensional Group 3
    bool LsbFirst;
};

class CCITTRealStrips : public ::testing::TestWithParam<TStripCase> {};

TEST_P(CCITTRealStrips, DecodeToTheReferenceRows) {
    constexpr uint32_t width = 2700, height = 121;
    constexpr size_t rowBytes = (width + 7) / 8;
    const TStripCase c = GetParam();
    const Bytes strip = ReadFile(std::string(c.Name) + ".strip");
    const Bytes expected = ReadFile("text.rows");
    ASSERT_FALSE(strip.empty());
    ASSERT_EQ(expected.size(), rowBytes * height);
    std::unique_ptr<TCCITTDecoder> d;
    switch (c.Kind) {
    case 2: d = std::make_unique<TCCITTMHDecoder>(0, c.LsbFirst, false, width); break;
    case 32771: d = std::make_unique<TCCITTMHDecoder>(0, c.LsbFirst, true, width); break;
    case 3: d = std::make_unique<TCCITTFax3Decoder>(0, c.LsbFirst, false, width); break;
    case 32: d = std::make_unique<TCCITTFax3Decoder>(t4TwoDimensional, c.LsbFirst, false, width); break;
    default: d = std::make_unique<TCCITTFax4Decoder>(c.LsbFirst, width); break;
    }
    const Bytes out = Decode(*d, strip, expected.size());
    for (size_t row = 0; row < height; ++row)
        ASSERT_TRUE(std::equal(out.begin() + ptrdiff_t(row * rowBytes),
                               out.begin() + ptrdiff_t((row + 1) * rowBytes),
                               expected.begin() + ptrdiff_t(row * rowBytes)))
            << "row " << row;
    // The same strip again through the same decoder: nothing is carried over between strips.
    EXPECT_EQ(Decode(*d, strip, expected.size()), out);
}

INSTANTIATE_TEST_SUITE_P(
    Fax, CCITTRealStrips,
    ::testing::Values(TStripCase{"text-mh", 2, false}, TStripCase{"text-mh-lsb", 2, true},
                      TStripCase{"text-mhw", 32771, false}, TStripCase{"text-mhw-lsb", 32771, true},
                      TStripCase{"text-g3-1d", 3, false}, TStripCase{"text-g3-1d-lsb", 3, true},
                      TStripCase{"text-g3-1d-fill", 3, false}, TStripCase{"text-fax2tiff", 3, true},
                      TStripCase{"text-g3-2d", 32, false}, TStripCase{"text-g3-2d-lsb", 32, true},
                      TStripCase{"text-g4", 4, false}, TStripCase{"text-g4-lsb", 4, true}),
    [](const auto& param) {
        std::string n = param.param.Name;
        for (char& ch : n)
            if (ch == '-') ch = '_';
        return n;
    });

} // namespace
} // namespace ferronel
