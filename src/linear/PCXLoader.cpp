#include "linear/PCXLoader.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Limits.h"
#include "host/Picture.h"
#include "linear/BufferedStream.h"
#include "linear/LinearStrings.h"
#include "linear/LoaderProgress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace ferronel::linear {

namespace {

constexpr uint8_t RunFlag = 0xC0;
constexpr uint8_t RunCountMask = 0x3F;
constexpr uint8_t PaletteMarker = 12;
constexpr uint16_t ScreenDPI = 96;
// A run byte pair stands for at most 63 bytes: a file shorter than its picture divided by that
// cannot fill the picture.
constexpr uint64_t LongestRun = 63;
constexpr int32_t ChunkSize = 4096;

// The run-length data, taken from the buffered stream a chunk at a time; bytes past the end of the
// stream are the stream's short-read error.
class TRunSource {
public:
    explicit TRunSource(TBufferedStream& Stream) : FStream(Stream) {}

    bool Next(uint8_t& Byte) {
        if (FPos == FFill && !Refill()) return false;
        Byte = FChunk[size_t(FPos++)];
        return true;
    }
    uint8_t NextOrFail() {
        uint8_t b;
        if (!Next(b)) throw EInOutError(SReadLess);
        return b;
    }
    // Whatever is left of the chunk goes back in front of the stream's data.
    int32_t TakeRest(uint8_t* Buffer, int32_t Count) {
        const int32_t n = std::min(Count, FFill - FPos);
        std::memcpy(Buffer, FChunk.data() + FPos, size_t(n));
        FPos += n;
        return n + (n < Count ? std::max(FStream.Read(Buffer + n, Count - n), 0) : 0);
    }

private:
    bool Refill() {
        FPos = 0;
        FFill = std::max(FStream.Read(FChunk.data(), ChunkSize), 0);
        return FFill > 0;
    }
    TBufferedStream& FStream;
    std::array<uint8_t, ChunkSize> FChunk{};
    int32_t FPos = 0;
    int32_t FFill = 0;
};

// Decodes runs into Out until it is full. A run that goes on past the end of Out is kept in
// Pending for the next call; the caller decides whether that is an error.
struct TRunDecoder {
    uint8_t Value = 0;
    uint32_t Pending = 0;

    void Fill(TRunSource& Source, uint8_t* Out, size_t Count) {
        size_t i = 0;
        while (i < Count) {
            if (Pending) {
                const size_t n = std::min<size_t>(Pending, Count - i);
                std::memset(Out + i, Value, n);
                i += n;
                Pending -= uint32_t(n);
                continue;
            }
            const uint8_t b = Source.NextOrFail();
            if (b < RunFlag) {
                Out[i++] = b;
            } else {
                Pending = std::max<uint32_t>(b & RunCountMask, 1);
                Value = Source.NextOrFail();
            }
        }
    }
};

// One plane of a row as runs: a run ends at a value change or after 63 bytes; a single byte below
// the run flag goes out bare.
void EncodeRuns(const uint8_t* Plane, int32_t Count, std::vector<uint8_t>& Out) {
    int32_t x = 0;
    while (x < Count) {
        const uint8_t value = Plane[x];
        int32_t run = 1;
        while (x + run < Count && run < int32_t(LongestRun) && Plane[x + run] == value) ++run;
        if (run == 1 && value < RunFlag) {
            Out.push_back(value);
        } else {
            Out.push_back(uint8_t(RunFlag | run));
            Out.push_back(value);
        }
        x += run;
    }
}

} // namespace

TPCXHeader TPCXHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPCXHeader h;
    h.Manufacturer = r.U8();
    h.Version = r.U8();
    h.Encoding = r.U8();
    h.BitsPerPixel = r.U8();
    h.XMin = r.U16LE();
    h.YMin = r.U16LE();
    h.XMax = r.U16LE();
    h.YMax = r.U16LE();
    h.HorizontalDPI = r.U16LE();
    h.VerticalDPI = r.U16LE();
    r.Seek(64);
    h.Reserved = r.U8();
    h.Planes = r.U8();
    h.BytesPerLine = r.U16LE();
    return h;
}

void TPCXHeader::Serialize(std::span<uint8_t, Size> Bytes) const {
    std::fill(Bytes.begin(), Bytes.end(), uint8_t(0));
    Bytes[0] = Manufacturer;
    Bytes[1] = Version;
    Bytes[2] = Encoding;
    Bytes[3] = BitsPerPixel;
    StoreU16LE(&Bytes[4], XMin);
    StoreU16LE(&Bytes[6], YMin);
    StoreU16LE(&Bytes[8], XMax);
    StoreU16LE(&Bytes[10], YMax);
    StoreU16LE(&Bytes[12], HorizontalDPI);
    StoreU16LE(&Bytes[14], VerticalDPI);
    Bytes[64] = Reserved;
    Bytes[65] = Planes;
    StoreU16LE(&Bytes[66], BytesPerLine);
}

THeaderCheck CheckPCXHeader(const TPCXHeader& Header) {
    const bool known = Header.Manufacturer == pmZSoft && Header.Version == pvWithPalette &&
                       Header.Encoding == peRunLength && Header.BitsPerPixel == 8 &&
                       (Header.Planes == ppIndexed || Header.Planes == ppRGB);
    // Reversed bounds, empty lines or a picture wider than its stored line cannot be cut from
    // the decoded lines.
    const bool sized = Header.BytesPerLine > 0 && Header.Height() > 0 && Header.Width() > 0 &&
                       Header.Width() <= Header.BytesPerLine;
    THeaderCheck check;
    check.CanLoad = check.Load = known && sized;
    if (!check.Load) check.Refusal = SFileFormatNotSupported;
    return check;
}

std::string TPCXLoader::GetLoadFilter() { return std::string(SPCXDescription) + " (*.pcx)|*.pcx"; }

void TPCXLoader::LoadFromStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    TBufferedStream stream(-1, Stream, 0);
    std::array<uint8_t, TPCXHeader::Size> head{};
    stream.Read(head.data(), int32_t(head.size()));
    const TPCXHeader header = TPCXHeader::Parse(head);
    const THeaderCheck check = CheckPCXHeader(header);
    if (!check.Load) throw ELinearBitmap(check.Refusal);

    const int32_t lineBytes = header.BytesPerLine;
    const int32_t height = header.Height();
    const bool rgb = header.Planes == ppRGB;
    CheckPixelBufferSize(lineBytes, height, rgb ? 24 : 8);
    const uint64_t coded = CheckedMul(uint64_t(lineBytes), uint64_t(header.Planes), uint64_t(height));
    if (coded > CheckedMul(uint64_t(std::max<int64_t>(stream.BytesLeft(), 0)), LongestRun) + LongestRun)
        throw EInOutError(SReadLess);
    Bitmap.Allocate(lineBytes, height, rgb ? lpf24bit : lpf8bit);

    stream.SetExactTransfers(false);
    TRunSource source(stream);
    TRunDecoder runs;
    if (!rgb) {
        std::memcpy(Bitmap.Palette(), GreyPalette().data(), GreyPalette().size());
        runs.Fill(source, Bitmap.Map(), size_t(Bitmap.Size()));
    } else {
        std::vector<uint8_t> planes(size_t(lineBytes) * 3);
        for (int32_t y = 0; y < height; ++y) {
            runs.Fill(source, planes.data(), planes.size());
            uint8_t* line = Bitmap.ScanLine(y);
            const uint8_t* red = planes.data();
            const uint8_t* green = red + lineBytes;
            const uint8_t* blue = green + lineBytes;
            for (int32_t x = 0; x < lineBytes; ++x) {
                line[0] = blue[x];
                line[1] = green[x];
                line[2] = red[x];
                line += 3;
            }
            ReportLoaderProgress(int((int64_t(y) + 1) * 100 / height));
        }
    }
    if (runs.Pending) throw ELinearBitmap(SBitmapDataError);

    if (header.Width() != lineBytes) Bitmap.Resize(header.Width(), height, 0, 0, 0);

    if (!rgb) {
        uint8_t b;
        while (source.Next(b))
            if (b == PaletteMarker) {
                std::array<uint8_t, 768> rgbTable{};
                if (source.TakeRest(rgbTable.data(), int32_t(rgbTable.size())) != int32_t(rgbTable.size()))
                    throw EInOutError(SReadLess);
                uint8_t* palette = Bitmap.Palette();
                for (size_t i = 0; i < 256; ++i) {
                    palette[i * 3] = rgbTable[i * 3 + 2];
                    palette[i * 3 + 1] = rgbTable[i * 3 + 1];
                    palette[i * 3 + 2] = rgbTable[i * 3];
                }
                break;
            }
    }
}

void TPCXLoader::SaveToStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    const uint8_t format = Bitmap.PixelFormat();
    if (format != lpf8bit && format != lpf24bit) throw ELinearBitmap(SUnsupportedPixelFormat);
    const int32_t width = Bitmap.Width();
    const int32_t height = Bitmap.Height();
    // Stored lines hold an even number of bytes, as readers of the format expect; the bounds keep
    // the true width. So 65535 is too wide: its padded line of 65536 does not fit the 16-bit field.
    if (!Bitmap.Present() || width > 0xFFFE || height > 0x10000) throw ELinearBitmap(SInvalidBitmapSize);
    const int32_t lineBytes = width + (width & 1);

    TPCXHeader header;
    header.Manufacturer = pmZSoft;
    header.Version = pvWithPalette;
    header.Encoding = peRunLength;
    header.BitsPerPixel = 8;
    header.XMax = uint16_t(width - 1);
    header.YMax = uint16_t(height - 1);
    header.HorizontalDPI = header.VerticalDPI = ScreenDPI;
    header.Planes = format == lpf8bit ? ppIndexed : ppRGB;
    header.BytesPerLine = uint16_t(lineBytes);
    std::vector<uint8_t> out(TPCXHeader::Size);
    header.Serialize(std::span<uint8_t, TPCXHeader::Size>(out.data(), TPCXHeader::Size));

    TBufferedStream stream(0, Stream, -1);
    std::vector<uint8_t> plane(size_t(lineBytes), 0);
    const int32_t pixelSize = Bitmap.PixelSize();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = Bitmap.ScanLine(y);
        // Red, green, blue planes are bytes 2, 1, 0 of each pixel.
        for (int32_t channel = pixelSize - 1; channel >= 0; --channel) {
            for (int32_t x = 0; x < width; ++x)
                plane[size_t(x)] = row[size_t(x) * size_t(pixelSize) + size_t(channel)];
            EncodeRuns(plane.data(), lineBytes, out);
        }
        // A one-row picture is done after its only row (no division by height - 1).
        if (format == lpf24bit) ReportLoaderProgress(height > 1 ? int(int64_t(y) * 100 / (height - 1)) : 100);
        if (out.size() >= size_t(DefaultBufferSize)) {
            stream.WriteAll(out.data(), out.size());
            out.clear();
        }
    }
    if (format == lpf8bit) {
        out.push_back(PaletteMarker);
        const uint8_t* palette = Bitmap.Palette();
        for (size_t i = 0; i < 256; ++i) {
            out.push_back(palette[i * 3 + 2]);
            out.push_back(palette[i * 3 + 1]);
            out.push_back(palette[i * 3]);
        }
    }
    stream.WriteAll(out.data(), out.size());
    stream.Flush();
}

TPCXLoader& PCXLoader() {
    static TPCXLoader loader;
    return loader;
}

void InitializePCXLoader() { RegisterFileFormat("PCX", SPCXDescription, TPCXGraphic::ClassInfo()); }

void FinalizePCXLoader() { UnregisterGraphicClass(TPCXGraphic::ClassInfo()); }

} // namespace ferronel::linear
