#include "readers/formats/RLAGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"
#include "readers/decoders/RLEDecoders.h"
#include "readers/formats/HeaderBytes.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace ferronel {

using namespace readers;

namespace {

const char* const RLALabel = "RLA";

// A fixed-size text field up to its first NUL.
template <size_t N> std::string_view Text(const std::array<char, N>& Field) {
    return std::string_view(Field.data(), strnlen(Field.data(), N));
}

// Equal ignoring ASCII letter case; B is lower case.
bool SameText(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (size_t i = 0; i < A.size(); ++i)
        if ((A[i] >= 'A' && A[i] <= 'Z' ? char(A[i] + 32) : A[i]) != B[i]) return false;
    return true;
}

} // namespace

TRLAHeader TRLAHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TRLAHeader h;
    h.WindowLeft = r.S16BE();
    h.WindowRight = r.S16BE();
    h.WindowBottom = r.S16BE();
    h.WindowTop = r.S16BE();
    h.ActiveLeft = r.S16BE();
    h.ActiveRight = r.S16BE();
    h.ActiveBottom = r.S16BE();
    h.ActiveTop = r.S16BE();
    h.Frame = r.S16BE();
    h.StorageType = r.S16BE();
    h.ChannelCount = r.S16BE();
    h.MatteCount = r.S16BE();
    h.AuxCount = r.S16BE();
    h.Revision = r.U16BE();
    r.Read(h.Gamma.data(), h.Gamma.size());
    r.Skip(4 * 24); // red, green and blue primaries, white point
    h.JobNumber = r.S32BE();
    r.Skip(128 + 128 + 64 + 32 + 32 + 20 + 24 + 8); // name, description, program, machine, user, date, aspect
    r.Read(h.Channel.data(), h.Channel.size());
    h.Field = r.S16BE();
    r.Skip(12 + 32); // time, filter
    h.ChannelBits = r.S16BE();
    h.MatteType = r.S16BE();
    h.MatteBits = r.S16BE();
    h.AuxType = r.S16BE();
    h.AuxBits = r.S16BE();
    r.Skip(32 + 36); // auxiliary data name, space
    h.Next = r.S32BE();
    return h;
}

bool TRLAHeader::RGBSpace() const { return SameText(Text(Channel), "rgb"); }
bool TRLAHeader::XYZSpace() const { return SameText(Text(Channel), "xyz"); }

float TRLAHeader::GammaValue() const {
    std::string_view text = Text(Gamma);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    float value = 1.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error != std::errc() || !std::isfinite(value) || value <= 0) return 1.0f;
    return value;
}

THeaderCheck CheckRLAHeader(const TRLAHeader& Header) {
    THeaderCheck check;
    const bool space = Header.RGBSpace() || Header.XYZSpace();
    check.CanLoad = Header.Revision == RLARevision && space;
    // Only 8-bit channels fit the channel buffers; a window with right before left has no width.
    check.Load = space && Header.Width() >= 1 && (Header.ChannelCount == 1 || Header.ChannelCount == 3) &&
                 Header.ChannelBits == 8;
    if (!check.Load)
        check.Refusal =
            Format(space && Header.Width() >= 1 ? gesInvalidColorFormat : gesInvalidImage, {RLALabel});
    return check;
}

bool TRLAGraphic::CanLoad(TStream& Stream) const {
    const auto header = PeekHeader<TRLAHeader>(Stream);
    return header && CheckRLAHeader(*header).CanLoad;
}

THeaderCheck TRLAGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    FHeader = ReadHeaderFrom<TRLAHeader>(Stream);
    const THeaderCheck check = CheckRLAHeader(FHeader);

    TImageProperties& p = ImageProperties();
    p.Flags = TImageFlags{ifBigEndian};
    const bool gray = FHeader.ChannelCount == 1;
    const bool matte = FHeader.MatteCount > 0 && !gray;
    // The first matte channel is the opacity, whatever number of mattes the file has.
    p.SamplesPerPixel = uint8_t(FHeader.ChannelCount + (matte ? 1 : 0));
    p.BitsPerSample = uint8_t(FHeader.ChannelBits);
    p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
    p.ColorScheme = !FHeader.RGBSpace() ? csUnknown : gray ? csGray : matte ? csRGBA : csRGB;
    p.HasAlpha = matte;
    p.Gamma = FHeader.GammaValue();
    p.Compression = cpRLE;
    if (check.Load) {
        p.Width = uint32_t(FHeader.Width());
        p.Height = uint32_t(FHeader.Height());
    }
    p.BottomUp = FHeader.BottomUp();
    return check;
}

bool TRLAGraphic::LoadImageProperties(TStream& Stream, uint32_t) { return ReadHeader(Stream).Load; }

void TRLAGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    if (!check.Load) ReaderError(check.Refusal);
    TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, int32_t(p.Width), 1};
    StartProgress(gesTransfering);
    if (p.ColorScheme == csUnknown) throw EColorConversionError(gesConversionUnsupported);

    TColorManager& cm = ColorManager();
    const bool gray = p.ColorScheme == csGray;
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(8);
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SetTargetColorScheme(gray ? csGray : p.ColorScheme == csRGBA ? csBGRA : csBGR);
    cm.SourceOptions = {};
    cm.TargetOptions = {};
    if (p.Gamma != 1.0f) {
        cm.SetGammaValues(p.Gamma, 2.2f);
        cm.TargetOptions.Include(coxApplyGamma);
        p.Flags.Include(ifFileGamma);
    }
    SetPixelFormat(cm.PixelFormatFor(true));
    if (gray) SetPalette(cm.MakeGrayPalette(false));
    SetSize(int32_t(p.Width), int32_t(p.Height));

    // Row offsets count from the start of the file; those the file does not hold point past it.
    const int64_t size = Stream.Size();
    const uint32_t height = p.Height;
    std::vector<uint8_t> table(size_t(height) * 4);
    table.resize(Stream.Read(table.data(), table.size()));

    const size_t width = p.Width;
    const size_t channels = p.SamplesPerPixel;
    std::vector<uint8_t> planes(width * channels);
    const uint8_t* sources[4] = {};
    for (size_t c = 0; c < channels; ++c) sources[c] = planes.data() + c * width;
    std::vector<uint8_t> packed;
    TRLADecoder decoder;
    for (uint32_t i = 0; i < height; ++i) {
        std::fill(planes.begin(), planes.end(), 0);
        const uint64_t offset = 4 * (size_t(i) + 1) <= table.size()
                                    ? uint64_t(BasePosition) + LoadU32BE(&table[4 * i])
                                    : uint64_t(size);
        if (offset < uint64_t(size)) {
            Stream.SetPosition(int64_t(offset));
            for (size_t c = 0; c < channels; ++c) {
                uint8_t count[2];
                if (Stream.Read(count, 2) < 2) break;
                packed.resize(LoadU16BE(count));
                packed.resize(Stream.Read(packed.data(), packed.size()));
                const uint8_t* source = packed.data();
                uint8_t* dest = planes.data() + c * width;
                decoder.Decode(source, dest, int32_t(packed.size()), int32_t(width));
            }
        }
        const int32_t row = p.BottomUp ? int32_t(height - 1 - i) : int32_t(i);
        cm.ConvertScanline(TSourceRows(sources, channels), ScanLine(row), uint32_t(width), 255);
        RowProgress(i);
    }
    if (p.ColorScheme == csRGBA) SetAlphaFormat(afDefined);
    EndProgress();
}

} // namespace ferronel
