#include "linear/HIPSLoader.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Format.h"
#include "host/Limits.h"
#include "host/Picture.h"
#include "linear/LinearStrings.h"
#include "linear/TextStream.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace ferronel::linear {

namespace {

constexpr int32_t LineFeed = 10;
constexpr int32_t MaxFrameSearchLines = 201;
constexpr int32_t FrameCountBelow = 500;
constexpr int32_t MaxPlanes = 500;

// The next header line; the header ending here is a short stream, not an endless run of empty lines.
std::string NextLine(TTextStream& Stream) {
    if (Stream.BytesLeft() <= 0) throw EInOutError(SReadLess);
    std::string line;
    Stream.ReadLine(line);
    return line;
}

void SkipBytes(TTextStream& Stream, int64_t Count) {
    if (Count > 0 && Stream.TransferTo(nullptr, Count) != Count) throw EInOutError(SReadLess);
}

int32_t PositiveOrZero(const std::string& Line) {
    int32_t v = 0;
    return TryStrToInt(Line, v) && v > 0 ? v : 0;
}

// Nearest integer (ties to even), clamped to 0..255; NaN counts as 0.
uint8_t SampleByte(float Value) {
    if (!(Value > 0.0f)) return 0;
    if (Value >= 255.0f) return 255;
    return uint8_t(std::nearbyint(Value));
}

float LoadF32LE(const uint8_t* P) { return std::bit_cast<float>(LoadU32LE(P)); }
float LoadF32BE(const uint8_t* P) { return std::bit_cast<float>(LoadU32BE(P)); }

THIPSPixelFormat PixelFormatOf(const std::string& Text) {
    if (Text == "0") return hpByte;
    if (Text == "3") return hpFloat;
    if (Text == "35") return hpByteRGB;
    if (Text == "37") return hpFloatRGB;
    return hpUnknown;
}

void ReadRow(TTextStream& Stream, void* Buffer, size_t Count) {
    if (Stream.Read(Buffer, int32_t(Count)) != int32_t(Count)) throw EInOutError(SReadLess);
}

} // namespace

THIPSHeader THIPSHeader::Parse(TTextStream& Stream) {
    THIPSHeader h;
    const std::string first = NextLine(Stream);
    NextLine(Stream);
    for (int32_t i = 0; i < MaxFrameSearchLines; ++i) {
        int32_t v = 0;
        if (TryStrToInt(NextLine(Stream), v) && v < FrameCountBelow) {
            h.FrameCount = v;
            break;
        }
    }
    NextLine(Stream); // the date
    const std::string rowsLine = NextLine(Stream);
    h.Rows = StrToInt(rowsLine);
    h.Columns = StrToInt(NextLine(Stream));
    const std::string next = NextLine(Stream);
    // New-style headers start with their magic line; their next line is the region's row count,
    // which only matches the picture's when the region is the whole picture. Without the magic the
    // old style says 8 bits where the new one repeats the rows.
    h.NewStyle = first == Magic || (next != OldStyleBits && next == rowsLine);
    if (!h.NewStyle) {
        h.Bits = next;
        if (h.Bits == OldStyleBits) h.PixelFormat = hpByte;
        for (int i = 0; i < 4; ++i) NextLine(Stream);
        return h;
    }
    for (int i = 0; i < 4; ++i) h.PixelFormatText = NextLine(Stream);
    h.PixelFormat = PixelFormatOf(h.PixelFormatText);
    if (h.PixelFormat == hpUnknown) return h; // refused before anything more is read
    int32_t planes = 0;
    h.Planes = TryStrToInt(NextLine(Stream), planes) && planes >= 1 && planes <= MaxPlanes ? planes : 1;
    h.FrameCount = h.Planes;
    SkipBytes(Stream, PositiveOrZero(NextLine(Stream))); // history
    SkipBytes(Stream, PositiveOrZero(NextLine(Stream))); // description
    const int32_t parameters = PositiveOrZero(NextLine(Stream));
    for (int32_t i = 0; i < parameters; ++i) NextLine(Stream);
    NextLine(Stream);
    return h;
}

THeaderCheck CheckHIPSHeader(const THIPSHeader& Header) {
    THeaderCheck check;
    check.CanLoad = check.Load = Header.PixelFormat != hpUnknown;
    if (!check.Load) check.Refusal = SBitmapFormatNotSupported;
    return check;
}

std::string THIPSLoader::GetLoadFilter() { return std::string(SHIPSDescription) + " (*.hips)|*.hips;*.hip"; }

void THIPSLoader::LoadFromStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    TTextStream stream(-1, Stream, 0);
    stream.SetLineBreak(LineFeed, -1);
    const THIPSHeader header = THIPSHeader::Parse(stream);
    const THeaderCheck check = CheckHIPSHeader(header);
    if (!check.Load) throw ELinearBitmap(check.Refusal);

    const int32_t width = header.Columns;
    const int32_t height = header.Rows;
    if (width <= 0 || height <= 0) throw ELinearBitmap(SInvalidBitmapSize);
    const bool floats = header.PixelFormat == hpFloat || header.PixelFormat == hpFloatRGB;
    const bool grey = header.PixelFormat == hpByte || (header.PixelFormat == hpFloat && header.Planes == 1);
    const uint64_t samples = header.PixelFormat == hpByteRGB || header.PixelFormat == hpFloatRGB ? 3
                             : header.PixelFormat == hpFloat ? uint64_t(std::min(header.Planes, 3))
                                                             : 1;
    CheckPixelBufferSize(width, height, grey ? 8 : 24);
    // The pixels are stored whole: a file too short for them is refused before the buffer is made.
    const uint64_t rowBytes = CheckedMul(uint64_t(width), samples, floats ? 4 : 1);
    if (CheckedMul(rowBytes, uint64_t(height)) > uint64_t(std::max<int64_t>(stream.BytesLeft(), 0)))
        throw EInOutError(SReadLess);
    Bitmap.Allocate(width, height, grey ? lpf8bit : lpf24bit);
    if (grey) std::memcpy(Bitmap.Palette(), GreyPalette().data(), GreyPalette().size());

    switch (header.PixelFormat) {
    case hpByte:
        for (int32_t y = 0; y < height; ++y) ReadRow(stream, Bitmap.ScanLine(y), size_t(width));
        break;
    case hpByteRGB:
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* line = Bitmap.ScanLine(y);
            ReadRow(stream, line, size_t(rowBytes));
            for (int32_t x = 0; x < width; ++x) std::swap(line[size_t(x) * 3], line[size_t(x) * 3 + 2]);
        }
        break;
    case hpFloatRGB: {
        // Three floats per pixel in stored (little-endian) order, into bytes 0, 1, 2.
        std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
        for (int32_t y = 0; y < height; ++y) {
            ReadRow(stream, row.data(), row.size());
            uint8_t* line = Bitmap.ScanLine(y);
            for (size_t i = 0; i < size_t(width) * 3; ++i) line[i] = SampleByte(LoadF32LE(&row[i * 4]));
        }
        break;
    }
    case hpFloat: {
        std::vector<uint8_t> row(size_t(width) * 4);
        if (grey) {
            // One plane: big-endian floats.
            for (int32_t y = 0; y < height; ++y) {
                ReadRow(stream, row.data(), row.size());
                uint8_t* line = Bitmap.ScanLine(y);
                for (int32_t x = 0; x < width; ++x) line[x] = SampleByte(LoadF32BE(&row[size_t(x) * 4]));
            }
            break;
        }
        // Planes one after another in stored (little-endian) order: red, green and, with three or
        // more, blue.
        for (uint64_t plane = 0; plane < samples; ++plane) {
            const size_t channel = 2 - size_t(plane);
            for (int32_t y = 0; y < height; ++y) {
                ReadRow(stream, row.data(), row.size());
                uint8_t* line = Bitmap.ScanLine(y);
                for (int32_t x = 0; x < width; ++x)
                    line[size_t(x) * 3 + channel] = SampleByte(LoadF32LE(&row[size_t(x) * 4]));
            }
        }
        break;
    }
    case hpUnknown: break;
    }
}

THIPSLoader& HIPSLoader() {
    static THIPSLoader loader;
    return loader;
}

void InitializeHIPSLoader() {
    RegisterFileFormat("HIP", SHIPSDescription, THIPSGraphic::ClassInfo());
    RegisterFileFormat("HIPS", SHIPSDescription, THIPSGraphic::ClassInfo());
}

void FinalizeHIPSLoader() { UnregisterGraphicClass(THIPSGraphic::ClassInfo()); }

} // namespace ferronel::linear
