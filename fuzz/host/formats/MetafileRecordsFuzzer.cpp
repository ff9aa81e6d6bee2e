// Arbitrary bytes as a metafile; every record that loads goes through every decoder of its kind,
// whatever its type. Decoders must answer or refuse, never throw or read outside the record, and
// what they answer must hold together.
#include "fuzz/support/FuzzReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "host/formats/EmfRecords.h"
#include "host/formats/Metafile.h"
#include "host/formats/WmfRecords.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>

using namespace ferronel;

namespace {

void Require(bool Condition) {
    if (!Condition) __builtin_trap();
}

// The bitmap's parts lie inside the record and the info holds its header.
void CheckDib(const TMetafileDib& Dib, std::span<const uint8_t> Params) {
    auto inside = [&](std::span<const uint8_t> part) {
        return part.empty() ||
               (part.data() >= Params.data() && part.data() + part.size() <= Params.data() + Params.size());
    };
    Require(inside(Dib.Info) && inside(Dib.Bits));
    Require(MetafileDibInfoFits(Dib.Info));
}

void DecodeWmf(std::span<const uint8_t> p) {
    DecodeWmfValue(p);
    DecodeWmfColor(p);
    DecodeWmfPoint(p);
    DecodeWmfRect(p);
    DecodeWmfRoundRect(p);
    DecodeWmfArc(p);
    DecodeWmfPen(p);
    DecodeWmfBrush(p);
    if (const auto points = DecodeWmfPoly(p)) Require(points->size() * 4 + 2 <= p.size());
    if (const auto pp = DecodeWmfPolyPolygon(p))
        Require(std::accumulate(pp->Counts.begin(), pp->Counts.end(), size_t(0)) == pp->Points.size());
    if (const auto t = DecodeWmfTextOut(p)) Require(t->Text.size() + 6 <= p.size());
    if (const auto t = DecodeWmfExtTextOut(p)) Require(t->Text.size() + 8 <= p.size());
    if (const auto f = DecodeWmfFont(p)) Require(f->Face.size() <= 32);
    if (const auto s = DecodeWmfStretchDib(p)) CheckDib(s->Dib, p);
    if (const auto s = DecodeWmfDibStretchBlt(p)) CheckDib(s->Dib, p);
}

void DecodeEmf(std::span<const uint8_t> p) {
    DecodeEmfValue(p);
    DecodeEmfPoint(p);
    DecodeEmfRect(p);
    DecodeEmfRoundRect(p);
    DecodeEmfArc(p);
    DecodeEmfPen(p);
    DecodeEmfExtPen(p);
    DecodeEmfBrush(p);
    DecodeEmfModifyTransform(p);
    if (const auto t = DecodeEmfTransform(p))
        for (const float entry : {t->M11, t->M12, t->M21, t->M22, t->Dx, t->Dy})
            Require(std::isfinite(entry));
    for (const bool points16 : {false, true}) {
        if (const auto poly = DecodeEmfPoly(p, points16))
            Require(poly->Points.size() * (points16 ? 4 : 8) + 20 <= p.size());
        if (const auto pp = DecodeEmfPolyPoly(p, points16))
            Require(std::accumulate(pp->Counts.begin(), pp->Counts.end(), uint64_t(0)) <= pp->Points.size());
    }
    if (const auto f = DecodeEmfFont(p)) Require(f->Face.size() <= 32);
    if (const auto t = DecodeEmfText(p)) Require(t->Text.size() * 2 <= p.size());
    if (const auto s = DecodeEmfStretchDib(p)) CheckDib(s->Dib, p);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const auto loaded = fuzz::LoadOrRefuse<TMetafile>(Data, Size);
    if (!loaded) return 0;
    const TMetafile& metafile = *loaded;
    // Decoders do not throw: an exception from here on ends the run as a finding.
    for (const TMetafileRecord& r : metafile.Records()) {
        const std::span<const uint8_t> params = metafile.Parameters(r);
        if (metafile.Kind() == mkWmf)
            DecodeWmf(params);
        else
            DecodeEmf(params);
    }
    return 0;
}
