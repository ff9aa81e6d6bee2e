// The conversion of a plug-in's image record: every layout it takes, and every record it must
// refuse before it reads a byte it was not given.
#include "host/Limits.h"
#include "plugins/ImageRecord.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace ferronel::plugins {
namespace {

using linear::TLinearBitmap;

TImageContainer Record(int32_t Width, int32_t Height, int32_t Format, std::vector<uint8_t>& Pixels) {
    TImageContainer image{};
    image.Width = Width;
    image.Height = Height;
    image.Format = Format;
    image.PixelData = Pixels.data();
    return image;
}

std::vector<uint8_t> Bytes(const TLinearBitmap& Bitmap) {
    return std::vector<uint8_t>(Bitmap.Map(), Bitmap.Map() + Bitmap.Size());
}

std::string Refusal(const TImageContainer& Image) {
    TLinearBitmap bitmap;
    try {
        ConvertImageContainer(Image, bitmap);
    } catch (const Exception& e) {
        return e.what();
    }
    return "accepted";
}

TEST(ImageRecord, IndexedTakesItsPaletteOrGrey) {
    std::vector<uint8_t> pixels = {0, 1, 2, 3, 4, 5};
    std::vector<uint8_t> palette(768);
    std::iota(palette.begin(), palette.end(), uint8_t(7));
    TImageContainer image = Record(3, 2, ifIndexed, pixels);
    image.Palette = palette.data();
    TLinearBitmap bitmap;
    ConvertImageContainer(image, bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), linear::lpf8bit);
    EXPECT_EQ(Bytes(bitmap), pixels);
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), bitmap.Palette()));

    image.Palette = nullptr;
    ConvertImageContainer(image, bitmap);
    EXPECT_TRUE(std::equal(linear::GreyPalette().begin(), linear::GreyPalette().end(), bitmap.Palette()));
}

TEST(ImageRecord, InterleavedAndSixteenBitRowsAreCopiedAsTheyAre) {
    std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    TLinearBitmap bitmap;
    ConvertImageContainer(Record(2, 2, ifBGR, bgr), bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), linear::lpf24bit);
    EXPECT_EQ(Bytes(bitmap), bgr);

    std::vector<uint8_t> grey = {0x34, 0x12, 0xFF, 0x00, 0x01, 0x80};
    ConvertImageContainer(Record(3, 1, ifGrey16, grey), bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), linear::lpf16bitGrey);
    EXPECT_EQ(Bytes(bitmap), grey);
}

TEST(ImageRecord, PlanesGoToTheFirstBytesOfEachPixel) {
    // Two planes of 2 x 1: byte 2 stays 0.
    std::vector<uint8_t> two = {10, 11, 20, 21};
    TLinearBitmap bitmap;
    ConvertImageContainer(Record(2, 1, ifPlanar | 2, two), bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), linear::lpf24bit);
    EXPECT_EQ(Bytes(bitmap), (std::vector<uint8_t>{10, 20, 0, 11, 21, 0}));

    // Three planes of 1 x 2.
    std::vector<uint8_t> three = {1, 2, 3, 4, 5, 6};
    ConvertImageContainer(Record(1, 2, ifPlanar | 3, three), bitmap);
    EXPECT_EQ(Bytes(bitmap), (std::vector<uint8_t>{1, 3, 5, 2, 4, 6}));
}

TEST(ImageRecord, FourChannelsKeepThreeAndFailWithThePlaneCount) {
    std::vector<uint8_t> bgra = {1, 2, 3, 4, 5, 6, 7, 8};
    TImageContainer image = Record(2, 1, ifBGRA, bgra);
    EXPECT_EQ(Refusal(image), "The image contains 4 color planes, only 3 were loaded");
    TLinearBitmap bitmap;
    EXPECT_THROW(ConvertImageContainer(image, bitmap), linear::ELinearBitmap);
    EXPECT_EQ(bitmap.PixelFormat(), linear::lpf24bit);
    EXPECT_EQ(Bytes(bitmap), (std::vector<uint8_t>{1, 2, 3, 5, 6, 7}));

    // Five planes: the first three are taken (and only they are read), then the same error.
    std::vector<uint8_t> planes = {1, 2, 3};
    EXPECT_EQ(Refusal(Record(1, 1, ifPlanar | 5, planes)),
              "The image contains 5 color planes, only 3 were loaded");
}

TEST(ImageRecord, RowsArePackedWhateverRowLengthIsStated) {
    // Two rows of 2 BGR pixels, packed, with a careless row length: a larger one is ignored.
    std::vector<uint8_t> packed = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    TImageContainer image = Record(2, 2, ifBGR, packed);
    image.BytesPerLine = 8;
    TLinearBitmap bitmap;
    ConvertImageContainer(image, bitmap);
    EXPECT_EQ(Bytes(bitmap), packed);
    TImageContainer planes = Record(2, 2, 0x13, packed);
    planes.BytesPerLine = 6; // three times the plane's row: still read as packed planes
    ConvertImageContainer(planes, bitmap);
    EXPECT_EQ(Bytes(bitmap), (std::vector<uint8_t>{1, 5, 9, 2, 6, 10, 3, 7, 11, 4, 8, 12}));

    image.BytesPerLine = 5;
    EXPECT_EQ(Refusal(image), "Error in bitmap data");
    image.BytesPerLine = -8;
    EXPECT_EQ(Refusal(image), "Error in bitmap data");
}

TEST(ImageRecord, RefusesRecordsThatCannotDescribeAPicture) {
    std::vector<uint8_t> pixels(16);
    EXPECT_EQ(Refusal(Record(2, 2, 0, pixels)), "Unsupported bitmap format");
    EXPECT_EQ(Refusal(Record(2, 2, ifPlanar, pixels)), "Unsupported bitmap format");
    // Two or more channels must be 3, 4 or planar; flags the contract does not know are refused.
    for (int32_t format : {2, 5, 0x23, 0x33, 0x42, 0x41, 0x81})
        EXPECT_EQ(Refusal(Record(2, 2, format, pixels)), "Unsupported pixel format") << format;
    for (auto [w, h] : {std::pair{0, 2}, {2, 0}, {-1, 2}, {2, -5}})
        EXPECT_EQ(Refusal(Record(w, h, ifBGR, pixels)), "Invalid bitmap size");
    TImageContainer none = Record(2, 2, ifBGR, pixels);
    none.PixelData = nullptr;
    EXPECT_EQ(Refusal(none), "Error in bitmap data");
}

TEST(ImageRecord, HugeSizesAreRefusedBeforeAnythingIsRead) {
    // The pixel pointer is a 16-byte buffer: a conversion that trusted these sizes would read far
    // past it (a sanitizer build shows that) or allocate past the limit.
    std::vector<uint8_t> small(16);
    EXPECT_NE(Refusal(Record(100000, 100000, ifBGR, small)), "accepted");
    EXPECT_NE(Refusal(Record(0x7FFFFFFF, 1, ifBGRA, small)), "accepted");
    EXPECT_NE(Refusal(Record(0x7FFFFFFF, 0x7FFFFFFF, ifPlanar | 3, small)), "accepted");

    const uint64_t saved = PixelBufferLimit();
    SetPixelBufferLimit(1000);
    std::vector<uint8_t> pixels(3 * 20 * 20);
    EXPECT_NE(Refusal(Record(20, 20, ifBGR, pixels)), "accepted");
    SetPixelBufferLimit(saved);
    EXPECT_EQ(Refusal(Record(20, 20, ifBGR, pixels)), "accepted");
}

} // namespace
} // namespace ferronel::plugins
