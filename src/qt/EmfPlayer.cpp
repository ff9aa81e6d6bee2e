// EMF records onto the metafile canvas: one function a record, fed by the host's decoders. Records
// the decoders refuse are damaged and left out.
#include "host/formats/EmfRecords.h"
#include "qt/MetafileCanvas.h"

namespace ferronel::qt {

namespace {

QTransform Matrix(const TEmfTransform& T) { return QTransform(T.M11, T.M12, T.M21, T.M22, T.Dx, T.Dy); }

QString Utf16(const std::u16string& Text) {
    return QString(reinterpret_cast<const QChar*>(Text.data()), qsizetype(Text.size()));
}

class TEmfPlayer {
public:
    explicit TEmfPlayer(TMetafileCanvas& Canvas) : C(Canvas), S(Canvas.State) {}

    void Play() {
        const TMetafile& m = C.Metafile();
        for (const TMetafileRecord& r : m.Records()) Dispatch(r.Type, m.Parameters(r));
    }

private:
    using TParams = std::span<const uint8_t>;

    // Calls Record with the decoded parameters, or leaves the record out when they did not decode.
    template <typename T> void Play(const std::optional<T>& Params, void (TEmfPlayer::*Record)(const T&)) {
        if (Params) (this->*Record)(*Params);
    }

    void Dispatch(uint32_t Type, TParams p) {
        switch (Type) {
        case EMR_POLYBEZIER: Play(DecodeEmfPoly(p, false), &TEmfPlayer::PlayPolyBezier); break;
        case EMR_POLYGON: Play(DecodeEmfPoly(p, false), &TEmfPlayer::PlayPolygon); break;
        case EMR_POLYLINE: Play(DecodeEmfPoly(p, false), &TEmfPlayer::PlayPolyline); break;
        case EMR_POLYBEZIERTO: Play(DecodeEmfPoly(p, false), &TEmfPlayer::PlayPolyBezierTo); break;
        case EMR_POLYLINETO: Play(DecodeEmfPoly(p, false), &TEmfPlayer::PlayPolylineTo); break;
        case EMR_POLYBEZIER16: Play(DecodeEmfPoly(p, true), &TEmfPlayer::PlayPolyBezier); break;
        case EMR_POLYGON16: Play(DecodeEmfPoly(p, true), &TEmfPlayer::PlayPolygon); break;
        case EMR_POLYLINE16: Play(DecodeEmfPoly(p, true), &TEmfPlayer::PlayPolyline); break;
        case EMR_POLYBEZIERTO16: Play(DecodeEmfPoly(p, true), &TEmfPlayer::PlayPolyBezierTo); break;
        case EMR_POLYLINETO16: Play(DecodeEmfPoly(p, true), &TEmfPlayer::PlayPolylineTo); break;
        case EMR_POLYPOLYLINE: Play(DecodeEmfPolyPoly(p, false), &TEmfPlayer::PlayPolyPolyline); break;
        case EMR_POLYPOLYGON: Play(DecodeEmfPolyPoly(p, false), &TEmfPlayer::PlayPolyPolygon); break;
        case EMR_POLYPOLYLINE16: Play(DecodeEmfPolyPoly(p, true), &TEmfPlayer::PlayPolyPolyline); break;
        case EMR_POLYPOLYGON16: Play(DecodeEmfPolyPoly(p, true), &TEmfPlayer::PlayPolyPolygon); break;
        case EMR_SETWINDOWEXTEX: Play(DecodeEmfPoint(p), &TEmfPlayer::PlaySetWindowExtEx); break;
        case EMR_SETWINDOWORGEX: Play(DecodeEmfPoint(p), &TEmfPlayer::PlaySetWindowOrgEx); break;
        case EMR_SETVIEWPORTEXTEX: Play(DecodeEmfPoint(p), &TEmfPlayer::PlaySetViewportExtEx); break;
        case EMR_SETVIEWPORTORGEX: Play(DecodeEmfPoint(p), &TEmfPlayer::PlaySetViewportOrgEx); break;
        case EMR_SETMAPMODE: Play(DecodeEmfValue(p), &TEmfPlayer::PlaySetMapMode); break;
        case EMR_SETBKMODE: Play(DecodeEmfValue(p), &TEmfPlayer::PlaySetBkMode); break;
        case EMR_SETPOLYFILLMODE: Play(DecodeEmfValue(p), &TEmfPlayer::PlaySetPolyFillMode); break;
        case EMR_SETTEXTALIGN: Play(DecodeEmfValue(p), &TEmfPlayer::PlaySetTextAlign); break;
        case EMR_SETTEXTCOLOR: Play(DecodeEmfValue(p), &TEmfPlayer::PlaySetTextColor); break;
        case EMR_SETBKCOLOR: Play(DecodeEmfValue(p), &TEmfPlayer::PlaySetBkColor); break;
        case EMR_MOVETOEX: Play(DecodeEmfPoint(p), &TEmfPlayer::PlayMoveToEx); break;
        case EMR_LINETO: Play(DecodeEmfPoint(p), &TEmfPlayer::PlayLineTo); break;
        case EMR_INTERSECTCLIPRECT: Play(DecodeEmfRect(p), &TEmfPlayer::PlayIntersectClipRect); break;
        case EMR_SAVEDC: C.SaveDC(); break;
        case EMR_RESTOREDC: Play(DecodeEmfValue(p), &TEmfPlayer::PlayRestoreDC); break;
        case EMR_SETWORLDTRANSFORM: Play(DecodeEmfTransform(p), &TEmfPlayer::PlaySetWorldTransform); break;
        case EMR_MODIFYWORLDTRANSFORM:
            Play(DecodeEmfModifyTransform(p), &TEmfPlayer::PlayModifyWorldTransform);
            break;
        case EMR_SELECTOBJECT: Play(DecodeEmfValue(p), &TEmfPlayer::PlaySelectObject); break;
        case EMR_CREATEPEN: Play(DecodeEmfPen(p), &TEmfPlayer::PlayCreatePen); break;
        case EMR_EXTCREATEPEN: Play(DecodeEmfExtPen(p), &TEmfPlayer::PlayCreatePen); break;
        case EMR_CREATEBRUSHINDIRECT: Play(DecodeEmfBrush(p), &TEmfPlayer::PlayCreateBrushIndirect); break;
        case EMR_EXTCREATEFONTINDIRECTW:
            Play(DecodeEmfFont(p), &TEmfPlayer::PlayExtCreateFontIndirect);
            break;
        case EMR_DELETEOBJECT: Play(DecodeEmfValue(p), &TEmfPlayer::PlayDeleteObject); break;
        case EMR_ELLIPSE: Play(DecodeEmfRect(p), &TEmfPlayer::PlayEllipse); break;
        case EMR_RECTANGLE: Play(DecodeEmfRect(p), &TEmfPlayer::PlayRectangle); break;
        case EMR_ROUNDRECT: Play(DecodeEmfRoundRect(p), &TEmfPlayer::PlayRoundRect); break;
        case EMR_ARC: Play(DecodeEmfArc(p), &TEmfPlayer::PlayArc); break;
        case EMR_CHORD: Play(DecodeEmfArc(p), &TEmfPlayer::PlayChord); break;
        case EMR_PIE: Play(DecodeEmfArc(p), &TEmfPlayer::PlayPie); break;
        case EMR_BEGINPATH: PlayBeginPath(); break;
        case EMR_ENDPATH: C.InPath = false; break;
        case EMR_CLOSEFIGURE: PlayCloseFigure(); break;
        case EMR_FILLPATH: C.DrawPath(false, true); break;
        case EMR_STROKEANDFILLPATH: C.DrawPath(true, true); break;
        case EMR_STROKEPATH: C.DrawPath(true, false); break;
        case EMR_EXTTEXTOUTW: Play(DecodeEmfText(p), &TEmfPlayer::PlayExtTextOut); break;
        case EMR_STRETCHDIBITS: Play(DecodeEmfStretchDib(p), &TEmfPlayer::PlayStretchDIBits); break;
        default: break;
        }
    }

    // State
    void PlaySetWindowExtEx(const TPoint& Extent) { S.WindowExt = QSizeF(Extent.X, Extent.Y); }
    void PlaySetWindowOrgEx(const TPoint& Origin) { S.WindowOrg = C.Point(Origin); }
    void PlaySetViewportExtEx(const TPoint& Extent) { S.ViewportExt = QSizeF(Extent.X, Extent.Y); }
    void PlaySetViewportOrgEx(const TPoint& Origin) { S.ViewportOrg = C.Point(Origin); }
    void PlaySetMapMode(const uint32_t& Mode) { S.MapMode = int(Mode); }
    void PlaySetBkMode(const uint32_t& Mode) { S.OpaqueBk = Mode == OPAQUE; }
    void PlaySetPolyFillMode(const uint32_t& Mode) {
        S.Fill = Mode == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
    }
    void PlaySetTextAlign(const uint32_t& Align) { S.TextAlign = Align; }
    void PlaySetTextColor(const uint32_t& Color) { S.TextColor = ColorRef(Color); }
    void PlaySetBkColor(const uint32_t& Color) { S.BkColor = ColorRef(Color); }
    void PlayIntersectClipRect(const TRect& Box) { C.IntersectClip(C.Box(Box)); }
    void PlayRestoreDC(const uint32_t& Which) { C.RestoreDC(int32_t(Which)); }
    void PlaySetWorldTransform(const TEmfTransform& T) { S.World = Matrix(T); }
    void PlayModifyWorldTransform(const TEmfModifyTransform& M) {
        const QTransform m = Matrix(M.Transform);
        switch (M.Mode) {
        case MWT_IDENTITY: S.World = QTransform(); break;
        case MWT_LEFTMULTIPLY: S.World = m * S.World; break;
        case MWT_RIGHTMULTIPLY: S.World = S.World * m; break;
        case MWT_SET: S.World = m; break;
        default: break;
        }
    }

    // Objects
    void PlaySelectObject(const uint32_t& Index) { C.SelectObject(Index); }
    void PlayDeleteObject(const uint32_t& Index) { C.DeleteObject(Index); }
    void PlayCreatePen(const TEmfPen& Pen) {
        C.SetEmfObject(
            Pen.Index,
            {TMetafileObject::okPen, C.MakePen(Pen.Style, double(Pen.Width), Pen.Color), {}, {}, 0, 0});
    }
    void PlayCreateBrushIndirect(const TEmfBrush& Brush) {
        C.SetEmfObject(
            Brush.Index,
            {TMetafileObject::okBrush, {}, C.MakeBrush(Brush.Style, Brush.Color, Brush.Hatch), {}, 0, 0});
    }
    void PlayExtCreateFontIndirect(const TEmfFont& Font) {
        C.SetEmfObject(Font.Index, C.MakeFont(Font.Height, Font.Escapement, Font.Weight, Font.Italic,
                                              Font.Underline, Font.StrikeOut, Utf16(Font.Face)));
    }

    // Figures
    void PlayPolyBezier(const TEmfPoly& Poly) {
        if (!Poly.Points.empty()) C.Lines(C.Points(Poly.Points), false, true);
    }
    void PlayPolygon(const TEmfPoly& Poly) {
        if (!Poly.Points.empty()) C.Lines(C.Points(Poly.Points), true);
    }
    void PlayPolyline(const TEmfPoly& Poly) {
        if (!Poly.Points.empty()) C.Lines(C.Points(Poly.Points), false);
    }
    void PlayPolyBezierTo(const TEmfPoly& Poly) { FromCurrentPoint(Poly, true); }
    void PlayPolylineTo(const TEmfPoly& Poly) { FromCurrentPoint(Poly, false); }
    // Lines or curves that go on from the current point and leave it at their last point.
    void FromCurrentPoint(const TEmfPoly& Poly, bool Bezier) {
        if (Poly.Points.empty()) return;
        std::vector<QPointF> points = C.Points(Poly.Points);
        const QPointF last = points.back();
        if (C.InPath) {
            // Inside a path the figure goes on from the current point.
            if (C.Path.elementCount() == 0) C.Path.moveTo(S.Position);
            if (Bezier)
                for (size_t i = 0; i + 2 < points.size(); i += 3)
                    C.Path.cubicTo(points[i], points[i + 1], points[i + 2]);
            else
                for (const QPointF& q : points) C.Path.lineTo(q);
        } else {
            points.insert(points.begin(), S.Position);
            C.Lines(points, false, Bezier);
        }
        S.Position = last;
    }
    void PlayPolyPolyline(const TEmfPolyPoly& PP) { PolyPoly(PP, false); }
    void PlayPolyPolygon(const TEmfPolyPoly& PP) { PolyPoly(PP, true); }
    void PolyPoly(const TEmfPolyPoly& PP, bool Closed) {
        const std::vector<QPointF> points = C.Points(PP.Points);
        QPainterPath path;
        size_t at = 0;
        for (const uint32_t n : PP.Counts) {
            for (uint32_t k = 0; k < n; ++k)
                k == 0 ? path.moveTo(points[at + k]) : path.lineTo(points[at + k]);
            if (Closed) path.closeSubpath();
            at += n;
        }
        if (Closed)
            C.Shape(path, true);
        else
            C.Outline(path);
    }
    void PlayMoveToEx(const TPoint& To) {
        S.Position = C.Point(To);
        if (C.InPath) C.Path.moveTo(S.Position);
    }
    void PlayLineTo(const TPoint& To) { C.LineTo(C.Point(To)); }
    void PlayEllipse(const TRect& Box) {
        QPainterPath path;
        path.addEllipse(C.Box(Box));
        C.Shape(path, true);
    }
    void PlayRectangle(const TRect& Box) {
        QPainterPath path;
        path.addRect(C.Box(Box));
        C.Shape(path, true);
    }
    void PlayRoundRect(const TEmfRoundRect& R) {
        QPainterPath path;
        path.addRoundedRect(C.Box(R.Box), R.CornerWidth / 2.0, R.CornerHeight / 2.0);
        C.Shape(path, true);
    }
    void PlayArc(const TEmfArc& A) { C.Arc(C.akArc, C.Box(A.Box), C.Point(A.Start), C.Point(A.End)); }
    void PlayChord(const TEmfArc& A) { C.Arc(C.akChord, C.Box(A.Box), C.Point(A.Start), C.Point(A.End)); }
    void PlayPie(const TEmfArc& A) { C.Arc(C.akPie, C.Box(A.Box), C.Point(A.Start), C.Point(A.End)); }
    void PlayBeginPath() {
        C.InPath = true;
        C.Path = QPainterPath();
    }
    void PlayCloseFigure() {
        if (C.InPath) C.Path.closeSubpath();
    }

    // Text and bitmaps
    void PlayExtTextOut(const TEmfText& T) {
        std::optional<QRectF> box;
        if (T.Options & ETO_OPAQUE) box = C.Box(T.Rect);
        C.Text(C.Point(T.Reference), Utf16(T.Text), box);
    }
    void PlayStretchDIBits(const TEmfStretchDib& D) {
        C.Bitmap(D.Dib, QRectF(D.DestX, D.DestY, D.DestWidth, D.DestHeight),
                 QRectF(D.SourceX, D.SourceY, D.SourceWidth, D.SourceHeight));
    }

    TMetafileCanvas& C;
    TDrawingState& S;
};

} // namespace

void PlayEmfRecords(TMetafileCanvas& Canvas) { TEmfPlayer(Canvas).Play(); }

} // namespace ferronel::qt
