#include "qt/ImageShrink.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace ferronel::qt {

namespace {

int BytesPerPixel(QImage::Format Format) {
    switch (Format) {
    case QImage::Format_BGR888:
    case QImage::Format_RGB888: return 3;
    // Straight (not premultiplied) opacity would let hidden colours bleed into the average.
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied: return 4;
    default: return 0;
    }
}

// Target rows [First, Last) of the shrink; Spans maps each target column to its first source column.
void ShrinkRows(const QImage& Source, QImage& Target, const std::vector<int>& Spans, int First, int Last) {
    const int bpp = BytesPerPixel(Source.format());
    const int tw = Target.width(), sh = Source.height(), th = Target.height();
    std::vector<uint64_t> sums(size_t(tw) * size_t(bpp));
    for (int ty = First; ty < Last; ++ty) {
        const int y0 = int(int64_t(ty) * sh / th), y1 = std::max(y0 + 1, int(int64_t(ty + 1) * sh / th));
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = y0; y < y1; ++y) {
            const uint8_t* row = Source.constScanLine(y);
            uint64_t* sum = sums.data();
            for (int tx = 0; tx < tw; ++tx, sum += bpp)
                for (const uint8_t *p = row + Spans[size_t(tx)] * bpp,
                                   *end = row + Spans[size_t(tx) + 1] * bpp;
                     p < end; p += bpp)
                    for (int c = 0; c < bpp; ++c) sum[c] += p[c];
        }
        uint8_t* out = Target.scanLine(ty);
        const uint64_t* sum = sums.data();
        for (int tx = 0; tx < tw; ++tx, sum += bpp) {
            const uint64_t count = uint64_t(Spans[size_t(tx) + 1] - Spans[size_t(tx)]) * uint64_t(y1 - y0);
            for (int c = 0; c < bpp; ++c) *out++ = uint8_t((sum[c] + count / 2) / count);
        }
    }
}

} // namespace

bool CanShrinkFast(const QImage& Image, QSize Target) {
    return BytesPerPixel(Image.format()) > 0 && Target.width() > 0 && Target.height() > 0 &&
           Target.width() * 2 <= Image.width() && Target.height() * 2 <= Image.height();
}

QImage ShrinkImage(const QImage& Image, QSize Target) {
    QImage result(Target, Image.format());
    if (result.isNull()) return result;
    const int sw = Image.width(), tw = Target.width();
    std::vector<int> spans(size_t(tw) + 1);
    for (int tx = 0; tx <= tw; ++tx) spans[size_t(tx)] = int(int64_t(tx) * sw / tw);
    const int th = Target.height();
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    std::vector<std::thread> workers;
    for (int i = 1; i < threads; ++i)
        workers.emplace_back(ShrinkRows, std::cref(Image), std::ref(result), std::cref(spans),
                             th * i / threads, th * (i + 1) / threads);
    ShrinkRows(Image, result, spans, 0, th / threads);
    for (std::thread& worker : workers) worker.join();
    return result;
}

QImage ScaleDown(const QImage& Image, QSize Target) {
    return CanShrinkFast(Image, Target)
               ? ShrinkImage(Image, Target)
               : Image.scaled(Target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace ferronel::qt
