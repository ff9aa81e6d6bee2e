// The animation painter: a thread that walks an image's frames with their delays and loop count
// and paints each one through the main thread (or, without rfThreaded, does all of that inside
// the call that started it). Frames are put together in a composition buffer according to their
// disposal methods.
#pragma once

#include "gif/GIFImage.h"
#include "host/Canvas.h"
#include "host/Thread.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>

namespace ferronel {

// Milliseconds to wait for a frame delay (hundredths of a second) at SpeedPercent (> 0), when the
// last frame took OutsideMs beyond its wait: half of that is taken off, so that painting does not
// slow the animation down.
int32_t GIFWaitMilliseconds(int32_t Delay, int32_t SpeedPercent, int64_t OutsideMs);

class TGIFPainter : public TThread {
    FERRONEL_ABSTRACT_CLASS(TGIFPainter, TThread)
public:
    TGIFPainter(TGIFImage& Image, TGIFPainter** OwnerSlot, TCanvas& Canvas, const TRect& Rect,
                TGIFRenderFlags Flags);
    ~TGIFPainter() override;

    // Resumes a threaded painter.
    void Activate();
    // Stops the painter; a timed wait ends at once.
    void Halt();
    // Runs the painter's loop in the caller (painters without rfThreaded); a failure inside the loop
    // reaches the caller.
    void RunHere();

    TGIFImage* Image() const { return FImage; }
    TCanvas& DestCanvas() const { return FDestCanvas; }
    const TRect& DestRect() const { return FDestRect; }
    TGIFRenderFlags RenderFlags() const { return FRenderFlags; }
    bool Threaded() const { return FRenderFlags.Contains(rfThreaded); }
    bool FirstFrameShown() const { return FFirstFrameShown; }
    bool Ended() const { return FEnded; }

    // The frame being painted; -1 when not painting. A hook may set it to redirect the sequence.
    std::atomic<int32_t> ActiveFrame{-1};
    std::atomic<bool> RestartRequested{false};
    TNotifyEvent StartPaintHook, FramePaintHook, AfterPaintHook, LoopHook, EndPaintHook;
    TGIFPainter** OwnerSlot;

protected:
    void Execute() override;

private:
    void RunLoop();
    void Loop();
    // Waits out Delay (hundredths of a second); answers false when the painter was stopped.
    void Wait(int32_t& Delay, uint32_t& LastTime, int32_t& LastWait);
    void FireHook(const TNotifyEvent& Hook);
    // Runs Method on the main thread when threaded; skipped once the painter is stopped.
    void OnMainThread(const std::function<void()>& Method);
    void DirectPaint();
    void BufferedPaint();
    void EraseFrameArea(TGIFSubImage& Frame);
    TRect ScaledFrameRect(const TGIFSubImage& Frame) const;
    void Detach();

    TGIFImage* FImage;
    TCanvas& FDestCanvas;
    TRect FDestRect;
    TGIFRenderFlags FRenderFlags;
    int32_t FSpeedPercent;
    TColor FBackgroundColor = clBlack;
    std::atomic<bool> FFirstFrameShown{false};
    std::atomic<bool> FEnded{false};
    uint8_t FCurrentDisposal = dmKeep;
    uint8_t FPriorDisposal = dmKeep;
    std::unique_ptr<TBitmap> FCompositionBuffer, FScratchBuffer, FBackdrop;
    std::unique_ptr<TSimpleEvent> FWakeEvent;
    std::exception_ptr FError;
};

} // namespace ferronel
