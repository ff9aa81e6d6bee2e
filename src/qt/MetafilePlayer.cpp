#include "qt/MetafilePlayer.h"

#include "host/Canvas.h"
#include "qt/MetafileCanvas.h"

#include <QGuiApplication>
#include <QPainter>

#include <cstdlib>

namespace ferronel::qt {

void PlayMetafile(const TMetafile& Metafile, QPainter& Painter, const QRectF& Target) {
    if (Metafile.Empty() || Target.isEmpty()) return;
    Painter.save();
    Painter.setRenderHint(QPainter::Antialiasing, false);
    // Playing runs inside paint events, which must not end in an exception: a record that fails
    // ends the picture where it is.
    try {
        TMetafileCanvas canvas(Metafile, Painter, Target);
        if (Metafile.Kind() == mkWmf)
            PlayWmfRecords(canvas);
        else
            PlayEmfRecords(canvas);
    } catch (const std::exception&) {
    }
    Painter.restore();
}

void InstallOffscreenMetafilePlayer() {
    if (!QGuiApplication::instance()) {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "ferronel";
        static char* argv[] = {name, nullptr};
        static QGuiApplication application(argc, argv);
    }
    InstallMetafilePlayer();
}

void InstallMetafilePlayer() {
    TMetafile::SetPlayer([](const TMetafile& m, TCanvas& canvas, const TRect& rect) {
        TBitmap& target = canvas.Bitmap();
        if (target.Empty()) return;
        // Played into a 32-bit copy of the canvas, which then replaces it; most targets are 32-bit
        // already and the copy is the bitmap itself.
        const TPixelFormat format = target.PixelFormat();
        if (format != pf32bit && format != pfDevice) target.SetPixelFormat(pf32bit);
        QImage image(target.ScanLine(0), target.Width(), target.Height(), qsizetype(target.RowBytes()),
                     QImage::Format_RGB32);
        {
            QPainter painter(&image);
            PlayMetafile(m, painter, QRectF(rect.Left, rect.Top, rect.Width(), rect.Height()));
        }
        if (format != pf32bit && format != pfDevice) target.SetPixelFormat(format);
    });
}

} // namespace ferronel::qt
