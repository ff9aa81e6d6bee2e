// The parameters of the WMF records the player draws, decoded into typed values. Parameters are
// 16-bit little-endian words; many records list their coordinates last to first, which the
// decoders undo. Every decoder answers std::nullopt when the record is too short for its fixed
// fields, or when a count, string or bitmap inside it would reach past its end: such a record is
// damaged and the player leaves it out. A decoder never reads outside the span it is given and
// never throws.
#pragma once

#include "host/Types.h"
#include "host/formats/Metafile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferronel {

enum TWmfFunction : uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_OFFSETWINDOWORG = 0x020F,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_EXTTEXTOUT = 0x0A32,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
};

struct TWmfRoundRect {
    TRect Box;
    int16_t CornerWidth = 0, CornerHeight = 0;
};

// Arc, chord and pie: the ellipse's box and the points that fix where the curve starts and ends.
struct TWmfArc {
    TRect Box;
    TPoint Start, End;
};

// Polygons drawn as one figure; Counts add up to Points.size().
struct TWmfPolyPolygon {
    std::vector<uint16_t> Counts;
    std::vector<TPoint> Points;
};

// Text output, plain or with options. Text holds the string's bytes in the file's code page.
struct TWmfText {
    TPoint Origin;
    uint16_t Options = 0;
    std::optional<TRect> Rect; // present when the options ask for an opaque or clipping box
    std::string Text;
};

struct TWmfPen {
    uint16_t Style = 0;
    int16_t Width = 0;
    TColor Color = 0;
};

struct TWmfBrush {
    uint16_t Style = 0;
    TColor Color = 0;
    uint16_t Hatch = 0;
};

struct TWmfFont {
    int16_t Height = 0, Width = 0, Escapement = 0, Orientation = 0, Weight = 0;
    uint8_t Italic = 0, Underline = 0, StrikeOut = 0, CharSet = 0;
    uint8_t OutPrecision = 0, ClipPrecision = 0, Quality = 0, PitchAndFamily = 0;
    std::string Face; // up to 32 bytes, ended by the first zero
};

// A stretched bitmap: the source rectangle in the bitmap's pixels onto the destination rectangle.
// Usage is 0 for the records that carry none.
struct TWmfStretchDib {
    uint32_t RasterOp = 0;
    uint16_t Usage = 0;
    int16_t SourceX = 0, SourceY = 0, SourceWidth = 0, SourceHeight = 0;
    int16_t DestX = 0, DestY = 0, DestWidth = 0, DestHeight = 0;
    TMetafileDib Dib;
};

// One 16-bit value: modes, text alignment, object indices, the saved state to go back to.
std::optional<uint16_t> DecodeWmfValue(std::span<const uint8_t> Params);
std::optional<TColor> DecodeWmfColor(std::span<const uint8_t> Params);
// A point stored y first: window origin and extent, moves and lines.
std::optional<TPoint> DecodeWmfPoint(std::span<const uint8_t> Params);
// A rectangle stored bottom, right, top, left: rectangles, ellipses, clipping.
std::optional<TRect> DecodeWmfRect(std::span<const uint8_t> Params);
std::optional<TWmfRoundRect> DecodeWmfRoundRect(std::span<const uint8_t> Params);
std::optional<TWmfArc> DecodeWmfArc(std::span<const uint8_t> Params);
// A count and that many points: polygons and polylines.
std::optional<std::vector<TPoint>> DecodeWmfPoly(std::span<const uint8_t> Params);
std::optional<TWmfPolyPolygon> DecodeWmfPolyPolygon(std::span<const uint8_t> Params);
std::optional<TWmfText> DecodeWmfTextOut(std::span<const uint8_t> Params);
std::optional<TWmfText> DecodeWmfExtTextOut(std::span<const uint8_t> Params);
std::optional<TWmfPen> DecodeWmfPen(std::span<const uint8_t> Params);
std::optional<TWmfBrush> DecodeWmfBrush(std::span<const uint8_t> Params);
std::optional<TWmfFont> DecodeWmfFont(std::span<const uint8_t> Params);
std::optional<TWmfStretchDib> DecodeWmfStretchDib(std::span<const uint8_t> Params);
std::optional<TWmfStretchDib> DecodeWmfDibStretchBlt(std::span<const uint8_t> Params);

} // namespace ferronel
