#include "qt/ImageView.h"

#include "host/RenderBitmap.h"
#include "host/formats/Metafile.h"
#include "qt/ImageShrink.h"
#include "qt/MetafilePlayer.h"

#include <QMouseEvent>
#include <QPainter>

namespace ferronel::qt {

QImage PictureImage(TGraphic& Graphic, std::unique_ptr<TBitmap>& Keep) {
    Keep.reset();
    if (Graphic.Empty()) return {};
    auto wrap = [](const TBitmap& b, QImage::Format format) {
        return QImage(b.ScanLine(0), b.Width(), b.Height(), qsizetype(b.RowBytes()), format);
    };
    if (auto* bitmap = dynamic_cast<TBitmap*>(&Graphic)) {
        switch (bitmap->PixelFormat()) {
        case pf24bit: return wrap(*bitmap, QImage::Format_BGR888);
        case pf8bit:
        case pf1bit: {
            QImage image = wrap(*bitmap, bitmap->PixelFormat() == pf8bit ? QImage::Format_Indexed8
                                                                         : QImage::Format_Mono);
            const TPaletteEntries& palette = bitmap->EffectivePalette();
            QList<QRgb> table(bitmap->PixelFormat() == pf8bit ? 256 : 2, qRgb(0, 0, 0));
            for (qsizetype i = 0; i < table.size() && size_t(i) < palette.size(); ++i)
                table[i] =
                    qRgb(palette[size_t(i)].peRed, palette[size_t(i)].peGreen, palette[size_t(i)].peBlue);
            image.setColorTable(table);
            return image;
        }
        case pf32bit:
            if (bitmap->AlphaFormat() == afDefined) return wrap(*bitmap, QImage::Format_ARGB32);
            break;
        default: break;
        }
    }
    // Other formats and graphics: a 32-bit copy, opaque unless it carries opacity.
    Keep = std::make_unique<TBitmap>();
    RenderToBitmap(Graphic, *Keep);
    if (Keep->AlphaFormat() != afDefined)
        for (int32_t y = 0; y < Keep->Height(); ++y) {
            uint8_t* row = Keep->ScanLine(y);
            for (int32_t x = 0; x < Keep->Width(); ++x) row[4 * x + 3] = 255;
        }
    return wrap(*Keep, Keep->AlphaFormat() == afDefined ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

TImageView::TImageView(app::TImageControl& Control, QWidget* Parent) : QWidget(Parent), FControl(Control) {
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void TImageView::PictureChanged() {
    FStale = true;
    FScaled = QImage();
    update();
}

const QImage& TImageView::Image() {
    if (FStale) {
        FStale = false;
        FImage = QImage();
        // A picture too large to convert is not drawn; paint events must not end in an exception.
        try {
            if (FControl.Picture.Graphic()) FImage = PictureImage(*FControl.Picture.Graphic(), FBitmap);
        } catch (const std::exception&) {
            FBitmap.reset();
        }
    }
    return FImage;
}

void TImageView::paintEvent(QPaintEvent*) {
    // Metafiles are played at the size shown, so they stay sharp at every zoom.
    if (const auto* metafile = dynamic_cast<const TMetafile*>(FControl.Picture.Graphic())) {
        const TRect r = FControl.PictureRect();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        PlayMetafile(*metafile, painter, QRectF(r.Left, r.Top, r.Width(), r.Height()));
        if (OnPainted) OnPainted();
        return;
    }
    const QImage& image = Image();
    if (image.isNull()) return;
    const TRect r = FControl.PictureRect();
    const QRect target(r.Left, r.Top, r.Width(), r.Height());
    if (target.isEmpty()) return;
    QPainter painter(this);
    if (target.width() < image.width() || target.height() < image.height()) {
        // Shrunk: scale smoothly once for this size; repaints reuse it.
        if (FScaled.size() != target.size()) FScaled = ScaleDown(image, target.size());
        painter.drawImage(target.topLeft(), FScaled);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, image);
    }
    if (OnPainted) OnPainted();
}

void TImageView::mousePressEvent(QMouseEvent* Event) {
    if (OnMouseDown) OnMouseDown(Event->position().toPoint().x(), Event->position().toPoint().y());
}

void TImageView::mouseMoveEvent(QMouseEvent* Event) {
    if (OnMouseMove) OnMouseMove(Event->position().toPoint().x(), Event->position().toPoint().y());
}

void TImageView::mouseReleaseEvent(QMouseEvent*) {
    if (OnMouseUp) OnMouseUp();
}

} // namespace ferronel::qt
