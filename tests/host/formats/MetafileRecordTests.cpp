#include "host/Exceptions.h"
#include "host/Stream.h"
#include "host/formats/EmfRecords.h"
#include "host/formats/Metafile.h"
#include "host/formats/WmfRecords.h"
#include "support/MetafileBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace ferronel {
namespace {

using test::Longs;
using test::TEmfBuilder;
using test::TWmfBuilder;
using test::Words;
using Bytes = std::vector<uint8_t>;

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A 2 x 1 24-bit bitmap: info header and pixels.
Bytes Dib() {
    Bytes dib = Longs({40, 2, 1});
    dib = Join(dib, Words({1, 24}));
    dib = Join(dib, Longs({0, 0, 0, 0, 0, 0}));
    return Join(dib, {0, 0, 255, 0, 255, 0, 0, 0});
}

std::string Message(const Bytes& file) {
    TMemoryStream s(file);
    TMetafile m;
    try {
        m.LoadFromStream(s);
    } catch (const EInvalidGraphic& e) {
        return e.Message();
    }
    return "loaded";
}

TEST(MetafileHeader, CheckAnswersLoadingAndCanLoad) {
    const Bytes placeable = TWmfBuilder().File(true, 0, 0, 1440, 720, 1440);
    TWmfBuilder sized;
    sized.Rec(META_SETWINDOWEXT, {300, 400});
    const Bytes plain = sized.File(false), emf = TEmfBuilder().File();
    Bytes badEmf = emf;
    badEmf[4] = 200; // header size past the end
    Bytes noInch = TWmfBuilder().File(true, 0, 0, 10, 10, 0);
    const Bytes shortPlaceable(placeable.begin(), placeable.begin() + 30);
    struct {
        const Bytes& File;
        const char* Refusal;
    } cases[] = {{placeable, ""},
                 {plain, ""},
                 {emf, ""},
                 {badEmf, "header"},
                 {noInch, "no units per inch"},
                 {shortPlaceable, "too short"},
                 {Bytes(17, 0), "too short"},
                 {Bytes(40, 7), "unknown header"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Refusal);
        const TMetafileCheck check =
            CheckMetafileHeader(TMetafileHeader::Parse(c.File), uint64_t(c.File.size()));
        EXPECT_EQ(check.Load, *c.Refusal == 0);
        EXPECT_EQ(check.Refusal, c.Refusal);
        TMemoryStream s(c.File);
        EXPECT_EQ(TMetafile::CanLoad(s), check.Load);
        EXPECT_EQ(s.Position(), 0);
        EXPECT_EQ(Message(c.File),
                  check.Load ? "loaded" : "Metafile is not valid (" + std::string(c.Refusal) + ")");
    }
    EXPECT_EQ(CheckMetafileHeader(TMetafileHeader::Parse(plain), uint64_t(300) << 20).Refusal,
              "larger than 256 MB");

    const TMetafileHeader h = TMetafileHeader::Parse(placeable);
    EXPECT_TRUE(h.Placeable);
    EXPECT_EQ(h.PlaceableHeader.Right, 1440);
    EXPECT_EQ(h.PlaceableHeader.Inch, 1440);
    EXPECT_EQ(h.WmfHeader.HeaderWords, 9);
    const TMetafileHeader e = TMetafileHeader::Parse(emf);
    EXPECT_EQ(e.Kind, mkEmf);
    EXPECT_EQ(e.EmfHeader.Frame, (TRect{0, 0, 2646, 2646}));
    EXPECT_EQ(e.EmfHeader.DeviceMillimetresY, 254);
}

TEST(MetafileHeader, ReloadingForgetsThePlaceableBounds) {
    TMetafile m;
    TMemoryStream first(TWmfBuilder().File(true, 0, 0, 1440, 720, 1440));
    m.LoadFromStream(first);
    EXPECT_EQ(m.Inch(), 1440);
    // A plain file without a window extent has no size of its own, whatever was loaded before.
    TMemoryStream second(TWmfBuilder().File(false));
    EXPECT_THROW(m.LoadFromStream(second), EInvalidGraphic);
    TWmfBuilder sized;
    sized.Rec(META_SETWINDOWEXT, {30, 40});
    TMemoryStream third(sized.File(false));
    m.LoadFromStream(third);
    EXPECT_EQ(m.Inch(), 0);
    EXPECT_EQ(m.Bounds(), (TRect{0, 0, 40, 30}));
}

TEST(WmfRecords, RepresentativeRecordsDecodeInFileOrder) {
    TWmfBuilder w;
    w.Rec(META_SETWINDOWEXT, {100, 200}).Rec(META_RECTANGLE, {40, 30, 20, 10});
    w.Rec(META_ARC, {1, 2, 3, 4, 40, 30, 20, 10}).Rec(META_ROUNDRECT, {6, 5, 40, 30, 20, 10});
    w.Rec(META_POLYGON, {3, 1, 2, 3, 4, 5, -6});
    w.Rec(META_POLYPOLYGON, {2, 1, 2, 7, 8, 9, 10, 11, 12});
    w.Rec(META_CREATEPENINDIRECT, {2, -3, 0, 0x5634, 0x0012}).Rec(META_CREATEBRUSHINDIRECT, {2, 0xFF, 0, 4});
    w.Bytes(META_TEXTOUT, {3, 0, 'a', 'b', 'c', 0, 9, 0, 8, 0});
    w.Bytes(META_EXTTEXTOUT, Join(Words({7, 6, 2, ETO_OPAQUE, 1, 2, 3, 4}), {'h', 'i'}));
    TMemoryStream s(w.File(false));
    TMetafile m;
    m.LoadFromStream(s);
    const auto& r = m.Records();
    ASSERT_EQ(r.size(), 11u);
    EXPECT_EQ(r[10].Type, META_EOF);
    auto p = [&](size_t i) { return m.Parameters(r[i]); };

    EXPECT_EQ(r[0].Type, META_SETWINDOWEXT);
    EXPECT_EQ(DecodeWmfPoint(p(0)), (TPoint{200, 100}));
    EXPECT_EQ(DecodeWmfRect(p(1)), (TRect{10, 20, 30, 40}));
    const auto arc = DecodeWmfArc(p(2));
    ASSERT_TRUE(arc);
    EXPECT_EQ(arc->Box, (TRect{10, 20, 30, 40}));
    EXPECT_EQ(arc->Start, (TPoint{4, 3}));
    EXPECT_EQ(arc->End, (TPoint{2, 1}));
    const auto rr = DecodeWmfRoundRect(p(3));
    ASSERT_TRUE(rr);
    EXPECT_EQ(rr->CornerWidth, 5);
    EXPECT_EQ(rr->CornerHeight, 6);
    EXPECT_EQ(DecodeWmfPoly(p(4)), (std::vector<TPoint>{{1, 2}, {3, 4}, {5, -6}}));
    const auto pp = DecodeWmfPolyPolygon(p(5));
    ASSERT_TRUE(pp);
    EXPECT_EQ(pp->Counts, (std::vector<uint16_t>{1, 2}));
    EXPECT_EQ(pp->Points, (std::vector<TPoint>{{7, 8}, {9, 10}, {11, 12}}));
    const auto pen = DecodeWmfPen(p(6));
    ASSERT_TRUE(pen);
    EXPECT_EQ(pen->Style, 2);
    EXPECT_EQ(pen->Width, -3);
    EXPECT_EQ(pen->Color, 0x125634u);
    const auto brush = DecodeWmfBrush(p(7));
    ASSERT_TRUE(brush);
    EXPECT_EQ(brush->Color, 0xFFu);
    EXPECT_EQ(brush->Hatch, 4);
    const auto text = DecodeWmfTextOut(p(8));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->Text, "abc");
    EXPECT_EQ(text->Origin, (TPoint{8, 9}));
    const auto ext = DecodeWmfExtTextOut(p(9));
    ASSERT_TRUE(ext);
    EXPECT_EQ(ext->Origin, (TPoint{6, 7}));
    EXPECT_EQ(ext->Rect, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(ext->Text, "hi");
}

TEST(WmfRecords, CountsAndStringsPastTheRecordAreRefused) {
    // A polygon of 0x7FFF points in a record of 7 words.
    EXPECT_FALSE(DecodeWmfPoly(Words({0x7FFF, 1, 2, 3, 4, 5, 6})));
    EXPECT_FALSE(DecodeWmfPoly(Words({2, 1, 2, 3})));
    EXPECT_EQ(DecodeWmfPoly(Words({0})), std::vector<TPoint>{});
    // Polygon counts that fit one by one but not together; more counts than the record holds.
    EXPECT_FALSE(DecodeWmfPolyPolygon(Words({2, 1, 1, 5, 5})));
    EXPECT_FALSE(DecodeWmfPolyPolygon(Words({0xFFFF, 1})));
    EXPECT_FALSE(DecodeWmfTextOut(Join(Words({200}), {'x', 0, 1, 0, 2, 0})));
    EXPECT_FALSE(DecodeWmfTextOut(Join(Words({3}), {'a', 'b', 'c', 0, 1, 0}))); // origin cut short
    EXPECT_FALSE(DecodeWmfExtTextOut(Join(Words({0, 0, 5, 0}), {'a', 'b'})));
    // Options that promise a rectangle the record does not hold.
    EXPECT_FALSE(DecodeWmfExtTextOut(Words({0, 0, 0, ETO_CLIPPED, 1, 2})));
    const auto noRect = DecodeWmfExtTextOut(Words({0, 0, 0, 0}));
    ASSERT_TRUE(noRect);
    EXPECT_FALSE(noRect->Rect);
}

TEST(WmfRecords, FontFaceStopsAtItsZeroTheRecordOr32Bytes) {
    const Bytes fixed = Words({-9, 0, 0, 0, 700, 0x0101, 0, 0, 0});
    const auto named = DecodeWmfFont(Join(fixed, {'A', 'b', 0, 'z'}));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->Face, "Ab");
    EXPECT_EQ(named->Height, -9);
    EXPECT_EQ(named->Weight, 700);
    EXPECT_EQ(named->Italic, 1);
    EXPECT_EQ(named->Underline, 1);
    EXPECT_EQ(DecodeWmfFont(Join(fixed, {'A', 'b'}))->Face, "Ab");
    EXPECT_EQ(DecodeWmfFont(Join(fixed, Bytes(40, 'q')))->Face, std::string(32, 'q'));
    EXPECT_EQ(DecodeWmfFont(fixed)->Face, "");
    EXPECT_FALSE(DecodeWmfFont(Bytes(fixed.begin(), fixed.end() - 1)));
}

TEST(WmfRecords, BitmapsMustHoldTheirHeader) {
    const Bytes stretch = Join(Longs({0xCC0020}), Words({0, 1, 2, 0, 0, 20, 8, 10, 92}));
    const Bytes stretchRecord = Join(stretch, Dib()); // the bitmap's spans view these bytes
    const auto s = DecodeWmfStretchDib(stretchRecord);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Usage, 0);
    EXPECT_EQ(s->SourceWidth, 2);
    EXPECT_EQ(s->SourceHeight, 1);
    EXPECT_EQ(s->DestX, 92);
    EXPECT_EQ(s->DestY, 10);
    EXPECT_EQ(s->DestWidth, 8);
    EXPECT_EQ(s->DestHeight, 20);
    EXPECT_EQ(s->Dib.Info.size(), 40u);
    EXPECT_EQ(s->Dib.Bits.size(), 8u);
    EXPECT_EQ(s->Dib.Bits[2], 255);

    const Bytes blt = Join(Longs({0xCC0020}), Words({1, 2, 0, 0, 20, 8, 10, 92}));
    const Bytes bltRecord = Join(blt, Dib());
    const auto b = DecodeWmfDibStretchBlt(bltRecord);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->DestX, 92);
    EXPECT_EQ(b->SourceWidth, 2);

    Bytes cut = Dib();
    cut.resize(39); // header cut short
    EXPECT_FALSE(DecodeWmfStretchDib(Join(stretch, cut)));
    EXPECT_FALSE(DecodeWmfStretchDib(stretch)); // no bitmap at all
    EXPECT_FALSE(DecodeWmfDibStretchBlt(Join(blt, Longs({0x7FFFFFFF, 1, 1}))));
    EXPECT_FALSE(DecodeWmfDibStretchBlt(Join(blt, Longs({4, 1, 1})))); // not a header size
}

TEST(EmfRecords, RepresentativeRecordsDecode) {
    EXPECT_EQ(DecodeEmfValue(Longs({0x80000004})), 0x80000004u);
    EXPECT_EQ(DecodeEmfPoint(Longs({-5, 7})), (TPoint{-5, 7}));
    EXPECT_EQ(DecodeEmfRect(Longs({1, 2, 3, 4})), (TRect{1, 2, 3, 4}));
    const auto rr = DecodeEmfRoundRect(Longs({1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(rr);
    EXPECT_EQ(rr->CornerWidth, 5);
    EXPECT_EQ(rr->CornerHeight, 6);
    const auto arc = DecodeEmfArc(Longs({1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(arc);
    EXPECT_EQ(arc->Start, (TPoint{5, 6}));
    EXPECT_EQ(arc->End, (TPoint{7, 8}));

    const auto poly16 = DecodeEmfPoly(Longs({0, 0, 0, 0, 2, (62 << 16) | 90, (-3 << 16) | 4}), true);
    ASSERT_TRUE(poly16);
    EXPECT_EQ(poly16->Points, (std::vector<TPoint>{{90, 62}, {4, -3}}));
    const auto poly32 = DecodeEmfPoly(Longs({1, 2, 3, 4, 1, 70000, -70000}), false);
    ASSERT_TRUE(poly32);
    EXPECT_EQ(poly32->Bounds, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(poly32->Points, (std::vector<TPoint>{{70000, -70000}}));
    const auto pp =
        DecodeEmfPolyPoly(Longs({0, 0, 0, 0, 2, 3, 1, 2, 1 | 2 << 16, 3 | 4 << 16, 5 | 6 << 16}), true);
    ASSERT_TRUE(pp);
    EXPECT_EQ(pp->Counts, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(pp->Points.back(), (TPoint{5, 6}));

    const auto pen = DecodeEmfPen(Longs({3, 2, -4, 0, 0x112233}));
    ASSERT_TRUE(pen);
    EXPECT_EQ(pen->Index, 3u);
    EXPECT_EQ(pen->Width, -4);
    EXPECT_EQ(pen->Color, 0x112233u);
    const auto extPen = DecodeEmfExtPen(Longs({4, 0, 0, 0, 0, 1, 0xFFFFFFFF, 0, 0x445566}));
    ASSERT_TRUE(extPen);
    EXPECT_EQ(extPen->Style, 1u);
    EXPECT_EQ(extPen->Width, 0xFFFFFFFF); // unsigned in this record
    EXPECT_EQ(extPen->Color, 0x445566u);
    const auto brush = DecodeEmfBrush(Longs({5, 2, 0xFF00, 3}));
    ASSERT_TRUE(brush);
    EXPECT_EQ(brush->Hatch, 3u);
}

TEST(EmfRecords, TransformsReadDamagedEntriesAsZero) {
    Bytes m;
    for (float f : {2.0f, NAN, INFINITY, 1.0f, -3.0f, 4.0f}) TEmfBuilder::PutFloat(m, f);
    const auto t = DecodeEmfTransform(m);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->M11, 2.0f);
    EXPECT_EQ(t->M12, 0.0f);
    EXPECT_EQ(t->M21, 0.0f);
    EXPECT_EQ(t->Dx, -3.0f);
    EXPECT_FALSE(DecodeEmfModifyTransform(m));
    const auto mod = DecodeEmfModifyTransform(Join(m, Longs({MWT_RIGHTMULTIPLY})));
    ASSERT_TRUE(mod);
    EXPECT_EQ(mod->Mode, MWT_RIGHTMULTIPLY);
    EXPECT_EQ(mod->Transform.Dy, 4.0f);
}

TEST(EmfRecords, CountsPastTheRecordAreRefused) {
    EXPECT_FALSE(DecodeEmfPoly(Longs({0, 0, 0, 0, 1000000, 10, 10}), true));
    EXPECT_FALSE(DecodeEmfPoly(Longs({0, 0, 0, 0, 0x7FFF, 10, 10}), false));
    EXPECT_FALSE(DecodeEmfPoly(Longs({0, 0, 0, 0, 2, 1, 2, 3}), false)); // one coordinate short
    EXPECT_TRUE(DecodeEmfPoly(Longs({0, 0, 0, 0, 2, 1, 2}), true));
    EXPECT_FALSE(DecodeEmfPolyPoly(Longs({0, 0, 0, 0, 0x40000000, 3}), true));
    EXPECT_FALSE(
        DecodeEmfPolyPoly(Longs({0, 0, 0, 0, 2, 2, 0xFFFFFFFF, 3, 1, 2}), true)); // counts past total
    EXPECT_FALSE(DecodeEmfPolyPoly(Longs({0, 0, 0, 0, 1, 3, 3, 1, 2}), true));    // points past the record
}

// ExtTextOut: bounds, graphics mode, scales, reference, count, string offset, options, rectangle,
// advance offset; offsets count from the record's start, 8 bytes before the parameters.
Bytes EmfText(uint32_t count, uint32_t offString, const Bytes& text) {
    return Join(Longs({0, 0, 0, 0, 1, 0, 0, 60, 91, count, offString, ETO_OPAQUE, 1, 2, 3, 4, 0}), text);
}

TEST(EmfRecords, TextMustLieInsideItsRecord) {
    const auto t = DecodeEmfText(EmfText(2, 76, Words({'H', 0x263A})));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Text, u"H\u263A");
    EXPECT_EQ(t->Reference, (TPoint{60, 91}));
    EXPECT_EQ(t->Rect, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(t->Options, ETO_OPAQUE);
    EXPECT_TRUE(DecodeEmfText(EmfText(0, 8, {})));
    EXPECT_FALSE(DecodeEmfText(EmfText(100000, 8, {})));
    EXPECT_FALSE(DecodeEmfText(EmfText(3, 76, Words({'H', 'H'}))));    // one unit past the end
    EXPECT_FALSE(DecodeEmfText(EmfText(1, 4, Words({'H', 'H'}))));     // offset inside the record head
    EXPECT_FALSE(DecodeEmfText(EmfText(1, 0xFFFFFFFE, Words({'H'})))); // offset far past the end

    Bytes font = Longs({7, -9, 0, 0, 0, 700});
    font.resize(4 + 28);
    font = Join(font, Words({'D', 'V', 0, 'x'}));
    font.resize(4 + 28 + 64);
    const auto f = DecodeEmfFont(font);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Index, 7u);
    EXPECT_EQ(f->Height, -9);
    EXPECT_EQ(f->Face, u"DV");
    font.pop_back(); // the face's last unit cut off
    EXPECT_FALSE(DecodeEmfFont(font));
}

// StretchDIBits with the bitmap's info and bits at the given record offsets, then Tail.
Bytes EmfBlit(uint32_t offInfo, uint32_t infoSize, uint32_t offBits, uint32_t bitsSize, const Bytes& tail) {
    return Join(
        Longs({0, 0, 0, 0, 92, 10, 0, 0, 2, 1, offInfo, infoSize, offBits, bitsSize, 0, 0xCC0020, 8, 20}),
        tail);
}

TEST(EmfRecords, BitmapsMustLieInsideTheirRecord) {
    const Bytes record = EmfBlit(80, 40, 120, 8, Dib()); // the bitmap's spans view these bytes
    const auto s = DecodeEmfStretchDib(record);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->DestX, 92);
    EXPECT_EQ(s->DestWidth, 8);
    EXPECT_EQ(s->DestHeight, 20);
    EXPECT_EQ(s->SourceWidth, 2);
    EXPECT_EQ(s->RasterOp, 0xCC0020u);
    EXPECT_EQ(s->Dib.Info.size(), 40u);
    EXPECT_EQ(s->Dib.Bits.size(), 8u);
    EXPECT_EQ(s->Dib.Bits[5], 0);

    EXPECT_FALSE(DecodeEmfStretchDib(EmfBlit(80, 40, 120, 9, Dib()))); // bits one past the end
    EXPECT_FALSE(DecodeEmfStretchDib(EmfBlit(80, 49, 120, 8, Dib()))); // info one past the end
    EXPECT_FALSE(DecodeEmfStretchDib(EmfBlit(80, 12, 120, 8, Dib()))); // info shorter than its header
    EXPECT_FALSE(DecodeEmfStretchDib(EmfBlit(4, 40, 120, 8, Dib())));  // offset inside the record head
    EXPECT_FALSE(DecodeEmfStretchDib(EmfBlit(0xFFFFFF00, 40, 120, 8, Dib()))); // far past the end
    EXPECT_FALSE(DecodeEmfStretchDib(EmfBlit(80, 40, 0xFFFFFFF8, 16, Dib())));
}

// Every decoder refuses every record cut short of what it needs, down to no parameters at all.
TEST(MetafileRecords, ShortRecordsAreRefused) {
    using TDecoder = std::function<bool(std::span<const uint8_t>)>;
    auto d = [](auto decode) {
        return TDecoder([decode](std::span<const uint8_t> p) { return bool(decode(p)); });
    };
    const Bytes font = Join(Longs({1}), Bytes(28 + 64, 0));
    const struct {
        const char* Name;
        TDecoder Decode;
        Bytes Whole;
    } cases[] = {
        {"WmfValue", d(DecodeWmfValue), Words({1})},
        {"WmfColor", d(DecodeWmfColor), Longs({1})},
        {"WmfPoint", d(DecodeWmfPoint), Words({1, 2})},
        {"WmfRect", d(DecodeWmfRect), Words({1, 2, 3, 4})},
        {"WmfRoundRect", d(DecodeWmfRoundRect), Words({1, 2, 3, 4, 5, 6})},
        {"WmfArc", d(DecodeWmfArc), Words({1, 2, 3, 4, 5, 6, 7, 8})},
        {"WmfPoly", d(DecodeWmfPoly), Words({2, 1, 2, 3, 4})},
        {"WmfPolyPolygon", d(DecodeWmfPolyPolygon), Words({1, 2, 1, 2, 3, 4})},
        {"WmfTextOut", d(DecodeWmfTextOut), Join(Words({1}), {'a', 0, 1, 0, 2, 0})},
        {"WmfExtTextOut", d(DecodeWmfExtTextOut), Join(Words({1, 2, 1, ETO_OPAQUE, 1, 2, 3, 4}), {'a'})},
        {"WmfPen", d(DecodeWmfPen), Words({0, 1, 0, 2, 3})},
        {"WmfBrush", d(DecodeWmfBrush), Words({0, 1, 2, 3})},
        {"WmfFont", d(DecodeWmfFont), Bytes(18, 0)},
        {"WmfStretchDib", d(DecodeWmfStretchDib), Join(Bytes(22, 0), Longs({12, 0, 0}))},
        {"WmfDibStretchBlt", d(DecodeWmfDibStretchBlt), Join(Bytes(20, 0), Longs({12, 0, 0}))},
        {"EmfValue", d(DecodeEmfValue), Longs({1})},
        {"EmfPoint", d(DecodeEmfPoint), Longs({1, 2})},
        {"EmfRect", d(DecodeEmfRect), Longs({1, 2, 3, 4})},
        {"EmfRoundRect", d(DecodeEmfRoundRect), Longs({1, 2, 3, 4, 5, 6})},
        {"EmfArc", d(DecodeEmfArc), Longs({1, 2, 3, 4, 5, 6, 7, 8})},
        {"EmfPoly", d([](auto p) { return DecodeEmfPoly(p, false); }), Longs({0, 0, 0, 0, 1, 1, 2})},
        {"EmfPoly16", d([](auto p) { return DecodeEmfPoly(p, true); }), Longs({0, 0, 0, 0, 2, 1, 2})},
        {"EmfPolyPoly", d([](auto p) { return DecodeEmfPolyPoly(p, true); }),
         Longs({0, 0, 0, 0, 1, 1, 1, 7})},
        {"EmfTransform", d(DecodeEmfTransform), Bytes(24, 0)},
        {"EmfModifyTransform", d(DecodeEmfModifyTransform), Bytes(28, 0)},
        {"EmfPen", d(DecodeEmfPen), Bytes(20, 0)},
        {"EmfExtPen", d(DecodeEmfExtPen), Bytes(36, 0)},
        {"EmfBrush", d(DecodeEmfBrush), Bytes(16, 0)},
        {"EmfFont", d(DecodeEmfFont), font},
        {"EmfText", d(DecodeEmfText), EmfText(1, 76, Words({'a'}))},
        {"EmfStretchDib", d(DecodeEmfStretchDib), EmfBlit(80, 40, 120, 8, Dib())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_TRUE(c.Decode(c.Whole));
        for (size_t size = 0; size < c.Whole.size(); ++size)
            EXPECT_FALSE(c.Decode(std::span(c.Whole).first(size))) << size << " bytes";
    }
}

} // namespace
} // namespace ferronel
