// Frame bitmaps, palettes, drawing and the image's side of the painters.
#include "gif/ColorLookup.h"
#include "gif/Ditherer.h"
#include "gif/GIFImage.h"
#include "gif/GIFPainter.h"
#include "host/Canvas.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

namespace ferronel {

using namespace gif;

HPALETTE ColorCubePalette();

namespace {

constexpr int32_t ProgressRowStep = 32;

// Draws Source at its natural size from Origin, again every StepX to the right and every StepY
// down while inside Bounds; steps below 1 count as 1 so that nothing loops for ever.
template <typename F>
void ForEachTile(const TRect& Bounds, TPoint Origin, int32_t StepX, int32_t StepY, F Tile) {
    StepX = std::max(StepX, 1);
    StepY = std::max(StepY, 1);
    for (int64_t y = Origin.Y; y < Bounds.Bottom; y += StepY)
        for (int64_t x = Origin.X; x < Bounds.Right; x += StepX) Tile(int32_t(x), int32_t(y));
}

} // namespace

HPALETTE DefaultGIFPalette() {
    static const HPALETTE palette = CreatePalette(DefaultPaletteEntries(8));
    return palette;
}

// Frame palettes and bitmaps.

HPALETTE ColorCubePalette() {
    static const HPALETTE palette = CreatePalette(ColorCubeEntries());
    return palette;
}

HPALETTE TGIFSubImage::Palette() {
    if (FCachedPalette) return FCachedPalette;
    if (Image() && Image()->DitheringInEffect()) return FCachedPalette = ColorCubePalette();
    if (LocalMap.EntryCount() > 0) return FCachedPalette = LocalMap.ExportPalette();
    return Image() ? Image()->Palette() : DefaultGIFPalette();
}

void TGIFSubImage::FreeBitmap() {
    FFrameBitmap.reset();
    FMask.reset();
    FCachedPalette.reset();
}

const TBitmap& TGIFSubImage::Bitmap() {
    if (!FFrameBitmap) BuildBitmap();
    return *FFrameBitmap;
}

const TBitmap* TGIFSubImage::Mask() {
    if (!FFrameBitmap) BuildBitmap();
    return FMask.get();
}

void TGIFSubImage::BuildBitmap() {
    TGIFImage* image = Image();
    if (image) image->Progress(image, psStarting, 0, false, TRect{}, sRendering);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf8bit);
    // Indices past the table show black rather than reading past it.
    TPaletteEntries entries(256);
    const HPALETTE palette = Palette();
    GetPaletteEntries(palette, 0, 256, entries.data());
    bitmap->SetPalette(CreatePalette(std::move(entries)));
    bitmap->SetSize(Width(), Height());
    // Dithered frames are the table colours spread over the colour cube by error diffusion.
    const bool dithered = image && image->DitheringInEffect();
    std::unique_ptr<TDitherEngine> ditherer;
    std::vector<uint8_t> colors, skip;
    std::array<uint8_t, 256 * 3> table{}; // blue, green, red per index; black past the table
    const TNetscapeColorLookup cube;
    uint8_t transparentFill = 0;
    if (dithered && !Empty()) {
        const auto& map = ActiveColorMap().Entries();
        for (size_t i = 0; i < map.size() && i < 256; ++i) {
            table[3 * i] = map[i].Blue;
            table[3 * i + 1] = map[i].Green;
            table[3 * i + 2] = map[i].Red;
        }
        const uint8_t* t = &table[3 * size_t(TransparentIndex())];
        uint8_t r, g, b;
        transparentFill = cube.Map(t[2], t[1], t[0], r, g, b);
        ditherer = std::make_unique<TFloydSteinbergDitherer>(Width());
        colors.resize(size_t(Width()) * 3);
        if (IsTransparent) skip.resize(size_t(Width()));
    }
    std::unique_ptr<TBitmap> mask;
    bool anyTransparent = false;
    if (!Empty()) {
        if (IsTransparent) {
            mask = std::make_unique<TBitmap>();
            mask->SetPixelFormat(pf1bit);
            mask->SetSize(Width(), Height());
        }
        const uint8_t transparent = TransparentIndex();
        const size_t width = size_t(Width());
        for (int32_t y = 0; y < Height(); ++y) {
            if (image && y % ProgressRowStep == 0)
                image->Progress(image, psRunning, uint8_t(int64_t(y) * 100 / Height()), false, TRect{},
                                sRendering);
            const uint8_t* row = PixelData.data() + size_t(y) * width;
            if (dithered) {
                for (size_t x = 0; x < width; ++x) std::memcpy(&colors[3 * x], &table[3 * size_t(row[x])], 3);
                // Transparent pixels are passed over: they take no colour and spread no error.
                if (!skip.empty())
                    for (size_t x = 0; x < width; ++x) skip[x] = row[x] == transparent;
                uint8_t* out = bitmap->ScanLine(y);
                std::memset(out, transparentFill, width);
                ditherer->DitherRow(colors.data(), 3, out, cube, skip.empty() ? nullptr : skip.data());
            } else {
                std::memcpy(bitmap->ScanLine(y), row, width);
            }
            if (!mask) continue;
            uint8_t* bits = mask->ScanLine(y);
            for (size_t x = 0; x < width; ++x)
                if (row[x] == transparent) {
                    bits[x >> 3] = uint8_t(bits[x >> 3] | (0x80 >> (x & 7)));
                    anyTransparent = true;
                }
        }
    }
    FFrameBitmap = std::move(bitmap);
    FMask = anyTransparent ? std::move(mask) : nullptr;
    if (image) image->Progress(image, psEnding, 100, false, TRect{}, sRendering);
}

void TGIFSubImage::RenderFrame(TCanvas& Canvas, const TRect& Rect, bool Tiled, bool Masked) {
    if (Empty()) return;
    const TBitmap& bitmap = Bitmap();
    const TBitmap* mask = Masked && IsTransparent ? Mask() : nullptr;
    const TRect source{0, 0, Width(), Height()};
    auto draw = [&](const TRect& target) {
        if (mask)
            Canvas.MaskBitmap(target, bitmap, source, *mask);
        else
            Canvas.StretchBitmap(target, bitmap, source);
    };
    // A screen stated as 0 wide or high is measured by the frames, so these are at least 1.
    const int32_t screenWidth = std::max(Image() ? Image()->Width() : Width(), 1);
    const int32_t screenHeight = std::max(Image() ? Image()->Height() : Height(), 1);
    if (Tiled) {
        ForEachTile(Rect, TPoint{Rect.Left + Left(), Rect.Top + Top()}, screenWidth, screenHeight,
                    [&](int32_t x, int32_t y) {
                        draw(TRect{x, y, x + Width(), y + Height()});
                    });
        return;
    }
    const int32_t w = Rect.Width(), h = Rect.Height();
    draw(TRect{Rect.Left + MulDiv(Left(), w, screenWidth), Rect.Top + MulDiv(Top(), h, screenHeight),
               Rect.Left + MulDiv(Left() + Width(), w, screenWidth),
               Rect.Top + MulDiv(Top() + Height(), h, screenHeight)});
}

// The image's palette and drawing.

HPALETTE TGIFImage::Palette() const {
    if (FInPalette) throw GIFException(sNoColorTable);
    if (FSharedPalette) return FSharedPalette;
    FInPalette = true;
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } guard{FInPalette};
    if (DitheringInEffect()) return FSharedPalette = ColorCubePalette();
    HPALETTE palette = FHeader->GlobalMap.ExportPalette();
    // Without a global table the first frame's own table serves; without any, a default, so that
    // a file with no table at all still draws.
    if (!palette && !FFrameList.empty()) palette = FFrameList.front()->LocalMap.ExportPalette();
    if (!palette) palette = DefaultGIFPalette();
    return FSharedPalette = palette;
}

void TGIFImage::SetPalette(HPALETTE Value) {
    FSharedPalette = std::move(Value);
    for (const auto& frame : FFrameList) frame->FreeBitmap();
}

bool TGIFImage::DitheringInEffect() const {
    // The screen is always true colour: a palette screen never occurs.
    constexpr bool PaletteScreen = false;
    return RenderFlags.Contains(rfDithered) &&
           (!RenderFlags.Contains(rfDitherOnPaletteScreen) || PaletteScreen);
}

TColor TGIFImage::BackgroundColor() const {
    if (BackdropColor != clNone) return BackdropColor;
    if (FHeader->GlobalMap.EntryCount() == 0) return clWhite; // the window colour
    return FHeader->GlobalMap.GetColor(FHeader->ScreenDescriptor.BackgroundColorIndex);
}

void TGIFImage::Draw(TCanvas& Canvas, const TRect& Rect) {
    if (FInDraw || FFrameList.empty()) return;
    FInDraw = true;
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } guard{FInDraw};
    ReapPainters();

    if (FFrameList.size() == 1 || !RenderFlags.Contains(rfAnimated)) {
        const size_t index =
            FrameToShow >= 0 && size_t(FrameToShow) < FFrameList.size() ? size_t(FrameToShow) : 0;
        FFrameList[index]->RenderFrame(Canvas, Rect, RenderFlags.Contains(rfTiled),
                                       RenderFlags.Contains(rfMasked));
        return;
    }
    const bool inPlace = RenderFlags.Contains(rfPaintInPlace);
    if (FComposedBitmap && !inPlace) {
        DrawComposed(Canvas, Rect);
        return;
    }
    {
        auto list = FPainterList.LockList();
        if (FViewPainter && &FViewPainter->DestCanvas() == &Canvas && FViewPainter->DestRect() == Rect)
            return;
    }
    HaltViewPainter();
    TCanvas* target = &Canvas;
    TRect targetRect = Rect;
    if (!inPlace) {
        FComposedBitmap = std::make_unique<TBitmap>();
        FComposedBitmap->SetPixelFormat(pf32bit);
        FComposedBitmap->SetSize(Width(), Height());
        targetRect = TRect{0, 0, Width(), Height()};
        FComposedBitmap->Canvas().CopyRect(targetRect, Canvas, Rect);
        target = &FComposedBitmap->Canvas();
    }
    TGIFPainter* painter = StartPainter(&FViewPainter, *target, RenderFlags, targetRect);
    if (painter) {
        painter->Activate();
        if (inPlace) return;
        // The first frame is shown before this call returns; the painter paints through the main
        // thread, so the queue is worked meanwhile.
        while (!painter->FirstFrameShown() && !painter->Ended())
            if (!IsMainThread() || !CheckSynchronize(std::chrono::milliseconds(1))) std::this_thread::yield();
    }
    if (FComposedBitmap && !inPlace) DrawComposed(Canvas, Rect);
}

void TGIFImage::DrawComposed(TCanvas& Canvas, const TRect& Rect) {
    const TBitmap& composed = *FComposedBitmap;
    const TRect source{0, 0, composed.Width(), composed.Height()};
    if (!RenderFlags.Contains(rfTiled)) {
        Canvas.StretchBitmap(Rect, composed, source);
        return;
    }
    ForEachTile(
        Rect, TPoint{Rect.Left, Rect.Top}, composed.Width(), composed.Height(), [&](int32_t x, int32_t y) {
            Canvas.StretchBitmap(TRect{x, y, x + composed.Width(), y + composed.Height()}, composed, source);
        });
}

// Painters.

TGIFPainter* TGIFImage::StartPainter(TGIFPainter** OwnerSlot, TCanvas& Canvas, TGIFRenderFlags Flags,
                                     const TRect& Rect) {
    if (Empty() || Rect.IsEmpty()) {
        if (OwnerSlot) *OwnerSlot = nullptr;
        return nullptr;
    }
    if (FFrameList.size() == 1) Flags = Flags - TGIFRenderFlags{rfThreaded, rfAnimated};
    auto painter = std::make_unique<TGIFPainter>(*this, OwnerSlot, Canvas, Rect, Flags);
    painter->StartPaintHook = StartPaintHook;
    painter->FramePaintHook = FramePaintHook;
    painter->AfterPaintHook = AfterPaintHook;
    painter->LoopHook = LoopHook;
    painter->EndPaintHook = EndPaintHook;
    TGIFPainter* p = painter.get();
    {
        auto list = FPainterList.LockList();
        list->push_back(p);
        if (OwnerSlot) *OwnerSlot = p;
    }
    if (Flags.Contains(rfThreaded)) {
        p->Priority = PainterPriority;
        FOwnedPainters.push_back(std::move(painter));
        return p;
    }
    // Not threaded: the whole sequence runs here and the painter is gone afterwards.
    p->RunHere();
    return nullptr;
}

void TGIFImage::DetachPainter(TGIFPainter* Painter) {
    auto list = FPainterList.LockList();
    if (Painter->OwnerSlot && *Painter->OwnerSlot == Painter) *Painter->OwnerSlot = nullptr;
    list->remove(Painter);
}

void TGIFImage::ReapPainters() {
    std::erase_if(FOwnedPainters, [](const std::unique_ptr<TGIFPainter>& p) { return p->Ended(); });
}

size_t TGIFImage::PainterCount() { return FPainterList.LockList()->size(); }

void TGIFImage::HaltViewPainter() {
    TGIFPainter* painter = nullptr;
    {
        auto list = FPainterList.LockList();
        painter = FViewPainter;
        if (painter) painter->Halt();
    }
    // On the main thread the wait keeps running the painter's queued paints, which do nothing now.
    if (painter) painter->WaitFor();
    ReapPainters();
    FComposedBitmap.reset();
}

void TGIFImage::StopAllPainters() {
    {
        auto list = FPainterList.LockList();
        for (auto p = list->rbegin(); p != list->rend(); ++p) (*p)->Halt();
    }
    for (const auto& painter : FOwnedPainters) painter->WaitFor();
    FOwnedPainters.clear();
    FComposedBitmap.reset();
}

} // namespace ferronel
