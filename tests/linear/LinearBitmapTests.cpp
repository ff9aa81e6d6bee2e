#include "host/Bitmap.h"
#include "host/Limits.h"
#include "linear/BitmapLoader.h"
#include "linear/FileStream.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearGraphic.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"
#include "support/LimitGuard.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(LinearBitmap, AllocateKeepsOrRefuses) {
    TLinearBitmap b;
    EXPECT_EQ(b.PixelFormat(), lpfNone);
    b.Allocate(10, 10, lpf24bit);
    EXPECT_EQ(b.Size(), 300);
    EXPECT_EQ(b.Map()[299], 0); // new pixels are cleared
    b.Map()[7] = 42;
    b.Allocate(10, 10, lpf24bit);
    EXPECT_EQ(b.Map()[7], 42);
    try {
        b.Allocate(0, 5, lpf24bit);
        FAIL();
    } catch (const ELinearBitmap& e) {
        EXPECT_STREQ(e.what(), SInvalidBitmapSize);
    }
    EXPECT_THROW(b.Allocate(5, 5, 4), ELinearBitmap);
    // Sizes from files are checked against the pixel limit before anything is allocated.
    EXPECT_THROW(b.Allocate(40000, 40000, lpf24bit), EInvalidGraphic);
    const test::TPixelBufferLimitGuard limit(1000);
    EXPECT_THROW(b.Allocate(20, 20, lpf24bit), EInvalidGraphic);
}

TEST(LinearBitmap, ConversionsAndFills) {
    TLinearBitmap b;
    b.Allocate(2, 1, lpf24bit);
    std::memcpy(b.Map(), "\xFF\xFF\xFF\x00\x00\x00", 6);
    b.ConvertTo(lpf8bit);
    EXPECT_EQ(b.Map()[0], 255);
    EXPECT_EQ(b.Map()[1], 0);
    EXPECT_EQ(Bytes(b.Palette() + 765, b.Palette() + 768), (Bytes{255, 255, 255}));
    b.ConvertTo(lpf32bit);
    EXPECT_EQ(Bytes(b.Map(), b.Map() + 8), (Bytes{255, 255, 255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(b.Palette(), nullptr);
    EXPECT_THROW(b.ConvertTo(4), ELinearBitmap);

    b.Allocate(2, 1, lpf8bit);
    b.Fill(0x0000FF); // pure red
    EXPECT_EQ(b.Map()[0], 85);
    b.Allocate(1, 1, lpf32bit);
    b.Fill(0x00332211);
    EXPECT_EQ(Bytes(b.Map(), b.Map() + 4), (Bytes{0x33, 0x22, 0x11, 0})); // the fourth byte stays 0
    b.Allocate(1, 2, lpf16bitGrey);
    std::memcpy(b.Map(), "\x10\x80\x20\x40", 4);
    EXPECT_TRUE(b.IsGreyScale());
    b.ConvertTo(lpf24bit);
    EXPECT_EQ(Bytes(b.Map(), b.Map() + 6), (Bytes{0x80, 0x80, 0x80, 0x40, 0x40, 0x40}));
    EXPECT_TRUE(b.IsGreyScale());
}

TEST(LinearBitmap, Resize) {
    TLinearBitmap b;
    b.Resize(3, 2, 0, 0, 0x0000FF);
    ASSERT_EQ(b.PixelFormat(), lpf8bit);
    EXPECT_TRUE(b.IsGreyScale());
    EXPECT_EQ(b.Map()[5], 85);
    b.Allocate(2, 2, lpf24bit);
    for (int i = 0; i < 12; ++i) b.Map()[i] = uint8_t(i + 1);
    b.Resize(3, 3, 1, -1, 0);
    // Old (x, y) lands at (x + 1, y - 1); the rest is the colour.
    EXPECT_EQ(Bytes(b.ScanLine(0), b.ScanLine(0) + 9), (Bytes{0, 0, 0, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(Bytes(b.ScanLine(1), b.ScanLine(1) + 9), Bytes(9, 0));
    b.Resize(0, 3, 0, 0, 0);
    EXPECT_FALSE(b.Present());
}

TEST(LinearBitmap, HostBitmapsBothWays) {
    TLinearBitmap b;
    b.Allocate(3, 2, lpf8bit);
    for (int i = 0; i < 6; ++i) b.Map()[i] = uint8_t(i);
    std::memset(b.Palette(), 0, 768);
    b.Palette()[3 * 5 + 2] = 200; // entry 5 is red
    TBitmap host;
    ASSERT_TRUE(b.AssignTo(host));
    EXPECT_EQ(host.PixelFormat(), pf8bit);
    EXPECT_EQ(host.ScanLine(1)[2], 5);
    EXPECT_EQ(host.EffectivePalette()[5].peRed, 200);
    TLinearBitmap back;
    back.Assign(host);
    EXPECT_EQ(Bytes(back.Map(), back.Map() + 6), Bytes(b.Map(), b.Map() + 6));
    EXPECT_EQ(back.Palette()[17], 200);
    // 16-bit grey goes to the host as its high bytes.
    b.Allocate(1, 1, lpf16bitGrey);
    b.Map()[0] = 1;
    b.Map()[1] = 0x99;
    b.AssignTo(host);
    EXPECT_EQ(host.ScanLine(0)[0], 0x99);
    // A graphic of the library reaches any host graphic and back.
    TLinearGraphic graphic;
    graphic.Bitmap().Allocate(2, 2, lpf24bit);
    graphic.Bitmap().Fill(0x00FF00);
    TBitmap drawn;
    drawn.Assign(graphic);
    EXPECT_EQ(drawn.Width(), 2);
    EXPECT_EQ(drawn.ScanLine(1)[4], 0xFF);
    TLinearGraphic copy;
    copy.Assign(graphic);
    EXPECT_EQ(copy.Bitmap().Map()[1], 0xFF);
}

// A loader that reads files of the "TST" kind: a width byte, a height byte, grey pixels. It has only
// the file pair, so loading from a stream goes through a temporary file.
class TTestLoader : public TBitmapLoader {
public:
    std::string GetLoadFilter() override { return "Test (*.tst;*.jp2)|*.tst;*.jp2"; }
    void LoadFromFile(const std::string& FileName, const std::string&, TLinearBitmap& Bitmap) override {
        std::ifstream in(FileName, std::ios::binary);
        const Bytes data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        Bitmap.Allocate(data.at(0), data.at(1), lpf8bit);
        std::memcpy(Bitmap.Map(), data.data() + 2, size_t(Bitmap.Size()));
        LastFile = FileName;
    }
    std::string LastFile;
};

TEST(BitmapLoaders, FindByExtensionAndLoadThroughTemporaryFiles) {
    TTestLoader loader;
    EXPECT_TRUE(loader.CanLoad("jp")); // a prefix of a listed extension matches too
    EXPECT_FALSE(loader.CanLoad(""));
    EXPECT_TRUE(loader.CanSave("TST"));
    try {
        BitmapLoaders().FindLoader("xyz");
        FAIL();
    } catch (const EUnsupportedFileFormat& e) {
        EXPECT_STREQ(e.what(), "XYZ: Unsupported file format");
    }
    BitmapLoaders().RegisterLoader(loader);
    TMemStream stream;
    const Bytes file{2, 1, 7, 9};
    stream.Write(file.data(), 4);
    stream.SetPosition(0);
    TLinearBitmap b;
    b.LoadFromStream(stream, "tst");
    BitmapLoaders().UnregisterLoader(loader);
    EXPECT_EQ(Bytes(b.Map(), b.Map() + 2), (Bytes{7, 9}));
    EXPECT_FALSE(std::filesystem::exists(loader.LastFile)); // the temporary file is gone
    EXPECT_EQ(LinearExtension("/old.pics/scan"), "");
    EXPECT_EQ(LinearExtension("/a/b.Png"), "PNG");
}

} // namespace
} // namespace ferronel::linear
