// The image control on screen: draws its picture, stretched into the control's placement rectangle.
// The picture becomes a QImage once per change (wrapping the bitmap's rows where the format allows);
// a shrunk view is scaled smoothly once per size, an enlarged one keeps sharp pixels.
#pragma once

#include "app/Controls.h"
#include "host/Bitmap.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace ferronel::qt {

class TImageView : public QWidget {
    Q_OBJECT
public:
    TImageView(app::TImageControl& Control, QWidget* Parent);
    // The control's picture changed: the next paint converts it again.
    void PictureChanged();
    // The image the view shows (null when the picture is empty).
    const QImage& Image();

    // Called after every paint that drew a picture; used for start-up timing.
    std::function<void()> OnPainted;
    // Mouse events over the picture, positions relative to the control; any button.
    std::function<void(int X, int Y)> OnMouseDown, OnMouseMove;
    std::function<void()> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    app::TImageControl& FControl;
    std::unique_ptr<TBitmap> FBitmap; // pixels the image wraps when they are not the picture's own
    QImage FImage;
    bool FStale = true;
    QImage FScaled; // the image shrunk to the last drawn size
};

// The picture's pixels as a QImage; Keep receives a bitmap the image wraps when a conversion was needed.
QImage PictureImage(TGraphic& Graphic, std::unique_ptr<TBitmap>& Keep);

} // namespace ferronel::qt
