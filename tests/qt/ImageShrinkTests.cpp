#include "qt/ImageShrink.h"

#include <gtest/gtest.h>

namespace ferronel::qt {
namespace {

TEST(ImageShrink, AveragesTheAreaEachTargetPixelCovers) {
    // 4 x 2 grey levels, halved: each target pixel is the mean of a 2 x 2 block, rounded.
    QImage source(4, 2, QImage::Format_RGB32);
    const int levels[2][4] = {{0, 10, 200, 201}, {20, 31, 100, 100}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            source.setPixel(x, y, qRgb(levels[y][x], levels[y][x], 255 - levels[y][x]));
    ASSERT_TRUE(CanShrinkFast(source, {2, 1}));
    const QImage shrunk = ShrinkImage(source, {2, 1});
    ASSERT_EQ(shrunk.format(), QImage::Format_RGB32);
    EXPECT_EQ(qRed(shrunk.pixel(0, 0)), 15);  // (0 + 10 + 20 + 31) / 4 = 15.25
    EXPECT_EQ(qRed(shrunk.pixel(1, 0)), 150); // 601 / 4 = 150.25
    EXPECT_EQ(qBlue(shrunk.pixel(1, 0)), 105);
}

TEST(ImageShrink, UnevenRatiosCoverEveryRowAndColumnOnce) {
    // A 24-bit picture of odd size, a third of a red column at the right edge: the edge survives.
    QImage source(301, 203, QImage::Format_BGR888);
    source.fill(Qt::black);
    for (int y = 0; y < 203; ++y) source.setPixel(300, y, qRgb(255, 0, 0));
    const QImage shrunk = ShrinkImage(source, {100, 67});
    ASSERT_EQ(shrunk.size(), QSize(100, 67));
    for (int y = 0; y < 67; ++y) {
        EXPECT_EQ(qRed(shrunk.pixel(99, y)), 64) << y; // one red column of the last four
        EXPECT_EQ(qRed(shrunk.pixel(98, y)), 0) << y;
    }
}

TEST(ImageShrink, LeavesSmallShrinksAndOtherFormatsToTheGeneralScaler) {
    const QImage rgb(100, 100, QImage::Format_RGB32);
    EXPECT_FALSE(CanShrinkFast(rgb, {51, 40}));
    EXPECT_FALSE(CanShrinkFast(rgb, {0, 10}));
    EXPECT_FALSE(CanShrinkFast(QImage(100, 100, QImage::Format_ARGB32), {10, 10}));
    EXPECT_FALSE(CanShrinkFast(QImage(100, 100, QImage::Format_Indexed8), {10, 10}));
}

} // namespace
} // namespace ferronel::qt
