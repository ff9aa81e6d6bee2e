#include "host/formats/EmfRecords.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"

#include <cmath>

namespace ferronel {

namespace {

using TParams = std::span<const uint8_t>;

// Offsets inside a record count from its start, which lies this far before the parameters.
constexpr uint32_t RecordHead = 8;

TRect ReadRect(TByteReader& r) {
    TRect box;
    box.Left = r.S32LE();
    box.Top = r.S32LE();
    box.Right = r.S32LE();
    box.Bottom = r.S32LE();
    return box;
}

TPoint ReadPoint(TByteReader& r) {
    TPoint p;
    p.X = r.S32LE();
    p.Y = r.S32LE();
    return p;
}

float ReadFinite(TByteReader& r) {
    const float f = r.F32LE();
    return std::isfinite(f) ? f : 0.0f;
}

TEmfTransform ReadTransform(TByteReader& r) {
    TEmfTransform t;
    t.M11 = ReadFinite(r);
    t.M12 = ReadFinite(r);
    t.M21 = ReadFinite(r);
    t.M22 = ReadFinite(r);
    t.Dx = ReadFinite(r);
    t.Dy = ReadFinite(r);
    return t;
}

// Count points of 16 or 32 bits a coordinate, or nothing when they are not all there.
std::optional<std::vector<TPoint>> ReadPoints(TByteReader& r, uint64_t Count, bool Points16) {
    if (!r.Has(CheckedMul(Count, Points16 ? 4 : 8))) return std::nullopt;
    std::vector<TPoint> points(static_cast<size_t>(Count));
    for (TPoint& p : points) {
        p.X = Points16 ? r.S16LE() : r.S32LE();
        p.Y = Points16 ? r.S16LE() : r.S32LE();
    }
    return points;
}

// The bytes at a record offset, or nothing when they lie outside the parameters.
std::optional<std::span<const uint8_t>> AtOffset(TParams Params, uint32_t Offset, uint32_t Count) {
    if (Offset < RecordHead) return std::nullopt;
    const uint64_t at = Offset - RecordHead;
    if (CheckedAdd(at, Count) > Params.size()) return std::nullopt;
    return Params.subspan(size_t(at), Count);
}

} // namespace

std::optional<uint32_t> DecodeEmfValue(TParams Params) {
    if (Params.size() < 4) return std::nullopt;
    return LoadU32LE(Params.data());
}

std::optional<TPoint> DecodeEmfPoint(TParams Params) {
    if (Params.size() < 8) return std::nullopt;
    TByteReader r(Params);
    return ReadPoint(r);
}

std::optional<TRect> DecodeEmfRect(TParams Params) {
    if (Params.size() < 16) return std::nullopt;
    TByteReader r(Params);
    return ReadRect(r);
}

std::optional<TEmfRoundRect> DecodeEmfRoundRect(TParams Params) {
    if (Params.size() < 24) return std::nullopt;
    TByteReader r(Params);
    TEmfRoundRect rr;
    rr.Box = ReadRect(r);
    rr.CornerWidth = r.S32LE();
    rr.CornerHeight = r.S32LE();
    return rr;
}

std::optional<TEmfArc> DecodeEmfArc(TParams Params) {
    if (Params.size() < 32) return std::nullopt;
    TByteReader r(Params);
    TEmfArc arc;
    arc.Box = ReadRect(r);
    arc.Start = ReadPoint(r);
    arc.End = ReadPoint(r);
    return arc;
}

std::optional<TEmfPoly> DecodeEmfPoly(TParams Params, bool Points16) {
    if (Params.size() < 20) return std::nullopt;
    TByteReader r(Params);
    TEmfPoly poly;
    poly.Bounds = ReadRect(r);
    const uint32_t count = r.U32LE();
    auto points = ReadPoints(r, count, Points16);
    if (!points) return std::nullopt;
    poly.Points = std::move(*points);
    return poly;
}

std::optional<TEmfPolyPoly> DecodeEmfPolyPoly(TParams Params, bool Points16) {
    if (Params.size() < 24) return std::nullopt;
    TByteReader r(Params);
    TEmfPolyPoly pp;
    pp.Bounds = ReadRect(r);
    const uint32_t figures = r.U32LE(), total = r.U32LE();
    if (!r.Has(CheckedMul(figures, 4))) return std::nullopt;
    pp.Counts.resize(figures);
    uint64_t used = 0;
    for (uint32_t& n : pp.Counts) {
        n = r.U32LE();
        used = CheckedAdd(used, n);
    }
    if (used > total) return std::nullopt;
    auto points = ReadPoints(r, total, Points16);
    if (!points) return std::nullopt;
    pp.Points = std::move(*points);
    return pp;
}

std::optional<TEmfTransform> DecodeEmfTransform(TParams Params) {
    if (Params.size() < 24) return std::nullopt;
    TByteReader r(Params);
    return ReadTransform(r);
}

std::optional<TEmfModifyTransform> DecodeEmfModifyTransform(TParams Params) {
    if (Params.size() < 28) return std::nullopt;
    TByteReader r(Params);
    TEmfModifyTransform m;
    m.Transform = ReadTransform(r);
    m.Mode = r.U32LE();
    return m;
}

std::optional<TEmfPen> DecodeEmfPen(TParams Params) {
    if (Params.size() < 20) return std::nullopt;
    TByteReader r(Params);
    TEmfPen pen;
    pen.Index = r.U32LE();
    pen.Style = r.U32LE();
    pen.Width = r.S32LE();
    r.Skip(4); // the width is a point whose y is unused
    pen.Color = r.U32LE();
    return pen;
}

std::optional<TEmfPen> DecodeEmfExtPen(TParams Params) {
    if (Params.size() < 36) return std::nullopt;
    TByteReader r(Params);
    TEmfPen pen;
    pen.Index = r.U32LE();
    r.Skip(16); // where a pattern bitmap would be; the player draws solid pens only
    pen.Style = r.U32LE();
    pen.Width = r.U32LE();
    r.Skip(4); // brush style
    pen.Color = r.U32LE();
    return pen;
}

std::optional<TEmfBrush> DecodeEmfBrush(TParams Params) {
    if (Params.size() < 16) return std::nullopt;
    TByteReader r(Params);
    TEmfBrush brush;
    brush.Index = r.U32LE();
    brush.Style = r.U32LE();
    brush.Color = r.U32LE();
    brush.Hatch = r.U32LE();
    return brush;
}

std::optional<TEmfFont> DecodeEmfFont(TParams Params) {
    constexpr size_t FaceUnits = 32;
    if (Params.size() < 4 + 28 + 2 * FaceUnits) return std::nullopt;
    TByteReader r(Params);
    TEmfFont f;
    f.Index = r.U32LE();
    f.Height = r.S32LE();
    f.Width = r.S32LE();
    f.Escapement = r.S32LE();
    f.Orientation = r.S32LE();
    f.Weight = r.S32LE();
    f.Italic = r.U8();
    f.Underline = r.U8();
    f.StrikeOut = r.U8();
    f.CharSet = r.U8();
    f.OutPrecision = r.U8();
    f.ClipPrecision = r.U8();
    f.Quality = r.U8();
    f.PitchAndFamily = r.U8();
    for (size_t i = 0; i < FaceUnits; ++i) {
        const uint16_t c = r.U16LE();
        if (c == 0) break;
        f.Face.push_back(char16_t(c));
    }
    return f;
}

std::optional<TEmfText> DecodeEmfText(TParams Params) {
    if (Params.size() < 68) return std::nullopt;
    TByteReader r(Params);
    TEmfText t;
    t.Bounds = ReadRect(r);
    t.GraphicsMode = r.U32LE();
    t.XScale = ReadFinite(r);
    t.YScale = ReadFinite(r);
    t.Reference = ReadPoint(r);
    const uint32_t count = r.U32LE(), offString = r.U32LE();
    t.Options = r.U32LE();
    t.Rect = ReadRect(r);
    // The character advances the record may carry are not used.
    if (count > Params.size() / 2) return std::nullopt;
    const auto text = AtOffset(Params, offString, count * 2);
    if (!text) return std::nullopt;
    TByteReader s(*text);
    t.Text.resize(count);
    for (char16_t& c : t.Text) c = char16_t(s.U16LE());
    return t;
}

std::optional<TEmfStretchDib> DecodeEmfStretchDib(TParams Params) {
    if (Params.size() < 72) return std::nullopt;
    TByteReader r(Params);
    TEmfStretchDib s;
    s.Bounds = ReadRect(r);
    s.DestX = r.S32LE();
    s.DestY = r.S32LE();
    s.SourceX = r.S32LE();
    s.SourceY = r.S32LE();
    s.SourceWidth = r.S32LE();
    s.SourceHeight = r.S32LE();
    const uint32_t offInfo = r.U32LE(), infoSize = r.U32LE(), offBits = r.U32LE(), bitsSize = r.U32LE();
    s.Usage = r.U32LE();
    s.RasterOp = r.U32LE();
    s.DestWidth = r.S32LE();
    s.DestHeight = r.S32LE();
    const auto info = AtOffset(Params, offInfo, infoSize);
    const auto bits = AtOffset(Params, offBits, bitsSize);
    if (!info || !bits || !MetafileDibInfoFits(*info)) return std::nullopt;
    s.Dib = TMetafileDib{*info, *bits};
    return s;
}

} // namespace ferronel
