#include "gif/GIFBuilder.h"
#include "gif/GIFImage.h"
#include "gif/GIFStrings.h"
#include "host/Stream.h"
#include "support/LimitGuard.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

namespace ferronel {

// Animated fixtures are shown composed; the first composed frame is the first frame.
struct TGIFConformance {
    using Graphic = TGIFImage;
    static constexpr const char* Folder = "gif";
    static constexpr const char* Extension = ".gif";
    static constexpr size_t HeaderSize = 12;
    static constexpr uint32_t MaxSide = 65535;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return test::TGifBuilder()
            .Screen(uint16_t(Width), uint16_t(Height))
            .RawFrame(uint16_t(Width), uint16_t(Height), {2, 1, 0x05, 0})
            .Trailer()
            .Data();
    }
    static int ComparedBits(const std::string&) { return 8; }
};

namespace {

using namespace test;
using namespace gif;

struct TLoaded {
    std::unique_ptr<TGIFImage> Image = std::make_unique<TGIFImage>();
    std::vector<std::string> Warnings;
    int64_t End = 0;
};

TLoaded Load(const GifBytes& Data) {
    TLoaded l;
    l.Image->WarningHook = [&w = l.Warnings](TObject*, int, const std::string& m) { w.push_back(m); };
    TMemoryStream s(Data);
    l.Image->LoadFromStream(s);
    l.End = s.Position();
    return l;
}

std::string LoadError(const GifBytes& Data) {
    try {
        Load(Data);
    } catch (const GIFException& e) {
        return e.Message();
    }
    return "no error";
}

const GifBytes& Pixels(const TLoaded& l, size_t Frame = 0) { return l.Image->Images().at(Frame)->PixelData; }

TEST(GIFContainer, SignatureCaseVersionAndOffset) {
    const GifBytes body = TGifBuilder().Screen(2, 1).Frame(0, 0, 2, 1, {1, 0}).Trailer().Data();
    EXPECT_EQ(Pixels(Load(body)), (GifBytes{1, 0}));
    GifBytes lower = body;
    std::copy_n("gif12x", 6, lower.begin());
    EXPECT_EQ(Pixels(Load(lower)), (GifBytes{1, 0}));
    // Four bytes of something else in front.
    GifBytes shifted{'M', 'A', 'C', 'X'};
    shifted.insert(shifted.end(), body.begin(), body.end());
    EXPECT_EQ(Pixels(Load(shifted)), (GifBytes{1, 0}));
    TMemoryStream s(shifted);
    EXPECT_TRUE(TGIFImage().CanLoad(s));
    EXPECT_EQ(s.Position(), 0);

    GifBytes wrong = body;
    wrong[1] = 'X';
    EXPECT_EQ(LoadError(wrong), sInvalidSignature);
    EXPECT_EQ(LoadError({'G', 'I'}), sPrematureEnd);
}

TEST(GIFContainer, ZeroBytesBetweenBlocksAndAMissingTrailer) {
    auto l =
        Load(TGifBuilder().Screen(1, 1).Raw({0, 0}).Frame(0, 0, 1, 1, {1}).Raw({0, 0, 0}).Trailer().Data());
    EXPECT_EQ(l.Image->Images().size(), 1u);
    EXPECT_TRUE(l.Warnings.empty());
    l = Load(TGifBuilder().Screen(1, 1).Frame(0, 0, 1, 1, {1}).Data());
    EXPECT_EQ(Pixels(l), GifBytes{1});
    EXPECT_TRUE(l.Warnings.empty());
}

TEST(GIFContainer, StrayByteEndsTheFramesWithTwoWarnings) {
    const auto l =
        Load(TGifBuilder().Screen(1, 1).Frame(0, 0, 1, 1, {1}).Raw({0x55}).Frame(0, 0, 1, 1, {0}).Data());
    EXPECT_EQ(l.Image->Images().size(), 1u);
    EXPECT_EQ(l.Warnings, (std::vector<std::string>{sUnknownBlock, sInvalidTrailer}));
}

TEST(GIFContainer, AFrameOfZeroWidthTakesTheScreenSize) {
    const auto l = Load(TGifBuilder().Screen(3, 2).RawFrame(0, 5, {2, 0}).Trailer().Data());
    const TGIFSubImage& f = *l.Image->Images()[0];
    EXPECT_EQ(f.Width(), 3);
    EXPECT_EQ(f.Height(), 2);
    ASSERT_FALSE(l.Warnings.empty());
    EXPECT_EQ(l.Warnings.front(), sImageExceedsScreen);
    EXPECT_EQ(f.PixelData, GifBytes(6, 0));
}

TEST(GIFContainer, SizesFromTheFileAreCheckedBeforeAllocating) {
    // A 40-byte file whose frame takes a screen of 65535 x 65535.
    const GifBytes tiny = TGifBuilder().Screen(65535, 65535).RawFrame(0, 0, {2, 0}).Trailer().Data();
    EXPECT_THROW(Load(tiny), EInvalidGraphic);
    const TPixelBufferLimitGuard limit(100);
    EXPECT_THROW(Load(TGifBuilder().Screen(20, 20).RawFrame(20, 20, {2, 0}).Data()), EInvalidGraphic);
}

TEST(GIFContainer, TwoControlExtensionsTheFirstGoverns) {
    const auto l = Load(TGifBuilder()
                            .Screen(2, 1)
                            .Control(dmBackground, 7, 1)
                            .Control(dmPrevious, 9, 0)
                            .Frame(0, 0, 2, 1, {1, 0})
                            .Trailer()
                            .Data());
    const TGIFSubImage& f = *l.Image->Images()[0];
    EXPECT_EQ(f.ExtensionBlocks.size(), 2u);
    EXPECT_EQ(f.Delay(), 7);
    EXPECT_EQ(f.Disposal(), dmBackground);
    EXPECT_EQ(f.TransparentIndex(), 1);
    EXPECT_TRUE(f.IsTransparent);
}

TEST(GIFContainer, ApplicationBlocks) {
    auto loopOf = [](const TLoaded& l) {
        return dynamic_cast<const TGIFAppExtNSLoop*>(l.Image->Images()[0]->ExtensionBlocks.at(0).get());
    };
    auto l = Load(TGifBuilder().Screen(1, 1).Loop(3, "ANIMEXTS1.0").Frame(0, 0, 1, 1, {0}).Trailer().Data());
    ASSERT_NE(loopOf(l), nullptr);
    EXPECT_EQ(loopOf(l)->LoopCount, 3);

    // Block size 10: the identifier takes the first byte of the next sub-block.
    l = Load(TGifBuilder()
                 .Screen(1, 1)
                 .Raw({0x21, 0xFF, 10, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', '2', 2, 7, 8, 0})
                 .Frame(0, 0, 1, 1, {0})
                 .Trailer()
                 .Data());
    const auto* unknown =
        dynamic_cast<const TGIFUnknownAppExtension*>(l.Image->Images()[0]->ExtensionBlocks.at(0).get());
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->Identifier[10], 2);
    EXPECT_EQ(unknown->DataBlocks.size(), 1u);

    // A block size past 11 is kept as an unknown block.
    l = Load(
        TGifBuilder()
            .Screen(1, 1)
            .Raw({0x21, 0xFF, 12, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 'x', 3, 1, 5, 0, 0})
            .Frame(0, 0, 1, 1, {1})
            .Trailer()
            .Data());
    EXPECT_NE(dynamic_cast<const TGIFUnknownAppExtension*>(l.Image->Images()[0]->ExtensionBlocks.at(0).get()),
              nullptr);
    EXPECT_EQ(Pixels(l), GifBytes{1});

    EXPECT_EQ(LoadError(TGifBuilder().Screen(1, 1).Raw({0x21, 0xFF, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}).Data()),
              sAppBlockSize);
    // A loop sub-block too short for its id.
    GifBytes shortLoop = TGifBuilder().Screen(1, 1).Loop(3).Data();
    shortLoop[shortLoop.size() - 5] = 2;
    EXPECT_EQ(LoadError(shortLoop), sInvalidData);
    // Loop sub-blocks that run into the end of the file end there.
    GifBytes cut = TGifBuilder()
                       .Screen(1, 1)
                       .Raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 200, 7})
                       .Data();
    EXPECT_EQ(Load(cut).Image->Images().size(), 1u);
}

TEST(GIFContainer, CommentsUnknownLabelsAndTruncation) {
    auto l = Load(TGifBuilder().Screen(1, 1).Comment("hello").Frame(0, 0, 1, 1, {1}).Trailer().Data());
    const auto* c =
        dynamic_cast<const TGIFCommentExtension*>(l.Image->Images()[0]->ExtensionBlocks.at(0).get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Text, std::vector<std::string>{"hello"});

    EXPECT_EQ(LoadError(TGifBuilder().Screen(1, 1).Raw({0x21, 0x42, 0}).Data()), sUnknownExtension);
    const GifBytes whole =
        TGifBuilder().Screen(1, 1).Frame(0, 0, 1, 1, {1}).Comment("x").Frame(0, 0, 1, 1, {1}).Data();
    EXPECT_EQ(LoadError(GifBytes(whole.begin(), whole.begin() + 10)), sPrematureEnd);
    // A failure puts the stream back and keeps the frames read so far.
    GifBytes broken = whole;
    broken.resize(broken.size() - 14);
    broken.insert(broken.end(), {0x21, 0x42});
    TGIFImage image;
    TMemoryStream s(broken);
    EXPECT_THROW(image.LoadFromStream(s), GIFException);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(image.Images().size(), 1u);
}

TEST(GIFContainer, AFileWithoutColourTablesDraws) {
    auto l = Load(TGifBuilder().Screen(2, 1, 0).Frame(0, 0, 2, 1, {0, 3}).Trailer().Data());
    ASSERT_NE(l.Image->Palette(), nullptr);
    const std::vector<uint8_t> rgba = test::Rgba(*l.Image);
    EXPECT_EQ(rgba.size(), 8u);
}

// Decoding.

TEST(GIFDecoder, OnePixelThenTheStreamStandsAfterTheTerminator) {
    GifBytes data{2};
    const GifBytes blocks = SubBlocks(PackCodes({{4, 3}, {3, 3}, {5, 3}}));
    data.insert(data.end(), blocks.begin(), blocks.end());
    GifBytes file = TGifBuilder().Screen(1, 1).RawFrame(1, 1, data).Data();
    const size_t after = file.size();
    file.push_back(0x3B);
    const auto l = Load(file);
    EXPECT_EQ(Pixels(l), GifBytes{3});
    EXPECT_EQ(size_t(l.End), after + 1);
}

TEST(GIFDecoder, InterlacedRowsAreStoredInPassOrder) {
    // Rows 0..4 hold the values 0..4; stored as 0, 4, 2, 1, 3.
    const GifBytes stored = {0, 4, 2, 1, 3};
    GifBytes data{3};
    const GifBytes codes = SubBlocks(EncodePixels(stored, 3));
    data.insert(data.end(), codes.begin(), codes.end());
    EXPECT_EQ(Pixels(Load(TGifBuilder().Screen(1, 5).RawFrame(1, 5, data, 0x40).Data())),
              (GifBytes{0, 1, 2, 3, 4}));
    EXPECT_EQ(Pixels(Load(TGifBuilder().Screen(2, 1).Frame(0, 0, 2, 1, {3, 1}, 2, true).Data())),
              (GifBytes{3, 1}));
    const GifBytes nine = {0, 1, 2, 3, 0, 1, 2, 3, 0};
    EXPECT_EQ(Pixels(Load(TGifBuilder().Screen(1, 9).Frame(0, 0, 1, 9, nine, 2, true).Data())), nine);
}

TEST(GIFDecoder, CodeEqualToTheNextFreeSlot) {
    // clear, 1, 6 (= next slot: "1 1"), 7 (= next slot: "1 1 1"), end.
    const GifBytes codes = PackCodes({{4, 3}, {1, 3}, {6, 3}, {7, 3}, {5, 4}});
    GifBytes data{2};
    const GifBytes blocks = SubBlocks(codes);
    data.insert(data.end(), blocks.begin(), blocks.end());
    EXPECT_EQ(Pixels(Load(TGifBuilder().Screen(6, 1).RawFrame(6, 1, data).Data())), GifBytes(6, 1));
}

TEST(GIFDecoder, DataEndingEarlyKeepsTheFill) {
    auto frame = [](uint16_t Width, const std::vector<std::pair<uint32_t, int>>& Codes) {
        GifBytes data{8};
        const GifBytes blocks = SubBlocks(PackCodes(Codes));
        data.insert(data.end(), blocks.begin(), blocks.end());
        return TGifBuilder().Screen(Width, 1, 8).Control(0, 0, 3).RawFrame(Width, 1, data).Data();
    };
    // Two pixels of four, then the terminator with a few bits over (27 of 32): quiet.
    auto l = Load(frame(4, {{256, 9}, {1, 9}, {2, 9}}));
    EXPECT_EQ(Pixels(l), (GifBytes{1, 2, 3, 3}));
    EXPECT_TRUE(l.Warnings.empty());
    // Codes that use the buffer up exactly (8 x 9 bits): an under-run.
    l = Load(frame(9, {{256, 9}, {1, 9}, {2, 9}, {4, 9}, {5, 9}, {6, 9}, {7, 9}, {8, 9}}));
    EXPECT_EQ(Pixels(l), (GifBytes{1, 2, 4, 5, 6, 7, 8, 3, 3}));
    EXPECT_EQ(l.Warnings, std::vector<std::string>{sBitBufferUnderrun});
    // A transparent frame with no data is all transparent.
    l = Load(TGifBuilder().Screen(3, 1).Control(0, 0, 2).RawFrame(3, 1, {2, 0}).Data());
    EXPECT_EQ(Pixels(l), GifBytes(3, 2));
}

TEST(GIFDecoder, ABlockLongerThanTheFileDecodesWhatIsThere) {
    GifBytes data{2, 200};
    const GifBytes codes = EncodePixels({1, 2, 3}, 2);
    data.insert(data.end(), codes.begin(), codes.end());
    const auto l = Load(TGifBuilder().Screen(3, 1).RawFrame(3, 1, data).Data());
    EXPECT_EQ(Pixels(l), (GifBytes{1, 2, 3}));
    EXPECT_EQ(l.Warnings, std::vector<std::string>{sPrematureEnd});
}

TEST(GIFDecoder, AFullTableKeepsTwelveBitCodes) {
    // Minimum code size 8: after the clear, the first code and 3838 more fill the table (the last
    // slot, 4095, comes with the 3839th); the codes grow to 12 bits and stay there.
    std::vector<std::pair<uint32_t, int>> codes{{256, 9}};
    uint32_t next = 258;
    int width = 9;
    GifBytes expected;
    for (int i = 0; i < 3840 + 5; ++i) {
        const uint32_t value = uint32_t(i % 200);
        codes.push_back({value, width});
        expected.push_back(uint8_t(value));
        if (i > 0 && next < 4096) {
            ++next;
            if (next >= (1u << width) && width < 12) ++width;
        }
    }
    codes.push_back({257, 12});
    GifBytes data{8};
    const GifBytes blocks = SubBlocks(PackCodes(codes));
    data.insert(data.end(), blocks.begin(), blocks.end());
    const uint16_t n = uint16_t(expected.size());
    const auto l = Load(TGifBuilder().Screen(n, 1, 8).RawFrame(n, 1, data).Data());
    EXPECT_EQ(Pixels(l), expected);
    EXPECT_TRUE(l.Warnings.empty());
}

TEST(GIFDecoder, ShortSubBlocksCarryCodesAcrossThem) {
    // 10-bit codes in 1-byte blocks: a code spans two blocks and more.
    GifBytes pixels(300);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 37);
    GifBytes data{9};
    const GifBytes blocks = SubBlocks(EncodePixels(pixels, 9), 1);
    data.insert(data.end(), blocks.begin(), blocks.end());
    EXPECT_EQ(Pixels(Load(TGifBuilder().Screen(300, 1, 8).RawFrame(300, 1, data).Data())), pixels);
}

TEST(GIFDecoder, HostileCodeStreams) {
    // A minimum code size past 11 is refused.
    EXPECT_EQ(LoadError(TGifBuilder().Screen(1, 1).RawFrame(1, 1, {12, 1, 0, 0}).Data()), sInvalidData);
    // Codes past the next free slot (258 -> 300 -> 258): decoding stops there with a warning.
    const GifBytes codes = PackCodes({{256, 9}, {1, 9}, {2, 9}, {258, 9}, {300, 9}, {258, 9}, {257, 9}});
    GifBytes data{8};
    const GifBytes blocks = SubBlocks(codes);
    data.insert(data.end(), blocks.begin(), blocks.end());
    const auto l = Load(TGifBuilder().Screen(8, 1, 8).Control(0, 0, 9).RawFrame(8, 1, data).Data());
    EXPECT_EQ(Pixels(l), (GifBytes{1, 2, 1, 2, 9, 9, 9, 9}));
    EXPECT_EQ(l.Warnings, std::vector<std::string>{sInvalidData});
    // Data with too many codes ends at the frame's last pixel and the next frame still reads.
    GifBytes many{2};
    const GifBytes more = SubBlocks(EncodePixels({1, 2, 3, 1, 2, 3}, 2));
    many.insert(many.end(), more.begin(), more.end());
    const auto two =
        Load(TGifBuilder().Screen(2, 1).RawFrame(2, 1, many).Frame(0, 0, 2, 1, {3, 3}).Trailer().Data());
    ASSERT_EQ(two.Image->Images().size(), 2u);
    EXPECT_EQ(Pixels(two, 0), (GifBytes{1, 2}));
    EXPECT_EQ(Pixels(two, 1), (GifBytes{3, 3}));
}

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(GIF, ferronel::TGIFConformance)
