#include "qt/PanelFrame.h"

#include <QMouseEvent>
#include <QPainter>

namespace ferronel::qt {

namespace {

// A bevel of Width lines around Rect: raised ones light at the top and left, lowered ones dark.
void PaintBevel(QPainter& Painter, QRect& Rect, TPanelBevel Bevel, int Width, const QPalette& Palette) {
    if (Bevel == bvNone) return;
    const QColor topLeft = Bevel == bvRaised ? Palette.color(QPalette::Light) : Palette.color(QPalette::Dark);
    const QColor bottomRight =
        Bevel == bvRaised ? Palette.color(QPalette::Dark) : Palette.color(QPalette::Light);
    for (int i = 0; i < Width && Rect.width() > 0 && Rect.height() > 0; ++i) {
        Painter.fillRect(QRect(Rect.left(), Rect.top(), Rect.width(), 1), topLeft);
        Painter.fillRect(QRect(Rect.left(), Rect.top(), 1, Rect.height()), topLeft);
        Painter.fillRect(QRect(Rect.left(), Rect.bottom(), Rect.width(), 1), bottomRight);
        Painter.fillRect(QRect(Rect.right(), Rect.top(), 1, Rect.height()), bottomRight);
        Rect.adjust(1, 1, -1, -1);
    }
}

} // namespace

TPanelFrame::TPanelFrame(QWidget* Parent) : QWidget(Parent), FColor(palette().color(QPalette::Window)) {
    // The frame and the owner's painting cover every pixel: no background erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanelFrame::SetBevelOuter(TPanelBevel Value) {
    FBevelOuter = Value;
    emit ClientResized();
    update();
}

void TPanelFrame::SetBevelInner(TPanelBevel Value) {
    FBevelInner = Value;
    emit ClientResized();
    update();
}

void TPanelFrame::SetBevelWidth(int Value) {
    FBevelWidth = std::max(Value, 0);
    emit ClientResized();
    update();
}

void TPanelFrame::SetBorderWidth(int Value) {
    FBorderWidth = std::max(Value, 0);
    emit ClientResized();
    update();
}

void TPanelFrame::SetColor(const QColor& Value) {
    FColor = Value;
    update();
}

QRect TPanelFrame::ClientRect() const {
    int inset = FBorderWidth;
    if (FBevelOuter != bvNone) inset += FBevelWidth;
    if (FBevelInner != bvNone) inset += FBevelWidth;
    const QRect r = rect().adjusted(inset, inset, -inset, -inset);
    return r.isValid() ? r : QRect(r.topLeft(), QSize(0, 0));
}

void TPanelFrame::PaintFrame(QPainter& Painter) {
    QRect r = rect();
    PaintBevel(Painter, r, FBevelOuter, FBevelWidth, palette());
    for (int i = 0; i < FBorderWidth && r.width() > 0 && r.height() > 0; ++i) {
        Painter.fillRect(r, FColor); // the inside is painted over below
        r.adjust(1, 1, -1, -1);
    }
    PaintBevel(Painter, r, FBevelInner, FBevelWidth, palette());
}

void TPanelFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintFrame(painter);
    const QRect client = ClientRect();
    painter.setClipRect(client);
    if (OnPaint)
        OnPaint(painter);
    else
        painter.fillRect(client, FColor);
}

void TPanelFrame::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    emit ClientResized();
}

void TPanelFrame::mouseReleaseEvent(QMouseEvent* Event) {
    if (OnClick && Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        OnClick();
    QWidget::mouseReleaseEvent(Event);
}

TDoubleBufferedPanel::TDoubleBufferedPanel(QWidget* Parent) : TPanelFrame(Parent) {
    connect(this, &TPanelFrame::ClientResized, this, &TDoubleBufferedPanel::ResizeBuffer);
    ResizeBuffer();
}

void TDoubleBufferedPanel::ResizeBuffer() {
    const QSize size = ClientRect().size();
    if (FBuffer.size() == size) return;
    FBuffer = QImage(size, QImage::Format_RGB32);
    FBuffer.fill(Color());
}

void TDoubleBufferedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintFrame(painter);
    const QRect client = ClientRect();
    painter.setClipRect(client);
    painter.drawImage(client.topLeft(), FBuffer);
    if (OnPaint) OnPaint(painter);
}

} // namespace ferronel::qt
