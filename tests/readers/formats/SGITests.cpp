#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/SGIGraphic.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(uint8_t storage, uint8_t bpc, uint16_t dimension, uint16_t x, uint16_t y, uint16_t z) {
    Bytes h(512, 0);
    StoreU16BE(&h[0], 474);
    h[2] = storage;
    h[3] = bpc;
    StoreU16BE(&h[4], dimension);
    StoreU16BE(&h[6], x);
    StoreU16BE(&h[8], y);
    StoreU16BE(&h[10], z);
    return h;
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

void AppendU32BE(Bytes& to, uint32_t v) {
    uint8_t b[4];
    StoreU32BE(b, v);
    to.insert(to.end(), b, b + 4);
}

// A run-length file of one row per channel: the tables, then the rows' bytes.
Bytes RleFile(uint16_t width, const std::vector<Bytes>& rows, uint8_t channels) {
    Bytes f = Header(1, 1, 3, width, 1, channels);
    uint32_t at = 512 + 8 * uint32_t(rows.size());
    for (const Bytes& r : rows) AppendU32BE(f, at), at += uint32_t(r.size());
    for (const Bytes& r : rows) AppendU32BE(f, uint32_t(r.size()));
    for (const Bytes& r : rows) Append(f, r);
    return f;
}

std::unique_ptr<TSGIGraphic> Load(const Bytes& bytes) { return test::LoadAs<TSGIGraphic>(bytes); }

using test::RowBytes;

TEST(SGIReader, ChannelsAreStoredOneAfterAnotherAndRowsBottomFirst) {
    Bytes f = Header(0, 1, 3, 2, 2, 3);
    Append(f, {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24});
    const auto g = Load(f);
    EXPECT_EQ(g->PixelFormat(), pf24bit);
    EXPECT_EQ(RowBytes(*g, 1, 6), (Bytes{21, 11, 1, 22, 12, 2})); // the first red byte is bottom left
    EXPECT_EQ(RowBytes(*g, 0, 6), (Bytes{23, 13, 3, 24, 14, 4}));
}

TEST(SGIReader, SixteenBitSamplesAreSwappedAndScaled) {
    Bytes f = Header(0, 2, 3, 1, 1, 3);
    Append(f, {0xFF, 0xFF, 0x80, 0x00, 0x00, 0xFF});
    EXPECT_EQ(RowBytes(*Load(f), 0, 3), (Bytes{0, 127, 255}));
    // One 16-bit channel is brought to 8 bits the same way, not written twice as wide.
    Bytes grey = Header(0, 2, 2, 3, 1, 0);
    Append(grey, {0x80, 0x00, 0xFF, 0xFF, 0x00, 0x01});
    const auto g = Load(grey);
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{127, 255, 0}));
}

TEST(SGIReader, TheDimensionDecidesWhichSizesCount) {
    // Dimension 2 ignores the Z size, dimension 1 also the Y size.
    Bytes two = Header(0, 1, 2, 2, 1, 0);
    Append(two, {5, 6});
    const auto g = Load(two);
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(RowBytes(*g, 0, 2), (Bytes{5, 6}));
    EXPECT_EQ((*g->Palette())[6], (TPaletteEntry{6, 6, 6, 0}));
    Bytes one = Header(0, 1, 1, 2, 0, 7);
    Append(one, {8, 9});
    EXPECT_EQ(RowBytes(*Load(one), 0, 2), (Bytes{8, 9}));
    // Dimension 0 is refused by CanLoad and loads all the same.
    Bytes zero = Header(0, 1, 0, 1, 1, 1);
    Append(zero, {4});
    TMemoryStream s(zero);
    EXPECT_FALSE(TSGIGraphic().CanLoad(s));
    EXPECT_EQ(RowBytes(*Load(zero), 0, 1), Bytes{4});
    // Two channels have no bitmap layout.
    Bytes grayAlpha = Header(0, 1, 3, 1, 1, 2);
    Append(grayAlpha, {1, 2});
    try {
        Load(grayAlpha);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected sgi, bw or rgb(a) image format.");
    }
}

TEST(SGIReader, RowTablesAreIndexedChannelByChannel) {
    // Green's row 0 is entry Height (here 1) of the tables.
    const auto g = Load(RleFile(2, {{0x82, 1, 2, 0}, {0x02, 7, 0}, {0x81, 9, 0x01, 8, 0}}, 3));
    EXPECT_EQ(RowBytes(*g, 0, 6), (Bytes{9, 7, 1, 8, 7, 2}));
}

TEST(SGIReader, DamagedRunsAndTablesStayInsideTheirBuffers) {
    // A literal of 127 into a row of 4 and a run without an end code are cut at the row.
    const auto lit = Load(RleFile(4, {Bytes{0xFF}}, 1));
    EXPECT_EQ(RowBytes(*lit, 0, 4), Bytes(4, 0));
    Bytes longRun(128, 3);
    longRun[0] = 0xFF;
    EXPECT_EQ(RowBytes(*Load(RleFile(4, {longRun}, 1)), 0, 4), Bytes(4, 3));
    EXPECT_EQ(RowBytes(*Load(RleFile(4, {{0x05, 0xAA}}, 1)), 0, 4), Bytes(4, 0xAA));

    // An offset past the file leaves the row empty; a huge length is cut at the file's end.
    Bytes past = Header(1, 1, 3, 2, 1, 1);
    AppendU32BE(past, 0x7FFFFFF0);
    AppendU32BE(past, 0xFFFFFFFF);
    EXPECT_EQ(RowBytes(*Load(past), 0, 2), (Bytes{0, 0}));
    Bytes huge = Header(1, 1, 3, 2, 1, 1);
    AppendU32BE(huge, 520);
    AppendU32BE(huge, 0xFFFFFFFF);
    Append(huge, {0x02, 6, 0});
    EXPECT_EQ(RowBytes(*Load(huge), 0, 2), (Bytes{6, 6}));

    // Tables longer than the file: the reader's message.
    Bytes noTables = Header(1, 1, 3, 100, 100, 3);
    Append(noTables, {0, 0, 0, 0});
    EXPECT_THROW(Load(noTables), EInvalidGraphic);

    // Uncompressed rows that the file does not hold stay 0.
    Bytes shortRaw = Header(0, 1, 3, 2, 2, 1);
    Append(shortRaw, {1, 2, 3});
    const auto s = Load(shortRaw);
    EXPECT_EQ(RowBytes(*s, 1, 2), (Bytes{1, 2}));
    EXPECT_EQ(RowBytes(*s, 0, 2), (Bytes{3, 0}));
}

struct TSGIConformance {
    using Graphic = TSGIGraphic;
    static constexpr const char* Folder = "sgi";
    static constexpr const char* Extension = ".sgi";
    static constexpr size_t HeaderSize = 512;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        Bytes f = Header(0, 1, 3, uint16_t(Width), uint16_t(Height), 3);
        f.resize(f.size() + 12, 0x40);
        return f;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(SGI, ferronel::TSGIConformance)
