#include "gif/GIFBuilder.h"
#include "gif/GIFEncoder.h"
#include "gif/GIFImage.h"
#include "gif/GIFStrings.h"
#include "host/Stream.h"

#include <gtest/gtest.h>

#include <random>

namespace ferronel {
namespace {

using namespace test;
using namespace gif;

std::unique_ptr<TGIFImage> LoadBytes(const GifBytes& Data, std::vector<std::string>* Warnings = nullptr) {
    auto image = std::make_unique<TGIFImage>();
    if (Warnings)
        image->WarningHook = [Warnings](TObject*, int, const std::string& m) { Warnings->push_back(m); };
    TMemoryStream s(Data);
    image->LoadFromStream(s);
    return image;
}

GifBytes SaveBytes(TGIFImage& Image) {
    TMemoryStream s;
    Image.SaveToStream(s);
    return s.Data();
}

// Image data (minimum code size, sub-blocks, terminator) from one encoder.
GifBytes Encode(uint8_t Kind, int Bits, uint32_t Colors, const GifBytes& Pixels, int32_t W, int32_t H,
                bool Interlaced = false) {
    TMemoryStream s;
    MakeGIFEncoder(Kind)->EncodeFrame(s, Bits, Colors, Pixels.data(), Interlaced, H, W);
    return s.Data();
}

// Decodes image data as stored (no interlace reordering) and checks that it ends at its terminator.
GifBytes Decode(const GifBytes& Data, uint32_t W, uint32_t H, bool Interlaced = false) {
    GifBytes pixels(size_t(W) * H, 0xEE);
    TGIFSource source(Data);
    std::vector<std::string> warnings;
    DecodeGIFPixels(source, pixels.data(), W, H, Interlaced, [&](const char* m) { warnings.push_back(m); });
    EXPECT_EQ(source.Position(), Data.size());
    EXPECT_TRUE(warnings.empty());
    return pixels;
}

// Runs, noise and ramps over Colors indices, so that every path of both encoders is taken.
GifBytes Mixed(size_t Count, uint32_t Colors, uint32_t Seed) {
    std::mt19937 random(Seed);
    GifBytes p;
    p.reserve(Count);
    while (p.size() < Count) {
        const uint32_t kind = random() % 4, length = 1 + random() % 700;
        for (uint32_t i = 0; i < length && p.size() < Count; ++i)
            p.push_back(uint8_t(kind == 0   ? random() % Colors
                                : kind == 1 ? (p.size() / 3) % Colors
                                            : (length * 7 + kind) % Colors));
    }
    return p;
}

TEST(GIFEncoders, EveryDepthAndEncoderDecodesToTheSameIndices) {
    for (uint8_t kind : {0, 1})
        for (int bits = 1; bits <= 8; ++bits) {
            const uint32_t colors = 1u << bits;
            for (const auto& [w, h] : {std::pair{1, 1}, {7, 5}, {301, 211}}) {
                const GifBytes pixels = Mixed(size_t(w) * size_t(h), colors, uint32_t(bits * 31 + w));
                const GifBytes data = Encode(kind, bits, colors, pixels, w, h);
                EXPECT_EQ(data[0], std::max(bits, 2));
                EXPECT_EQ(Decode(data, uint32_t(w), uint32_t(h)), pixels)
                    << int(kind) << " " << bits << " " << w;
            }
        }
}

TEST(GIFEncoders, LongRunsAndNoiseCrossTableResets) {
    // One colour for long: the LZW table fills and clears many times; the run-length encoder uses its
    // longest learned runs. Noise over 2 bits makes thousands of codes per clear.
    std::mt19937 random(7);
    GifBytes noise(200000);
    for (auto& p : noise) p = uint8_t(random() & 3);
    for (uint8_t kind : {0, 1}) {
        const GifBytes flat(1000 * 1000, 3);
        EXPECT_EQ(Decode(Encode(kind, 2, 4, flat, 1000, 1000), 1000, 1000), flat);
        EXPECT_EQ(Decode(Encode(kind, 2, 4, noise, 500, 400), 500, 400), noise);
        GifBytes runs;
        for (int r = 0; runs.size() < 300000; ++r)
            runs.insert(runs.end(), size_t(1 + r % 97) * 13, uint8_t(r % 5));
        runs.resize(300000);
        EXPECT_EQ(Decode(Encode(kind, 3, 8, runs, 600, 500), 600, 500), runs);
    }
    // A long run makes a clear code after the table's last entry, and the codes restart narrow.
    const GifBytes data = Encode(0, 8, 256, GifBytes(100000, 0), 100000, 1);
    EXPECT_LT(data.size(), 2000u);
}

TEST(GIFEncoders, InterlacedFramesAreStoredInPassOrder) {
    const GifBytes pixels{0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2}; // 4 x 3
    for (uint8_t kind : {0, 1}) {
        const GifBytes data = Encode(kind, 2, 4, pixels, 4, 3, true);
        EXPECT_EQ(Decode(data, 4, 3), (GifBytes{0, 0, 0, 0, 2, 2, 2, 2, 1, 1, 1, 1}));
        EXPECT_EQ(Decode(data, 4, 3, true), pixels);
        const GifBytes tall = Mixed(9 * 37, 4, 5);
        EXPECT_EQ(Decode(Encode(kind, 2, 4, tall, 9, 37, true), 9, 37, true), tall);
    }
}

TEST(GIFEncoders, IndicesPastTheColourCountAreRefused) {
    for (uint8_t kind : {0, 1}) {
        try {
            Encode(kind, 3, 5, GifBytes{0, 1, 4, 5, 2, 2}, 3, 2);
            ADD_FAILURE() << "no error";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), sColorNotInTable);
        }
        EXPECT_THROW(Encode(kind, 2, 2, GifBytes{2}, 1, 1), GIFException); // the first pixel too
    }
}

TEST(GIFEncoders, AnEmptyFrameIsAnEndCodeAlone) {
    // Clear is never sent; the end code of a 2-bit frame (5) at 3 bits.
    EXPECT_EQ(Encode(0, 2, 4, {}, 0, 0), (GifBytes{2, 1, 5, 0}));
}

TEST(GIFWriter, ImagesReadBackWithTheirBlocksAndPixels) {
    const GifBytes pixels1{0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1};
    const GifBytes pixels2(6, 2);
    const GifBytes file = TGifBuilder()
                              .Screen(5, 4, 2, 3)
                              .Loop(3)
                              .Comment("made here")
                              .Control(2, 25, 1)
                              .Frame(0, 0, 4, 3, pixels1)
                              .Control(3, 7)
                              .Frame(1, 1, 3, 2, pixels2, 3, true, 3)
                              .Trailer()
                              .Data();
    auto original = LoadBytes(file);
    for (uint8_t kind : {0, 1}) {
        original->EncoderKind = kind;
        std::vector<std::string> warnings;
        const GifBytes saved = SaveBytes(*original);
        auto copy = LoadBytes(saved, &warnings);
        EXPECT_TRUE(warnings.empty());
        EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF89a");
        EXPECT_EQ(saved.back(), gbTrailer);
        EXPECT_EQ(copy->Width(), 5);
        EXPECT_EQ(copy->Header().ScreenDescriptor.BackgroundColorIndex, 3);
        EXPECT_EQ(copy->Header().GlobalMap.Entries(), original->Header().GlobalMap.Entries());
        ASSERT_EQ(copy->Images().size(), 2u);
        const TGIFSubImage& a = *copy->Images()[0];
        const TGIFSubImage& b = *copy->Images()[1];
        EXPECT_EQ(a.PixelData, pixels1);
        EXPECT_EQ(b.PixelData, pixels2);
        EXPECT_TRUE(b.Interlaced());
        EXPECT_EQ(b.BoundsRect(), (TRect{1, 1, 4, 3}));
        EXPECT_EQ(b.LocalMap.Entries(), original->Images()[1]->LocalMap.Entries());
        EXPECT_EQ(a.Delay(), 25);
        EXPECT_EQ(a.Disposal(), 2);
        EXPECT_TRUE(a.IsTransparent);
        EXPECT_EQ(a.TransparentIndex(), 1);
        EXPECT_EQ(b.Delay(), 7);
        EXPECT_EQ(b.Disposal(), 3);
        ASSERT_EQ(a.ExtensionBlocks.size(), 3u);
        auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(a.ExtensionBlocks[0].get());
        ASSERT_TRUE(loop);
        EXPECT_EQ(loop->LoopCount, 3);
        auto* comment = dynamic_cast<TGIFCommentExtension*>(a.ExtensionBlocks[1].get());
        ASSERT_TRUE(comment);
        EXPECT_EQ(comment->Text, std::vector<std::string>{"made here"});
        // Saving what was read gives the same bytes again.
        copy->EncoderKind = kind;
        EXPECT_EQ(SaveBytes(*copy), saved);
    }
}

TEST(GIFWriter, ExtensionBlocksAsWritten) {
    TGIFImage image;
    image.Header().GlobalMap.Add(RGBColor(1, 2, 3));
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->Descriptor.Width = 1;
    frame->Descriptor.Height = 1;
    frame->PixelData = {0};
    auto loop = std::make_unique<TGIFAppExtNSLoop>(*frame);
    loop->LoopCount = 0x0102;
    auto text = std::make_unique<TGIFCommentExtension>(*frame);
    // An empty line has no sub-block of its own; a long one is split.
    text->Text = {"a", "", std::string(300, 'x')};
    frame->ExtensionBlocks.push_back(std::move(loop));
    frame->ExtensionBlocks.push_back(std::move(text));
    image.Add(std::unique_ptr<TGIFItem>(std::move(frame)));
    const GifBytes saved = SaveBytes(image);
    // One entry is written as a table of two; the colour resolution and size code say 1 bit.
    const GifBytes head{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0x80, 0, 0, 1, 2, 3, 0, 0, 0};
    ASSERT_GT(saved.size(), head.size());
    EXPECT_EQ(GifBytes(saved.begin(), saved.begin() + 19), head);
    // The looping block with a buffer hint of 0 holds the loop sub-block only.
    const GifBytes loopBlock{0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                             'E',  '2',  '.', '0', 3,   1,   2,   1,   0};
    EXPECT_EQ(GifBytes(saved.begin() + 19, saved.begin() + 38), loopBlock);
    auto copy = LoadBytes(saved);
    auto* comment = dynamic_cast<TGIFCommentExtension*>(copy->Images()[0]->ExtensionBlocks[1].get());
    ASSERT_TRUE(comment);
    EXPECT_EQ(comment->Text, (std::vector<std::string>{"a", std::string(255, 'x'), std::string(45, 'x')}));
    EXPECT_EQ(copy->Images()[0]->PixelData, GifBytes{0});
}

TEST(GIFWriter, HeaderDescribesTheTablesWritten) {
    // A 256-entry local table under a 16-entry global one: size code 3, colour resolution 7.
    GifBytes pixels(16);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 16);
    auto image =
        LoadBytes(TGifBuilder().Screen(4, 4, 4).Frame(0, 0, 4, 4, pixels, 8, false, 8).Trailer().Data());
    const GifBytes saved = SaveBytes(*image);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF87a"); // no block needs more
    EXPECT_EQ(saved[10], 0x80 | 0x70 | 3);
    EXPECT_EQ(LoadBytes(saved)->Images()[0]->PixelData, pixels);

    TGIFImage none;
    try {
        SaveBytes(none);
        ADD_FAILURE() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), sUnsupportedVersion);
    }
}

TEST(GIFWriter, AFrameWithoutAnyTableKeepsItsIndices) {
    const GifBytes pixels{0, 5, 7, 1};
    auto image = LoadBytes(TGifBuilder().Screen(2, 2, 0).Frame(0, 0, 2, 2, pixels, 3).Trailer().Data());
    EXPECT_EQ(LoadBytes(SaveBytes(*image))->Images()[0]->PixelData, pixels);
}

} // namespace
} // namespace ferronel
