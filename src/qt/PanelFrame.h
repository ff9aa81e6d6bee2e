// A panel drawn as a frame of bevels and a border, whose inside the owner paints, and the variant
// that keeps its inside in an off-screen image so that painting is one copy.
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

class QPainter;

namespace ferronel::qt {

enum TPanelBevel { bvNone, bvLowered, bvRaised };

class TPanelFrame : public QWidget {
    Q_OBJECT
public:
    explicit TPanelFrame(QWidget* Parent = nullptr);

    void SetBevelOuter(TPanelBevel Value);
    void SetBevelInner(TPanelBevel Value);
    void SetBevelWidth(int Value);
    void SetBorderWidth(int Value);
    // The border's colour.
    void SetColor(const QColor& Value);
    const QColor& Color() const { return FColor; }
    // The area inside the bevels and the border.
    QRect ClientRect() const;

    // Paints the inside after the frame, clipped to ClientRect.
    std::function<void(QPainter&)> OnPaint;
    std::function<void()> OnClick;

signals:
    void ClientResized();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void PaintFrame(QPainter& Painter);

private:
    TPanelBevel FBevelOuter = bvRaised;
    TPanelBevel FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    QColor FColor;
};

class TDoubleBufferedPanel : public TPanelFrame {
    Q_OBJECT
public:
    explicit TDoubleBufferedPanel(QWidget* Parent = nullptr);
    // The off-screen picture of the inside, as large as ClientRect (also before a hidden panel gets
    // its resize event); drawing on it shows at the next paint.
    QImage& Canvas() {
        ResizeBuffer();
        return FBuffer;
    }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void ResizeBuffer();
    QImage FBuffer;
};

} // namespace ferronel::qt
