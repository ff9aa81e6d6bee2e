// GIF reading: the stream parsed and decoded, then every frame composed in sequence onto a bitmap
// of the screen's size, without a thread and without waits, once; then drawn tiled. Each frame is
// also asked for its own bitmap, mask and palette.
#include "fuzz/support/FuzzReader.h"
#include "gif/GIFImage.h"
#include "gif/GIFPainter.h"

using namespace ferronel;

namespace {

void RenderEveryFrame(TGIFImage& Image) {
    // Each frame on its own: its bitmap, mask, palette and timing, and freeing them again.
    for (const auto& frame : Image.Images()) {
        TBitmap copy;
        copy.Assign(frame->Bitmap());
        frame->Mask();
        frame->Palette();
        (void)frame->Delay();
        (void)frame->Disposal();
        frame->FreeBitmap();
    }
    if (Image.Empty()) return;
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(Image.Width(), Image.Height());
    Image.SpeedPercent = -1;
    TGIFPainter* slot = nullptr;
    const TGIFRenderFlags once = Image.RenderFlags - TGIFRenderFlags{rfThreaded, rfRepeat};
    Image.StartPainter(&slot, target.Canvas(), once, TRect{0, 0, target.Width(), target.Height()});
    Image.RenderFlags = once - TGIFRenderFlags{rfAnimated} + TGIFRenderFlags{rfTiled};
    Image.Draw(target.Canvas(), TRect{1, 1, target.Width() / 2 + 1, target.Height() + 3});
}

} // namespace

FERRONEL_FUZZ_READER(TGIFImage, 1 << 22, RenderEveryFrame)
