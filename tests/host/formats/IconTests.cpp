#include "host/Exceptions.h"
#include "host/Stream.h"
#include "host/formats/Icon.h"
#include "support/Bytes.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

using test::InfoHeader;
using test::TBytes;

// One icon image: an 8-bit square whose pixels are all Index, with a mask whose first column is
// transparent.
TBytes IndexedImage(int32_t size, uint8_t index) {
    TBytes b = InfoHeader(size, size * 2, 8, 0);
    for (int i = 0; i < 256; ++i) b.U8({uint8_t(i), 0, uint8_t(255 - i), 0});
    const size_t row = (size_t(size) + 3) & ~size_t(3);
    b.Fill(row * size_t(size), index);
    const size_t maskRow = ((size_t(size) + 31) / 32) * 4;
    for (int32_t y = 0; y < size; ++y) {
        b.U8({0x80});
        b.Fill(maskRow - 1, 0);
    }
    return b;
}

std::vector<uint8_t> IconFile(const std::vector<TBytes>& images, uint16_t count = 0) {
    TBytes f;
    f.U16(0).U16(1).U16(count ? count : uint16_t(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (const TBytes& image : images) {
        f.U8({0, 0, 0, 0}).U16(1).U16(0).U32(uint32_t(image.Size())).U32(offset);
        offset += uint32_t(image.Size());
    }
    for (const TBytes& image : images) f.Append(image.Data);
    return f.Data;
}

std::unique_ptr<TIcon> Load(const std::vector<uint8_t>& bytes) {
    TMemoryStream s(bytes);
    auto icon = std::make_unique<TIcon>();
    icon->LoadFromStream(s);
    return icon;
}

TEST(IconReader, ChoosesTheLargestThenDeepestImage) {
    TBytes deep32 = InfoHeader(16, 32, 32, 0);
    deep32.Fill(16 * 16 * 4, 0x40); // every pixel has opacity 0x40
    const auto icon = Load(IconFile({IndexedImage(16, 3), IndexedImage(32, 5), deep32}));
    EXPECT_EQ(icon->Width(), 32);
    EXPECT_EQ(icon->Image().ScanLine(0)[0], 5);

    const auto deeper = Load(IconFile({IndexedImage(16, 3), deep32}));
    EXPECT_EQ(deeper->Image().PixelFormat(), pf32bit);
    EXPECT_EQ(deeper->Image().AlphaFormat(), afDefined);
    EXPECT_TRUE(deeper->Mask().Empty());
}

TEST(IconReader, TheMaskMakesPixelsTransparent) {
    const auto icon = Load(IconFile({IndexedImage(8, 7)}));
    TBitmap b;
    b.Assign(*icon);
    ASSERT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(b.AlphaFormat(), afDefined);
    const uint8_t* row = b.ScanLine(3);
    EXPECT_EQ(row[3], 0);     // first column masked
    EXPECT_EQ(row[7], 255);   // second column shows
    EXPECT_EQ(row[4 + 0], 7); // palette entry 7: blue 7, red 248
    EXPECT_EQ(row[4 + 2], 248);
}

TEST(IconReader, DamagedDirectoriesAndEntries) {
    EXPECT_THROW(Load({0, 0, 1, 0}), EInvalidGraphic);
    EXPECT_THROW(Load(TBytes().U16(0).U16(1).U16(0).Data), EInvalidGraphic);             // no images
    EXPECT_THROW(Load(TBytes().U16(0).U16(3).U16(1).Fill(16, 0).Data), EInvalidGraphic); // wrong type
    EXPECT_THROW(Load(IconFile({IndexedImage(8, 1)}, 500)), EInvalidGraphic); // directory past the end

    // An entry pointing past the end is passed over in favour of one that can be read.
    std::vector<uint8_t> file = IconFile({IndexedImage(8, 1), IndexedImage(16, 2)});
    file[6 + 16 + 12] = 0xFF;
    file[6 + 16 + 15] = 0x7F;
    EXPECT_EQ(Load(file)->Width(), 8);

    // An image whose mask is cut off stays opaque->
    std::vector<uint8_t> cut = IconFile({IndexedImage(8, 1)});
    cut.resize(cut.size() - 8 * 4);
    const auto opaque = Load(cut);
    TBitmap b;
    b.Assign(*opaque);
    EXPECT_EQ(b.ScanLine(0)[3], 255);
}

TEST(IconReader, PngImagesNeedTheInstalledDecoder) {
    TBytes png;
    png.U8({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}).U8({0, 0, 0, 13, 'I', 'H', 'D', 'R'});
    png.U8({0, 0, 1, 0, 0, 0, 1, 0}).Fill(8, 0); // 256 x 256
    // Without a decoder the PNG image is passed over.
    EXPECT_EQ(Load(IconFile({IndexedImage(8, 1), png}))->Width(), 8);
    EXPECT_THROW(Load(IconFile({png})), EInvalidGraphic);

    TIcon::SetPngImageDecoder([](TStream&, TBitmap& b) {
        b.SetPixelFormat(pf32bit);
        b.SetSize(256, 256);
    });
    EXPECT_EQ(Load(IconFile({IndexedImage(8, 1), png}))->Width(), 256);
    TIcon::SetPngImageDecoder(nullptr);
}

struct TIconConformance {
    using Graphic = TIcon;
    static constexpr const char* Folder = "ico";
    static constexpr const char* Extension = ".ico";
    static constexpr size_t HeaderSize = 6;
    static constexpr uint32_t MaxSide = 0x3FFFFFFF; // the stored height counts the mask too
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        TBytes image = InfoHeader(int32_t(Width), int32_t(Height * 2), 24, 0);
        return IconFile({image.Fill(16, 0x40)});
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(Icon, ferronel::TIconConformance)
