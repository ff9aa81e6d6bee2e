#include "gif/GIFPainter.h"

#include <algorithm>
#include <set>
#include <thread>

namespace ferronel {

namespace {

// Disposal codes past 3 are undefined; such frames are kept like disposal 1 rather than left
// undrawn.
uint8_t EffectiveDisposal(uint8_t Disposal) { return Disposal > dmPrevious ? uint8_t(dmKeep) : Disposal; }

// Delays count in hundredths of a second.
constexpr int32_t MillisecondsPerDelayUnit = 10;
constexpr int32_t DefaultDelay = 10;
constexpr int32_t MinimumDelay = 3;
constexpr int32_t MaximumInlineDelay = 1000;
// What a stopped or failed timing waits without a thread (10 s).
constexpr int32_t InlineHoldMs = 10000;
constexpr int32_t InlineSliceMs = 100;

std::unique_ptr<TBitmap> CopyOfArea(TCanvas& Canvas, const TRect& Rect, TColor Brush) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(Rect.Width(), Rect.Height());
    bitmap->Canvas().BrushColor = Brush;
    bitmap->Canvas().CopyRect(TRect{0, 0, Rect.Width(), Rect.Height()}, Canvas, Rect);
    return bitmap;
}

} // namespace

int32_t GIFWaitMilliseconds(int32_t Delay, int32_t SpeedPercent, int64_t OutsideMs) {
    const int64_t wait = (int64_t(Delay) * MillisecondsPerDelayUnit - OutsideMs / 2) * 100 / SpeedPercent;
    return int32_t(std::clamp<int64_t>(wait, -1, INT32_MAX));
}

TGIFPainter::TGIFPainter(TGIFImage& Image, TGIFPainter** Slot, TCanvas& Canvas, const TRect& Rect,
                         TGIFRenderFlags Flags)
    : TThread(true), OwnerSlot(Slot), FImage(&Image), FDestCanvas(Canvas), FDestRect(Rect),
      FRenderFlags(Flags), FSpeedPercent(Image.SpeedPercent) {
    if (Flags.Contains(rfThreaded) && Flags.Contains(rfAnimated) && Image.Images().size() > 1 &&
        FSpeedPercent >= 0)
        FWakeEvent = std::make_unique<TSimpleEvent>(true);
    FBackgroundColor = Image.BackgroundColor();

    std::set<uint8_t> disposals;
    for (const auto& frame : Image.Images())
        for (const auto& extension : frame->ExtensionBlocks)
            if (const auto* control = dynamic_cast<const TGIFGraphicControlExtension*>(extension.get()))
                disposals.insert(EffectiveDisposal(control->Disposal()));
    if (Flags.Contains(rfWipeOnRestart)) disposals.insert(dmBackground);
    const bool background = disposals.contains(dmBackground);
    if (background && Flags.Contains(rfMasked)) FBackdrop = CopyOfArea(Canvas, Rect, FBackgroundColor);
    if (background || disposals.contains(dmPrevious)) {
        FCompositionBuffer = CopyOfArea(Canvas, Rect, FBackgroundColor);
        FScratchBuffer = std::make_unique<TBitmap>();
        FScratchBuffer->SetPixelFormat(pf32bit);
        FScratchBuffer->SetSize(Rect.Width(), Rect.Height());
        FScratchBuffer->Canvas().BrushColor = FBackgroundColor;
    }
}

TGIFPainter::~TGIFPainter() {
    // The thread uses the members below; it ends before they go.
    Terminate();
    if (FWakeEvent) FWakeEvent->SetEvent();
    WaitFor();
    if (!FEnded && FImage) FImage->DetachPainter(this);
}

void TGIFPainter::Activate() {
    if (Threaded()) Start();
}

void TGIFPainter::Halt() {
    Terminate();
    if (!Threaded()) return;
    if (FWakeEvent) FWakeEvent->SetEvent();
    Priority = 0;
    Start(); // a suspended painter runs to its end at once
}

void TGIFPainter::Execute() { RunLoop(); }

void TGIFPainter::RunHere() {
    RunLoop();
    if (FError) std::rethrow_exception(FError);
}

void TGIFPainter::RunLoop() {
    // A failure ends the painter; it is kept for a caller that ran the loop itself.
    try {
        Loop();
    } catch (...) {
        FError = std::current_exception();
        Terminate();
    }
    Detach();
}

void TGIFPainter::Detach() {
    FImage->DetachPainter(this);
    FEnded = true;
}

void TGIFPainter::OnMainThread(const std::function<void()>& Method) {
    if (!Threaded()) {
        Method();
        return;
    }
    Synchronize([&] {
        if (!Terminated()) Method();
    });
}

void TGIFPainter::FireHook(const TNotifyEvent& Hook) {
    if (Hook) OnMainThread([&] { Hook(this); });
}

void TGIFPainter::Wait(int32_t& Delay, uint32_t& LastTime, int32_t& LastWait) {
    if (Delay <= 0) {
        std::this_thread::yield();
        return;
    }
    const bool threaded = Threaded();
    const uint32_t now = timeGetTime();
    if (FSpeedPercent > 0) {
        Delay = GIFWaitMilliseconds(Delay, FSpeedPercent, int64_t(int32_t(now - LastTime)) - LastWait);
        LastWait = Delay;
    } else if (FSpeedPercent == 0) {
        Delay = threaded ? -1 : InlineHoldMs; // held at this frame until stopped
    } else {
        return; // a negative speed runs without waits
    }
    LastTime = now;
    if (threaded) {
        if (Delay <= 0 && FSpeedPercent != 0) return;
        if (FWakeEvent) {
            if (FWakeEvent->WaitFor(Delay)) {
                LastWait = 0;
                LastTime = timeGetTime();
            }
            return;
        }
    }
    // In slices, so that a stop is seen and the main thread's queue keeps moving.
    Delay = std::max(Delay, 1);
    uint32_t start = timeGetTime();
    while (Delay > 0 && !Terminated() && !RestartRequested) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(Delay, InlineSliceMs)));
        if (IsMainThread()) CheckSynchronize();
        const uint32_t t = timeGetTime();
        Delay -= int32_t(t - start);
        start = t;
    }
}

void TGIFPainter::Loop() {
    const bool threaded = Threaded();
    const auto& frames = FImage->Images();
    const bool animated = FRenderFlags.Contains(rfAnimated);
    const bool repeatForever = FRenderFlags.Contains(rfRepeatForever);
    do {
        ActiveFrame = 0;
        FireHook(StartPaintHook);
        FFirstFrameShown = false;
        RestartRequested = false;
        int32_t loopsLeft = 1, loopStart = 0;
        bool loopSeen = false;
        int32_t delay = threaded ? 0 : 1;
        FPriorDisposal = dmKeep;
        uint32_t lastTime = timeGetTime();
        int32_t lastWait = 0;

        while ((loopsLeft != 0 || repeatForever) && !Terminated() && !RestartRequested) {
            ActiveFrame = loopStart;
            if (FFirstFrameShown) FireHook(LoopHook);
            while (!Terminated() && !RestartRequested) {
                const int32_t index = ActiveFrame;
                if (index < 0 || size_t(index) >= frames.size()) break;
                TGIFSubImage& frame = *frames[size_t(index)];
                if (frame.Empty()) break;
                Wait(delay, lastTime, lastWait);
                if (Terminated()) break;
                FireHook(FramePaintHook);
                if (Terminated()) break;

                FCurrentDisposal = dmKeep;
                for (const auto& extension : frame.ExtensionBlocks) {
                    if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extension.get())) {
                        if (loopSeen) continue;
                        loopSeen = true;
                        loopsLeft =
                            threaded && (loop->LoopCount == 0 || repeatForever) ? -1 : loop->LoopCount;
                        loopStart = index;
                    } else if (const auto* control =
                                   dynamic_cast<const TGIFGraphicControlExtension*>(extension.get())) {
                        FCurrentDisposal = EffectiveDisposal(control->Disposal());
                    }
                }
                OnMainThread([this] { FCompositionBuffer ? BufferedPaint() : DirectPaint(); });
                FPriorDisposal = FCurrentDisposal;
                if (Terminated()) break;

                delay = DefaultDelay;
                if (frame.ControlExtension && frame.ControlExtension->Delay() != 0) {
                    delay = std::max<int32_t>(frame.ControlExtension->Delay(), MinimumDelay);
                    if (!threaded) delay = std::min(delay, MaximumInlineDelay);
                }
                FireHook(AfterPaintHook);
                if (Terminated()) break;
                // A hook that moved the index redirects the sequence.
                int32_t expected = index;
                ActiveFrame.compare_exchange_strong(expected, index + 1);
                if (!animated) break;
            }
            if (loopsLeft > 0) --loopsLeft;
            if (!(animated && FRenderFlags.Contains(rfRepeat))) break;
        }
    } while (RestartRequested && !Terminated());
    ActiveFrame = -1;
    FireHook(EndPaintHook);
}

void TGIFPainter::DirectPaint() {
    TGIFSubImage& frame = *FImage->Images()[size_t(ActiveFrame.load())];
    frame.RenderFrame(FDestCanvas, FDestRect, FRenderFlags.Contains(rfTiled),
                      FRenderFlags.Contains(rfMasked));
    FFirstFrameShown = true;
    if (&FDestCanvas.Bitmap() == FImage->FComposedBitmap.get()) FImage->Changed(FImage);
}

TRect TGIFPainter::ScaledFrameRect(const TGIFSubImage& Frame) const {
    const int32_t w = FDestRect.Width(), h = FDestRect.Height();
    const int32_t sw = std::max(FImage->Width(), 1), sh = std::max(FImage->Height(), 1);
    return TRect{MulDiv(Frame.Left(), w, sw), MulDiv(Frame.Top(), h, sh),
                 MulDiv(Frame.Left() + Frame.Width(), w, sw), MulDiv(Frame.Top() + Frame.Height(), h, sh)};
}

void TGIFPainter::EraseFrameArea(TGIFSubImage& Frame) {
    // Buffer coordinates throughout: the buffers start at 0,0.
    TCanvas& buffer = FCompositionBuffer->Canvas();
    auto erase = [&](const TRect& r) {
        if (FRenderFlags.Contains(rfMasked) && FBackdrop) {
            buffer.CopyRect(r, FBackdrop->Canvas(), r);
        } else {
            buffer.BrushColor = FBackgroundColor;
            buffer.FillRect(r);
        }
    };
    if (FRenderFlags.Contains(rfTiled)) {
        const TRect bounds{0, 0, FDestRect.Width(), FDestRect.Height()};
        for (int64_t y = Frame.Top(); y < bounds.Bottom; y += std::max(FImage->Height(), 1))
            for (int64_t x = Frame.Left(); x < bounds.Right; x += std::max(FImage->Width(), 1))
                erase(TRect{int32_t(x), int32_t(y), int32_t(x) + Frame.Width(), int32_t(y) + Frame.Height()});
        return;
    }
    erase(ScaledFrameRect(Frame));
}

void TGIFPainter::BufferedPaint() {
    TGIFSubImage& frame = *FImage->Images()[size_t(ActiveFrame.load())];
    const bool tiled = FRenderFlags.Contains(rfTiled), masked = FRenderFlags.Contains(rfMasked);
    const bool wipeFirst = FRenderFlags.Contains(rfWipeOnRestart) && ActiveFrame == 0;
    const TRect whole{0, 0, FDestRect.Width(), FDestRect.Height()};

    TCanvas* target = &FCompositionBuffer->Canvas();
    TRect targetRect = whole;
    bool copyToDestination = true, scratch = false;
    if (FCurrentDisposal == dmPrevious) {
        if (FPriorDisposal < dmBackground) {
            // The buffer keeps the state before this frame; the next paint copies it back.
            target = &FDestCanvas;
            targetRect = FDestRect;
            copyToDestination = false;
        } else {
            scratch = true;
            target = &FScratchBuffer->Canvas();
        }
    }
    if (wipeFirst) EraseFrameArea(frame);
    if (scratch) target->CopyRect(whole, FCompositionBuffer->Canvas(), whole);
    frame.RenderFrame(*target, targetRect, tiled, masked);
    if (copyToDestination) FDestCanvas.CopyRect(FDestRect, *target, whole);
    if (FCurrentDisposal == dmBackground) EraseFrameArea(frame);
    FFirstFrameShown = true;
    if (&FDestCanvas.Bitmap() == FImage->FComposedBitmap.get()) FImage->Changed(FImage);
}

} // namespace ferronel
