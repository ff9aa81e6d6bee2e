#include "host/formats/WmfRecords.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"

namespace ferronel {

namespace {

using TParams = std::span<const uint8_t>;

TPoint ReadPointYX(TByteReader& r) {
    const int16_t y = r.S16LE();
    const int16_t x = r.S16LE();
    return TPoint{x, y};
}

TRect ReadRectBottomUp(TByteReader& r) {
    TRect box;
    box.Bottom = r.S16LE();
    box.Right = r.S16LE();
    box.Top = r.S16LE();
    box.Left = r.S16LE();
    return box;
}

TRect ReadRectTopDown(TByteReader& r) {
    TRect box;
    box.Left = r.S16LE();
    box.Top = r.S16LE();
    box.Right = r.S16LE();
    box.Bottom = r.S16LE();
    return box;
}

// Count points stored x first; the caller has checked they are there.
std::vector<TPoint> ReadPoints(TByteReader& r, size_t Count) {
    std::vector<TPoint> points(Count);
    for (TPoint& p : points) {
        p.X = r.S16LE();
        p.Y = r.S16LE();
    }
    return points;
}

// The bitmap that fills the rest of a record: its info header, then colour table and pixels.
std::optional<TMetafileDib> ReadDib(TByteReader& r) {
    const std::span<const uint8_t> dib = r.Bytes(r.Remaining());
    if (!MetafileDibInfoFits(dib)) return std::nullopt;
    const size_t headerSize = LoadU32LE(dib.data());
    return TMetafileDib{dib.first(headerSize), dib.subspan(headerSize)};
}

// The coordinates both stretching records share, last to first.
void ReadStretch(TByteReader& r, TWmfStretchDib& s) {
    s.SourceHeight = r.S16LE();
    s.SourceWidth = r.S16LE();
    s.SourceY = r.S16LE();
    s.SourceX = r.S16LE();
    s.DestHeight = r.S16LE();
    s.DestWidth = r.S16LE();
    s.DestY = r.S16LE();
    s.DestX = r.S16LE();
}

} // namespace

std::optional<uint16_t> DecodeWmfValue(TParams Params) {
    if (Params.size() < 2) return std::nullopt;
    return LoadU16LE(Params.data());
}

std::optional<TColor> DecodeWmfColor(TParams Params) {
    if (Params.size() < 4) return std::nullopt;
    return LoadU32LE(Params.data());
}

std::optional<TPoint> DecodeWmfPoint(TParams Params) {
    if (Params.size() < 4) return std::nullopt;
    TByteReader r(Params);
    return ReadPointYX(r);
}

std::optional<TRect> DecodeWmfRect(TParams Params) {
    if (Params.size() < 8) return std::nullopt;
    TByteReader r(Params);
    return ReadRectBottomUp(r);
}

std::optional<TWmfRoundRect> DecodeWmfRoundRect(TParams Params) {
    if (Params.size() < 12) return std::nullopt;
    TByteReader r(Params);
    TWmfRoundRect rr;
    rr.CornerHeight = r.S16LE();
    rr.CornerWidth = r.S16LE();
    rr.Box = ReadRectBottomUp(r);
    return rr;
}

std::optional<TWmfArc> DecodeWmfArc(TParams Params) {
    if (Params.size() < 16) return std::nullopt;
    TByteReader r(Params);
    TWmfArc arc;
    arc.End = ReadPointYX(r);
    arc.Start = ReadPointYX(r);
    arc.Box = ReadRectBottomUp(r);
    return arc;
}

std::optional<std::vector<TPoint>> DecodeWmfPoly(TParams Params) {
    if (Params.size() < 2) return std::nullopt;
    TByteReader r(Params);
    const uint16_t count = r.U16LE();
    if (!r.Has(CheckedMul(count, 4))) return std::nullopt;
    return ReadPoints(r, count);
}

std::optional<TWmfPolyPolygon> DecodeWmfPolyPolygon(TParams Params) {
    if (Params.size() < 2) return std::nullopt;
    TByteReader r(Params);
    const uint16_t polygons = r.U16LE();
    if (!r.Has(CheckedMul(polygons, 2))) return std::nullopt;
    TWmfPolyPolygon pp;
    pp.Counts.resize(polygons);
    uint64_t total = 0;
    for (uint16_t& n : pp.Counts) {
        n = r.U16LE();
        total = CheckedAdd(total, n);
    }
    if (!r.Has(CheckedMul(total, 4))) return std::nullopt;
    pp.Points = ReadPoints(r, size_t(total));
    return pp;
}

std::optional<TWmfText> DecodeWmfTextOut(TParams Params) {
    if (Params.size() < 2) return std::nullopt;
    TByteReader r(Params);
    const uint16_t count = r.U16LE();
    // The string is padded to whole words; the origin follows it.
    if (!r.Has(CheckedAdd(count, count & 1, 4))) return std::nullopt;
    TWmfText t;
    const std::span<const uint8_t> text = r.Bytes(count);
    t.Text.assign(text.begin(), text.end());
    r.Skip(count & 1);
    t.Origin = ReadPointYX(r);
    return t;
}

std::optional<TWmfText> DecodeWmfExtTextOut(TParams Params) {
    if (Params.size() < 8) return std::nullopt;
    TByteReader r(Params);
    TWmfText t;
    t.Origin = ReadPointYX(r);
    const uint16_t count = r.U16LE();
    t.Options = r.U16LE();
    if (t.Options & (ETO_OPAQUE | ETO_CLIPPED)) {
        if (!r.Has(8)) return std::nullopt;
        t.Rect = ReadRectTopDown(r);
    }
    // Character advances may follow the string; the player does not use them.
    if (!r.Has(count)) return std::nullopt;
    const std::span<const uint8_t> text = r.Bytes(count);
    t.Text.assign(text.begin(), text.end());
    return t;
}

std::optional<TWmfPen> DecodeWmfPen(TParams Params) {
    if (Params.size() < 10) return std::nullopt;
    TByteReader r(Params);
    TWmfPen pen;
    pen.Style = r.U16LE();
    pen.Width = r.S16LE();
    r.Skip(2); // the width is a point whose y is unused
    pen.Color = r.U32LE();
    return pen;
}

std::optional<TWmfBrush> DecodeWmfBrush(TParams Params) {
    if (Params.size() < 8) return std::nullopt;
    TByteReader r(Params);
    TWmfBrush brush;
    brush.Style = r.U16LE();
    brush.Color = r.U32LE();
    brush.Hatch = r.U16LE();
    return brush;
}

std::optional<TWmfFont> DecodeWmfFont(TParams Params) {
    if (Params.size() < 18) return std::nullopt;
    TByteReader r(Params);
    TWmfFont f;
    f.Height = r.S16LE();
    f.Width = r.S16LE();
    f.Escapement = r.S16LE();
    f.Orientation = r.S16LE();
    f.Weight = r.S16LE();
    f.Italic = r.U8();
    f.Underline = r.U8();
    f.StrikeOut = r.U8();
    f.CharSet = r.U8();
    f.OutPrecision = r.U8();
    f.ClipPrecision = r.U8();
    f.Quality = r.U8();
    f.PitchAndFamily = r.U8();
    // Writers leave the face name short of its 32 bytes; what the record holds is what there is.
    while (r.Has(1) && f.Face.size() < 32) {
        const uint8_t c = r.U8();
        if (c == 0) break;
        f.Face.push_back(char(c));
    }
    return f;
}

std::optional<TWmfStretchDib> DecodeWmfStretchDib(TParams Params) {
    if (Params.size() < 22) return std::nullopt;
    TByteReader r(Params);
    TWmfStretchDib s;
    s.RasterOp = r.U32LE();
    s.Usage = r.U16LE();
    ReadStretch(r, s);
    const auto dib = ReadDib(r);
    if (!dib) return std::nullopt;
    s.Dib = *dib;
    return s;
}

std::optional<TWmfStretchDib> DecodeWmfDibStretchBlt(TParams Params) {
    if (Params.size() < 20) return std::nullopt;
    TByteReader r(Params);
    TWmfStretchDib s;
    s.RasterOp = r.U32LE();
    ReadStretch(r, s);
    const auto dib = ReadDib(r);
    if (!dib) return std::nullopt;
    s.Dib = *dib;
    return s;
}

} // namespace ferronel
