#include "qt/MetafilePlayer.h"

#include "host/formats/BmpFormat.h"
#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "qt/ImageView.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace ferronel::qt {

namespace {

// A record's parameters; reads past the end answer 0 and mark the reader failed.
struct TParams {
    const uint8_t* P;
    size_t Size;
    bool Has(size_t bytes) const { return bytes <= Size; }
    uint32_t U8(size_t at) const { return at < Size ? P[at] : 0; }
    uint32_t U16(size_t at) const { return Has(at + 2) ? uint32_t(P[at] | P[at + 1] << 8) : 0; }
    int32_t S16(size_t at) const { return int16_t(U16(at)); }
    uint32_t U32(size_t at) const { return Has(at + 4) ? U16(at) | U16(at + 2) << 16 : 0; }
    int32_t S32(size_t at) const { return int32_t(U32(at)); }
    float F32(size_t at) const {
        const uint32_t v = U32(at);
        float f;
        std::memcpy(&f, &v, 4);
        return std::isfinite(f) ? f : 0.0f;
    }
};

QColor ColorRef(uint32_t c) { return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)); }

enum {
    MM_TEXT = 1,
    MM_LOMETRIC,
    MM_HIMETRIC,
    MM_LOENGLISH,
    MM_HIENGLISH,
    MM_TWIPS,
    MM_ISOTROPIC,
    MM_ANISOTROPIC
};

struct TGdiObject {
    enum TKind { okNone, okPen, okBrush, okFont, okOther } Kind = okNone;
    QPen Pen;
    QBrush Brush;
    QFont Font;
    double FontHeight = 0; // logical units, negative for character height
    double Escapement = 0; // tenths of a degree
};

struct TState {
    TGdiObject Pen{TGdiObject::okPen, QPen(Qt::black, 0), {}, {}, 0, 0};
    TGdiObject Brush{TGdiObject::okBrush, {}, QBrush(Qt::white), {}, 0, 0};
    TGdiObject Font{TGdiObject::okFont, {}, {}, QFont(), 12, 0};
    QColor TextColor = Qt::black, BkColor = Qt::white;
    bool OpaqueBk = true;
    uint32_t TextAlign = 0;
    Qt::FillRule Fill = Qt::OddEvenFill;
    QPointF Position;
    int MapMode = MM_TEXT;
    QPointF WindowOrg, ViewportOrg;
    QSizeF WindowExt{1, 1}, ViewportExt{1, 1};
    bool WindowSet = false;
    QTransform World;
    std::optional<QPainterPath> Clip; // in target coordinates
};

class TPlayer {
public:
    TPlayer(const TMetafile& m, QPainter& p, const QRectF& target) : M(m), P(p), Target(target) {
        if (M.Kind() == mkWmf && M.Inch()) {
            const TRect& b = M.Bounds();
            S.WindowOrg = QPointF(b.Left, b.Top);
            S.WindowExt = QSizeF(b.Right - b.Left, b.Bottom - b.Top);
        }
        if (M.Kind() == mkEmf) {
            // The frame (0.01 mm) in reference-device pixels is what the target shows.
            PixelsPerMmX = double(M.DevicePixelsX) / M.DeviceMillimetresX;
            PixelsPerMmY = double(M.DevicePixelsY) / M.DeviceMillimetresY;
            const TRect& f = M.Bounds();
            Frame = QRectF(f.Left * PixelsPerMmX / 100, f.Top * PixelsPerMmY / 100,
                           (double(f.Right) - f.Left) * PixelsPerMmX / 100,
                           (double(f.Bottom) - f.Top) * PixelsPerMmY / 100);
        }
    }

    void Play() {
        P.save();
        P.setRenderHint(QPainter::Antialiasing, false);
        for (const TMetafileRecord& r : M.Records()) {
            const TParams params{M.Data().data() + r.Offset, r.Size};
            if (M.Kind() == mkWmf)
                Wmf(r.Type, params);
            else
                Emf(r.Type, params);
        }
        P.restore();
    }

private:
    // ---------------------------------------------------------------------------------------------
    // Coordinates

    QTransform PageTransform() const {
        QTransform t;
        if (M.Kind() == mkWmf) {
            // The window is stretched onto the target.
            const double sx = S.WindowExt.width() ? Target.width() / S.WindowExt.width() : 1;
            const double sy = S.WindowExt.height() ? Target.height() / S.WindowExt.height() : 1;
            t.translate(-S.WindowOrg.x(), -S.WindowOrg.y());
            t *= QTransform::fromScale(S.WindowSet || M.Inch() ? sx : 1, S.WindowSet || M.Inch() ? sy : 1);
            t *= QTransform::fromTranslate(Target.left(), Target.top());
            return t;
        }
        double sx = 1, sy = 1;
        switch (S.MapMode) {
        case MM_ISOTROPIC:
        case MM_ANISOTROPIC:
            sx = S.WindowExt.width() ? S.ViewportExt.width() / S.WindowExt.width() : 1;
            sy = S.WindowExt.height() ? S.ViewportExt.height() / S.WindowExt.height() : 1;
            if (S.MapMode == MM_ISOTROPIC) {
                const double m = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(m, sx), sy = std::copysign(m, sy);
            }
            break;
        case MM_LOMETRIC: sx = PixelsPerMmX / 10, sy = -PixelsPerMmY / 10; break;
        case MM_HIMETRIC: sx = PixelsPerMmX / 100, sy = -PixelsPerMmY / 100; break;
        case MM_LOENGLISH: sx = PixelsPerMmX * 0.254, sy = -PixelsPerMmY * 0.254; break;
        case MM_HIENGLISH: sx = PixelsPerMmX * 0.0254, sy = -PixelsPerMmY * 0.0254; break;
        case MM_TWIPS: sx = PixelsPerMmX * 25.4 / 1440, sy = -PixelsPerMmY * 25.4 / 1440; break;
        default: break;
        }
        t.translate(-S.WindowOrg.x(), -S.WindowOrg.y());
        t *= QTransform::fromScale(sx, sy);
        t *= QTransform::fromTranslate(S.ViewportOrg.x(), S.ViewportOrg.y());
        // Reference-device pixels of the frame onto the target.
        if (Frame.width() > 0 && Frame.height() > 0) {
            t *= QTransform::fromTranslate(-Frame.left(), -Frame.top());
            t *= QTransform::fromScale(Target.width() / Frame.width(), Target.height() / Frame.height());
        }
        t *= QTransform::fromTranslate(Target.left(), Target.top());
        return t;
    }

    QTransform Total() const { return S.World * PageTransform(); }

    // Prepares the painter for drawing in logical coordinates; answers false when the records have
    // made a mapping that cannot be drawn with (not finite, flat, or scaling past any screen).
    bool Prepare(bool pen, bool brush) {
        const QTransform total = Total();
        const double scale = std::sqrt(std::fabs(total.determinant()));
        if (!std::isfinite(scale) || scale < 1e-9 || scale > 1e6 || !std::isfinite(total.dx()) ||
            !std::isfinite(total.dy()))
            return false;
        P.resetTransform();
        if (S.Clip)
            P.setClipPath(*S.Clip);
        else
            P.setClipping(false);
        P.setTransform(total);
        P.setPen(pen ? S.Pen.Pen : QPen(Qt::NoPen));
        P.setBrush(brush ? S.Brush.Brush : QBrush(Qt::NoBrush));
        P.setBackgroundMode(S.OpaqueBk ? Qt::OpaqueMode : Qt::TransparentMode);
        P.setBackground(S.BkColor);
        return true;
    }

    // Shapes go into the path while one is being recorded, else onto the target.
    void Shape(const QPainterPath& shape, bool filled) {
        if (InPath) {
            Path.addPath(shape);
            return;
        }
        if (!Prepare(true, filled)) return;
        QPainterPath s = shape;
        s.setFillRule(S.Fill);
        // The gaps of a hatch show the background colour while the background mode is opaque.
        const Qt::BrushStyle style = S.Brush.Brush.style();
        if (filled && S.OpaqueBk && style >= Qt::HorPattern && style <= Qt::DiagCrossPattern)
            P.fillPath(s, S.BkColor);
        P.drawPath(s);
    }

    // Open figures go into the path being recorded, or are stroked with the pen.
    void Outline(const QPainterPath& path) {
        if (InPath) {
            Path.addPath(path);
            return;
        }
        if (Prepare(true, false)) P.drawPath(path);
    }

    static QRectF Box(double l, double t, double r, double b) {
        return QRectF(QPointF(l, t), QPointF(r, b)).normalized();
    }

    void Arc(int kind, const QRectF& box, QPointF start, QPointF end) {
        const QPointF c = box.center();
        const double rx = box.width() / 2, ry = box.height() / 2;
        if (rx <= 0 || ry <= 0) return;
        auto angle = [&](QPointF q) {
            return std::atan2(-(q.y() - c.y()) / ry, (q.x() - c.x()) / rx) * 180 / M_PI;
        };
        const double a0 = angle(start);
        double span = angle(end) - a0;
        if (span <= 0) span += 360;
        QPainterPath path;
        if (kind == 0) { // arc
            path.arcMoveTo(box, a0);
            path.arcTo(box, a0, span);
            Outline(path);
            return;
        }
        if (kind == 2)
            path.moveTo(c); // pie
        else
            path.arcMoveTo(box, a0);
        path.arcTo(box, a0, span);
        path.closeSubpath();
        Shape(path, true);
    }

    void Lines(const std::vector<QPointF>& points, bool closed, bool bezier = false) {
        if (points.empty()) return;
        QPainterPath path(points[0]);
        if (bezier) {
            for (size_t i = 1; i + 2 < points.size(); i += 3)
                path.cubicTo(points[i], points[i + 1], points[i + 2]);
        } else {
            for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
        }
        if (closed) {
            path.closeSubpath();
            Shape(path, true);
        } else {
            Outline(path);
        }
    }

    void LineTo(QPointF to) {
        if (InPath) {
            if (Path.elementCount() == 0) Path.moveTo(S.Position);
            Path.lineTo(to);
        } else {
            if (Prepare(true, false)) P.drawLine(S.Position, to);
        }
        S.Position = to;
    }

    void Text(QPointF at, const QString& text, const std::optional<QRectF>& opaqueBox) {
        if (!Prepare(false, false)) return;
        QFont font = S.Font.Font;
        const double height = std::max(1.0, std::fabs(S.Font.FontHeight));
        // Glyphs larger than any screen come only from damaged records; they are left out.
        const QTransform& t = P.transform();
        const double shown = height * std::max(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22()));
        if (height > 2000 || shown > 4000) return;
        font.setPixelSize(int(std::lround(height)));
        P.setFont(font);
        const QFontMetricsF fm(font);
        if (opaqueBox) P.fillRect(*opaqueBox, S.BkColor);
        const double width = fm.horizontalAdvance(text);
        const uint32_t horizontal = S.TextAlign & 6, vertical = S.TextAlign & 24;
        const bool updateCP = S.TextAlign & 1;
        if (updateCP) at = S.Position;
        double dx = horizontal == 2 ? -width : horizontal == 6 ? -width / 2 : 0;
        double dy = vertical == 24 ? 0 : vertical == 8 ? -fm.descent() : fm.ascent();
        P.save();
        P.translate(at);
        if (S.Font.Escapement != 0) P.rotate(-S.Font.Escapement / 10);
        if (S.OpaqueBk && !opaqueBox) P.fillRect(QRectF(dx, dy - fm.ascent(), width, fm.height()), S.BkColor);
        // Drawn as glyph outlines: the rasteriser then fills them like any shape, at any mapping.
        QPainterPath glyphs;
        glyphs.addText(QPointF(dx, dy), font, text);
        P.fillPath(glyphs, S.TextColor);
        P.restore();
        if (updateCP) S.Position = at + QPointF(horizontal == 2 ? -width : width, 0);
    }

    void Bitmap(std::vector<uint8_t> dib, const QRectF& dest, const QRectF& source) {
        TMemoryStream stream(std::move(dib));
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
        QRectF from = source;
        // Rows of a bottom-up bitmap are counted from its last row in the records.
        if (from.isEmpty()) from = QRectF(0, 0, image.width(), image.height());
        P.drawImage(dest, image, from);
    }

    // ---------------------------------------------------------------------------------------------
    // Objects

    int AddWmfObject(TGdiObject object) {
        for (size_t i = 0; i < Objects.size(); ++i)
            if (Objects[i].Kind == TGdiObject::okNone) {
                Objects[i] = std::move(object);
                return int(i);
            }
        Objects.push_back(std::move(object));
        return int(Objects.size() - 1);
    }

    void SetEmfObject(uint32_t index, TGdiObject object) {
        if (index >= 65536) return;
        if (Objects.size() <= index) Objects.resize(index + 1);
        Objects[index] = std::move(object);
    }

    void Select(const TGdiObject& o) {
        if (o.Kind == TGdiObject::okPen) S.Pen = o;
        if (o.Kind == TGdiObject::okBrush) S.Brush = o;
        if (o.Kind == TGdiObject::okFont) S.Font = o;
    }

    void SelectIndex(uint32_t index) {
        if (index & 0x80000000u) {
            const uint32_t stock = index & 0x7FFFFFFF;
            static const QColor greys[] = {Qt::white, QColor(192, 192, 192), QColor(128, 128, 128),
                                           QColor(64, 64, 64), Qt::black};
            if (stock <= 4) S.Brush.Brush = QBrush(greys[stock]);
            if (stock == 5) S.Brush.Brush = QBrush(Qt::NoBrush);
            if (stock == 6) S.Pen.Pen = QPen(Qt::white, 0);
            if (stock == 7) S.Pen.Pen = QPen(Qt::black, 0);
            if (stock == 8) S.Pen.Pen = QPen(Qt::NoPen);
            return;
        }
        if (index < Objects.size()) Select(Objects[index]);
    }

    static QPen MakePen(uint32_t style, double width, uint32_t color) {
        static const Qt::PenStyle styles[] = {Qt::SolidLine,   Qt::DashLine,       Qt::DotLine,
                                              Qt::DashDotLine, Qt::DashDotDotLine, Qt::NoPen,
                                              Qt::SolidLine,   Qt::SolidLine};
        QPen pen(ColorRef(color), width, styles[style & 7]);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        return pen;
    }

    static QBrush MakeBrush(uint32_t style, uint32_t color, uint32_t hatch) {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        if (style == 1) return QBrush(Qt::NoBrush);
        if (style == 2) return QBrush(ColorRef(color), hatches[hatch < 6 ? hatch : 0]);
        return QBrush(ColorRef(color));
    }

    static TGdiObject MakeFont(double height, double escapement, int weight, bool italic, bool underline,
                               bool strike, const QString& face) {
        QFont font(face.isEmpty() ? QString("Sans Serif") : face);
        font.setWeight(weight >= 700                 ? QFont::Bold
                       : weight > 0 && weight <= 300 ? QFont::Light
                                                     : QFont::Normal);
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStrikeOut(strike);
        return TGdiObject{TGdiObject::okFont, {}, {}, font, height ? height : 12, escapement};
    }

    void RestoreDC(int32_t n) {
        if (Saved.empty()) return;
        size_t keep = n < 0
                          ? (size_t(-int64_t(n)) > Saved.size() ? 0 : Saved.size() - size_t(-int64_t(n)))
                          : (size_t(n) >= 1 && size_t(n) <= Saved.size() ? size_t(n) - 1 : Saved.size() - 1);
        S = Saved[keep];
        Saved.resize(keep);
    }

    void IntersectClip(const QRectF& logical) {
        QPainterPath box;
        box.addPolygon(Total().map(QPolygonF(logical)));
        box.closeSubpath();
        S.Clip = S.Clip ? S.Clip->intersected(box) : box;
    }

    // ---------------------------------------------------------------------------------------------
    // WMF records (16-bit parameters, coordinates listed last to first)

    std::vector<QPointF> WmfPoints(const TParams& r, size_t at, uint32_t count) {
        std::vector<QPointF> points;
        if (!r.Has(at + size_t(count) * 4)) return points;
        for (uint32_t i = 0; i < count; ++i) points.emplace_back(r.S16(at + 4 * i), r.S16(at + 4 * i + 2));
        return points;
    }

    QString WmfString(const TParams& r, size_t at, uint32_t count) {
        if (!r.Has(at + count)) return {};
        return QString::fromLatin1(reinterpret_cast<const char*>(r.P + at), qsizetype(count));
    }

    void Wmf(uint32_t f, const TParams& r) {
        switch (f) {
        case 0x0201: S.BkColor = ColorRef(r.U32(0)); break;
        case 0x0102: S.OpaqueBk = r.U16(0) == 2; break;
        case 0x0103: S.MapMode = int(r.U16(0)); break;
        case 0x0106: S.Fill = r.U16(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
        case 0x012E: S.TextAlign = r.U16(0); break;
        case 0x0209: S.TextColor = ColorRef(r.U32(0)); break;
        case 0x020B:
            if (r.Has(4)) S.WindowOrg = QPointF(r.S16(2), r.S16(0));
            break;
        case 0x020C:
            if (r.Has(4)) S.WindowExt = QSizeF(r.S16(2), r.S16(0)), S.WindowSet = true;
            break;
        case 0x020F:
            if (r.Has(4)) S.WindowOrg += QPointF(r.S16(2), r.S16(0));
            break;
        case 0x0214:
            if (r.Has(4)) S.Position = QPointF(r.S16(2), r.S16(0));
            break;
        case 0x0213:
            if (r.Has(4)) LineTo(QPointF(r.S16(2), r.S16(0)));
            break;
        case 0x041B:
            if (r.Has(8)) Shape(RectPath(Box(r.S16(6), r.S16(4), r.S16(2), r.S16(0))), true);
            break;
        case 0x061C:
            if (r.Has(12)) {
                QPainterPath path;
                path.addRoundedRect(Box(r.S16(10), r.S16(8), r.S16(6), r.S16(4)), r.S16(2) / 2.0,
                                    r.S16(0) / 2.0);
                Shape(path, true);
            }
            break;
        case 0x0418:
            if (r.Has(8)) {
                QPainterPath path;
                path.addEllipse(Box(r.S16(6), r.S16(4), r.S16(2), r.S16(0)));
                Shape(path, true);
            }
            break;
        case 0x0817: // arc
        case 0x0830: // chord
        case 0x081A: // pie
            if (r.Has(16))
                Arc(f == 0x0817   ? 0
                    : f == 0x0830 ? 1
                                  : 2,
                    Box(r.S16(14), r.S16(12), r.S16(10), r.S16(8)), QPointF(r.S16(6), r.S16(4)),
                    QPointF(r.S16(2), r.S16(0)));
            break;
        case 0x0324:
        case 0x0325: Lines(WmfPoints(r, 2, r.U16(0)), f == 0x0324); break;
        case 0x0538: {
            const uint32_t polygons = r.U16(0);
            if (!r.Has(2 + size_t(polygons) * 2)) break;
            QPainterPath path;
            size_t at = 2 + size_t(polygons) * 2;
            for (uint32_t i = 0; i < polygons; ++i) {
                const uint32_t n = r.U16(2 + 2 * i);
                const auto points = WmfPoints(r, at, n);
                if (points.size() != n) return;
                if (!points.empty()) path.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
                path.closeSubpath();
                at += size_t(n) * 4;
            }
            Shape(path, true);
            break;
        }
        case 0x0521: { // TextOut: count, string (padded), y, x
            const uint32_t n = r.U16(0);
            const size_t at = 2 + ((size_t(n) + 1) & ~size_t(1));
            if (r.Has(at + 4)) Text(QPointF(r.S16(at + 2), r.S16(at)), WmfString(r, 2, n), std::nullopt);
            break;
        }
        case 0x0A32: { // ExtTextOut: y, x, count, options, [rect], string
            const uint32_t n = r.U16(4), options = r.U16(6);
            size_t at = 8;
            std::optional<QRectF> box;
            if (options & 6) {
                if (r.Has(16) && (options & 2)) box = Box(r.S16(8), r.S16(10), r.S16(12), r.S16(14));
                at += 8;
            }
            if (r.Has(at + n)) Text(QPointF(r.S16(2), r.S16(0)), WmfString(r, at, n), box);
            break;
        }
        case 0x02FA:
            if (r.Has(10))
                AddWmfObject({TGdiObject::okPen, MakePen(r.U16(0), r.S16(2), r.U32(6)), {}, {}, 0, 0});
            break;
        case 0x02FC:
            if (r.Has(8))
                AddWmfObject({TGdiObject::okBrush, {}, MakeBrush(r.U16(0), r.U32(2), r.U16(6)), {}, 0, 0});
            break;
        case 0x02FB: {
            if (!r.Has(18)) {
                AddWmfObject({TGdiObject::okOther, {}, {}, {}, 0, 0});
                break;
            }
            size_t end = 18;
            while (end < r.Size && end < 18 + 32 && r.P[end]) ++end;
            AddWmfObject(
                MakeFont(r.S16(0), r.S16(4), r.S16(8), r.U8(10), r.U8(11), r.U8(12),
                         QString::fromLatin1(reinterpret_cast<const char*>(r.P + 18), qsizetype(end - 18))));
            break;
        }
        case 0x00F7: // palette, region and pattern brush take a slot each
        case 0x06FF:
        case 0x0142:
        case 0x01F9: AddWmfObject({TGdiObject::okOther, {}, {}, {}, 0, 0}); break;
        case 0x012D:
            if (r.U16(0) < Objects.size()) Select(Objects[r.U16(0)]);
            break;
        case 0x01F0:
            if (r.U16(0) < Objects.size()) Objects[r.U16(0)] = TGdiObject{};
            break;
        case 0x001E: Saved.push_back(S); break;
        case 0x0127: RestoreDC(r.S16(0)); break;
        case 0x0416:
            if (r.Has(8)) IntersectClip(Box(r.S16(6), r.S16(4), r.S16(2), r.S16(0)));
            break;
        case 0x0F43: // StretchDIB: rop(4) usage srcH srcW srcY srcX destH destW destY destX, DIB
            if (r.Has(22))
                Bitmap(std::vector<uint8_t>(r.P + 22, r.P + r.Size),
                       Box(r.S16(20), r.S16(18), r.S16(20) + r.S16(16), r.S16(18) + r.S16(14)),
                       QRectF(r.S16(12), r.S16(10), r.S16(8), r.S16(6)));
            break;
        case 0x0B41: // DIBStretchBlt: rop(4) srcH srcW srcY srcX destH destW destY destX, DIB
            if (r.Has(20))
                Bitmap(std::vector<uint8_t>(r.P + 20, r.P + r.Size),
                       Box(r.S16(18), r.S16(16), r.S16(18) + r.S16(14), r.S16(16) + r.S16(12)),
                       QRectF(r.S16(10), r.S16(8), r.S16(6), r.S16(4)));
            break;
        default: break;
        }
    }

    static QPainterPath RectPath(const QRectF& box) {
        QPainterPath path;
        path.addRect(box);
        return path;
    }

    // ---------------------------------------------------------------------------------------------
    // EMF records (32-bit parameters; offsets inside a record count from its start, 8 bytes before)

    QRectF EmfBox(const TParams& r, size_t at) {
        return Box(r.S32(at), r.S32(at + 4), r.S32(at + 8), r.S32(at + 12));
    }

    std::vector<QPointF> EmfPoints(const TParams& r, size_t at, uint32_t count, bool small) {
        std::vector<QPointF> points;
        const size_t each = small ? 4 : 8;
        if (count > r.Size / each || !r.Has(at + size_t(count) * each)) return points;
        for (uint32_t i = 0; i < count; ++i)
            points.emplace_back(small ? r.S16(at + 4 * i) : r.S32(at + 8 * i),
                                small ? r.S16(at + 4 * i + 2) : r.S32(at + 8 * i + 4));
        return points;
    }

    void EmfPoly(uint32_t type, const TParams& r) {
        const bool small = type >= 85;
        const uint32_t base = small ? type - 83 : type; // the 16-bit records follow the same order
        const uint32_t count = r.U32(16);
        auto points = EmfPoints(r, 20, count, small);
        if (points.size() != count || points.empty()) return;
        switch (base) {
        case 2: Lines(points, false, true); break; // PolyBezier
        case 3: Lines(points, true); break;        // Polygon
        case 4: Lines(points, false); break;       // Polyline
        case 5:                                    // PolyBezierTo
        case 6:                                    // PolylineTo
            if (InPath) {
                // Inside a path the figure goes on from the current point.
                if (Path.elementCount() == 0) Path.moveTo(S.Position);
                if (base == 6)
                    for (const QPointF& q : points) Path.lineTo(q);
                else
                    for (size_t i = 0; i + 2 < points.size(); i += 3)
                        Path.cubicTo(points[i], points[i + 1], points[i + 2]);
            } else {
                points.insert(points.begin(), S.Position);
                Lines(points, false, base == 5);
            }
            S.Position = points.back();
            break;
        default: break;
        }
    }

    void EmfPolyPoly(uint32_t type, const TParams& r) {
        const bool small = type >= 90;
        const bool polygon = type == 8 || type == 91;
        const uint32_t polys = r.U32(16), total = r.U32(20);
        if (polys > r.Size / 4 || !r.Has(24 + size_t(polys) * 4)) return;
        const auto points = EmfPoints(r, 24 + size_t(polys) * 4, total, small);
        if (points.size() != total) return;
        QPainterPath path;
        size_t at = 0;
        for (uint32_t i = 0; i < polys; ++i) {
            const uint32_t n = r.U32(24 + 4 * i);
            if (n > points.size() - at) return;
            for (uint32_t k = 0; k < n; ++k)
                k == 0 ? path.moveTo(points[at + k]) : path.lineTo(points[at + k]);
            if (polygon) path.closeSubpath();
            at += n;
        }
        if (polygon)
            Shape(path, true);
        else
            Outline(path);
    }

    void Emf(uint32_t t, const TParams& r) {
        switch (t) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 85:
        case 86:
        case 87:
        case 88:
        case 89: EmfPoly(t, r); break;
        case 7:
        case 8:
        case 90:
        case 91: EmfPolyPoly(t, r); break;
        case 9:
            if (r.Has(8)) S.WindowExt = QSizeF(r.S32(0), r.S32(4));
            break;
        case 10:
            if (r.Has(8)) S.WindowOrg = QPointF(r.S32(0), r.S32(4));
            break;
        case 11:
            if (r.Has(8)) S.ViewportExt = QSizeF(r.S32(0), r.S32(4));
            break;
        case 12:
            if (r.Has(8)) S.ViewportOrg = QPointF(r.S32(0), r.S32(4));
            break;
        case 17: S.MapMode = int(r.U32(0)); break;
        case 18: S.OpaqueBk = r.U32(0) == 2; break;
        case 19: S.Fill = r.U32(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
        case 22: S.TextAlign = r.U32(0); break;
        case 24: S.TextColor = ColorRef(r.U32(0)); break;
        case 25: S.BkColor = ColorRef(r.U32(0)); break;
        case 27:
            if (r.Has(8)) S.Position = QPointF(r.S32(0), r.S32(4));
            if (InPath) Path.moveTo(S.Position);
            break;
        case 54:
            if (r.Has(8)) LineTo(QPointF(r.S32(0), r.S32(4)));
            break;
        case 30:
            if (r.Has(16)) IntersectClip(EmfBox(r, 0));
            break;
        case 33: Saved.push_back(S); break;
        case 34: RestoreDC(r.S32(0)); break;
        case 35: // SetWorldTransform
            if (r.Has(24))
                S.World = QTransform(r.F32(0), r.F32(4), r.F32(8), r.F32(12), r.F32(16), r.F32(20));
            break;
        case 36: { // ModifyWorldTransform: matrix, mode
            if (!r.Has(28)) break;
            const QTransform m(r.F32(0), r.F32(4), r.F32(8), r.F32(12), r.F32(16), r.F32(20));
            const uint32_t mode = r.U32(24);
            S.World = mode == 1   ? QTransform()
                      : mode == 2 ? m * S.World
                      : mode == 3 ? S.World * m
                      : mode == 4 ? m
                                  : S.World;
            break;
        }
        case 37: SelectIndex(r.U32(0)); break;
        case 38:
            if (r.Has(20))
                SetEmfObject(r.U32(0),
                             {TGdiObject::okPen, MakePen(r.U32(4), r.S32(8), r.U32(16)), {}, {}, 0, 0});
            break;
        case 95: // ExtCreatePen: ih, bitmap offsets (16), style, width, brush style, colour
            if (r.Has(36))
                SetEmfObject(r.U32(0),
                             {TGdiObject::okPen, MakePen(r.U32(20), r.U32(24), r.U32(32)), {}, {}, 0, 0});
            break;
        case 39:
            if (r.Has(16))
                SetEmfObject(r.U32(0),
                             {TGdiObject::okBrush, {}, MakeBrush(r.U32(4), r.U32(8), r.U32(12)), {}, 0, 0});
            break;
        case 82: { // ExtCreateFontIndirectW: ih, LOGFONTW
            if (!r.Has(4 + 28 + 64)) break;
            QString face;
            for (size_t i = 0; i < 32; ++i) {
                const uint32_t c = r.U16(32 + 2 * i);
                if (!c) break;
                face += QChar(char16_t(c));
            }
            SetEmfObject(r.U32(0),
                         MakeFont(r.S32(4), r.S32(12), r.S32(20), r.U8(24), r.U8(25), r.U8(26), face));
            break;
        }
        case 40:
            if (r.U32(0) < Objects.size()) Objects[r.U32(0)] = TGdiObject{};
            break;
        case 42:
        case 43:
        case 44:
            if (!r.Has(16)) break;
            {
                QPainterPath path;
                const QRectF box = EmfBox(r, 0);
                if (t == 42) path.addEllipse(box);
                if (t == 43) path.addRect(box);
                if (t == 44) path.addRoundedRect(box, r.S32(16) / 2.0, r.S32(20) / 2.0);
                Shape(path, true);
            }
            break;
        case 45:
        case 46:
        case 47:
            if (r.Has(32))
                Arc(t == 45   ? 0
                    : t == 46 ? 1
                              : 2,
                    EmfBox(r, 0), QPointF(r.S32(16), r.S32(20)), QPointF(r.S32(24), r.S32(28)));
            break;
        case 59: InPath = true, Path = QPainterPath(); break;
        case 60: InPath = false; break;
        case 61:
            if (InPath) Path.closeSubpath();
            break;
        case 62:
        case 63:
        case 64: { // FillPath, StrokeAndFillPath, StrokePath
            InPath = false;
            QPainterPath path = Path;
            path.setFillRule(S.Fill);
            if (Prepare(t != 62, t != 64)) P.drawPath(path);
            Path = QPainterPath();
            break;
        }
        case 84: EmfText(r); break;
        case 81: { // StretchDIBits
            if (!r.Has(72)) break;
            const uint32_t offBmi = r.U32(40), cbBmi = r.U32(44), offBits = r.U32(48), cbBits = r.U32(52);
            const uint64_t size = uint64_t(r.Size) + 8;
            if (offBmi < 8 || offBits < 8 || uint64_t(offBmi) + cbBmi > size ||
                uint64_t(offBits) + cbBits > size)
                break;
            std::vector<uint8_t> dib(r.P + offBmi - 8, r.P + offBmi - 8 + cbBmi);
            dib.insert(dib.end(), r.P + offBits - 8, r.P + offBits - 8 + cbBits);
            Bitmap(dib, QRectF(r.S32(16), r.S32(20), r.S32(64), r.S32(68)),
                   QRectF(r.S32(24), r.S32(28), r.S32(32), r.S32(36)));
            break;
        }
        default: break;
        }
    }

    void EmfText(const TParams& r) {
        // bounds(16) graphics mode, x scale, y scale; then reference point, count, string offset,
        // options, rectangle, offsets of the advances.
        if (!r.Has(68)) return;
        const QPointF at(r.S32(28), r.S32(32));
        const uint32_t count = r.U32(36), offString = r.U32(40), options = r.U32(44);
        if (offString < 8 || count > r.Size / 2 || uint64_t(offString - 8) + uint64_t(count) * 2 > r.Size)
            return;
        QString text;
        for (uint32_t i = 0; i < count; ++i) text += QChar(char16_t(r.U16(offString - 8 + 2 * i)));
        std::optional<QRectF> box;
        if (options & 2) box = EmfBox(r, 48);
        Text(at, text, box);
    }

    const TMetafile& M;
    QPainter& P;
    QRectF Target;
    QRectF Frame;
    double PixelsPerMmX = 96 / 25.4, PixelsPerMmY = 96 / 25.4;
    TState S;
    std::vector<TState> Saved;
    std::vector<TGdiObject> Objects;
    bool InPath = false;
    QPainterPath Path;
};

} // namespace

void PlayMetafile(const TMetafile& Metafile, QPainter& Painter, const QRectF& Target) {
    if (Metafile.Empty() || Target.isEmpty()) return;
    // Playing runs inside paint events, which must not end in an exception: a record that fails
    // ends the picture where it is.
    try {
        TPlayer(Metafile, Painter, Target).Play();
    } catch (const std::exception&) {
    }
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
