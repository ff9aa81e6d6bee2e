#include "host/Canvas.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace ferronel {

void TCanvas::FillRect(const TRect& R) { Blit(R, nullptr, TRect{}, bmCopy, 0, nullptr); }

void TCanvas::StretchBitmap(const TRect& Dest, const TBitmap& Source, const TRect& SourceRect, TBlend Blend,
                            TColor Key) {
    Blit(Dest, &Source, SourceRect, Blend, Key, nullptr);
}

void TCanvas::MaskBitmap(const TRect& Dest, const TBitmap& Source, const TRect& SourceRect,
                         const TBitmap& Mask) {
    Blit(Dest, &Source, SourceRect, bmCopy, 0, &Mask);
}

void TCanvas::Blit(const TRect& Dest, const TBitmap* Source, const TRect& SourceRect, TBlend Blend,
                   TColor Key, const TBitmap* Mask) {
    TBitmap& target = FTarget;
    if (Dest.IsEmpty() || target.Empty()) return;
    if (Source && (Source->Empty() || SourceRect.IsEmpty())) return;
    if (Mask && (Mask->PixelFormat() != pf1bit || Mask->Width() < Source->Width() ||
                 Mask->Height() < Source->Height()))
        Mask = nullptr;
    const int32_t x0 = std::max(Dest.Left, 0), x1 = std::min(Dest.Right, target.Width());
    const int32_t y0 = std::max(Dest.Top, 0), y1 = std::min(Dest.Bottom, target.Height());
    if (x0 >= x1 || y0 >= y1) return;

    // Source column of every destination column, clamped into the source.
    std::vector<int32_t> columns;
    int64_t sourceW = 0, sourceH = 0;
    if (Source) {
        sourceW = SourceRect.Width();
        sourceH = SourceRect.Height();
        columns.resize(size_t(x1 - x0));
        for (int32_t x = x0; x < x1; ++x) {
            const int64_t sx = SourceRect.Left + (int64_t(x) - Dest.Left) * sourceW / Dest.Width();
            columns[size_t(x - x0)] = int32_t(std::clamp<int64_t>(sx, 0, Source->Width() - 1));
        }
    }

    const TPixelFormat targetFormat = target.PixelFormat();
    const bool direct = targetFormat == pf32bit || targetFormat == pfDevice;
    std::unique_ptr<TColorMatcher> matcher;
    if (IsIndexedFormat(targetFormat)) matcher = std::make_unique<TColorMatcher>(target.EffectivePalette());
    const TPaletteEntries& targetPalette = target.EffectivePalette();

    std::vector<uint8_t> targetRow(direct ? 0 : size_t(target.Width()) * 4);
    std::vector<uint8_t> sourceRow(Source ? size_t(Source->Width()) * 4 : 0);
    const TPaletteEntries* sourcePalette = Source ? &Source->EffectivePalette() : nullptr;
    int32_t decodedRow = -1;
    const uint8_t fill[4] = {GetBValue(BrushColor), GetGValue(BrushColor), GetRValue(BrushColor), 0};
    const uint8_t key[3] = {GetBValue(Key), GetGValue(Key), GetRValue(Key)};

    for (int32_t y = y0; y < y1; ++y) {
        uint8_t* row;
        if (direct) {
            row = target.ScanLine(y);
        } else {
            row = targetRow.data();
            DecodeRow(targetFormat, target.ScanLine(y), row, uint32_t(target.Width()), targetPalette);
        }
        if (!Source) {
            for (int32_t x = x0; x < x1; ++x) std::copy_n(fill, 4, row + size_t(x) * 4);
        } else {
            const int64_t sy64 = SourceRect.Top + (int64_t(y) - Dest.Top) * sourceH / Dest.Height();
            const int32_t sy = int32_t(std::clamp<int64_t>(sy64, 0, Source->Height() - 1));
            if (sy != decodedRow) {
                DecodeRow(Source->PixelFormat(), Source->ScanLine(sy), sourceRow.data(),
                          uint32_t(Source->Width()), *sourcePalette);
                decodedRow = sy;
            }
            const uint8_t* maskRow = Mask ? Mask->ScanLine(sy) : nullptr;
            for (int32_t x = x0; x < x1; ++x) {
                const int32_t sx = columns[size_t(x - x0)];
                const uint8_t* s = sourceRow.data() + size_t(sx) * 4;
                uint8_t* d = row + size_t(x) * 4;
                if (maskRow && (maskRow[sx >> 3] >> (7 - (sx & 7)) & 1)) continue;
                switch (Blend) {
                case bmCopy: std::copy_n(s, 4, d); break;
                case bmTransparentColor:
                    if (s[0] != key[0] || s[1] != key[1] || s[2] != key[2]) std::copy_n(s, 4, d);
                    break;
                case bmAlpha: {
                    const uint32_t a = s[3], ia = 255 - a;
                    for (int c = 0; c < 3; ++c) d[c] = uint8_t((s[c] * a + d[c] * ia + 127) / 255);
                    d[3] = uint8_t(a + (d[3] * ia + 127) / 255);
                    break;
                }
                }
            }
        }
        if (!direct)
            EncodeRow(targetFormat, row, target.ScanLine(y), uint32_t(target.Width()), matcher.get());
    }
}

} // namespace ferronel
