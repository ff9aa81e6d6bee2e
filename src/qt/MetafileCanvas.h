// What WMF and EMF records play into: the drawing state, the saved states, the object table, the
// path being recorded, and the shapes, lines, text and bitmaps the records draw through QPainter.
// The record players (WmfPlayer.cpp, EmfPlayer.cpp) decode each record in the host and call here.
#pragma once

#include "host/Types.h"
#include "host/formats/Metafile.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <vector>

namespace ferronel::qt {

QColor ColorRef(TColor Color);

struct TMetafileObject {
    enum TKind { okNone, okPen, okBrush, okFont, okOther } Kind = okNone;
    QPen Pen;
    QBrush Brush;
    QFont Font;
    double FontHeight = 0; // logical units, negative for character height
    double Escapement = 0; // tenths of a degree
};

struct TDrawingState {
    TMetafileObject Pen{TMetafileObject::okPen, QPen(Qt::black, 0), {}, {}, 0, 0};
    TMetafileObject Brush{TMetafileObject::okBrush, {}, QBrush(Qt::white), {}, 0, 0};
    TMetafileObject Font{TMetafileObject::okFont, {}, {}, QFont(), 12, 0};
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

class TMetafileCanvas {
public:
    TMetafileCanvas(const TMetafile& Metafile, QPainter& Painter, const QRectF& Target);

    const TMetafile& Metafile() const { return FMetafile; }

    TDrawingState State;
    std::vector<TDrawingState> Saved;
    std::vector<TMetafileObject> Objects;
    bool InPath = false;
    QPainterPath Path;

    static QRectF Box(double L, double T, double R, double B) {
        return QRectF(QPointF(L, T), QPointF(R, B)).normalized();
    }
    static QRectF Box(const TRect& R) { return Box(R.Left, R.Top, R.Right, R.Bottom); }
    static QPointF Point(const TPoint& P) { return QPointF(P.X, P.Y); }
    static std::vector<QPointF> Points(const std::vector<TPoint>& Points);

    // Logical coordinates to the target's.
    QTransform Total() const;

    // Drawing. Shapes and open figures go into the path while one is being recorded.
    void Shape(const QPainterPath& Shape, bool Filled);
    void Outline(const QPainterPath& Path);
    enum TArcKind { akArc, akChord, akPie };
    void Arc(TArcKind Kind, const QRectF& Box, QPointF Start, QPointF End);
    void Lines(const std::vector<QPointF>& Points, bool Closed, bool Bezier = false);
    void LineTo(QPointF To);
    void Text(QPointF At, const QString& Text, const std::optional<QRectF>& OpaqueBox);
    void Bitmap(const TMetafileDib& Dib, const QRectF& Dest, const QRectF& Source);
    // Ends the path being recorded and fills and/or strokes it.
    void DrawPath(bool Stroke, bool Fill);

    // Objects and states.
    int AddWmfObject(TMetafileObject Object);
    void SetEmfObject(uint32_t Index, TMetafileObject Object);
    void DeleteObject(uint32_t Index);
    void Select(const TMetafileObject& Object);
    void SelectObject(uint32_t Index); // the high bit picks a stock object
    void SaveDC() { Saved.push_back(State); }
    void RestoreDC(int32_t Which);
    void IntersectClip(const QRectF& Logical);

    static QPen MakePen(uint32_t Style, double Width, TColor Color);
    static QBrush MakeBrush(uint32_t Style, TColor Color, uint32_t Hatch);
    static TMetafileObject MakeFont(double Height, double Escapement, int Weight, bool Italic, bool Underline,
                                    bool StrikeOut, const QString& Face);

private:
    QTransform PageTransform() const;
    bool Prepare(bool Pen, bool Brush);

    const TMetafile& FMetafile;
    QPainter& P;
    QRectF FTarget;
    QRectF FFrame;
    double FPixelsPerMmX = 96 / 25.4, FPixelsPerMmY = 96 / 25.4;
};

// Play every record of the metafile's kind into the canvas.
void PlayWmfRecords(TMetafileCanvas& Canvas);
void PlayEmfRecords(TMetafileCanvas& Canvas);

} // namespace ferronel::qt
