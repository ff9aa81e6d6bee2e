#include "host/formats/Metafile.h"

#include "host/Exceptions.h"
#include "host/Format.h"
#include "host/Stream.h"

#include <cstring>

namespace ferronel {

namespace {

const char* const SInvalidMetafile = "Metafile is not valid (%s)";
constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr uint32_t EmfSignature = 0x464D4520;
constexpr uint64_t MaxMetafileBytes = uint64_t(256) << 20;

TMetafile::TPlayer& Player() {
    static TMetafile::TPlayer player;
    return player;
}

uint16_t U16(const std::vector<uint8_t>& d, size_t at) { return uint16_t(d[at] | d[at + 1] << 8); }
int16_t S16(const std::vector<uint8_t>& d, size_t at) { return int16_t(U16(d, at)); }
uint32_t U32(const std::vector<uint8_t>& d, size_t at) {
    return uint32_t(U16(d, at)) | uint32_t(U16(d, at + 2)) << 16;
}
int32_t S32(const std::vector<uint8_t>& d, size_t at) { return int32_t(U32(d, at)); }

[[noreturn]] void Invalid(const char* why) { throw EInvalidGraphic(Format(SInvalidMetafile, {why})); }

} // namespace

void TMetafile::SetPlayer(TPlayer P) { Player() = std::move(P); }

void TMetafile::SetWidth(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of a metafile"); }
void TMetafile::SetHeight(int32_t) { throw EInvalidGraphicOperation("Cannot change the size of a metafile"); }

void TMetafile::Draw(TCanvas& Canvas, const TRect& Rect) {
    if (!Empty() && Player()) Player()(*this, Canvas, Rect);
}

void TMetafile::SetSize(int64_t W, int64_t H) {
    // Larger pictures could not be drawn into any bitmap; such sizes come from damaged headers.
    if (W > 65535 || H > 65535) Invalid("size out of range");
    FWidth = int32_t(W);
    FHeight = int32_t(H);
}

void TMetafile::SaveToStream(TStream& Stream) { Stream.WriteBuffer(FData.data(), FData.size()); }

void TMetafile::LoadFromStream(TStream& Stream) {
    const int64_t size = Stream.Size() - Stream.Position();
    if (size < 18) Invalid("too short");
    if (uint64_t(size) > MaxMetafileBytes) Invalid("larger than 256 MB");
    FKind = mkNone;
    FRecords.clear();
    FData.resize(size_t(size));
    Stream.ReadBuffer(FData.data(), FData.size());
    if (U32(FData, 0) == PlaceableKey) {
        if (FData.size() < 22 + 18) Invalid("too short");
        FBounds = TRect{S16(FData, 6), S16(FData, 8), S16(FData, 10), S16(FData, 12)};
        FInch = U16(FData, 14);
        if (FInch == 0) Invalid("no units per inch");
        ParseWmf(22);
    } else if (U32(FData, 0) == 1 && FData.size() >= 88 && U32(FData, 40) == EmfSignature) {
        ParseEmf();
    } else if ((U16(FData, 0) == 1 || U16(FData, 0) == 2) && U16(FData, 2) == 9) {
        ParseWmf(0);
    } else {
        Invalid("unknown header");
    }
    Changed(this);
}

void TMetafile::ParseWmf(size_t Start) {
    size_t at = Start + size_t(U16(FData, Start + 2)) * 2; // header size in words
    bool haveExtent = FInch != 0;
    while (at + 6 <= FData.size()) {
        const uint64_t words = U32(FData, at);
        const uint16_t function = U16(FData, at + 4);
        if (words < 3 || at + words * 2 > FData.size()) Invalid("a record runs past the end");
        FRecords.push_back({function, uint32_t(at + 6), uint32_t(words * 2 - 6)});
        if (function == 0) break;
        if (!haveExtent && function == 0x020C && words >= 5) { // the first window extent sizes a plain file
            FBounds = TRect{0, 0, S16(FData, at + 8), S16(FData, at + 6)};
            haveExtent = true;
        }
        at += size_t(words) * 2;
    }
    if (!haveExtent) Invalid("no size");
    const int64_t w = int64_t(FBounds.Right) - FBounds.Left, h = int64_t(FBounds.Bottom) - FBounds.Top;
    SetSize(std::abs(FInch ? w * 96 / FInch : w), std::abs(FInch ? h * 96 / FInch : h));
    FKind = mkWmf;
}

void TMetafile::ParseEmf() {
    const uint32_t headerSize = U32(FData, 4);
    if (headerSize < 88 || headerSize > FData.size()) Invalid("header");
    const TRect bounds{S32(FData, 8), S32(FData, 12), S32(FData, 16), S32(FData, 20)};
    FBounds = TRect{S32(FData, 24), S32(FData, 28), S32(FData, 32), S32(FData, 36)};
    DevicePixelsX = S32(FData, 72);
    DevicePixelsY = S32(FData, 76);
    DeviceMillimetresX = S32(FData, 80);
    DeviceMillimetresY = S32(FData, 84);
    size_t at = 0;
    while (at + 8 <= FData.size()) {
        const uint32_t type = U32(FData, at), size = U32(FData, at + 4);
        if (size < 8 || size % 4 != 0 || size > FData.size() - at) Invalid("a record runs past the end");
        FRecords.push_back({type, uint32_t(at + 8), size - 8});
        if (type == 14) break; // end of file
        at += size;
    }
    // The frame (0.01 mm, inclusive) at 96 dots per inch; without a frame, the device bounds.
    const int64_t fw = int64_t(FBounds.Right) - FBounds.Left, fh = int64_t(FBounds.Bottom) - FBounds.Top;
    if (fw > 0 && fh > 0)
        SetSize((fw * 96 + 1270) / 2540, (fh * 96 + 1270) / 2540);
    else
        SetSize(std::abs(int64_t(bounds.Right) - bounds.Left) + 1,
                std::abs(int64_t(bounds.Bottom) - bounds.Top) + 1);
    if (DevicePixelsX <= 0 || DevicePixelsY <= 0 || DeviceMillimetresX <= 0 || DeviceMillimetresY <= 0) {
        // A header without a reference device: take a 96-dpi screen.
        DevicePixelsX = DevicePixelsY = 96 * 100;
        DeviceMillimetresX = DeviceMillimetresY = 2540;
    }
    FKind = mkEmf;
}

} // namespace ferronel
