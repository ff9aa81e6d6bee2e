#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Set.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

TEST(Format, PlaceholdersAndIndexes) {
    EXPECT_EQ(Format("Unknown picture file extension (.%s)", {"XYZ"}),
              "Unknown picture file extension (.XYZ)");
    EXPECT_EQ(Format("%d%% of %u", {-5, 10u}), "-5% of 10");
    EXPECT_EQ(Format("%x", {255}), "FF");
    // An index moves the argument pointer; later placeholders go on from there.
    EXPECT_EQ(Format("%s%s (*.%s)|*.%2:s", {"", "Bitmaps", "bmp"}), "Bitmaps (*.bmp)|*.bmp");
    EXPECT_EQ(Format("%s (%s)|%1:s|%s", {"All", "*.a;*.b", "D"}), "All (*.a;*.b)|*.a;*.b|D");
}

TEST(Format, MistakesRaiseInsteadOfPrintingGarbage) {
    EXPECT_THROW(Format("%s %s", {"one"}), EConvertError);
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%s", {3}), EConvertError);
    EXPECT_THROW(Format("100%", {}), EConvertError);
    EXPECT_THROW(Format("%q", {1}), EConvertError);
}

enum TFlag : uint8_t { fA, fB, fC };

TEST(Set, Operations) {
    TSet<TFlag, uint8_t> s{fA, fC};
    EXPECT_TRUE(s.Contains(fA));
    EXPECT_FALSE(s.Contains(fB));
    EXPECT_EQ(s.ToBits(), 5);
    s.Exclude(fA).Include(fB);
    EXPECT_EQ(s, (TSet<TFlag, uint8_t>{fB, fC}));
    EXPECT_EQ((s * TSet<TFlag, uint8_t>{fC}).ToBits(), 4);
    EXPECT_TRUE((s - s).Empty());
}

} // namespace
} // namespace ferronel
