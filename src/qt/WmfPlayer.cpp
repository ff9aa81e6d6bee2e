// WMF records onto the metafile canvas: one function a record, fed by the host's decoders. Records
// the decoders refuse are damaged and left out.
#include "host/formats/WmfRecords.h"
#include "qt/MetafileCanvas.h"

namespace ferronel::qt {

namespace {

class TWmfPlayer {
public:
    explicit TWmfPlayer(TMetafileCanvas& Canvas) : C(Canvas), S(Canvas.State) {}

    void Play() {
        const TMetafile& m = C.Metafile();
        for (const TMetafileRecord& r : m.Records()) Dispatch(r.Type, m.Parameters(r));
    }

private:
    using TParams = std::span<const uint8_t>;

    // Calls Record with the decoded parameters, or leaves the record out when they did not decode.
    template <typename T> void Play(const std::optional<T>& Params, void (TWmfPlayer::*Record)(const T&)) {
        if (Params) (this->*Record)(*Params);
    }

    void Dispatch(uint32_t Function, TParams p) {
        switch (Function) {
        case META_SETBKCOLOR: Play(DecodeWmfColor(p), &TWmfPlayer::PlaySetBkColor); break;
        case META_SETBKMODE: Play(DecodeWmfValue(p), &TWmfPlayer::PlaySetBkMode); break;
        case META_SETMAPMODE: Play(DecodeWmfValue(p), &TWmfPlayer::PlaySetMapMode); break;
        case META_SETPOLYFILLMODE: Play(DecodeWmfValue(p), &TWmfPlayer::PlaySetPolyFillMode); break;
        case META_SETTEXTALIGN: Play(DecodeWmfValue(p), &TWmfPlayer::PlaySetTextAlign); break;
        case META_SETTEXTCOLOR: Play(DecodeWmfColor(p), &TWmfPlayer::PlaySetTextColor); break;
        case META_SETWINDOWORG: Play(DecodeWmfPoint(p), &TWmfPlayer::PlaySetWindowOrg); break;
        case META_SETWINDOWEXT: Play(DecodeWmfPoint(p), &TWmfPlayer::PlaySetWindowExt); break;
        case META_OFFSETWINDOWORG: Play(DecodeWmfPoint(p), &TWmfPlayer::PlayOffsetWindowOrg); break;
        case META_MOVETO: Play(DecodeWmfPoint(p), &TWmfPlayer::PlayMoveTo); break;
        case META_LINETO: Play(DecodeWmfPoint(p), &TWmfPlayer::PlayLineTo); break;
        case META_RECTANGLE: Play(DecodeWmfRect(p), &TWmfPlayer::PlayRectangle); break;
        case META_ROUNDRECT: Play(DecodeWmfRoundRect(p), &TWmfPlayer::PlayRoundRect); break;
        case META_ELLIPSE: Play(DecodeWmfRect(p), &TWmfPlayer::PlayEllipse); break;
        case META_ARC: Play(DecodeWmfArc(p), &TWmfPlayer::PlayArc); break;
        case META_CHORD: Play(DecodeWmfArc(p), &TWmfPlayer::PlayChord); break;
        case META_PIE: Play(DecodeWmfArc(p), &TWmfPlayer::PlayPie); break;
        case META_POLYGON: Play(DecodeWmfPoly(p), &TWmfPlayer::PlayPolygon); break;
        case META_POLYLINE: Play(DecodeWmfPoly(p), &TWmfPlayer::PlayPolyline); break;
        case META_POLYPOLYGON: Play(DecodeWmfPolyPolygon(p), &TWmfPlayer::PlayPolyPolygon); break;
        case META_TEXTOUT: Play(DecodeWmfTextOut(p), &TWmfPlayer::PlayTextOut); break;
        case META_EXTTEXTOUT: Play(DecodeWmfExtTextOut(p), &TWmfPlayer::PlayExtTextOut); break;
        case META_CREATEPENINDIRECT: Play(DecodeWmfPen(p), &TWmfPlayer::PlayCreatePenIndirect); break;
        case META_CREATEBRUSHINDIRECT: Play(DecodeWmfBrush(p), &TWmfPlayer::PlayCreateBrushIndirect); break;
        case META_CREATEFONTINDIRECT: PlayCreateFontIndirect(DecodeWmfFont(p)); break;
        case META_CREATEPALETTE:
        case META_CREATEREGION:
        case META_DIBCREATEPATTERNBRUSH:
        case META_CREATEPATTERNBRUSH: PlayCreateUnusedObject(); break;
        case META_SELECTOBJECT: Play(DecodeWmfValue(p), &TWmfPlayer::PlaySelectObject); break;
        case META_DELETEOBJECT: Play(DecodeWmfValue(p), &TWmfPlayer::PlayDeleteObject); break;
        case META_SAVEDC: C.SaveDC(); break;
        case META_RESTOREDC: Play(DecodeWmfValue(p), &TWmfPlayer::PlayRestoreDC); break;
        case META_INTERSECTCLIPRECT: Play(DecodeWmfRect(p), &TWmfPlayer::PlayIntersectClipRect); break;
        case META_STRETCHDIB: Play(DecodeWmfStretchDib(p), &TWmfPlayer::PlayStretchDib); break;
        case META_DIBSTRETCHBLT: Play(DecodeWmfDibStretchBlt(p), &TWmfPlayer::PlayStretchDib); break;
        default: break;
        }
    }

    // State
    void PlaySetBkColor(const TColor& Color) { S.BkColor = ColorRef(Color); }
    void PlaySetBkMode(const uint16_t& Mode) { S.OpaqueBk = Mode == OPAQUE; }
    void PlaySetMapMode(const uint16_t& Mode) { S.MapMode = int(Mode); }
    void PlaySetPolyFillMode(const uint16_t& Mode) {
        S.Fill = Mode == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
    }
    void PlaySetTextAlign(const uint16_t& Align) { S.TextAlign = Align; }
    void PlaySetTextColor(const TColor& Color) { S.TextColor = ColorRef(Color); }
    void PlaySetWindowOrg(const TPoint& Origin) { S.WindowOrg = C.Point(Origin); }
    void PlaySetWindowExt(const TPoint& Extent) {
        S.WindowExt = QSizeF(Extent.X, Extent.Y);
        S.WindowSet = true;
    }
    void PlayOffsetWindowOrg(const TPoint& Offset) { S.WindowOrg += C.Point(Offset); }
    void PlayRestoreDC(const uint16_t& Which) { C.RestoreDC(int16_t(Which)); }
    void PlayIntersectClipRect(const TRect& Box) { C.IntersectClip(C.Box(Box)); }

    // Objects. Every object record takes a slot, even those the player does not draw with.
    void PlayCreatePenIndirect(const TWmfPen& Pen) {
        C.AddWmfObject({TMetafileObject::okPen, C.MakePen(Pen.Style, Pen.Width, Pen.Color), {}, {}, 0, 0});
    }
    void PlayCreateBrushIndirect(const TWmfBrush& Brush) {
        C.AddWmfObject(
            {TMetafileObject::okBrush, {}, C.MakeBrush(Brush.Style, Brush.Color, Brush.Hatch), {}, 0, 0});
    }
    void PlayCreateFontIndirect(const std::optional<TWmfFont>& Font) {
        if (!Font) {
            PlayCreateUnusedObject(); // keeps the numbering of the objects after it
            return;
        }
        C.AddWmfObject(C.MakeFont(Font->Height, Font->Escapement, Font->Weight, Font->Italic, Font->Underline,
                                  Font->StrikeOut,
                                  QString::fromLatin1(Font->Face.data(), qsizetype(Font->Face.size()))));
    }
    void PlayCreateUnusedObject() { C.AddWmfObject({TMetafileObject::okOther, {}, {}, {}, 0, 0}); }
    void PlaySelectObject(const uint16_t& Index) {
        if (Index < C.Objects.size()) C.Select(C.Objects[Index]);
    }
    void PlayDeleteObject(const uint16_t& Index) { C.DeleteObject(Index); }

    // Drawing
    void PlayMoveTo(const TPoint& To) { S.Position = C.Point(To); }
    void PlayLineTo(const TPoint& To) { C.LineTo(C.Point(To)); }
    static QPainterPath RectPath(const QRectF& Box) {
        QPainterPath path;
        path.addRect(Box);
        return path;
    }
    void PlayRectangle(const TRect& Box) { C.Shape(RectPath(C.Box(Box)), true); }
    void PlayRoundRect(const TWmfRoundRect& R) {
        QPainterPath path;
        path.addRoundedRect(C.Box(R.Box), R.CornerWidth / 2.0, R.CornerHeight / 2.0);
        C.Shape(path, true);
    }
    void PlayEllipse(const TRect& Box) {
        QPainterPath path;
        path.addEllipse(C.Box(Box));
        C.Shape(path, true);
    }
    void PlayArc(const TWmfArc& A) { C.Arc(C.akArc, C.Box(A.Box), C.Point(A.Start), C.Point(A.End)); }
    void PlayChord(const TWmfArc& A) { C.Arc(C.akChord, C.Box(A.Box), C.Point(A.Start), C.Point(A.End)); }
    void PlayPie(const TWmfArc& A) { C.Arc(C.akPie, C.Box(A.Box), C.Point(A.Start), C.Point(A.End)); }
    void PlayPolygon(const std::vector<TPoint>& Points) { C.Lines(C.Points(Points), true); }
    void PlayPolyline(const std::vector<TPoint>& Points) { C.Lines(C.Points(Points), false); }
    void PlayPolyPolygon(const TWmfPolyPolygon& PP) {
        const std::vector<QPointF> points = C.Points(PP.Points);
        QPainterPath path;
        size_t at = 0;
        for (const uint16_t n : PP.Counts) {
            if (n) path.addPolygon(QPolygonF(QList<QPointF>(points.begin() + at, points.begin() + at + n)));
            path.closeSubpath();
            at += n;
        }
        C.Shape(path, true);
    }
    static QString Latin1(const std::string& Text) {
        return QString::fromLatin1(Text.data(), qsizetype(Text.size()));
    }
    void PlayTextOut(const TWmfText& T) { C.Text(C.Point(T.Origin), Latin1(T.Text), std::nullopt); }
    void PlayExtTextOut(const TWmfText& T) {
        std::optional<QRectF> box;
        if (T.Rect && (T.Options & ETO_OPAQUE)) box = C.Box(*T.Rect);
        C.Text(C.Point(T.Origin), Latin1(T.Text), box);
    }
    void PlayStretchDib(const TWmfStretchDib& D) {
        C.Bitmap(D.Dib, C.Box(D.DestX, D.DestY, D.DestX + D.DestWidth, D.DestY + D.DestHeight),
                 QRectF(D.SourceX, D.SourceY, D.SourceWidth, D.SourceHeight));
    }

    TMetafileCanvas& C;
    TDrawingState& S;
};

} // namespace

void PlayWmfRecords(TMetafileCanvas& Canvas) { TWmfPlayer(Canvas).Play(); }

} // namespace ferronel::qt
