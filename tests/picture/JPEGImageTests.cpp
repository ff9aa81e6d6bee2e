#include "host/ByteReader.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "picture/JPEGImage.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

#include <string>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Fixture(const std::string& Name) { return test::ReadFileBytes(test::DataPath("jpeg/" + Name)); }

std::unique_ptr<TJPEGImage> Load(const Bytes& File, void (*Setup)(TJPEGImage&) = nullptr) {
    auto image = std::make_unique<TJPEGImage>();
    if (Setup) Setup(*image);
    TMemoryStream s(File);
    image->LoadFromStream(s);
    return image;
}

// Compares the picture with a reference decode of djpeg, exactly.
void ExpectReference(TJPEGImage& Image, const std::string& Pam) {
    const test::TPam reference = test::ReadPam(test::DataPath("jpeg/" + Pam));
    ASSERT_EQ(Image.Width(), reference.Width) << Pam;
    ASSERT_EQ(Image.Height(), reference.Height) << Pam;
    EXPECT_EQ(test::Rgba(Image), reference.Pixels) << Pam;
}

// The offset of the first marker Code, or 0.
size_t FindMarker(const Bytes& File, uint8_t Code) {
    for (size_t i = 2; i + 1 < File.size(); ++i)
        if (File[i] == 0xFF && File[i + 1] == Code) return i;
    return 0;
}

Bytes WithSize(uint32_t Width, uint32_t Height) {
    Bytes file = Fixture("baseline.jpg");
    const size_t sof = FindMarker(file, 0xC0);
    StoreU16BE(file.data() + sof + 5, uint16_t(Height));
    StoreU16BE(file.data() + sof + 7, uint16_t(Width));
    return file;
}

TEST(JPEGImage, SettingsGiveWhatDjpegGivesWithTheSameOptions) {
    const Bytes baseline = Fixture("baseline.jpg");
    auto image = Load(baseline);
    EXPECT_EQ(image->Width(), 61);
    image->SetScale(jsHalf);
    EXPECT_EQ(image->Width(), 31); // before decoding, from libjpeg's output size
    ExpectReference(*image, "baseline-half.pam");
    image->SetScale(jsQuarter);
    ExpectReference(*image, "baseline-quarter.pam");
    image->SetScale(jsEighth);
    ExpectReference(*image, "baseline-eighth.pam");
    image->SetScale(jsFullSize);
    image->SetPerformance(jpBestSpeed);
    ExpectReference(*image, "baseline-fast.pam");
    image->SetPerformance(jpBestQuality);
    image->SetPixelFormat(jf8Bit);
    EXPECT_EQ(image->Bitmap().PixelFormat(), pf8bit);
    EXPECT_LE(PaletteEntryCount(image->Bitmap().Palette()), 236u);
    ExpectReference(*image, "baseline-8bit.pam");

    auto half = Load(Fixture("s420.jpg"), [](TJPEGImage& I) { I.SetScale(jsHalf); });
    ExpectReference(*half, "s420-half.pam");
    auto progressive = Load(Fixture("progressive.jpg"), [](TJPEGImage& I) { I.SetScale(jsQuarter); });
    EXPECT_TRUE(progressive->ProgressiveEncoding());
    ExpectReference(*progressive, "progressive-quarter.pam");
    // Showing the passes of a progressive file ends in the same picture.
    auto shown = Load(Fixture("progressive.jpg"), [](TJPEGImage& I) { I.SetProgressiveDisplay(true); });
    ExpectReference(*shown, "progressive.pam");
    auto palettised = Load(Fixture("progressive.jpg"), [](TJPEGImage& I) { I.SetPixelFormat(jf8Bit); });
    auto palettisedPasses = Load(Fixture("progressive.jpg"), [](TJPEGImage& I) {
        I.SetPixelFormat(jf8Bit);
        I.SetProgressiveDisplay(true);
    });
    EXPECT_EQ(test::Rgba(*palettisedPasses), test::Rgba(*palettised));
    auto greyPasses =
        Load(Fixture("grey-progressive.jpg"), [](TJPEGImage& I) { I.SetProgressiveDisplay(true); });
    ExpectReference(*greyPasses, "grey-progressive.pam");

    // Grey output of a colour file is an 8-bit picture with a grey palette.
    auto grey = Load(baseline, [](TJPEGImage& I) { I.SetGrayscale(true); });
    EXPECT_EQ(grey->Bitmap().PixelFormat(), pf8bit);
    for (const TPaletteEntry& e : *grey->Bitmap().Palette())
        EXPECT_TRUE(e.peRed == e.peGreen && e.peGreen == e.peBlue);
    EXPECT_THROW(image->SetWidth(3), EInvalidGraphicOperation);
    // A picture of one row, at full size and as the eighth of a short one.
    EXPECT_EQ(Load(WithSize(61, 1))->Bitmap().Height(), 1);
    EXPECT_EQ(Load(WithSize(61, 5), [](TJPEGImage& I) { I.SetScale(jsEighth); })->Bitmap().Height(), 1);
}

TEST(JPEGImage, AnEmptyFileLoadsAndFailsWhenDrawn) {
    auto image = Load({});
    EXPECT_FALSE(image->Empty());
    EXPECT_EQ(image->Width(), 0);
    EXPECT_EQ(image->Height(), 0);
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(4, 4);
    try {
        image->Draw(target.Canvas(), TRect{0, 0, 4, 4});
        ADD_FAILURE() << "drawing an empty file succeeded";
    } catch (const EJPEG& e) {
        EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u);
    }
    EXPECT_TRUE(TJPEGImage().Empty());
}

TEST(JPEGImage, DamagedFilesFailTheLoadOrKeepWhatDecoded) {
    // A Huffman table with more codes than its lengths allow is libjpeg's fatal error.
    Bytes badTable = Fixture("baseline.jpg");
    const size_t dht = FindMarker(badTable, 0xC4);
    ASSERT_NE(dht, 0u);
    for (size_t i = 0; i < 16; ++i) badTable[dht + 5 + i] = 0xFF;
    try {
        Load(badTable);
        ADD_FAILURE() << "a bad Huffman table loaded";
    } catch (const EJPEG& e) {
        EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u);
    }
    // A progressive file cut inside a scan ends at a fake end marker: the scans that arrived show.
    const Bytes progressive = Fixture("progressive.jpg");
    for (const bool passes : {false, true}) {
        const Bytes cut(progressive.begin(), progressive.begin() + ptrdiff_t(progressive.size() * 2 / 3));
        void (*setup)(TJPEGImage&) = nullptr;
        if (passes) setup = [](TJPEGImage& I) { I.SetProgressiveDisplay(true); };
        auto image = Load(cut, setup);
        EXPECT_EQ(image->Width(), 61);
    }
    // A progressive file keeps all its coefficients: 4000 x 4000 declared, shown at an eighth, is
    // refused by the limit on libjpeg's memory though the picture itself would fit.
    Bytes large = Fixture("progressive.jpg");
    const size_t sof = FindMarker(large, 0xC2);
    StoreU16BE(large.data() + sof + 5, 4000);
    StoreU16BE(large.data() + sof + 7, 4000);
    {
        const test::TPixelBufferLimitGuard limit(1 << 20);
        EXPECT_THROW(Load(large, [](TJPEGImage& I) { I.SetScale(jsEighth); }), EJPEG);
    }
    // A byte count past what the stream holds is refused before anything of that size is made.
    TJPEGImage image;
    TMemoryStream s(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 1, 2});
    EXPECT_THROW(image.ReadData(s), EReadError);
}

// An Exif block with one orientation tag, big- or little-endian.
Bytes WithOrientation(const Bytes& File, uint16_t Orientation, bool Little) {
    Bytes app{0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    auto u16 = [&](uint16_t v) {
        app.push_back(uint8_t(Little ? v : v >> 8));
        app.push_back(uint8_t(Little ? v >> 8 : v));
    };
    auto u32 = [&](uint32_t v) {
        u16(uint16_t(Little ? v : v >> 16));
        u16(uint16_t(Little ? v >> 16 : v));
    };
    app.push_back(Little ? 'I' : 'M');
    app.push_back(Little ? 'I' : 'M');
    u16(42);
    u32(8);      // IFD 0
    u16(1);      // one entry
    u16(0x0112); // orientation
    u16(3);      // SHORT
    u32(1);      // count
    u16(Orientation);
    u16(0);
    u32(0); // no next IFD
    app[2] = uint8_t((app.size() - 2) >> 8);
    app[3] = uint8_t(app.size() - 2);
    Bytes out;
    out.push_back(File[0]);
    out.push_back(File[1]);
    for (const uint8_t b : app) out.push_back(b);
    for (size_t i = 2; i < File.size(); ++i) out.push_back(File[i]);
    return out;
}

TEST(JPEGImage, ExifOrientationTurnsThePicture) {
    const Bytes file = Fixture("baseline.jpg");
    auto upright = Load(file);
    const TBitmap& b = upright->Bitmap();
    const int32_t w = b.Width(), h = b.Height();
    auto pixel = [](const TBitmap& B, int32_t X, int32_t Y) {
        const uint8_t* p = B.ScanLine(Y) + 3 * X;
        return Bytes(p, p + 3);
    };
    for (const bool little : {false, true}) {
        auto turned = Load(WithOrientation(file, joRotated90, little));
        ASSERT_EQ(turned->Width(), h);
        ASSERT_EQ(turned->Height(), w);
        const TBitmap& t = turned->Bitmap();
        for (int32_t y = 0; y < t.Height(); y += 7)
            for (int32_t x = 0; x < t.Width(); x += 5) ASSERT_EQ(pixel(t, x, y), pixel(b, y, h - 1 - x));
    }
    auto mirrored = Load(WithOrientation(file, joMirrored, true));
    EXPECT_EQ(pixel(mirrored->Bitmap(), 0, 3), pixel(b, w - 1, 3));
    auto flat =
        Load(WithOrientation(file, joRotated270, true), [](TJPEGImage& I) { I.SetExifOrientation(false); });
    EXPECT_EQ(flat->Width(), w);
    // A tag that points past its block is passed over.
    Bytes broken = WithOrientation(file, joRotated90, true);
    broken[2 + 4 + 6 + 4] = 0xF0;
    EXPECT_EQ(Load(broken)->Width(), w);
}

TEST(JPEGImage, CopiesShareTheCompressedData) {
    auto image = Load(Fixture("grey.jpg"));
    EXPECT_TRUE(image->Data()->Grayscale);
    TJPEGImage copy;
    copy.Assign(*image);
    EXPECT_EQ(copy.Data(), image->Data());
    TMemoryStream saved;
    copy.SaveToStream(saved);
    EXPECT_EQ(saved.Data(), Fixture("grey.jpg"));
}

struct TJPEGConformance {
    using Graphic = TJPEGImage;
    static constexpr const char* Folder = "jpeg";
    static constexpr const char* Extension = ".jpg";
    static constexpr size_t HeaderSize = 0;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return ferronel::WithSize(Width, Height);
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(JPEG, ferronel::TJPEGConformance)
