#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/ReaderGraphic.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

// A reader of 4-byte "TEST" headers, enough to exercise the base's contract.
class TTestReader : public TReaderGraphic {
    FERRONEL_CLASS(TTestReader, TReaderGraphic)
public:
    bool CanLoad(TStream& Stream) const override {
        const int64_t position = Stream.Position();
        if (Stream.Size() - position <= 4) return false;
        char magic[4];
        Stream.ReadBuffer(magic, 4);
        Stream.SetPosition(position);
        return std::string(magic, 4) == "TEST";
    }
    bool LoadImageProperties(TStream& Stream, uint32_t Index) override {
        TReaderGraphic::LoadImageProperties(Stream, Index);
        ImageProperties().Width = 7;
        return true;
    }
    using TReaderGraphic::CanLoad;
    void Report() {
        ProgressRect = TRect{0, 0, 4, 1};
        StartProgress("Transfering...");
        for (uint32_t row = 0; row < 3; ++row) RowProgress(row);
        EndProgress();
    }
};

TEST(ReaderGraphic, CanLoadLeavesTheStreamWhereItWas) {
    TTestReader reader;
    TMemoryStream shortStream(std::vector<uint8_t>{'T', 'E', 'S', 'T'});
    EXPECT_FALSE(reader.CanLoad(shortStream));
    EXPECT_EQ(shortStream.Position(), 0);
    TMemoryStream good(std::vector<uint8_t>{'x', 'T', 'E', 'S', 'T', 0});
    good.SetPosition(1);
    EXPECT_TRUE(CanLoad(TTestReader::ClassInfo(), good));
    EXPECT_EQ(good.Position(), 1);
    EXPECT_FALSE(CanLoad(TTestReader::ClassInfo(), "/no/such/file.test"));
    EXPECT_FALSE(CanLoad(TBitmap::ClassInfo(), good)); // not a reader class
}

TEST(ReaderGraphic, BaseLoadImagePropertiesResetsEverything) {
    TReaderGraphic reader;
    TImageProperties& p = reader.ImageProperties();
    p.Width = 5;
    p.Gamma = 0.45f;
    p.RowsPerStrip = {1, 2};
    p.Flags.Include(ifBigEndian);
    TMemoryStream s;
    EXPECT_FALSE(reader.LoadImageProperties(s, 0));
    EXPECT_EQ(p.Width, 0u);
    EXPECT_FLOAT_EQ(p.Gamma, 1.0f);
    EXPECT_TRUE(p.RowsPerStrip.empty());
    EXPECT_TRUE(p.Flags.Empty());
}

TEST(ReaderGraphic, AssignCopiesPropertiesOnlyFromReaders) {
    TTestReader source;
    source.ImageProperties().RowsPerStrip = {16, 16, 3};
    source.SetPixelFormat(pf8bit);
    source.SetSize(2, 2);
    TReaderGraphic target;
    target.Assign(source);
    EXPECT_EQ(target.ImageProperties().RowsPerStrip, (TCardinalArray{16, 16, 3}));
    EXPECT_EQ(target.Width(), 2);

    TBitmap plain;
    plain.SetSize(3, 3);
    target.Assign(plain);
    EXPECT_EQ(target.ImageProperties().RowsPerStrip.size(), 3u); // untouched
    EXPECT_EQ(target.Width(), 3);
}

TEST(ReaderGraphic, ProgressBandMovesDownARowAtATime) {
    TTestReader reader;
    reader.SetSize(4, 3);
    std::vector<std::string> seen;
    reader.OnProgress = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw,
                            const TRect& r, const std::string& msg) {
        EXPECT_EQ(sender, &reader);
        seen.push_back(std::to_string(stage) + ":" + std::to_string(percent) + ":" + (redraw ? "r" : "-") +
                       ":" + std::to_string(r.Top) + ":" + msg);
    };
    reader.Report();
    EXPECT_EQ(seen, (std::vector<std::string>{"0:0:-:0:Transfering...",
                                              "1:0:r:0:", "1:33:r:1:", "1:67:r:2:", "2:0:-:3:"}));
}

TEST(ReaderRoutines, SwapsAndDifferencing) {
    uint16_t shorts[2] = {0x1234, 0xABCD};
    SwapShort(shorts, 2);
    EXPECT_EQ(shorts[0], 0x3412);
    EXPECT_EQ(shorts[1], 0xCDAB);
    uint32_t longs[1] = {0x11223344};
    SwapLong(longs, 1);
    EXPECT_EQ(longs[0], 0x44332211u);
    EXPECT_EQ(SwapLong(0xA1B2C3D4u), 0xD4C3B2A1u);

    uint8_t rgb[9] = {10, 20, 30, 1, 2, 3, 1, 1, 1};
    ApplyDifferencing3(rgb, 2);
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 9), (std::vector<uint8_t>{10, 20, 30, 11, 22, 33, 12, 23, 34}));
    uint8_t grey[4] = {250, 10, 1, 9}; // sums wrap; the last byte is past Count and stays
    ApplyDifferencing(grey, 2);
    EXPECT_EQ(std::vector<uint8_t>(grey, grey + 4), (std::vector<uint8_t>{250, 4, 5, 9}));
    uint8_t rgba[8] = {1, 2, 3, 4, 1, 1, 1, 1};
    ApplyDifferencing4(rgba, 1);
    EXPECT_EQ(std::vector<uint8_t>(rgba, rgba + 8), (std::vector<uint8_t>{1, 2, 3, 4, 2, 3, 4, 5}));

    EXPECT_THROW(ReaderErrorFmt("Cannot load image. Invalid or unexpected %s image format.", {"PCX"}),
                 EInvalidGraphic);
    try {
        ReaderErrorFmt("Cannot load image. %s not supported for %s files.",
                       {"The compression scheme is", "PSP"});
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Cannot load image. The compression scheme is not supported for PSP files.");
    }
}

TEST(ReaderRoutines, Upsample2x) {
    const uint8_t a = 10, b = 21, c = 40, d = 3;
    std::vector<uint8_t> plane(4 * 4, 0xEE);
    plane[0] = a, plane[1] = b, plane[4] = c, plane[5] = d; // 2 x 2 in rows of 4
    Upsample2x(2, 2, 4, plane);
    auto avg2 = [](int x, int y) { return uint8_t((x + y + 1) >> 1); };
    const std::vector<uint8_t> expected{
        a,          avg2(a, b), b, b,          avg2(a, c), uint8_t((a + b + c + d + 2) >> 2),
        avg2(b, d), avg2(b, d), c, avg2(c, d), d,          d,
        c,          avg2(c, d), d, d};
    EXPECT_EQ(plane, expected);
    std::vector<uint8_t> small(10);
    EXPECT_THROW(Upsample2x(2, 2, 4, small), EInvalidGraphicOperation);
}

} // namespace
} // namespace ferronel
