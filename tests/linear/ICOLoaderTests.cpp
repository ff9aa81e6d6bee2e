#include "host/Exceptions.h"
#include "linear/ICOLoader.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"
#include "support/Bytes.h"
#include "support/ReaderConformance.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TBytes;

constexpr TColor Fuchsia = 0x00FF00FF;

// One image of a hand-built file: its directory bytes and its data.
struct TEntry {
    uint8_t DirWidth = 0, DirHeight = 0;
    uint16_t HotX = 0, HotY = 0;
    Bytes Data;
};

// A device-independent image: header, Colors palette entries (entry i is (i, 2i, 3i) as red,
// green, blue), colour rows of Fill and an all-zero mask.
Bytes Image(int32_t Width, int32_t Height, uint16_t Bits, uint32_t Colors, uint8_t Fill,
            uint32_t ClrUsed = 0) {
    TBytes b = test::InfoHeader(Width, Height * 2, Bits, 0, ClrUsed);
    for (uint32_t i = 0; i < Colors; ++i) b.U8({uint8_t(3 * i), uint8_t(2 * i), uint8_t(i), 0});
    const size_t stride = size_t((Bits * Width + 31) / 32 * 4), maskStride = size_t((Width + 31) / 32 * 4);
    b.Fill(stride * size_t(Height), Fill).Fill(maskStride * size_t(Height), 0);
    return b.Data;
}

Bytes IconFile(uint16_t Kind, const std::vector<TEntry>& Entries, uint16_t Count = 0) {
    TBytes b;
    b.U16(0).U16(Kind).U16(Count ? Count : uint16_t(Entries.size()));
    uint32_t offset = uint32_t(6 + 16 * Entries.size());
    for (const TEntry& e : Entries) {
        b.U8({e.DirWidth, e.DirHeight, 0, 0})
            .U16(e.HotX)
            .U16(e.HotY)
            .U32(uint32_t(e.Data.size()))
            .U32(offset);
        offset += uint32_t(e.Data.size());
    }
    for (const TEntry& e : Entries) b.Append(e.Data);
    return b.Data;
}

std::unique_ptr<TMemStream> StreamOf(const Bytes& File) {
    auto stream = std::make_unique<TMemStream>();
    if (!File.empty()) stream->Write(File.data(), int32_t(File.size()));
    stream->SetPosition(0);
    return stream;
}

TIconList ListOf(const Bytes& File) {
    TIconList list;
    list.LoadFromStream(*StreamOf(File));
    return list;
}

void Load(TICOLoader& Loader, const Bytes& File, TLinearBitmap& Bitmap, const std::string& Ext = "ICO") {
    Loader.LoadFromStream(*StreamOf(File), Ext, Bitmap);
}

Bytes Save(TICOLoader& Loader, TLinearBitmap& Bitmap, const std::string& Ext) {
    TMemStream stream;
    Loader.SaveToStream(stream, Ext, Bitmap);
    Bytes bytes(size_t(stream.GetSize()));
    stream.SetPosition(0);
    stream.Read(bytes.data(), int32_t(bytes.size()));
    return bytes;
}

// The first image, as a loader without a dialog gives it.
void LoadFirst(const Bytes& File, TLinearBitmap& Bitmap) {
    TICOLoader loader;
    loader.NoSelection = true;
    Load(loader, File, Bitmap);
}

std::string LoadError(const Bytes& File) {
    TLinearBitmap bitmap;
    try {
        LoadFirst(File, bitmap);
    } catch (const Exception& e) {
        return e.what();
    }
    return "loaded";
}

TColor PixelColor(const TLinearBitmap& Bitmap, int32_t X, int32_t Y) {
    const uint8_t* p = Bitmap.PixelFormat() == lpf8bit ? Bitmap.Palette() + Bitmap.ScanLine(Y)[X] * 3
                                                       : Bitmap.ScanLine(Y) + int64_t(X) * Bitmap.PixelSize();
    return RGBColor(p[2], p[1], p[0]);
}

// A selection dialog for the tests; it remembers what it was shown.
struct TScriptedDialog {
    TIconSelection Answer;
    int Shown = 0;
    TColor ShownColor = 0;
    int ShownCount = 0;
    TScriptedDialog() {
        TICOLoader::SetSelectionDialog([this](const TIconList& List, TColor Color) {
            ++Shown;
            ShownColor = Color;
            ShownCount = List.Count();
            return Answer;
        });
    }
    ~TScriptedDialog() { TICOLoader::SetSelectionDialog(nullptr); }
};

TEST(IconList, ListsEveryImageOfFilesTheToolsWrite) {
    struct TExpected {
        const char* File;
        uint16_t Kind;
        std::vector<std::array<int, 5>> Images; // width, height, bits, hot spot x, y
    };
    const TExpected all[] = {
        {"netpbm.ico", ikIcon, {{16, 16, 1, 1, 1}, {32, 32, 8, 1, 8}, {24, 24, 4, 1, 4}}},
        {"netpbm.cur", ikCursor, {{16, 16, 1, 3, 4}, {32, 32, 8, 16, 16}, {24, 24, 4, 0, 23}}},
        {"magick.ico", ikIcon, {{16, 16, 4, 1, 4}, {32, 32, 8, 1, 8}, {20, 20, 24, 1, 32}}},
        {"magick.cur", ikCursor, {{16, 16, 4, 1, 1}, {32, 32, 8, 2, 2}, {20, 20, 24, 19, 0}}},
        {"truecolor.cur", ikCursor, {{16, 12, 24, 5, 6}}},
    };
    for (const TExpected& e : all) {
        const TIconList list = ListOf(test::ReadFileBytes(test::DataPath(std::string("cur/") + e.File)));
        EXPECT_EQ(list.Kind, e.Kind) << e.File;
        ASSERT_EQ(list.Count(), int32_t(e.Images.size())) << e.File;
        for (int32_t i = 0; i < list.Count(); ++i) {
            const auto& want = e.Images[size_t(i)];
            EXPECT_EQ((std::array<int, 5>{list[i].Width, list[i].Height, list[i].BitCount, list[i].HotSpotX,
                                          list[i].HotSpotY}),
                      want)
                << e.File << " image " << i;
        }
    }
}

TEST(IconList, EveryImageMatchesTheReferenceDecoderWithTransparentPixelsInTheChosenColour) {
    size_t compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::DataPath("cur"))) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".ico" && ext != ".cur") continue;
        const TIconList list = ListOf(test::ReadFileBytes(entry.path()));
        for (int32_t i = 0; i < list.Count(); ++i) {
            std::filesystem::path pam = entry.path();
            pam.replace_filename(pam.stem().string() + "-" + std::to_string(i) + ".pam");
            const test::TPam reference = test::ReadPam(pam.string());
            ASSERT_EQ(reference.Width, list[i].Width) << pam;
            ASSERT_EQ(reference.Height, list[i].Height) << pam;
            // A colour no image uses, so it cannot come from the pictures themselves.
            const TColor key = RGBColor(1, 254, 3);
            TLinearBitmap bitmap;
            IconImageToBitmap(list[i], key, bitmap);
            for (int32_t y = 0; y < reference.Height; ++y)
                for (int32_t x = 0; x < reference.Width; ++x) {
                    const uint8_t* p =
                        reference.Pixels.data() + (size_t(y) * size_t(reference.Width) + size_t(x)) * 4;
                    const TColor want = p[3] < 128 ? key : RGBColor(p[0], p[1], p[2]);
                    ASSERT_EQ(PixelColor(bitmap, x, y), want) << pam << " at " << x << ", " << y;
                }
            ++compared;
        }
    }
    EXPECT_GE(compared, 13u);
}

TEST(ICOLoader, TheDialogChoosesTheImageAndTheTransparentColour) {
    const Bytes file = test::ReadFileBytes(test::DataPath("cur/netpbm.cur"));
    TScriptedDialog dialog;
    dialog.Answer = {true, 2, RGBColor(10, 20, 30)};
    TICOLoader loader;
    TLinearBitmap bitmap;
    Load(loader, file, bitmap, "CUR");
    EXPECT_EQ(dialog.Shown, 1);
    EXPECT_EQ(dialog.ShownColor, Fuchsia);
    EXPECT_EQ(dialog.ShownCount, 3);
    EXPECT_EQ(bitmap.Width(), 24);
    EXPECT_EQ(loader.TransparentColor, RGBColor(10, 20, 30));
    EXPECT_EQ(PixelColor(bitmap, 0, 0), RGBColor(10, 20, 30)); // a transparent corner
    EXPECT_EQ(loader.HotSpotX, 0);
    EXPECT_EQ(loader.HotSpotY, 23);

    // Cancel ends the load without touching the picture; NoSelection takes the first image unasked.
    dialog.Answer.Ok = false;
    EXPECT_THROW(Load(loader, file, bitmap, "CUR"), EAbort);
    EXPECT_EQ(bitmap.Width(), 24);
    loader.NoSelection = true;
    Load(loader, file, bitmap, "CUR");
    EXPECT_EQ(dialog.Shown, 2);
    EXPECT_EQ(bitmap.Width(), 16);
    EXPECT_EQ(loader.HotSpotX, 3);
}

TEST(ICOLoader, AFourBitImageWhosePaletteLacksTheColourGetsItAsEntry255) {
    Bytes image = Image(8, 2, 4, 16, 0x12);
    image[image.size() - 8] = 0x80; // mask of the bottom row: its first pixel is transparent
    TLinearBitmap bitmap;
    LoadFirst(IconFile(ikIcon, {{8, 2, 0, 0, image}}), bitmap);
    ASSERT_EQ(bitmap.PixelFormat(), lpf8bit);
    EXPECT_EQ(bitmap.ScanLine(1)[0], 255);
    EXPECT_EQ(PixelColor(bitmap, 0, 1), Fuchsia);
    EXPECT_EQ(bitmap.ScanLine(1)[1], 2);
    EXPECT_EQ(bitmap.ScanLine(0)[0], 1);
    EXPECT_EQ(PixelColor(bitmap, 0, 0), RGBColor(1, 2, 3));

    // An 8-bit image whose palette lacks it becomes true colour.
    LoadFirst(IconFile(ikIcon, {{4, 1, 0, 0, Image(4, 1, 8, 256, 7)}}), bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), lpf24bit);
    EXPECT_EQ(PixelColor(bitmap, 3, 0), RGBColor(7, 14, 21));
}

TEST(ICOLoader, ThePaletteHoldsTheColoursTheHeaderSaysAreUsed) {
    // Two entries stored where sixteen could be: the rows follow the second.
    TLinearBitmap bitmap;
    LoadFirst(IconFile(ikIcon, {{2, 1, 0, 0, Image(2, 1, 4, 2, 0x10, 2)}}), bitmap);
    ASSERT_EQ(bitmap.PixelFormat(), lpf8bit);
    EXPECT_EQ(bitmap.ScanLine(0)[0], 1);
    EXPECT_EQ(bitmap.ScanLine(0)[1], 0);
    EXPECT_EQ(PixelColor(bitmap, 0, 0), RGBColor(1, 2, 3));
}

TEST(ICOLoader, UnreadableEntriesArePassedOverWhileAnotherCanBeRead) {
    const Bytes good = Image(4, 4, 8, 256, 5);
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',
                       'D',  'R', 0,   0,   1,    0,    0,    0,    1, 0, 8, 6,  0,   0,
                       0,    0,   0,   0,   0,    0,    0,    0,    0, 0, 0, 0};
    const Bytes big = Image(256, 1, 8, 256, 1); // 256 pixels wide: stored as 0 in the directory
    const Bytes deep = Image(4, 4, 16, 0, 9);   // a depth icons do not use
    const Bytes alpha = [] {                    // 32 bits: opacity below 128 is transparent
        TBytes b = test::InfoHeader(2, 4, 32, 0);
        b.U8({1, 2, 3, 200, 4, 5, 6, 100, 7, 8, 9, 255, 10, 11, 12, 0}).Fill(8, 0);
        return b.Data;
    }();
    const TIconList list = ListOf(IconFile(
        ikIcon,
        {{0, 0, 0, 0, png}, {0, 1, 0, 0, big}, {4, 4, 0, 0, deep}, {2, 2, 0, 0, alpha}, {4, 4, 0, 0, good}}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Skipped(), 3);
    EXPECT_EQ(list[0].BitCount, 24);
    EXPECT_EQ(list[1].BitCount, 8);
    TLinearBitmap bitmap;
    IconImageToBitmap(list[0], Fuchsia, bitmap);
    EXPECT_EQ(PixelColor(bitmap, 0, 1), RGBColor(3, 2, 1));
    EXPECT_EQ(PixelColor(bitmap, 1, 1), Fuchsia);
    EXPECT_EQ(PixelColor(bitmap, 0, 0), RGBColor(9, 8, 7));
    EXPECT_EQ(PixelColor(bitmap, 1, 0), Fuchsia);

    // With nothing readable, the first entry's error.
    EXPECT_EQ(LoadError(IconFile(ikIcon, {{0, 0, 0, 0, png}, {4, 4, 0, 0, deep}})),
              "Size mismatch in icon 1");
    EXPECT_EQ(LoadError(IconFile(ikIcon, {{4, 4, 0, 0, deep}, {0, 0, 0, 0, png}})),
              "Unsupported pixel format");
    EXPECT_EQ(LoadError(IconFile(ikIcon, {})), "No icons in file");
}

TEST(ICOLoader, DamagedFilesAreRefusedWithoutReadingOrAllocatingPastTheFile) {
    const Bytes good = Image(4, 4, 24, 0, 5);
    // A directory claiming 65535 images in a file that holds one.
    const TIconList many = ListOf(IconFile(ikIcon, {{4, 4, 0, 0, good}}, 65535));
    EXPECT_EQ(many.Count(), 1);
    EXPECT_EQ(many.Skipped(), 65534);
    // An image whose rows end outside the file, one pointing past it, and one with no room for its header.
    Bytes cut = IconFile(ikIcon, {{4, 4, 0, 0, good}});
    cut.resize(cut.size() - 16 - 20);
    EXPECT_EQ(LoadError(cut), "Icon 1 lies outside the file");
    Bytes far = IconFile(ikIcon, {{4, 4, 0, 0, good}});
    far[18] = 0xFF;
    far[21] = 0x7F;
    EXPECT_EQ(LoadError(far), "Icon 1 lies outside the file");
    EXPECT_EQ(LoadError(Bytes(far.begin(), far.begin() + 30)), "Icon 1 lies outside the file");
    EXPECT_NE(LoadError(Bytes{0, 0, 1}), "loaded");
    // A cut mask leaves the rest of the picture opaque.
    Bytes noMask = IconFile(ikIcon, {{4, 4, 0, 0, good}});
    noMask.resize(noMask.size() - 16);
    EXPECT_EQ(LoadError(noMask), "loaded");
}

TEST(ICOLoader, SavesEightBitPicturesAtFourBitsWhenSixteenEntriesServe) {
    TICOLoader loader;
    TLinearBitmap bitmap;
    bitmap.Allocate(3, 2, lpf8bit);
    for (int i = 0; i < 256; ++i) {
        bitmap.Palette()[i * 3] = uint8_t(i);
        bitmap.Palette()[i * 3 + 1] = uint8_t(255 - i);
    }
    const uint8_t pixels[6] = {0, 15, 3, 7, 9, 1};
    std::copy_n(pixels, 6, bitmap.Map());
    TIconList list = ListOf(Save(loader, bitmap, "ICO"));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Kind, ikIcon);
    EXPECT_EQ(list[0].BitCount, 4);
    EXPECT_EQ(list[0].PaletteCount(), 16);
    loader.NoSelection = true;
    TLinearBitmap back;
    Load(loader, Save(loader, bitmap, "ICO"), back);
    ASSERT_EQ(back.PixelFormat(), lpf8bit);
    EXPECT_EQ(Bytes(back.Map(), back.Map() + 6), Bytes(pixels, pixels + 6));
    EXPECT_EQ(PixelColor(back, 1, 0), PixelColor(bitmap, 1, 0));

    // Index 16 needs all 256; a pixel of the transparent colour is masked whatever its index.
    bitmap.Map()[2] = 16;
    bitmap.Palette()[200 * 3] = 0xFF;
    bitmap.Palette()[200 * 3 + 1] = 0;
    bitmap.Palette()[200 * 3 + 2] = 0xFF;
    bitmap.Map()[3] = 200;
    list = ListOf(Save(loader, bitmap, "ICO"));
    EXPECT_EQ(list[0].BitCount, 8);
    EXPECT_TRUE(list[0].Transparent(0, 1));
    EXPECT_FALSE(list[0].Transparent(1, 1));
    EXPECT_EQ(list[0].PaletteColor(200), 0u);
}

TEST(ICOLoader, TrueColourAndCursorsSurviveSavingAndLoading) {
    TICOLoader loader;
    loader.NoSelection = true;
    TLinearBitmap bitmap;
    Load(loader, test::ReadFileBytes(test::DataPath("cur/netpbm.cur")), bitmap, "CUR");
    EXPECT_EQ(loader.HotSpotX, 3);
    loader.HotSpotX = 7;
    loader.HotSpotY = 9;
    bitmap.ConvertTo(lpf24bit);
    const Bytes saved = Save(loader, bitmap, "CUR");
    TICOLoader other;
    other.NoSelection = true;
    TLinearBitmap back;
    Load(other, saved, back, "CUR");
    EXPECT_EQ(other.HotSpotX, 7);
    EXPECT_EQ(other.HotSpotY, 9);
    ASSERT_EQ(back.PixelFormat(), lpf24bit);
    EXPECT_EQ(Bytes(back.Map(), back.Map() + back.Size()), Bytes(bitmap.Map(), bitmap.Map() + bitmap.Size()));
    EXPECT_TRUE(ListOf(saved)[0].Transparent(0, 0)); // fuchsia corners become the mask again
    EXPECT_EQ(ListOf(saved).Kind, ikCursor);

    TLinearBitmap large;
    large.Allocate(256, 1, lpf24bit);
    try {
        Save(loader, large, "ICO");
        ADD_FAILURE() << "saved";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Image is too large for icon");
    }
    TIconList other8;
    other8.Add(1, 1, 8);
    TMemStream stream;
    EXPECT_THROW(other8.SaveToStream(stream), EInvalidGraphicOperation); // kind 0
}

TEST(IconList, DrawingIsClippedToTheTarget) {
    TIconList list;
    TIconImage& image = list.Add(3, 3, 24);
    for (size_t i = 0; i < image.Xor.size(); ++i) image.Xor[i] = uint8_t(i);
    TLinearBitmap target;
    target.Allocate(2, 2, lpf24bit);
    target.Fill(clWhite);
    image.Draw(target, -2, 1); // only the image's top right pixel lands, at (0, 1)
    EXPECT_EQ(PixelColor(target, 0, 1), RGBColor(32, 31, 30));
    EXPECT_EQ(PixelColor(target, 1, 1), clWhite);
    EXPECT_EQ(PixelColor(target, 0, 0), clWhite);
    image.Draw(target, 5, 5);
    TLinearBitmap indexed;
    indexed.Allocate(3, 3, lpf8bit);
    EXPECT_THROW(image.Draw(indexed, 0, 0), ELinearBitmap); // colours have no index
}

struct TCURConformance {
    using Graphic = TCURGraphic;
    static constexpr const char* Folder = "cur";
    static constexpr const char* Extension = ".cur";
    static constexpr size_t HeaderSize = 6;
    static constexpr uint32_t MaxSide = 255;
    // Pictures larger than 64 x 64 come without their rows, as a damaged file would.
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        Bytes image = Image(int32_t(Width), int32_t(Height), 24, 0, 0x40);
        if (uint64_t(Width) * Height > 64 * 64) image.resize(40);
        return IconFile(ikCursor, {{uint8_t(Width), uint8_t(Height), 0, 0, image}});
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel::linear

FERRONEL_READER_CONFORMANCE(CUR, ferronel::linear::TCURConformance)
