#include "readers/formats/PPMGraphic.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Stream.h"
#include "readers/ReaderStrings.h"

#include <algorithm>
#include <cstring>

namespace ferronel {

using namespace readers;

namespace {

const char* const PPMFormatLabel = "PBM, PGM or PPM";
const char* const PPMReadLabel = "PPM";

[[noreturn]] void InvalidPPM() { ReaderErrorFmt(gesInvalidImage, {PPMFormatLabel}); }
[[noreturn]] void EndOfPPM() { ReaderErrorFmt(gesStreamReadError, {PPMReadLabel}); }

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

constexpr uint32_t LargestMaxValue = 65535;

} // namespace

THeaderCheck CheckPPMHeader(const TPPMHeader& Header) {
    THeaderCheck check;
    check.CanLoad = Header.Kind >= pkTextBitmap && Header.Kind <= pkBinaryPixelMap;
    check.Load = check.CanLoad && Header.MaxValue >= 1 && Header.MaxValue <= LargestMaxValue;
    if (!check.Load) check.Refusal = Format(gesInvalidImage, {PPMFormatLabel});
    return check;
}

bool TPPMGraphic::CanLoad(TStream& Stream) const {
    // More than 10 bytes must remain; the magic is the first two.
    std::array<uint8_t, 11> bytes;
    if (!PeekBytes(Stream, bytes.data(), bytes.size())) return false;
    return bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6';
}

int TPPMGraphic::GetChar() {
    if (CharIndex == CharCount) {
        CharCount = Stream()->Read(CharBuffer.data(), CharBuffer.size());
        CharIndex = 0;
        if (CharCount == 0) return -1;
    }
    return CharBuffer[CharIndex++];
}

uint8_t TPPMGraphic::NextChar() {
    const int c = GetChar();
    if (c < 0) EndOfPPM();
    return uint8_t(c);
}

void TPPMGraphic::SkipLine() {
    for (int c = GetChar(); c >= 0 && c != '\n' && c != '\r'; c = GetChar()) {
    }
}

uint32_t TPPMGraphic::ReadNumber() {
    uint8_t c = NextChar();
    while (!IsDigit(c)) {
        if (c == '#') SkipLine();
        c = NextChar();
    }
    uint32_t value = 0;
    for (int d = c; IsDigit(d); d = GetChar()) {
        // A number past 32 bits is no size and no sample of this format.
        if (value > (UINT32_MAX - uint32_t(d - '0')) / 10) InvalidPPM();
        value = value * 10 + uint32_t(d - '0');
    }
    return value;
}

uint8_t TPPMGraphic::ReadBit() {
    uint8_t c = NextChar();
    while (!IsDigit(c)) {
        if (c == '#') SkipLine();
        c = NextChar();
    }
    return c & 1u;
}

void TPPMGraphic::ReadBytes(uint8_t* Buffer, size_t Count) {
    const size_t buffered = std::min(Count, CharCount - CharIndex);
    if (buffered) std::memcpy(Buffer, CharBuffer.data() + CharIndex, buffered);
    CharIndex += buffered;
    if (buffered < Count && Stream()->Read(Buffer + buffered, Count - buffered) < Count - buffered)
        EndOfPPM();
}

THeaderCheck TPPMGraphic::ReadHeader(TStream& Stream) {
    TReaderGraphic::LoadImageProperties(Stream, 0);
    SetStream(&Stream);
    CharIndex = CharCount = 0;
    FHeader = TPPMHeader{};
    ImageProperties().Compression = cpNone;
    if (GetChar() != 'P') return THeaderCheck{false, false, Format(gesInvalidImage, {PPMFormatLabel})};
    const int digit = GetChar();
    FHeader.Kind = uint8_t(digit >= '1' && digit <= '6' ? digit - '0' : pkUnknown);
    if (FHeader.Kind != pkUnknown) {
        // The numbers follow the magic on its own line or on the next ones.
        FHeader.Width = ReadNumber();
        FHeader.Height = ReadNumber();
        FHeader.MaxValue = FHeader.Bitmap() ? 1 : ReadNumber();
    }
    const THeaderCheck check = CheckPPMHeader(FHeader);

    TImageProperties& p = ImageProperties();
    p.Width = FHeader.Width;
    p.Height = FHeader.Height;
    p.SamplesPerPixel = FHeader.PixelMap() ? 3 : 1;
    p.BitsPerSample = FHeader.Bitmap() ? 1 : 8;
    p.ColorScheme = FHeader.PixelMap() ? csRGB : csIndexed;
    p.BitsPerPixel = uint8_t(p.SamplesPerPixel * p.BitsPerSample);
    return check;
}

bool TPPMGraphic::LoadImageProperties(TStream& Stream, uint32_t) {
    try {
        return ReadHeader(Stream).Load;
    } catch (const EInvalidGraphic&) {
        return false;
    }
}

void TPPMGraphic::LoadFromStream(TStream& Stream) {
    BeginLoad(Stream);
    const THeaderCheck check = ReadHeader(Stream);
    if (!check.Load) ReaderError(check.Refusal);
    const TImageProperties& p = ImageProperties();
    ProgressRect = TRect{0, 0, CheckedCast<int32_t>(p.Width), 1};
    StartProgress(gesTransfering);

    TColorManager& cm = ColorManager();
    if (FHeader.PixelMap()) {
        SetPixelFormat(pf24bit);
    } else {
        cm.SetTargetSamplesPerPixel(1);
        cm.SetTargetBitsPerSample(p.BitsPerSample);
        cm.TargetOptions = {};
        SetPixelFormat(FHeader.Bitmap() ? pf1bit : pf8bit);
        // Bitmaps store 1 for black.
        SetPalette(cm.MakeGrayPalette(FHeader.Bitmap()));
    }
    SetSize(CheckedCast<int32_t>(p.Width), CheckedCast<int32_t>(p.Height));
    if (Empty()) {
        // A zero side holds no pixels: the picture is empty, without walking billions of empty rows.
        SetSize(0, 0);
        EndProgress();
        return;
    }

    // Samples above the maximum are taken as the maximum.
    FScale.resize(size_t(FHeader.MaxValue) + 1);
    for (uint32_t v = 0; v <= FHeader.MaxValue; ++v)
        FScale[v] = uint8_t((v * 255u + FHeader.MaxValue / 2) / FHeader.MaxValue);
    ReadRows();
    EndProgress();
}

void TPPMGraphic::ReadRows() {
    const uint32_t width = uint32_t(Width());
    const uint32_t max = FHeader.MaxValue;
    const uint8_t* scale = FScale.data();
    auto text = [&] { return scale[std::min(ReadNumber(), max)]; };
    const size_t sampleBytes = FHeader.SampleBytes();
    const size_t samples = size_t(width) * (FHeader.PixelMap() ? 3 : 1);
    std::vector<uint8_t> wide(FHeader.Kind >= pkBinaryGrayMap && sampleBytes == 2 ? 2 * samples : 0);
    for (int32_t y = 0; y < Height(); ++y) {
        uint8_t* row = ScanLine(y);
        switch (FHeader.Kind) {
        case pkTextBitmap:
            for (uint32_t x = 0; x < width; ++x) row[x >> 3] |= uint8_t(ReadBit() << (7 - (x & 7)));
            break;
        case pkTextGrayMap:
            for (uint32_t x = 0; x < width; ++x) row[x] = text();
            break;
        case pkTextPixelMap:
            for (uint32_t x = 0; x < width; ++x) {
                row[3 * x + 2] = text();
                row[3 * x + 1] = text();
                row[3 * x] = text();
            }
            break;
        case pkBinaryBitmap: ReadBytes(row, (size_t(width) + 7) / 8); break;
        default: {
            // Grey and pixel maps: samples to bytes, then red and blue change places.
            if (sampleBytes == 2) {
                ReadBytes(wide.data(), wide.size());
                for (size_t i = 0; i < samples; ++i)
                    row[i] = scale[std::min<uint32_t>(LoadU16BE(&wide[2 * i]), max)];
            } else {
                ReadBytes(row, samples);
                if (max != 255)
                    for (size_t i = 0; i < samples; ++i) row[i] = scale[std::min<uint32_t>(row[i], max)];
            }
            if (FHeader.PixelMap())
                for (uint32_t x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
            break;
        }
        }
        RowProgress(uint32_t(y));
    }
}

} // namespace ferronel
