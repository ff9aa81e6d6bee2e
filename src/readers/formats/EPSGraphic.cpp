#include "readers/formats/EPSGraphic.h"

#include "host/ByteReader.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/formats/HeaderBytes.h"

#include <algorithm>

namespace ferronel {

using namespace readers;

namespace {

const char* const EPSLabel = "EPS";

uint64_t Remaining(TStream& Stream) {
    return uint64_t(std::max<int64_t>(Stream.Size() - Stream.Position(), 0));
}

} // namespace

TEPSHeader TEPSHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TEPSHeader h;
    h.Magic = r.U32LE();
    h.PostScriptOffset = r.U32LE();
    h.PostScriptLength = r.U32LE();
    h.MetafileOffset = r.U32LE();
    h.MetafileLength = r.U32LE();
    h.TIFFOffset = r.U32LE();
    h.TIFFLength = r.U32LE();
    h.Checksum = r.U16LE();
    return h;
}

THeaderCheck CheckEPSHeader(const TEPSHeader& Header, uint64_t Remaining) {
    THeaderCheck check;
    check.CanLoad = Header.Magic == EPSMagic && int32_t(Header.TIFFOffset) >= int32_t(TEPSHeader::Size) &&
                    int32_t(Header.TIFFLength) > 0 && Header.TIFFOffset < Remaining;
    check.Load = check.CanLoad;
    if (!check.Load) check.Refusal = Format(gesInvalidImage, {EPSLabel});
    return check;
}

bool TEPSGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TEPSHeader>(Stream);
    return header && CheckEPSHeader(*header, Remaining(Stream)).CanLoad;
}

void TEPSGraphic::SeekPreview(TStream& Stream) {
    const int64_t start = Stream.Position();
    const uint64_t remaining = Remaining(Stream);
    if (remaining < TEPSHeader::Size) ReaderErrorFmt(gesInvalidImage, {EPSLabel});
    const TEPSHeader header = ReadHeaderFrom<TEPSHeader>(Stream);
    const THeaderCheck check = CheckEPSHeader(header, remaining);
    if (!check.Load) ReaderError(check.Refusal);
    Stream.SetPosition(start + int64_t(header.TIFFOffset));
}

bool TEPSGraphic::LoadImageProperties(TStream& Stream, uint32_t ImageIndex) {
    TReaderGraphic::LoadImageProperties(Stream, ImageIndex);
    const auto header = PeekHeader<TEPSHeader>(Stream);
    if (!header || !CheckEPSHeader(*header, Remaining(Stream)).Load) return false;
    const int64_t start = Stream.Position();
    SeekPreview(Stream);
    const bool load = TTIFFGraphic::LoadImageProperties(Stream, ImageIndex);
    Stream.SetPosition(start);
    return load;
}

void TEPSGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    SeekPreview(Stream);
    // The preview's offsets count from its own first byte.
    TTIFFGraphic::LoadFromStream(Stream);
}

} // namespace ferronel
