// The parameters of the EMF records the player draws, decoded into typed values. Parameters are
// 32-bit little-endian values (16-bit points in the "16" records); offsets stored inside a record
// count from the record's start, 8 bytes before its parameters. Every decoder answers std::nullopt
// when the record is too short for its fixed fields, or when a count, offset, string or bitmap
// inside it would reach past its end: such a record is damaged and the player leaves it out. A
// decoder never reads outside the span it is given and never throws.
#pragma once

#include "host/Types.h"
#include "host/formats/Metafile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferronel {

enum TEmfRecordType : uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_MOVETOEX = 27,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_LINETO = 54,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_EXTCREATEPEN = 95,
};

// How a world transform record changes the current one.
enum TEmfTransformMode : uint32_t {
    MWT_IDENTITY = 1,
    MWT_LEFTMULTIPLY = 2,
    MWT_RIGHTMULTIPLY = 3,
    MWT_SET = 4
};

// Objects every picture may select without making them: an object index with the high bit set.
enum TEmfStockObject : uint32_t {
    ENHMETA_STOCK_OBJECT = 0x80000000,
    WHITE_BRUSH = 0,
    LTGRAY_BRUSH,
    GRAY_BRUSH,
    DKGRAY_BRUSH,
    BLACK_BRUSH,
    NULL_BRUSH,
    WHITE_PEN,
    BLACK_PEN,
    NULL_PEN
};

struct TEmfRoundRect {
    TRect Box;
    int32_t CornerWidth = 0, CornerHeight = 0;
};

// Arc, chord and pie: the ellipse's box and the points that fix where the curve starts and ends.
struct TEmfArc {
    TRect Box;
    TPoint Start, End;
};

// One figure of points (Bézier curves, polygons, polylines, with or without the current point).
struct TEmfPoly {
    TRect Bounds;
    std::vector<TPoint> Points;
};

// Several figures; Counts add up to no more than Points.size().
struct TEmfPolyPoly {
    TRect Bounds;
    std::vector<uint32_t> Counts;
    std::vector<TPoint> Points;
};

// A 2 x 3 matrix. Entries that are not finite numbers read as 0, so that no damaged matrix reaches
// the drawing.
struct TEmfTransform {
    float M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
};

struct TEmfModifyTransform {
    TEmfTransform Transform;
    uint32_t Mode = 0;
};

// A pen from either pen record; Index is its slot in the object table.
struct TEmfPen {
    uint32_t Index = 0;
    uint32_t Style = 0;
    int64_t Width = 0; // signed in the simple record, unsigned in the extended one
    TColor Color = 0;
};

struct TEmfBrush {
    uint32_t Index = 0;
    uint32_t Style = 0;
    TColor Color = 0;
    uint32_t Hatch = 0;
};

struct TEmfFont {
    uint32_t Index = 0;
    int32_t Height = 0, Width = 0, Escapement = 0, Orientation = 0, Weight = 0;
    uint8_t Italic = 0, Underline = 0, StrikeOut = 0, CharSet = 0;
    uint8_t OutPrecision = 0, ClipPrecision = 0, Quality = 0, PitchAndFamily = 0;
    std::u16string Face; // up to 32 units, ended by the first zero
};

struct TEmfText {
    TRect Bounds;
    uint32_t GraphicsMode = 0;
    float XScale = 0, YScale = 0;
    TPoint Reference;
    uint32_t Options = 0;
    TRect Rect;
    std::u16string Text;
};

// A stretched bitmap: the source rectangle in the bitmap's pixels onto the destination rectangle.
struct TEmfStretchDib {
    TRect Bounds;
    int32_t DestX = 0, DestY = 0, SourceX = 0, SourceY = 0, SourceWidth = 0, SourceHeight = 0;
    uint32_t Usage = 0, RasterOp = 0;
    int32_t DestWidth = 0, DestHeight = 0;
    TMetafileDib Dib;
};

// One 32-bit value: modes, colours, text alignment, object indices, the saved state to go back to.
std::optional<uint32_t> DecodeEmfValue(std::span<const uint8_t> Params);
// A point or size: window and viewport origin and extent, moves and lines.
std::optional<TPoint> DecodeEmfPoint(std::span<const uint8_t> Params);
// A rectangle stored left, top, right, bottom: rectangles, ellipses, clipping.
std::optional<TRect> DecodeEmfRect(std::span<const uint8_t> Params);
std::optional<TEmfRoundRect> DecodeEmfRoundRect(std::span<const uint8_t> Params);
std::optional<TEmfArc> DecodeEmfArc(std::span<const uint8_t> Params);
// Points16 for the records that store 16-bit points.
std::optional<TEmfPoly> DecodeEmfPoly(std::span<const uint8_t> Params, bool Points16);
std::optional<TEmfPolyPoly> DecodeEmfPolyPoly(std::span<const uint8_t> Params, bool Points16);
std::optional<TEmfTransform> DecodeEmfTransform(std::span<const uint8_t> Params);
std::optional<TEmfModifyTransform> DecodeEmfModifyTransform(std::span<const uint8_t> Params);
std::optional<TEmfPen> DecodeEmfPen(std::span<const uint8_t> Params);
std::optional<TEmfPen> DecodeEmfExtPen(std::span<const uint8_t> Params);
std::optional<TEmfBrush> DecodeEmfBrush(std::span<const uint8_t> Params);
std::optional<TEmfFont> DecodeEmfFont(std::span<const uint8_t> Params);
std::optional<TEmfText> DecodeEmfText(std::span<const uint8_t> Params);
std::optional<TEmfStretchDib> DecodeEmfStretchDib(std::span<const uint8_t> Params);

} // namespace ferronel
