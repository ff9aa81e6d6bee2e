#include "qt/MetafileCanvas.h"

#include "host/Exceptions.h"
#include "host/Stream.h"
#include "host/formats/BmpFormat.h"
#include "host/formats/EmfRecords.h"
#include "qt/ImageView.h"

#include <QFontMetricsF>

#include <cmath>

namespace ferronel::qt {

QColor ColorRef(TColor Color) {
    return QColor(int(Color & 0xFF), int(Color >> 8 & 0xFF), int(Color >> 16 & 0xFF));
}

TMetafileCanvas::TMetafileCanvas(const TMetafile& Metafile, QPainter& Painter, const QRectF& Target)
    : FMetafile(Metafile), P(Painter), FTarget(Target) {
    const TMetafile& m = FMetafile;
    if (m.Kind() == mkWmf && m.Inch()) {
        const TRect& b = m.Bounds();
        State.WindowOrg = QPointF(b.Left, b.Top);
        State.WindowExt = QSizeF(b.Right - b.Left, b.Bottom - b.Top);
    }
    if (m.Kind() == mkEmf) {
        // The frame (0.01 mm) in reference-device pixels is what the target shows.
        FPixelsPerMmX = double(m.DevicePixelsX) / m.DeviceMillimetresX;
        FPixelsPerMmY = double(m.DevicePixelsY) / m.DeviceMillimetresY;
        const TRect& f = m.Bounds();
        FFrame = QRectF(f.Left * FPixelsPerMmX / 100, f.Top * FPixelsPerMmY / 100,
                        (double(f.Right) - f.Left) * FPixelsPerMmX / 100,
                        (double(f.Bottom) - f.Top) * FPixelsPerMmY / 100);
    }
}

std::vector<QPointF> TMetafileCanvas::Points(const std::vector<TPoint>& Points) {
    std::vector<QPointF> points;
    points.reserve(Points.size());
    for (const TPoint& p : Points) points.push_back(Point(p));
    return points;
}

// -------------------------------------------------------------------------------------------------
// Coordinates

QTransform TMetafileCanvas::PageTransform() const {
    const TDrawingState& s = State;
    QTransform t;
    if (FMetafile.Kind() == mkWmf) {
        // The window is stretched onto the target.
        const bool stretch = s.WindowSet || FMetafile.Inch();
        const double sx = s.WindowExt.width() ? FTarget.width() / s.WindowExt.width() : 1;
        const double sy = s.WindowExt.height() ? FTarget.height() / s.WindowExt.height() : 1;
        t.translate(-s.WindowOrg.x(), -s.WindowOrg.y());
        t *= QTransform::fromScale(stretch ? sx : 1, stretch ? sy : 1);
        t *= QTransform::fromTranslate(FTarget.left(), FTarget.top());
        return t;
    }
    double sx = 1, sy = 1;
    switch (s.MapMode) {
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        sx = s.WindowExt.width() ? s.ViewportExt.width() / s.WindowExt.width() : 1;
        sy = s.WindowExt.height() ? s.ViewportExt.height() / s.WindowExt.height() : 1;
        if (s.MapMode == MM_ISOTROPIC) {
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx), sy = std::copysign(m, sy);
        }
        break;
    case MM_LOMETRIC: sx = FPixelsPerMmX / 10, sy = -FPixelsPerMmY / 10; break;
    case MM_HIMETRIC: sx = FPixelsPerMmX / 100, sy = -FPixelsPerMmY / 100; break;
    case MM_LOENGLISH: sx = FPixelsPerMmX * 0.254, sy = -FPixelsPerMmY * 0.254; break;
    case MM_HIENGLISH: sx = FPixelsPerMmX * 0.0254, sy = -FPixelsPerMmY * 0.0254; break;
    case MM_TWIPS: sx = FPixelsPerMmX * 25.4 / 1440, sy = -FPixelsPerMmY * 25.4 / 1440; break;
    default: break;
    }
    t.translate(-s.WindowOrg.x(), -s.WindowOrg.y());
    t *= QTransform::fromScale(sx, sy);
    t *= QTransform::fromTranslate(s.ViewportOrg.x(), s.ViewportOrg.y());
    // Reference-device pixels of the frame onto the target.
    if (FFrame.width() > 0 && FFrame.height() > 0) {
        t *= QTransform::fromTranslate(-FFrame.left(), -FFrame.top());
        t *= QTransform::fromScale(FTarget.width() / FFrame.width(), FTarget.height() / FFrame.height());
    }
    t *= QTransform::fromTranslate(FTarget.left(), FTarget.top());
    return t;
}

QTransform TMetafileCanvas::Total() const { return State.World * PageTransform(); }

// Prepares the painter for drawing in logical coordinates; answers false when the records have made
// a mapping that cannot be drawn with (not finite, flat, or scaling past any screen).
bool TMetafileCanvas::Prepare(bool Pen, bool Brush) {
    const QTransform total = Total();
    const double scale = std::sqrt(std::fabs(total.determinant()));
    if (!std::isfinite(scale) || scale < 1e-9 || scale > 1e6 || !std::isfinite(total.dx()) ||
        !std::isfinite(total.dy()))
        return false;
    P.resetTransform();
    if (State.Clip)
        P.setClipPath(*State.Clip);
    else
        P.setClipping(false);
    P.setTransform(total);
    P.setPen(Pen ? State.Pen.Pen : QPen(Qt::NoPen));
    P.setBrush(Brush ? State.Brush.Brush : QBrush(Qt::NoBrush));
    P.setBackgroundMode(State.OpaqueBk ? Qt::OpaqueMode : Qt::TransparentMode);
    P.setBackground(State.BkColor);
    return true;
}

// -------------------------------------------------------------------------------------------------
// Drawing

void TMetafileCanvas::Shape(const QPainterPath& Shape, bool Filled) {
    if (InPath) {
        Path.addPath(Shape);
        return;
    }
    if (!Prepare(true, Filled)) return;
    QPainterPath s = Shape;
    s.setFillRule(State.Fill);
    // The gaps of a hatch show the background colour while the background mode is opaque.
    const Qt::BrushStyle style = State.Brush.Brush.style();
    if (Filled && State.OpaqueBk && style >= Qt::HorPattern && style <= Qt::DiagCrossPattern)
        P.fillPath(s, State.BkColor);
    P.drawPath(s);
}

void TMetafileCanvas::Outline(const QPainterPath& Figure) {
    if (InPath) {
        Path.addPath(Figure);
        return;
    }
    if (Prepare(true, false)) P.drawPath(Figure);
}

void TMetafileCanvas::Arc(TArcKind Kind, const QRectF& Box, QPointF Start, QPointF End) {
    const QPointF c = Box.center();
    const double rx = Box.width() / 2, ry = Box.height() / 2;
    if (rx <= 0 || ry <= 0) return;
    auto angle = [&](QPointF q) {
        return std::atan2(-(q.y() - c.y()) / ry, (q.x() - c.x()) / rx) * 180 / M_PI;
    };
    const double a0 = angle(Start);
    double span = angle(End) - a0;
    if (span <= 0) span += 360;
    QPainterPath path;
    if (Kind == akArc) {
        path.arcMoveTo(Box, a0);
        path.arcTo(Box, a0, span);
        Outline(path);
        return;
    }
    if (Kind == akPie)
        path.moveTo(c);
    else
        path.arcMoveTo(Box, a0);
    path.arcTo(Box, a0, span);
    path.closeSubpath();
    Shape(path, true);
}

void TMetafileCanvas::Lines(const std::vector<QPointF>& Points, bool Closed, bool Bezier) {
    if (Points.empty()) return;
    QPainterPath path(Points[0]);
    if (Bezier) {
        for (size_t i = 1; i + 2 < Points.size(); i += 3)
            path.cubicTo(Points[i], Points[i + 1], Points[i + 2]);
    } else {
        for (size_t i = 1; i < Points.size(); ++i) path.lineTo(Points[i]);
    }
    if (Closed) {
        path.closeSubpath();
        Shape(path, true);
    } else {
        Outline(path);
    }
}

void TMetafileCanvas::LineTo(QPointF To) {
    if (InPath) {
        if (Path.elementCount() == 0) Path.moveTo(State.Position);
        Path.lineTo(To);
    } else {
        if (Prepare(true, false)) P.drawLine(State.Position, To);
    }
    State.Position = To;
}

void TMetafileCanvas::Text(QPointF At, const QString& Text, const std::optional<QRectF>& OpaqueBox) {
    if (!Prepare(false, false)) return;
    QFont font = State.Font.Font;
    const double height = std::max(1.0, std::fabs(State.Font.FontHeight));
    // Glyphs larger than any screen come only from damaged records; they are left out.
    const QTransform& t = P.transform();
    const double shown = height * std::max(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22()));
    if (height > 2000 || shown > 4000) return;
    font.setPixelSize(int(std::lround(height)));
    P.setFont(font);
    const QFontMetricsF fm(font);
    if (OpaqueBox) P.fillRect(*OpaqueBox, State.BkColor);
    const double width = fm.horizontalAdvance(Text);
    const uint32_t horizontal = State.TextAlign & TA_HORIZONTAL, vertical = State.TextAlign & TA_VERTICAL;
    const bool updateCP = State.TextAlign & TA_UPDATECP;
    if (updateCP) At = State.Position;
    const double dx = horizontal == TA_RIGHT ? -width : horizontal == TA_CENTER ? -width / 2 : 0;
    const double dy = vertical == TA_BASELINE ? 0 : vertical == TA_BOTTOM ? -fm.descent() : fm.ascent();
    P.save();
    P.translate(At);
    if (State.Font.Escapement != 0) P.rotate(-State.Font.Escapement / 10);
    if (State.OpaqueBk && !OpaqueBox)
        P.fillRect(QRectF(dx, dy - fm.ascent(), width, fm.height()), State.BkColor);
    // Drawn as glyph outlines: the rasteriser then fills them like any shape, at any mapping.
    QPainterPath glyphs;
    glyphs.addText(QPointF(dx, dy), font, Text);
    P.fillPath(glyphs, State.TextColor);
    P.restore();
    if (updateCP) State.Position = At + QPointF(horizontal == TA_RIGHT ? -width : width, 0);
}

void TMetafileCanvas::Bitmap(const TMetafileDib& Dib, const QRectF& Dest, const QRectF& Source) {
    std::vector<uint8_t> bytes(Dib.Info.begin(), Dib.Info.end());
    bytes.insert(bytes.end(), Dib.Bits.begin(), Dib.Bits.end());
    TMemoryStream stream(std::move(bytes));
    TBitmap bitmap;
    try {
        ReadDib(stream, bitmap, false);
    } catch (const Exception&) {
        return; // a damaged bitmap is left out
    }
    std::unique_ptr<TBitmap> keep;
    QImage image;
    try {
        image = PictureImage(bitmap, keep);
    } catch (const Exception&) {
        return; // too large to show
    }
    if (image.isNull() || !Prepare(false, false)) return;
    QRectF from = Source;
    // Rows of a bottom-up bitmap are counted from its last row in the records.
    if (from.isEmpty()) from = QRectF(0, 0, image.width(), image.height());
    P.drawImage(Dest, image, from);
}

void TMetafileCanvas::DrawPath(bool Stroke, bool Fill) {
    InPath = false;
    QPainterPath path = Path;
    path.setFillRule(State.Fill);
    if (Prepare(Stroke, Fill)) P.drawPath(path);
    Path = QPainterPath();
}

// -------------------------------------------------------------------------------------------------
// Objects and states

int TMetafileCanvas::AddWmfObject(TMetafileObject Object) {
    for (size_t i = 0; i < Objects.size(); ++i)
        if (Objects[i].Kind == TMetafileObject::okNone) {
            Objects[i] = std::move(Object);
            return int(i);
        }
    Objects.push_back(std::move(Object));
    return int(Objects.size() - 1);
}

void TMetafileCanvas::SetEmfObject(uint32_t Index, TMetafileObject Object) {
    if (Index >= 65536) return;
    if (Objects.size() <= Index) Objects.resize(Index + 1);
    Objects[Index] = std::move(Object);
}

void TMetafileCanvas::DeleteObject(uint32_t Index) {
    if (Index < Objects.size()) Objects[Index] = TMetafileObject{};
}

void TMetafileCanvas::Select(const TMetafileObject& Object) {
    if (Object.Kind == TMetafileObject::okPen) State.Pen = Object;
    if (Object.Kind == TMetafileObject::okBrush) State.Brush = Object;
    if (Object.Kind == TMetafileObject::okFont) State.Font = Object;
}

void TMetafileCanvas::SelectObject(uint32_t Index) {
    if (Index & ENHMETA_STOCK_OBJECT) {
        const uint32_t stock = Index & ~ENHMETA_STOCK_OBJECT;
        static const QColor greys[] = {Qt::white, QColor(192, 192, 192), QColor(128, 128, 128),
                                       QColor(64, 64, 64), Qt::black};
        if (stock <= BLACK_BRUSH) State.Brush.Brush = QBrush(greys[stock]);
        if (stock == NULL_BRUSH) State.Brush.Brush = QBrush(Qt::NoBrush);
        if (stock == WHITE_PEN) State.Pen.Pen = QPen(Qt::white, 0);
        if (stock == BLACK_PEN) State.Pen.Pen = QPen(Qt::black, 0);
        if (stock == NULL_PEN) State.Pen.Pen = QPen(Qt::NoPen);
        return;
    }
    if (Index < Objects.size()) Select(Objects[Index]);
}

void TMetafileCanvas::RestoreDC(int32_t Which) {
    if (Saved.empty()) return;
    // Negative: that many states back; positive: the state of that number, counted from 1.
    const size_t keep =
        Which < 0
            ? (size_t(-int64_t(Which)) > Saved.size() ? 0 : Saved.size() - size_t(-int64_t(Which)))
            : (size_t(Which) >= 1 && size_t(Which) <= Saved.size() ? size_t(Which) - 1 : Saved.size() - 1);
    State = Saved[keep];
    Saved.resize(keep);
}

void TMetafileCanvas::IntersectClip(const QRectF& Logical) {
    QPainterPath box;
    box.addPolygon(Total().map(QPolygonF(Logical)));
    box.closeSubpath();
    State.Clip = State.Clip ? State.Clip->intersected(box) : box;
}

QPen TMetafileCanvas::MakePen(uint32_t Style, double Width, TColor Color) {
    static const Qt::PenStyle styles[] = {Qt::SolidLine,      Qt::DashLine, Qt::DotLine,   Qt::DashDotLine,
                                          Qt::DashDotDotLine, Qt::NoPen,    Qt::SolidLine, Qt::SolidLine};
    QPen pen(ColorRef(Color), Width, styles[Style & 7]);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QBrush TMetafileCanvas::MakeBrush(uint32_t Style, TColor Color, uint32_t Hatch) {
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                             Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    if (Style == BS_NULL) return QBrush(Qt::NoBrush);
    if (Style == BS_HATCHED) return QBrush(ColorRef(Color), hatches[Hatch < 6 ? Hatch : 0]);
    return QBrush(ColorRef(Color));
}

TMetafileObject TMetafileCanvas::MakeFont(double Height, double Escapement, int Weight, bool Italic,
                                          bool Underline, bool StrikeOut, const QString& Face) {
    QFont font(Face.isEmpty() ? QString("Sans Serif") : Face);
    font.setWeight(Weight >= 700 ? QFont::Bold : Weight > 0 && Weight <= 300 ? QFont::Light : QFont::Normal);
    font.setItalic(Italic);
    font.setUnderline(Underline);
    font.setStrikeOut(StrikeOut);
    return TMetafileObject{TMetafileObject::okFont, {}, {}, font, Height ? Height : 12, Escapement};
}

} // namespace ferronel::qt
