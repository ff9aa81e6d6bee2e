#include "linear/HIPSLoader.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"
#include "support/LinearLoad.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& S) { return Bytes(S.begin(), S.end()); }

Bytes operator+(Bytes A, const Bytes& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

// A new-style header: magic, names, planes, date, rows, columns, region, format and the sections.
Bytes NewHeader(const std::string& Rows, const std::string& Columns, const std::string& Format,
                const std::string& Tail = "1\n0\n0\n0\n0\n") {
    return Text("HIPS\nname\nseq\n1\ndate\n" + Rows + "\n" + Columns + "\n" + Rows + "\n" + Columns +
                "\n0\n0\n" + Format + "\n" + Tail);
}

void Load(const Bytes& File, TLinearBitmap& Bitmap) { test::LoadWith(HIPSLoader(), "HIPS", File, Bitmap); }
std::string LoadError(const Bytes& File) { return test::LoadErrorWith(HIPSLoader(), "HIPS", File); }

TEST(HIPSLoader, RefusesFormatsSizesAndShortFiles) {
    EXPECT_EQ(LoadError(NewHeader("2", "2", "1") + Bytes(16, 0)), SBitmapFormatNotSupported);
    EXPECT_EQ(LoadError(NewHeader("2", "2", "36") + Bytes(16, 0)), SBitmapFormatNotSupported);
    // Old style: only 8 bits per pixel.
    EXPECT_EQ(LoadError(Text("a\nb\n1\ndate\n2\n2\n16\n0\n0\n\n.\n") + Bytes(8, 0)),
              SBitmapFormatNotSupported);
    EXPECT_THROW(Load(NewHeader("2x", "2", "0") + Bytes(4, 0), *std::make_unique<TLinearBitmap>()),
                 EConvertError);
    EXPECT_EQ(LoadError(NewHeader("0", "2", "0") + Bytes(4, 0)), SInvalidBitmapSize);
    EXPECT_EQ(LoadError(NewHeader("-2", "2", "0") + Bytes(4, 0)), SInvalidBitmapSize);
    // Pixels cut short, and a small file whose header asks for a large picture: refused before the
    // buffer is made.
    EXPECT_EQ(LoadError(NewHeader("2", "2", "0") + Bytes(3, 0)), SReadLess);
    EXPECT_EQ(LoadError(NewHeader("30000", "30000", "0") + Bytes(100, 0)), SReadLess);
    EXPECT_EQ(LoadError(NewHeader("2", "2", "3", "2\n0\n0\n0\n0\n") + Bytes(20, 0)), SReadLess);
    // Counts of history bytes and parameter lines past the end of the file raise at once instead
    // of reading on at the end.
    EXPECT_EQ(LoadError(NewHeader("1", "1", "0", "1\n2000000000\n0\n0\n0\n") + Bytes(1, 0)), SReadLess);
    EXPECT_EQ(LoadError(NewHeader("1", "1", "0", "1\n0\n0\n2000000000\n") + Bytes(1, 0)), SReadLess);
    EXPECT_EQ(LoadError(Text("a\nb\n")), SReadLess);
    EXPECT_EQ(LoadError({}), SReadLess);
}

TEST(HIPSLoader, HeaderSectionsAreSkipped) {
    // History and description byte counts (line breaks inside them included), parameter lines and
    // the parameter size line come before the pixels; an odd plane count counts as 1.
    TLinearBitmap bitmap;
    Load(NewHeader("1", "3", "0", "900\n6\nab\ncd\n4\nxyz\n2\np 1\nq 2\n0\n") + Bytes{7, 8, 9}, bitmap);
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.PixelFormat(), lpf8bit);
    EXPECT_EQ(Bytes(bitmap.Map(), bitmap.Map() + 3), (Bytes{7, 8, 9}));
    // A carriage return stays part of the line: the line end is the line feed alone.
    EXPECT_THROW(Load(Text("HIPS\r\nn\ns\n1\nd\n1\r\n1\n1\n1\n0\n0\n0\n1\n0\n0\n0\n0\n") + Bytes{1}, bitmap),
                 EConvertError);
}

struct THIPSConformance {
    using Graphic = THIPSGraphic;
    static constexpr const char* Folder = "hips";
    static constexpr const char* Extension = ".hips";
    static constexpr size_t HeaderSize = 0;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return NewHeader(std::to_string(Height), std::to_string(Width), "35") + Bytes(4096, 0x40);
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel::linear

FERRONEL_READER_CONFORMANCE(HIPS, ferronel::linear::THIPSConformance)
