#include "readers/ReaderGraphic.h"

#include "host/CheckedSize.h"
#include "host/Exceptions.h"
#include "host/Picture.h"
#include "host/Stream.h"

#include <cstring>

namespace ferronel {

TReaderGraphic::TReaderGraphic() : FColorManager(std::make_unique<TColorManager>()) {}
TReaderGraphic::~TReaderGraphic() = default;

bool TReaderGraphic::CanLoad(TStream&) const { return false; }

bool TReaderGraphic::CanLoad(const std::string& FileName) const {
    std::unique_ptr<TFileStream> stream;
    try {
        stream = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    } catch (const EStreamError&) {
        return false;
    }
    return CanLoad(*stream);
}

bool TReaderGraphic::LoadImageProperties(TStream&, uint32_t) {
    FImageProperties = TImageProperties{};
    return false;
}

void TReaderGraphic::Assign(const TObject& Source) {
    if (const auto* reader = dynamic_cast<const TReaderGraphic*>(&Source))
        FImageProperties = reader->FImageProperties;
    TBitmap::Assign(Source);
}

void TReaderGraphic::BeginLoad(TStream& Stream) {
    FreeImage();
    SetPalette(nullptr);
    SetAlphaFormat(afIgnored);
    SetTransparentColor(0);
    BasePosition = CheckedCast<uint32_t>(Stream.Position());
}

void TReaderGraphic::StartProgress(const std::string& Message) {
    Progress(this, psStarting, 0, false, ProgressRect, Message);
}

void TReaderGraphic::RowProgress(uint32_t Row) {
    const int32_t percent = MulDiv(int32_t(Row), 100, Height());
    Progress(this, psRunning,
             uint8_t(percent < 0     ? 0
                     : percent > 100 ? 100
                                     : percent),
             true, ProgressRect, "");
    OffsetRect(ProgressRect, 0, 1);
}

void TReaderGraphic::EndProgress() { Progress(this, psEnding, 0, false, ProgressRect, ""); }

namespace {

std::unique_ptr<TReaderGraphic> Instance(TGraphicClass ReaderClass) {
    if (!ReaderClass || !ReaderClass->InheritsFrom(TReaderGraphic::ClassInfo())) return nullptr;
    std::unique_ptr<TGraphic> graphic = CreateGraphic(ReaderClass);
    return std::unique_ptr<TReaderGraphic>(static_cast<TReaderGraphic*>(graphic.release()));
}

} // namespace

bool CanLoad(TGraphicClass ReaderClass, TStream& Stream) {
    const auto reader = Instance(ReaderClass);
    return reader && reader->CanLoad(Stream);
}

bool CanLoad(TGraphicClass ReaderClass, const std::string& FileName) {
    const auto reader = Instance(ReaderClass);
    return reader && reader->CanLoad(FileName);
}

void ReaderError(const std::string& Msg) { throw EInvalidGraphic(Msg); }

void ReaderErrorFmt(const std::string& Msg, std::initializer_list<TFormatArg> Args) {
    throw EInvalidGraphic(Format(Msg, Args));
}

void SwapShort(uint16_t* P, size_t Count) {
    for (size_t i = 0; i < Count; ++i) P[i] = uint16_t(P[i] << 8 | P[i] >> 8);
}

void SwapLong(uint32_t* P, size_t Count) {
    for (size_t i = 0; i < Count; ++i) P[i] = SwapLong(P[i]);
}

uint32_t SwapLong(uint32_t Value) {
    return (Value >> 24) | ((Value >> 8) & 0xFF00u) | ((Value << 8) & 0xFF0000u) | (Value << 24);
}

namespace {
template <size_t K> void Differencing(uint8_t* Row, uint32_t Count) {
    for (size_t i = K; i < (size_t(Count) + 1) * K; ++i) Row[i] = uint8_t(Row[i] + Row[i - K]);
}
} // namespace

void ApplyDifferencing(uint8_t* Row, uint32_t Count) { Differencing<1>(Row, Count); }
void ApplyDifferencing3(uint8_t* Row, uint32_t Count) { Differencing<3>(Row, Count); }
void ApplyDifferencing4(uint8_t* Row, uint32_t Count) { Differencing<4>(Row, Count); }

void Upsample2x(uint32_t Width, uint32_t Height, uint32_t RowStride, std::span<uint8_t> Plane) {
    if (Width < 2 || Height < 2 || uint64_t(RowStride) < 2 * uint64_t(Width) ||
        uint64_t(RowStride) * 2 * Height > Plane.size())
        throw EInvalidGraphicOperation("Upsample2x: the plane does not hold the doubled size");
    uint8_t* p = Plane.data();
    const uint32_t w2 = 2 * Width;
    // Horizontal pass, last row first, so no source row is overwritten before it is read.
    for (uint32_t r = Height; r-- > 0;) {
        const uint8_t* s = p + size_t(r) * RowStride;
        uint8_t* d = p + size_t(2 * r) * RowStride;
        d[w2 - 1] = s[Width - 1];
        d[w2 - 2] = s[Width - 1];
        for (uint32_t x = Width - 1; x-- > 0;) {
            d[2 * x + 1] = uint8_t((s[x] + s[x + 1] + 1) >> 1);
            d[2 * x] = s[x];
        }
    }
    // Vertical pass over the odd rows.
    for (uint32_t r = 0; r + 1 < Height; ++r) {
        const uint8_t* a = p + size_t(2 * r) * RowStride;
        const uint8_t* b = p + size_t(2 * r + 2) * RowStride;
        uint8_t* d = p + size_t(2 * r + 1) * RowStride;
        for (uint32_t x = 0; x + 1 < Width; ++x) {
            d[2 * x] = uint8_t((a[2 * x] + b[2 * x] + 1) >> 1);
            d[2 * x + 1] = uint8_t((a[2 * x] + a[2 * x + 2] + b[2 * x] + b[2 * x + 2] + 2) >> 2);
        }
        d[w2 - 2] = uint8_t((a[w2 - 2] + b[w2 - 2] + 1) >> 1);
        d[w2 - 1] = uint8_t((a[w2 - 1] + b[w2 - 2] + 1) >> 1);
    }
    std::memcpy(p + size_t(2 * Height - 1) * RowStride, p + size_t(2 * Height - 2) * RowStride, w2);
}

} // namespace ferronel
