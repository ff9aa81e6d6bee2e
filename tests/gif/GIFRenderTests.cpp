#include "gif/GIFBuilder.h"
#include "gif/GIFImage.h"
#include "gif/GIFPainter.h"
#include "host/Canvas.h"
#include "host/Stream.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace ferronel {
namespace {

using namespace test;

std::unique_ptr<TGIFImage> Load(const GifBytes& Data) {
    auto image = std::make_unique<TGIFImage>();
    TMemoryStream s(Data);
    image->LoadFromStream(s);
    return image;
}

std::unique_ptr<TGIFImage> LoadFixture(const std::string& Name) {
    return Load(ReadFileBytes(DataPath("gif/" + Name)));
}

// A black 32-bit bitmap of the image's size.
std::unique_ptr<TBitmap> Target(const TGIFImage& Image) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf32bit);
    b->SetSize(Image.Width(), Image.Height());
    b->Canvas().BrushColor = clBlack;
    b->Canvas().FillRect(TRect{0, 0, b->Width(), b->Height()});
    return b;
}

// Plays the sequence without a thread and without waits; answers the destination after every
// frame, and the frame indices in the order painted.
struct TPlayed {
    std::vector<std::vector<uint8_t>> Screens;
    std::vector<int32_t> Frames;
};
TPlayed Play(TGIFImage& Image, int32_t Speed = -1) {
    TPlayed played;
    auto target = Target(Image);
    Image.SpeedPercent = Speed;
    Image.FramePaintHook = [&](TObject* s) {
        played.Frames.push_back(static_cast<TGIFPainter*>(s)->ActiveFrame);
    };
    Image.AfterPaintHook = [&](TObject*) { played.Screens.push_back(Rgba(*target)); };
    TGIFPainter* slot = nullptr;
    EXPECT_EQ(Image.StartPainter(&slot, target->Canvas(), Image.RenderFlags - TGIFRenderFlags{rfThreaded},
                                 TRect{0, 0, target->Width(), target->Height()}),
              nullptr);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(Image.PainterCount(), 0u);
    return played;
}

std::vector<uint8_t> Pixel(const std::vector<uint8_t>& Rgba, int Width, int X, int Y) {
    const size_t i = (size_t(Y) * size_t(Width) + size_t(X)) * 4;
    return {Rgba[i], Rgba[i + 1], Rgba[i + 2]};
}

TEST(GIFAnimation, ComposedFramesMatchTheReferenceFrameByFrame) {
    for (const std::string name : {"anim-disposal", "anim-loop0", "anim-loop1"}) {
        auto image = LoadFixture(name + ".gif");
        const TPlayed played = Play(*image);
        size_t frames = 0;
        while (std::filesystem::exists(DataPath("gif/" + name + "-" + std::to_string(frames) + ".pam")))
            ++frames;
        ASSERT_GT(frames, 1u) << name;
        ASSERT_GE(played.Screens.size(), frames) << name;
        for (size_t f = 0; f < frames; ++f) {
            const TPam ref = ReadPam(DataPath("gif/" + name + "-" + std::to_string(f) + ".pam"));
            ASSERT_EQ(ref.Width, image->Width());
            ASSERT_EQ(ref.Height, image->Height());
            const std::vector<uint8_t>& ours = played.Screens[f];
            for (size_t i = 0; i < ref.Pixels.size(); i += 4) {
                // Where nothing was drawn the reference is transparent and ours the black backdrop.
                const bool clear = ref.Pixels[i + 3] == 0;
                for (size_t c = 0; c < 3; ++c)
                    ASSERT_EQ(ours[i + c], clear ? 0 : ref.Pixels[i + c])
                        << name << " frame " << f << " pixel " << (i / 4) % size_t(ref.Width) << ","
                        << (i / 4) / size_t(ref.Width);
            }
        }
    }
}

TEST(GIFAnimation, LoopCounts) {
    const GifBytes two = TGifBuilder().Screen(1, 1).Frame(0, 0, 1, 1, {1}).Frame(0, 0, 1, 1, {2}).Data();
    EXPECT_EQ(Play(*Load(two)).Frames, (std::vector<int32_t>{0, 1}));
    const GifBytes three =
        TGifBuilder().Screen(1, 1).Loop(3).Frame(0, 0, 1, 1, {1}).Frame(0, 0, 1, 1, {2}).Data();
    EXPECT_EQ(Play(*Load(three)).Frames, (std::vector<int32_t>{0, 1, 0, 1, 0, 1}));
    // The repetitions start at the frame that carries the loop block.
    const GifBytes later = TGifBuilder()
                               .Screen(1, 1)
                               .Frame(0, 0, 1, 1, {1})
                               .Loop(3)
                               .Frame(0, 0, 1, 1, {2})
                               .Frame(0, 0, 1, 1, {3})
                               .Data();
    EXPECT_EQ(Play(*Load(later)).Frames, (std::vector<int32_t>{0, 1, 2, 1, 2, 1, 2}));
    // An empty frame ends the pass.
    const GifBytes empty = TGifBuilder().Screen(1, 1).Frame(0, 0, 1, 1, {1}).Comment("end").Trailer().Data();
    auto image = Load(empty);
    ASSERT_EQ(image->Images().size(), 2u);
    EXPECT_EQ(Play(*image).Frames, (std::vector<int32_t>{0}));
}

TEST(GIFAnimation, DisposalMethods) {
    // Frame 0 fills the screen (disposal 6, undefined: kept); frame 1 (disposal 3, after a kept
    // frame) is drawn straight onto the destination and gone with the next paint; frame 2 restores
    // the background after it is shown.
    const GifBytes file = TGifBuilder()
                              .Screen(3, 1, 2)
                              .Control(6, 0)
                              .Frame(0, 0, 3, 1, {1, 1, 1})
                              .Control(dmPrevious, 0)
                              .Frame(0, 0, 1, 1, {2})
                              .Control(dmBackground, 0)
                              .Frame(2, 0, 1, 1, {3})
                              .Control(dmKeep, 0)
                              .Frame(1, 0, 1, 1, {2})
                              .Data();
    auto image = Load(file);
    const TPlayed played = Play(*image);
    ASSERT_EQ(played.Screens.size(), 4u);
    const std::vector<uint8_t> one{1, 254, 7}, two{2, 253, 14}, three{3, 252, 21}, black{0, 0, 0};
    EXPECT_EQ(Pixel(played.Screens[0], 3, 0, 0), one);
    EXPECT_EQ(Pixel(played.Screens[1], 3, 0, 0), two);
    EXPECT_EQ(Pixel(played.Screens[2], 3, 0, 0), one);
    EXPECT_EQ(Pixel(played.Screens[2], 3, 2, 0), three);
    EXPECT_EQ(Pixel(played.Screens[3], 3, 2, 0), black);
    EXPECT_EQ(Pixel(played.Screens[3], 3, 1, 0), two);
}

TEST(GIFAnimation, WaitsCountHundredthsOfASecond) {
    EXPECT_EQ(GIFWaitMilliseconds(10, 100, 0), 100);
    EXPECT_EQ(GIFWaitMilliseconds(10, 200, 0), 50);
    EXPECT_EQ(GIFWaitMilliseconds(3, 50, 0), 60);
    // Half of the time the last frame took beyond its wait comes off.
    EXPECT_EQ(GIFWaitMilliseconds(10, 100, 40), 80);
    EXPECT_EQ(GIFWaitMilliseconds(1, 100, 1000), -1);
}

TEST(GIFAnimation, DelaysAndSpeed) {
    // Delay 0 counts as 10 (100 ms), 2 as 3 (30 ms); at 200 % the waits halve.
    const GifBytes file = TGifBuilder()
                              .Screen(1, 1)
                              .Control(0, 0)
                              .Frame(0, 0, 1, 1, {1})
                              .Control(0, 2)
                              .Frame(0, 0, 1, 1, {2})
                              .Frame(0, 0, 1, 1, {3})
                              .Data();
    auto gaps = [&](int32_t Speed) {
        auto image = Load(file);
        std::vector<std::chrono::steady_clock::time_point> times;
        image->FramePaintHook = [&](TObject*) { times.push_back(std::chrono::steady_clock::now()); };
        auto target = Target(*image);
        image->SpeedPercent = Speed;
        TGIFPainter* slot = nullptr;
        image->StartPainter(&slot, target->Canvas(), image->RenderFlags - TGIFRenderFlags{rfThreaded},
                            TRect{0, 0, 1, 1});
        EXPECT_EQ(times.size(), 3u);
        auto ms = [&](size_t i) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(times[i + 1] - times[i]).count();
        };
        return std::pair{ms(0), ms(1)};
    };
    const auto [first, second] = gaps(100);
    EXPECT_GE(first, 90);
    EXPECT_GE(second, 25);
    EXPECT_LT(second, first);
    const auto [fast, fastSecond] = gaps(200);
    EXPECT_GE(fast, 45);
    EXPECT_LT(fast, first);
    (void)fastSecond;
}

TEST(GIFDrawing, OneFrameIsDrawnWithoutAPainter) {
    auto image = LoadFixture("im-4bit.gif");
    auto target = Target(*image);
    image->Draw(target->Canvas(), TRect{0, 0, target->Width(), target->Height()});
    EXPECT_EQ(image->PainterCount(), 0u);
    EXPECT_EQ(image->ComposedBitmap(), nullptr);
}

TEST(GIFDrawing, AScreenOfZeroIsMeasuredByTheFrames) {
    auto image = Load(TGifBuilder().Screen(0, 0).Frame(1, 0, 2, 2, {1, 0, 0, 1}).Trailer().Data());
    EXPECT_EQ(image->Width(), 3);
    EXPECT_EQ(image->Height(), 2);
    image->RenderFlags.Include(rfTiled);
    auto target = Target(*image);
    image->Draw(target->Canvas(), TRect{0, 0, 7, 5});
    EXPECT_EQ(Pixel(Rgba(*target), 3, 1, 0), (std::vector<uint8_t>{1, 254, 7}));
}

// Threads.

GifBytes TwoFrames(uint16_t Delay) {
    return TGifBuilder()
        .Screen(2, 1)
        .Loop(0)
        .Control(0, Delay)
        .Frame(0, 0, 2, 1, {1, 1})
        .Control(0, Delay)
        .Frame(0, 0, 2, 1, {2, 2})
        .Data();
}

// Runs the main thread's queue for Ms milliseconds.
void Pump(int Ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (std::chrono::steady_clock::now() < end) CheckSynchronize(std::chrono::milliseconds(5));
}

TEST(GIFPainterThread, AnimatesThroughTheMainThreadAndStopsPromptly) {
    auto image = Load(TwoFrames(3));
    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    // Frame bitmaps are built where they are drawn, on the main thread, never by the painter.
    int rendered = 0, renderedElsewhere = 0;
    image->OnProgress = [&](TObject*, TProgressStage Stage, uint8_t, bool, const TRect&,
                            const std::string& Msg) {
        if (Msg != "Rendering..." || Stage != psStarting) return;
        ++rendered;
        if (!IsMainThread()) ++renderedElsewhere;
    };
    auto target = Target(*image);
    image->Draw(target->Canvas(), TRect{0, 0, 2, 1});
    // Draw returns with the first frame composed.
    ASSERT_NE(image->ComposedBitmap(), nullptr);
    EXPECT_EQ(Pixel(Rgba(*target), 2, 0, 0), (std::vector<uint8_t>{1, 254, 7}));
    EXPECT_EQ(image->PainterCount(), 1u);
    Pump(400);
    EXPECT_GE(changes, 4);
    EXPECT_EQ(rendered, 2);
    EXPECT_EQ(renderedElsewhere, 0);

    // A painter in a long wait (a minute) is stopped at once.
    auto slow = Load(TwoFrames(6000));
    slow->Draw(target->Canvas(), TRect{0, 0, 2, 1});
    Pump(50);
    const auto start = std::chrono::steady_clock::now();
    slow.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(GIFPainterThread, SpeedZeroHoldsTheCurrentFrame) {
    auto image = Load(TwoFrames(1));
    image->SpeedPercent = 0;
    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    auto target = Target(*image);
    image->Draw(target->Canvas(), TRect{0, 0, 2, 1});
    Pump(200);
    EXPECT_EQ(changes, 1);
    image->StopAllPainters();
    EXPECT_EQ(image->PainterCount(), 0u);
}

TEST(GIFPainterThread, ReplacingAndDrawingAgainWhileAnimating) {
    auto target = std::make_unique<TBitmap>();
    target->SetPixelFormat(pf32bit);
    target->SetSize(4, 2);
    for (int i = 0; i < 50; ++i) {
        auto image = Load(TwoFrames(1));
        image->Draw(target->Canvas(), TRect{0, 0, 4, 2});
        // A different rectangle needs no new painter: the composed picture is drawn.
        image->Draw(target->Canvas(), TRect{0, 0, 2, 1});
        EXPECT_LE(image->PainterCount(), 1u);
        if (i % 10 == 0) Pump(20);
    }
}

} // namespace
} // namespace ferronel
