#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/RLAGraphic.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

struct TRLAFields {
    int16_t Left = 0, Right = 0, Bottom = 0, Top = 0;
    int16_t Channels = 3, Mattes = 0, Bits = 8;
    std::string Gamma = "1.0", Space = "rgb";
    uint16_t Revision = 0xFFFE;
};

Bytes Header(const TRLAFields& f) {
    Bytes h(740, 0);
    const int16_t window[8] = {f.Left, f.Right, f.Bottom, f.Top, f.Left, f.Right, f.Bottom, f.Top};
    for (size_t i = 0; i < 8; ++i) StoreU16BE(&h[2 * i], uint16_t(window[i]));
    StoreU16BE(&h[20], uint16_t(f.Channels));
    StoreU16BE(&h[22], uint16_t(f.Mattes));
    StoreU16BE(&h[26], f.Revision);
    std::memcpy(&h[28], f.Gamma.data(), f.Gamma.size());
    std::memcpy(&h[580], f.Space.data(), f.Space.size());
    StoreU16BE(&h[658], uint16_t(f.Bits));
    return h;
}

// A file of the given rows, in stored order; each row is its channel records.
Bytes File(const TRLAFields& f, const std::vector<std::vector<Bytes>>& rows) {
    Bytes file = Header(f);
    uint32_t at = uint32_t(740 + 4 * rows.size());
    for (const auto& row : rows) {
        file.resize(file.size() + 4);
        StoreU32BE(&file[file.size() - 4], at);
        for (const Bytes& record : row) at += uint32_t(2 + record.size());
    }
    for (const auto& row : rows)
        for (const Bytes& record : row) {
            file.push_back(uint8_t(record.size() >> 8));
            file.push_back(uint8_t(record.size()));
            file.insert(file.end(), record.begin(), record.end());
        }
    return file;
}

std::unique_ptr<TRLAGraphic> Load(const Bytes& bytes) { return test::LoadAs<TRLAGraphic>(bytes); }

using test::RowBytes;

TEST(RLAReader, RowsComeOutUprightEitherWay) {
    TRLAFields up;
    up.Right = 0;
    up.Top = 1; // bottom 0 below top 1: stored bottom row first
    const Bytes file = File(up, {{{0, 1}, {0, 2}, {0, 3}}, {{0, 4}, {0, 5}, {0, 6}}});
    const auto g = Load(file);
    EXPECT_EQ(g->PixelFormat(), pf24bit);
    EXPECT_EQ(RowBytes(*g, 1, 3), (Bytes{3, 2, 1}));
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{6, 5, 4}));
    TRLAFields down;
    down.Bottom = 1; // bottom above top: stored top row first
    EXPECT_EQ(RowBytes(*Load(File(down, {{{0, 1}, {0, 2}, {0, 3}}, {{0, 4}, {0, 5}, {0, 6}}})), 0, 3),
              (Bytes{3, 2, 1}));
    TMemoryStream s(file);
    EXPECT_TRUE(TRLAGraphic().CanLoad(s));
    EXPECT_EQ(s.Position(), 0);
}

TEST(RLAReader, TheFirstMatteIsTheOpacityHoweverManyThereAre) {
    for (int16_t mattes : {1, 2}) {
        TRLAFields f;
        f.Right = 1;
        f.Mattes = mattes;
        const auto g = Load(File(f, {{{1, 10}, {1, 20}, {1, 30}, {1, 99}, {1, 77}}}));
        EXPECT_EQ(g->PixelFormat(), pf32bit) << mattes;
        EXPECT_EQ(g->AlphaFormat(), afDefined);
        EXPECT_EQ(RowBytes(*g, 0, 8), (Bytes{30, 20, 10, 99, 30, 20, 10, 99})) << mattes;
    }
}

TEST(RLAReader, GreyFilesReadOneChannel) {
    TRLAFields f;
    f.Channels = 1;
    f.Right = 2;
    f.Top = 1;
    const auto g = Load(File(f, {{{2, 7}}, {{0xFD, 1, 2, 3}}}));
    EXPECT_EQ(g->PixelFormat(), pf8bit);
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{1, 2, 3}));
    EXPECT_EQ(RowBytes(*g, 1, 3), (Bytes{7, 7, 7}));
}

TEST(RLAReader, GammaFromItsText) {
    TRLAFields f;
    f.Gamma = "2.2";
    const auto g = Load(File(f, {{{0, 128}, {0, 0}, {0, 255}}}));
    EXPECT_TRUE(g->ImageProperties().Flags.Contains(ifFileGamma));
    EXPECT_FLOAT_EQ(g->ImageProperties().Gamma, 2.2f);
    EXPECT_NE(RowBytes(*g, 0, 3)[2], 128); // corrected
    EXPECT_EQ(RowBytes(*g, 0, 3)[1], 0);
    for (const char* off : {"1.0", "abc", "nan", "inf", "-2", ""}) {
        f.Gamma = off;
        const auto o = Load(File(f, {{{0, 128}, {0, 0}, {0, 255}}}));
        EXPECT_FALSE(o->ImageProperties().Flags.Contains(ifFileGamma)) << off;
        EXPECT_EQ(RowBytes(*o, 0, 3), (Bytes{255, 0, 128})) << off;
    }
}

TEST(RLAReader, RunsAndRecordsStayInsideTheirBuffers) {
    TRLAFields f;
    // Width 1: two runs of 128 bytes are cut at the one byte of the row.
    const auto g = Load(File(f, {{{0x7F, 0xAA, 0x7F, 0xAA}, {0x7F, 0xBB}, {0x7F, 0xCC}}}));
    EXPECT_EQ(RowBytes(*g, 0, 3), (Bytes{0xCC, 0xBB, 0xAA}));
    // A record longer than the file and an offset past it: what is there, the rest 0.
    TRLAFields two;
    two.Right = 1;
    two.Top = 1;
    Bytes cut = File(two, {{{1, 5}, {1, 6}, {1, 7}}, {{1, 8}, {1, 9}, {1, 10}}});
    StoreU32BE(&cut[744], 0x7FFFFFFF);
    cut.resize(cut.size() - 1);
    cut[cut.size() - 2] = 0x40;
    const auto c = Load(cut);
    EXPECT_EQ(RowBytes(*c, 1, 6), (Bytes{7, 6, 5, 7, 6, 5}));
    EXPECT_EQ(RowBytes(*c, 0, 6), Bytes(6, 0));
}

TEST(RLAReader, HeadersThatCannotBeLoaded) {
    auto error = [](const TRLAFields& f) {
        try {
            Load(File(f, {{{0, 1}, {0, 2}, {0, 3}}}));
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::string();
    };
    TRLAFields noWidth;
    noWidth.Left = 5;
    noWidth.Right = 2;
    EXPECT_EQ(error(noWidth), "Cannot load image. Invalid or unexpected RLA image format.");
    TRLAFields wide;
    wide.Bits = 16;
    EXPECT_EQ(error(wide), "Invalid color format in RLA file.");
    TRLAFields twoChannels;
    twoChannels.Channels = 2;
    EXPECT_EQ(error(twoChannels), "Invalid color format in RLA file.");
    TRLAFields space;
    space.Space = "cmy";
    EXPECT_EQ(error(space), "Cannot load image. Invalid or unexpected RLA image format.");
    TRLAFields xyz;
    xyz.Space = "XYZ";
    EXPECT_THROW(Load(File(xyz, {{{0, 1}, {0, 2}, {0, 3}}})), EColorConversionError);
    TRLAFields revision;
    revision.Revision = 1;
    const Bytes file = File(revision, {{{0, 1}, {0, 2}, {0, 3}}});
    TMemoryStream s(file);
    EXPECT_FALSE(TRLAGraphic().CanLoad(s));
}

struct TRLAConformance {
    using Graphic = TRLAGraphic;
    static constexpr const char* Folder = "rla";
    static constexpr const char* Extension = ".rla";
    static constexpr size_t HeaderSize = 740;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        // The header's sizes are differences plus one, the largest the whole range of the 16-bit
        // fields. Zero sizes cannot be stated; a right edge before the left one stands for them.
        TRLAFields f;
        f.Left = int16_t(Width == 0 || Height == 0 ? 0 : -32768);
        f.Right = int16_t(Width == 0 || Height == 0 ? -1 : int32_t(Width) - 32769);
        f.Top = int16_t(-32768);
        f.Bottom = int16_t(int32_t(Height) - 32769);
        Bytes file = Header(f);
        file.resize(file.size() + 16, 0);
        return file;
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(RLA, ferronel::TRLAConformance)
