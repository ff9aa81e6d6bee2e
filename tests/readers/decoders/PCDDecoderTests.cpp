#include "readers/decoders/PCDDecoder.h"

#include "host/Stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

// A code table: each entry a code of Length bits (written left-justified in Key) and its signed
// correction.
struct TEntry {
    int Length;
    uint16_t Key;
    int8_t Value;
};

void AddTable(Bytes& s, const std::vector<TEntry>& entries) {
    s.push_back(uint8_t(entries.size() - 1));
    for (const TEntry& e : entries) {
        s.push_back(uint8_t(e.Length - 1));
        s.push_back(uint8_t(e.Key >> 8));
        s.push_back(uint8_t(e.Key));
        s.push_back(uint8_t(e.Value));
    }
}

// A row header: 23 one bits and a zero, then the plane in two bits and the row in 13.
void AddHeader(Bytes& s, uint32_t row, uint32_t plane) {
    s.insert(s.end(),
             {0xFF, 0xFF, 0xFE, uint8_t(plane << 6 | (row >> 7 & 0x3F)), uint8_t((row & 0x7F) << 1)});
}

// One-bit codes: 0 adds 1, 1 subtracts 1.
const std::vector<TEntry> PlusMinus = {{1, 0x0000, 1}, {1, 0x8000, -1}};

// Each plane its own exactly sized vector, so a write outside is caught by the address sanitizer.
struct TPlanes {
    Bytes Luma, Chroma1, Chroma2;
    TPCDPlanes Record(uint32_t width) {
        return {{Luma.data(), Luma.size(), width},
                {Chroma1.data(), Chroma1.size(), width / 2},
                {Chroma2.data(), Chroma2.size(), width / 2}};
    }
};

void DecodeResiduals(const Bytes& stream, TPlanes& planes, uint32_t width, uint32_t stride, uint32_t endRow) {
    TMemoryStream s(stream);
    TPCDDecoder decoder(s);
    const TPCDPlanes record = planes.Record(width);
    const uint8_t* source = reinterpret_cast<const uint8_t*>(&record);
    uint8_t* dest = nullptr;
    decoder.Decode(source, dest, int32_t(stride), int32_t(endRow));
}

TEST(PCD, CorrectionsAreAddedAndClamped) {
    Bytes s;
    AddTable(s, PlusMinus);
    AddHeader(s, 0, 0);
    s.push_back(0x0F); // +1 four times, -1 four times: only four samples fit the row
    AddHeader(s, 1, 0);
    s.push_back(0xF0);
    AddHeader(s, 2, 0);
    TPlanes p{Bytes{0, 254, 255, 7, 0, 1, 255, 9}, Bytes(2, 50), Bytes(2, 60)};
    DecodeResiduals(s, p, 4, 4, 2);
    EXPECT_EQ(p.Luma, (Bytes{1, 255, 255, 8, 0, 0, 254, 8}));
    EXPECT_EQ(p.Chroma1, Bytes(2, 50));
}

TEST(PCD, RowsOutsideThePlanesAreSkipped) {
    Bytes s;
    AddTable(s, PlusMinus);
    AddHeader(s, 7, 0); // past the two rows
    s.push_back(0x00);
    AddHeader(s, 6, 2); // chroma row 3, past the chroma plane
    s.push_back(0x00);
    AddHeader(s, 1, 0);
    s.push_back(0x3F); // +1 +1 then -1s: the row of 4 takes four
    AddHeader(s, 100, 0);
    TPlanes p{Bytes(8, 10), Bytes(2, 50), Bytes(2, 60)};
    DecodeResiduals(s, p, 4, 4, 100);
    EXPECT_EQ(p.Luma, (Bytes{10, 10, 10, 10, 11, 11, 9, 9}));
}

TEST(PCD, ThreeTablesServeTheirPlanes) {
    // A stride above 1536 reads a table a plane; chroma headers count luminance rows.
    Bytes s;
    AddTable(s, PlusMinus);
    AddTable(s, {{2, 0x4000, 5}});  // 01: +5
    AddTable(s, {{2, 0x8000, -7}}); // 10: -7
    AddHeader(s, 2, 2);
    s.push_back(0x55); // four +5 codes
    AddHeader(s, 3, 3);
    s.push_back(0xA0); // two -7, then 00, no code: search for the next header
    s.push_back(0x12);
    AddHeader(s, 0, 0);
    s.push_back(0x7F); // +1, -1 ...
    AddHeader(s, 9, 0);
    const uint32_t stride = 1600;
    TPlanes p{Bytes(2 * stride, 100), Bytes(2 * stride, 100), Bytes(2 * stride, 100)};
    DecodeResiduals(s, p, stride, stride, 9);
    EXPECT_EQ(p.Luma[0], 101);
    EXPECT_EQ(p.Luma[1], 99);
    EXPECT_EQ(p.Chroma1[stride], 105);
    EXPECT_EQ(p.Chroma1[stride + 3], 105);
    EXPECT_EQ(p.Chroma1[stride + 4], 100);
    EXPECT_EQ(p.Chroma2[stride], 93);
    EXPECT_EQ(p.Chroma2[stride + 1], 93);
    EXPECT_EQ(p.Chroma2[stride + 2], 100);
    EXPECT_EQ(p.Chroma1[0], 100);
}

TEST(PCD, DamagedStreamsEndDecoding) {
    TPlanes p{Bytes(8, 10), Bytes(2, 50), Bytes(2, 60)};
    // No closing header: the stream ends, which is the stream's read error.
    Bytes cut;
    AddTable(cut, PlusMinus);
    AddHeader(cut, 0, 0);
    cut.push_back(0x00);
    EXPECT_THROW(DecodeResiduals(cut, p, 4, 4, 2), EReadError);
    EXPECT_THROW(DecodeResiduals({}, p, 4, 4, 2), EReadError);
    // A code longer than 16 bits and a header for plane 1 end quietly.
    Bytes tooLong;
    AddTable(tooLong, {{17, 0, 1}});
    AddHeader(tooLong, 0, 0);
    EXPECT_NO_THROW(DecodeResiduals(tooLong, p, 4, 4, 2));
    Bytes planeOne;
    AddTable(planeOne, PlusMinus);
    AddHeader(planeOne, 0, 1);
    planeOne.push_back(0x00);
    TPlanes q{Bytes(8, 10), Bytes(2, 50), Bytes(2, 60)};
    EXPECT_NO_THROW(DecodeResiduals(planeOne, q, 4, 4, 2));
    EXPECT_EQ(q.Luma, Bytes(8, 10));
}

} // namespace
} // namespace ferronel
