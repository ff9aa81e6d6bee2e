#include "host/Bitmap.h"
#include "host/Stream.h"
#include "linear/JPEGLoader.h"
#include "linear/LinearBitmap.h"
#include "linear/MemStream.h"
#include "picture/JPEGEncoder.h"
#include "picture/JPEGImage.h"
#include "support/LinearLoad.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;
using linear::TLinearBitmap;

class JPEGLoader : public ::testing::Test {
protected:
    void SetUp() override { InstallLinearJPEGCodec(); }
    void TearDown() override { RemoveLinearJPEGCodec(); }
};

void Load(const Bytes& File, TLinearBitmap& Bitmap) {
    test::LoadWith(linear::JPEGLoader(), "JPG", File, Bitmap);
}
Bytes Save(linear::TJPEGLoader& Loader, TLinearBitmap& Bitmap) {
    return test::SaveWith(Loader, "JPG", Bitmap);
}

Bytes Encode(const TLinearBitmap& Bitmap, int32_t Quality, bool Grey) {
    TBitmap bitmap;
    Bitmap.AssignTo(bitmap);
    bitmap.SetPixelFormat(pf24bit);
    TMemoryStream out;
    EncodeJPEG(bitmap, Quality, Grey, out);
    return out.Data();
}

TLinearBitmap& Noise(TLinearBitmap& Bitmap) {
    Bitmap.Allocate(64, 48, linear::lpf24bit);
    uint32_t seed = 12345;
    for (int64_t i = 0; i < Bitmap.Size(); ++i) {
        seed = seed * 1103515245 + 12345;
        Bitmap.Map()[i] = uint8_t((i / 3 % 64) * 3 + (seed >> 16) % 40);
    }
    return Bitmap;
}

TEST_F(JPEGLoader, LoadsColourAs24BitAndGreyAs8Bit) {
    for (const char* name : {"jpeg/baseline.jpg", "jpeg/grey.jpg"}) {
        const Bytes file = test::ReadFileBytes(test::DataPath(name));
        TLinearBitmap bitmap;
        Load(file, bitmap);
        TJPEGImage reference;
        TMemoryStream in(file);
        reference.LoadFromStream(in);
        TBitmap expected;
        expected.Assign(reference.Bitmap());
        expected.SetPixelFormat(pf24bit);
        ASSERT_EQ(bitmap.Width(), expected.Width()) << name;
        ASSERT_EQ(bitmap.Height(), expected.Height()) << name;
        const bool grey = std::string(name).find("grey") != std::string::npos;
        ASSERT_EQ(bitmap.PixelFormat(), grey ? linear::lpf8bit : linear::lpf24bit) << name;
        for (int32_t y = 0; y < bitmap.Height(); ++y)
            for (int32_t x = 0; x < bitmap.Width(); ++x) {
                const uint8_t* e = expected.ScanLine(y) + x * 3;
                const uint8_t* p = bitmap.ScanLine(y) + x * bitmap.PixelSize();
                if (grey)
                    ASSERT_EQ(*p, (2 * e[2] + 3 * e[1] + e[0] + 3) / 6) << name << " " << x << "," << y;
                else
                    ASSERT_EQ(Bytes(p, p + 3), Bytes(e, e + 3)) << name << " " << x << "," << y;
            }
        if (grey) {
            EXPECT_TRUE(bitmap.IsGreyScale());
        }
    }
}

TEST_F(JPEGLoader, SavesAtTheQualityThatFitsTheSizeLimit) {
    TLinearBitmap bitmap;
    Noise(bitmap);
    const int32_t defaultQuality = JPEGDefaults().CompressionQuality;
    // No limit and no quality: the codec's default, written once.
    linear::TJPEGLoader loader;
    EXPECT_EQ(Save(loader, bitmap), Encode(bitmap, defaultQuality, false));
    loader.Quality = 37;
    EXPECT_EQ(Save(loader, bitmap), Encode(bitmap, 37, false));

    std::vector<size_t> sizes(101);
    for (int q = 1; q <= 100; ++q) sizes[size_t(q)] = Encode(bitmap, q, false).size();
    // A quality that already fits is used as it is.
    loader.Quality = 60;
    loader.MaxFileSize = int32_t(sizes[60] + 1);
    EXPECT_EQ(Save(loader, bitmap), Encode(bitmap, 60, false));
    // A limit between two qualities' sizes gives the larger that fits (the sizes grow with the
    // quality for this picture between the two).
    ASSERT_LT(sizes[40], sizes[41]);
    for (int q = 1; q < 90; ++q) ASSERT_LE(sizes[size_t(q)], sizes[size_t(q + 1)]) << q;
    loader.Quality = 0;
    loader.MaxFileSize = int32_t(sizes[41] - 1);
    EXPECT_EQ(Save(loader, bitmap), Encode(bitmap, 40, false));
    EXPECT_EQ(loader.Quality, defaultQuality);
    // A limit no quality meets writes the quality-1 file.
    loader.MaxFileSize = 10;
    EXPECT_EQ(Save(loader, bitmap), Encode(bitmap, 1, false));
}

TEST_F(JPEGLoader, GreyBitmapsSaveAsGreyFiles) {
    TLinearBitmap grey;
    grey.Allocate(16, 8, linear::lpf8bit);
    std::memcpy(grey.Palette(), linear::GreyPalette().data(), 768);
    for (int64_t i = 0; i < grey.Size(); ++i) grey.Map()[i] = uint8_t(i * 2);
    linear::TJPEGLoader loader;
    const Bytes file = Save(loader, grey);
    TLinearBitmap back;
    Load(file, back);
    ASSERT_EQ(back.PixelFormat(), linear::lpf8bit);
    EXPECT_TRUE(back.IsGreyScale());
    for (int64_t i = 0; i < grey.Size(); ++i) EXPECT_NEAR(back.Map()[i], grey.Map()[i], 6) << i;
}

TEST(JPEGLoaderWithoutCodec, RefusesTheFormat) {
    RemoveLinearJPEGCodec();
    TLinearBitmap bitmap;
    EXPECT_THROW(Load(test::ReadFileBytes(test::DataPath("jpeg/baseline.jpg")), bitmap),
                 linear::EUnsupportedFileFormat);
    bitmap.Allocate(2, 2, linear::lpf24bit);
    EXPECT_THROW(Save(linear::JPEGLoader(), bitmap), linear::EUnsupportedFileFormat);
}

TEST_F(JPEGLoader, EncodingsLargerThanTheFirstOutputBufferAreWhole) {
    // Grey noise at quality 100 over 512 x 384 codes to a few hundred kilobytes, so the output
    // buffer grows a few times; the file must decode to the picture's size with its pixels close
    // (grey, so that the halved colour planes lose nothing).
    TLinearBitmap big;
    big.Allocate(512, 384, linear::lpf24bit);
    uint32_t seed = 7;
    for (int64_t i = 0; i < big.Size(); i += 3) {
        seed = seed * 1103515245 + 12345;
        std::fill_n(big.Map() + i, 3, uint8_t(seed >> 16));
    }
    const Bytes file = Encode(big, 100, false);
    ASSERT_GT(file.size(), 4u * 64 * 1024);
    TLinearBitmap back;
    Load(file, back);
    ASSERT_EQ(back.Width(), 512);
    ASSERT_EQ(back.Height(), 384);
    int64_t error = 0;
    for (int64_t i = 0; i < big.Size(); ++i) error += std::abs(int(back.Map()[i]) - int(big.Map()[i]));
    EXPECT_LT(error / big.Size(), 3);
}

} // namespace
} // namespace ferronel
