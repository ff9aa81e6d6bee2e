#include "linear/PNGLoader.h"

#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Picture.h"
#include "linear/Adler32.h"
#include "linear/BufferedStream.h"
#include "linear/CRC32Stream.h"
#include "linear/DeflateStream.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace ferronel::linear {

namespace {

constexpr uint8_t PNGSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t MNGSignature[8] = {0x8A, 'M', 'N', 'G', '\r', '\n', 0x1A, '\n'};

constexpr uint32_t ChunkType(const char (&Name)[5]) {
    return uint32_t(uint8_t(Name[0])) << 24 | uint32_t(uint8_t(Name[1])) << 16 |
           uint32_t(uint8_t(Name[2])) << 8 | uint32_t(uint8_t(Name[3]));
}
enum TChunkType : uint32_t {
    ctIHDR = ChunkType("IHDR"),
    ctPLTE = ChunkType("PLTE"),
    ctIDAT = ChunkType("IDAT"),
    ctIEND = ChunkType("IEND"),
    ctgAMA = ChunkType("gAMA"),
    ctTRNS = ChunkType("tRNS"),
    ctMHDR = ChunkType("MHDR"),
    ctMEND = ChunkType("MEND"),
    ctDEFI = ChunkType("DEFI"),
};
bool IsCritical(uint32_t Type) { return (Type & 0x20000000u) == 0; }

[[noreturn]] void InvalidData() { throw Exception(SInvalidPNGData); }

// Adam7: column step, column start, row step, row start of each pass.
constexpr int PassColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr int PassColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int PassRowStep[7] = {8, 8, 8, 4, 4, 2, 2};
constexpr int PassRowStart[7] = {0, 0, 4, 0, 2, 0, 1};

uint32_t PassSize(uint32_t Size, int Step, int Start) {
    return Size <= uint32_t(Start) ? 0 : (Size - uint32_t(Start) + uint32_t(Step) - 1) / uint32_t(Step);
}

uint32_t ReadU32BE(TBaseStream& Stream) {
    uint8_t b[4] = {};
    Stream.Read(b, 4);
    return LoadU32BE(b);
}

// Reads up to Count bytes without raising on a short read; answers how many arrived.
int32_t ReadSome(TBaseStream& Stream, void* Buffer, int32_t Count) {
    const bool exact = Stream.ExactTransfers();
    Stream.SetExactTransfers(false);
    int32_t got = 0;
    try {
        got = Stream.Read(Buffer, Count);
    } catch (...) {
        Stream.SetExactTransfers(exact);
        throw;
    }
    Stream.SetExactTransfers(exact);
    return std::max(got, 0);
}

// The image data of consecutive IDAT chunks as one stream. It ends at the first chunk of another
// type, whose length and type it keeps for the chunk walk, or at the end of the file; only the last
// IDAT chunk's CRC is checked, when the data is known to end there.
class TIDATStream : public TFilterStream {
public:
    TIDATStream(TCRC32Stream& Source, TBaseStream& Raw, uint32_t ChunkLength)
        : TFilterStream(static_cast<TBaseStream&>(Source)), FCrc(Source), FRaw(Raw), FChunkLeft(ChunkLength) {
    }

    int32_t Read(void* Buffer, int32_t Count) override {
        auto* to = static_cast<uint8_t*>(Buffer);
        int32_t delivered = 0;
        while (delivered < Count && !FEnded) {
            if (FChunkLeft > 0) {
                const int32_t n = int32_t(std::min<uint64_t>(FChunkLeft, uint64_t(Count - delivered)));
                const int32_t got = ReadSome(FCrc, to + delivered, n);
                delivered += got;
                FChunkLeft -= uint32_t(got);
                if (got < n) {
                    FEnded = true; // the file ends inside the chunk
                    break;
                }
                continue;
            }
            NextChunk();
        }
        if (delivered < Count && ExactTransfers()) throw EInOutError(SReadLess);
        return delivered;
    }
    int64_t BytesLeft() override { return FEnded ? 0 : int64_t(FChunkLeft) + 1; }
    void SkipRest() {
        while (!FEnded) {
            if (FChunkLeft > 0) {
                const uint64_t skipped = uint64_t(FCrc.TransferTo(nullptr, FChunkLeft));
                if (skipped < FChunkLeft) {
                    FEnded = true;
                    break;
                }
                FChunkLeft = 0;
            }
            NextChunk();
        }
    }
    bool HasNext = false;
    uint32_t NextLength = 0;
    uint32_t NextType = 0;

private:
    void NextChunk() {
        const uint32_t computed = FCrc.GetCRC();
        uint8_t b[4];
        if (ReadSome(FRaw, b, 4) < 4) throw Exception(SCRCError);
        const uint32_t stored = LoadU32BE(b);
        FEnded = true;
        if (ReadSome(FRaw, b, 4) == 4) {
            NextLength = LoadU32BE(b);
            FCrc.ResetCRC();
            if (ReadSome(FCrc, b, 4) == 4) {
                NextType = LoadU32BE(b);
                if (NextType == ctIDAT) {
                    FChunkLeft = NextLength;
                    FEnded = false;
                    return;
                }
                HasNext = true;
            }
        }
        // The last chunk of the image data.
        if (computed != stored) throw Exception(SCRCError);
    }

    TCRC32Stream& FCrc;
    TBaseStream& FRaw;
    uint32_t FChunkLeft;
    bool FEnded = false;
};

void Unfilter(uint8_t Filter, uint8_t* Row, const uint8_t* Prior, size_t Count, size_t Bpp) {
    switch (Filter) {
    case prfNone: break;
    case prfSub:
        for (size_t i = Bpp; i < Count; ++i) Row[i] = uint8_t(Row[i] + Row[i - Bpp]);
        break;
    case prfUp:
        for (size_t i = 0; i < Count; ++i) Row[i] = uint8_t(Row[i] + Prior[i]);
        break;
    case prfAverage:
        for (size_t i = 0; i < Bpp && i < Count; ++i) Row[i] = uint8_t(Row[i] + Prior[i] / 2);
        for (size_t i = Bpp; i < Count; ++i) Row[i] = uint8_t(Row[i] + (Row[i - Bpp] + Prior[i]) / 2);
        break;
    case prfPaeth:
        for (size_t i = 0; i < Bpp && i < Count; ++i) Row[i] = uint8_t(Row[i] + Prior[i]);
        for (size_t i = Bpp; i < Count; ++i) {
            const int a = Row[i - Bpp], b = Prior[i], c = Prior[i - Bpp];
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            Row[i] = uint8_t(Row[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
        }
        break;
    default: InvalidData();
    }
}

// One unfiltered row into pixels of the bitmap's format (and opacity when Alpha is set).
void ConvertRow(const uint8_t* Row, uint32_t Width, int Depth, int Channels, uint8_t* Pixels,
                uint8_t* Alpha) {
    if (Depth < 8) {
        const int perByte = 8 / Depth, mask = (1 << Depth) - 1;
        for (uint32_t x = 0; x < Width; ++x) {
            const int shift = 8 - Depth * (int(x % uint32_t(perByte)) + 1);
            Pixels[x] = uint8_t((Row[x / uint32_t(perByte)] >> shift) & mask);
        }
        return;
    }
    const size_t step = size_t(Channels) * (Depth / 8);
    const int hi = 0; // the high byte of 16-bit samples comes first
    const size_t sample = size_t(Depth / 8);
    for (uint32_t x = 0; x < Width; ++x, Row += step) {
        switch (Channels) {
        case 1:
        case 2:
            if (Depth == 16) {
                Pixels[x * 2] = Row[1];
                Pixels[x * 2 + 1] = Row[0];
            } else {
                Pixels[x] = Row[0];
            }
            if (Channels == 2 && Alpha) Alpha[x] = Row[sample + hi];
            break;
        default:
            Pixels[x * 3] = Row[2 * sample + hi];
            Pixels[x * 3 + 1] = Row[sample + hi];
            Pixels[x * 3 + 2] = Row[hi];
            if (Channels == 4 && Alpha) Alpha[x] = Row[3 * sample + hi];
            break;
        }
    }
}

struct TLoad {
    TPNGImageHeader Header;
    bool HaveHeader = false;
    bool Mng = false;
};

} // namespace

TPNGImageHeader TPNGImageHeader::Parse(std::span<const uint8_t, Size> Bytes) {
    TByteReader r(Bytes);
    TPNGImageHeader h;
    h.Width = r.U32BE();
    h.Height = r.U32BE();
    h.BitDepth = r.U8();
    h.ColorType = r.U8();
    h.CompressionMethod = r.U8();
    h.FilterMethod = r.U8();
    h.InterlaceMethod = r.U8();
    return h;
}

void TPNGImageHeader::Serialize(std::span<uint8_t, Size> Bytes) const {
    StoreU32BE(Bytes.data(), Width);
    StoreU32BE(Bytes.data() + 4, Height);
    Bytes[8] = BitDepth;
    Bytes[9] = ColorType;
    Bytes[10] = CompressionMethod;
    Bytes[11] = FilterMethod;
    Bytes[12] = InterlaceMethod;
}

int TPNGImageHeader::Channels() const {
    switch (ColorType) {
    case pcRGB: return 3;
    case pcGreyAlpha: return 2;
    case pcRGBAlpha: return 4;
    default: return 1;
    }
}

THeaderCheck CheckPNGImageHeader(const TPNGImageHeader& Header) {
    bool depthFits = false;
    switch (Header.ColorType) {
    case pcGrey:
        depthFits = Header.BitDepth == 1 || Header.BitDepth == 2 || Header.BitDepth == 4 ||
                    Header.BitDepth == 8 || Header.BitDepth == 16;
        break;
    case pcPalette:
        depthFits =
            Header.BitDepth == 1 || Header.BitDepth == 2 || Header.BitDepth == 4 || Header.BitDepth == 8;
        break;
    case pcRGB:
    case pcGreyAlpha:
    case pcRGBAlpha: depthFits = Header.BitDepth == 8 || Header.BitDepth == 16; break;
    default: break;
    }
    // A depth the colour type does not allow would give rows of another size than the bitmap's.
    const bool ok = depthFits && Header.Width <= 0x7FFFFFFF && Header.Height <= 0x7FFFFFFF;
    return {ok, ok, ok ? std::string() : std::string(SInvalidPNGData)};
}

bool TPNGLoader::CanLoad(const std::string& Ext) {
    std::string e = Ext;
    for (char& c : e) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
    return e == "PNG" || e == "MNG";
}

std::string TPNGLoader::GetLoadFilter() {
    return std::string(SPNGDescription) + " (*.png)|*.png|" + SMNGDescription + " (*.mng)|*.mng";
}

void TPNGLoader::Reset() {
    ExtraPalette.reset();
    AlphaTable.reset();
    AlphaBitmap.reset();
    TransparentColor = -1;
    Gamma = 0;
}

namespace {

class TImageReader {
public:
    TImageReader(TPNGLoader& Loader, TLinearBitmap& Bitmap, const TPNGImageHeader& Header, bool Mng)
        : FLoader(Loader), FBitmap(Bitmap), FHeader(Header), FMng(Mng) {}

    // Reads the image data that starts with an IDAT chunk of Length bytes; answers the data stream,
    // which knows what follows the image data.
    std::unique_ptr<TIDATStream> Read(TCRC32Stream& Crc, TBaseStream& Raw, uint32_t Length);

private:
    void DecodePass(TDeflateStream& Inflate, uint32_t Width, uint32_t Height, uint8_t* Pixels,
                    size_t PixelStride, uint8_t* Alpha, size_t AlphaStride);

    TPNGLoader& FLoader;
    TLinearBitmap& FBitmap;
    const TPNGImageHeader& FHeader;
    bool FMng;
    TAdler32 FAdler;
};

void TImageReader::DecodePass(TDeflateStream& Inflate, uint32_t Width, uint32_t Height, uint8_t* Pixels,
                              size_t PixelStride, uint8_t* Alpha, size_t AlphaStride) {
    const int depth = FHeader.BitDepth, channels = FHeader.Channels();
    const size_t rowBytes = size_t(CheckedRowBytes(Width, uint64_t(channels) * uint64_t(depth)));
    const size_t bpp = size_t(std::max(1, channels * depth / 8));
    // Two rows that swap roles; one byte before each for the filter type.
    std::vector<uint8_t> a(rowBytes + 1), b(rowBytes + 1, 0);
    uint8_t* row = a.data();
    uint8_t* prior = b.data();
    for (uint32_t y = 0; y < Height; ++y) {
        Inflate.Read(row, int32_t(CheckedCast<int32_t>(rowBytes + 1)));
        FAdler.Add(row, rowBytes + 1);
        Unfilter(row[0], row + 1, prior + 1, rowBytes, bpp);
        ConvertRow(row + 1, Width, depth, channels, Pixels + y * PixelStride,
                   Alpha ? Alpha + y * AlphaStride : nullptr);
        std::swap(row, prior);
    }
}

std::unique_ptr<TIDATStream> TImageReader::Read(TCRC32Stream& Crc, TBaseStream& Raw, uint32_t Length) {
    if (!FBitmap.Present()) InvalidData();
    if (FHeader.InterlaceMethod > piAdam7) InvalidData();
    if (FHeader.FilterMethod != pfmAdaptive && !(FMng && FHeader.FilterMethod == pfmIntrapixel))
        InvalidData();
    if (FHeader.FilterMethod == pfmIntrapixel && FBitmap.PixelFormat() != lpf24bit)
        throw Exception(SUnsupportedPixelFormat);
    FAdler.Reset();
    auto data = std::make_unique<TIDATStream>(Crc, Raw, Length);
    uint8_t zlibHeader[2];
    data->Read(zlibHeader, 2);
    if ((zlibHeader[0] & 0x0F) != 8 || (zlibHeader[0] & 0x80) != 0) InvalidData();
    {
        TDeflateStream inflate(*data, TDeflateStream::dmDecompress);
        const uint32_t width = FHeader.Width, height = FHeader.Height;
        TLinearBitmap* alpha = FLoader.AlphaBitmap.get();
        const size_t pixelSize = size_t(FBitmap.PixelSize());
        if (FHeader.InterlaceMethod == piNone) {
            DecodePass(inflate, width, height, FBitmap.Map(), size_t(FBitmap.BytesPerLine()),
                       alpha ? alpha->Map() : nullptr, alpha ? size_t(alpha->BytesPerLine()) : 0);
        } else {
            for (int pass = 0; pass < 7; ++pass) {
                const uint32_t pw = PassSize(width, PassColumnStep[pass], PassColumnStart[pass]);
                const uint32_t ph = PassSize(height, PassRowStep[pass], PassRowStart[pass]);
                if (pw == 0 || ph == 0) continue;
                // Each pass in a buffer of its own, of the bitmap's pixel size, spread once decoded.
                std::vector<uint8_t> pixels(size_t(CheckedMul(pw, ph, pixelSize)));
                std::vector<uint8_t> alphas(alpha ? size_t(pw) * ph : 0);
                DecodePass(inflate, pw, ph, pixels.data(), size_t(pw) * pixelSize,
                           alpha ? alphas.data() : nullptr, pw);
                for (uint32_t y = 0; y < ph; ++y) {
                    const uint32_t ty = uint32_t(PassRowStart[pass]) + y * uint32_t(PassRowStep[pass]);
                    uint8_t* dest = FBitmap.ScanLine(int32_t(ty));
                    const uint8_t* src = pixels.data() + size_t(y) * pw * pixelSize;
                    for (uint32_t x = 0; x < pw; ++x) {
                        const size_t tx = PassColumnStart[pass] + size_t(x) * size_t(PassColumnStep[pass]);
                        std::memcpy(dest + tx * pixelSize, src + size_t(x) * pixelSize, pixelSize);
                        if (alpha) alpha->ScanLine(int32_t(ty))[tx] = alphas[size_t(y) * pw + x];
                    }
                }
            }
        }
        // The rest of the data up to its final block belongs to the checksum too.
        inflate.FinishData([](void* Adler, const uint8_t* Bytes,
                              size_t Count) { static_cast<TAdler32*>(Adler)->Add(Bytes, Count); },
                           &FAdler);
        uint8_t stored[4];
        if (inflate.ReadTrailer(stored, 4) < 4 || LoadU32BE(stored) != FAdler.Value())
            throw Exception(SAdler32Error);
    }
    data->SkipRest();
    if (FHeader.FilterMethod == pfmIntrapixel) {
        uint8_t* p = FBitmap.Map();
        for (int64_t i = 0; i < FBitmap.Size(); i += 3) {
            p[i] = uint8_t(p[i] + p[i + 1]);
            p[i + 2] = uint8_t(p[i + 2] + p[i + 1]);
        }
    }
    return data;
}

} // namespace

void TPNGLoader::LoadFromStream(TBaseStream& Stream, const std::string&, TLinearBitmap& Bitmap) {
    Reset();
    Bitmap.Clear();
    TBufferedStream buffered(-1, Stream, 0);
    uint8_t signature[8];
    buffered.Read(signature, 8);
    TLoad load;
    if (std::memcmp(signature, MNGSignature, 8) == 0)
        load.Mng = true;
    else if (std::memcmp(signature, PNGSignature, 8) != 0)
        throw Exception(SInvalidPNGHeader);
    TCRC32Stream crc(buffered);
    auto checkCrc = [&] {
        const uint32_t computed = crc.GetCRC();
        if (ReadU32BE(buffered) != computed) throw Exception(SCRCError);
    };
    auto skipThroughCrc = [&](uint64_t Count) {
        if (uint64_t(crc.TransferTo(nullptr, int64_t(Count))) < Count) throw EInOutError(SReadLess);
    };

    bool pending = false, done = false;
    uint32_t length = 0, type = 0;
    while (!done) {
        if (!pending) {
            uint8_t b[4];
            if (buffered.Read(b, 4) < 4) break;
            length = LoadU32BE(b);
            crc.ResetCRC();
            if (crc.Read(b, 4) < 4) break;
            type = LoadU32BE(b);
        }
        pending = false;
        // After the image data a file that ends inside a chunk ends the walk, keeping the picture.
        if (!buffered.ExactTransfers() && buffered.BytesLeft() < int64_t(length) + 4) break;
        switch (type) {
        case ctIHDR: {
            if (length != TPNGImageHeader::Size) InvalidData();
            uint8_t body[TPNGImageHeader::Size] = {};
            crc.Read(body, int32_t(sizeof body));
            load.Header = TPNGImageHeader::Parse(std::span<const uint8_t, TPNGImageHeader::Size>(body));
            const THeaderCheck check = CheckPNGImageHeader(load.Header);
            if (!check.Load) throw Exception(check.Refusal);
            const TPNGImageHeader& h = load.Header;
            BitDepth = h.BitDepth;
            const int32_t w = int32_t(h.Width), hh = int32_t(h.Height);
            const bool grey = h.ColorType == pcGrey || h.ColorType == pcGreyAlpha;
            if (grey && h.BitDepth == 16) {
                Bitmap.Allocate(w, hh, lpf16bitGrey);
            } else if (grey || h.ColorType == pcPalette) {
                Bitmap.Allocate(w, hh, lpf8bit);
                uint8_t* palette = Bitmap.Palette();
                std::memset(palette, 0, 768);
                if (grey) {
                    const int entries = 1 << std::min<int>(h.BitDepth, 8);
                    for (int k = 0; k < entries; ++k)
                        std::memset(palette + k * 3, uint8_t(k * 255 / (entries - 1)), 3);
                }
            } else {
                Bitmap.Allocate(w, hh, lpf24bit);
            }
            if (KeepExtras && (h.ColorType == pcGreyAlpha || h.ColorType == pcRGBAlpha)) {
                AlphaBitmap = std::make_unique<TLinearBitmap>();
                AlphaBitmap->Allocate(w, hh, lpf8bit);
                std::memcpy(AlphaBitmap->Palette(), GreyPalette().data(), 768);
            }
            load.HaveHeader = true;
            checkCrc();
            break;
        }
        case ctPLTE: {
            uint8_t* target = Bitmap.PixelFormat() == lpf8bit && load.Header.ColorType == pcPalette
                                  ? Bitmap.Palette()
                                  : nullptr;
            if (!target && KeepExtras) {
                ExtraPalette = std::make_unique<TLinearPalette>();
                target = ExtraPalette->data();
            }
            if (!target) {
                // Unused here: data and CRC are skipped unchecked.
                if (uint64_t(buffered.TransferTo(nullptr, int64_t(length) + 4)) < uint64_t(length) + 4)
                    throw EInOutError(SReadLess);
                break;
            }
            // At most 256 entries reach the palette, whatever the chunk's length.
            const uint32_t entries = std::min<uint32_t>(length / 3, 256);
            std::memset(target, 0, 768);
            for (uint32_t i = 0; i < entries; ++i) {
                uint8_t rgb[3] = {};
                crc.Read(rgb, 3);
                target[i * 3] = rgb[2];
                target[i * 3 + 1] = rgb[1];
                target[i * 3 + 2] = rgb[0];
            }
            skipThroughCrc(length - entries * 3);
            checkCrc();
            break;
        }
        case ctgAMA: {
            uint32_t used = 0;
            if (length >= 4) {
                Gamma = ReadU32BE(crc) / 100000.0;
                used = 4;
            }
            skipThroughCrc(length - used);
            checkCrc();
            break;
        }
        case ctTRNS: {
            uint8_t values[256] = {};
            const uint32_t n = std::min<uint32_t>(length, 256);
            crc.Read(values, int32_t(n));
            const uint8_t colorType = load.Header.ColorType;
            if (colorType == pcGrey && n >= 2) {
                TransparentColor = LoadU16BE(values);
            } else if (colorType == pcRGB && load.Header.BitDepth == 8 && n >= 6) {
                TransparentColor = int32_t(values[1] | values[3] << 8 | values[5] << 16);
            } else if (colorType == pcPalette) {
                if (KeepExtras) {
                    AlphaTable = std::make_unique<std::array<uint8_t, 256>>();
                    AlphaTable->fill(255);
                    std::memcpy(AlphaTable->data(), values, n);
                } else {
                    for (uint32_t i = 0; i < n; ++i)
                        if (values[i] == 0) {
                            TransparentColor = int32_t(i);
                            break;
                        }
                }
            }
            skipThroughCrc(length - n);
            checkCrc();
            break;
        }
        case ctIDAT: {
            TImageReader reader(*this, Bitmap, load.Header, load.Mng);
            const std::unique_ptr<TIDATStream> data = reader.Read(crc, buffered, length);
            // A file that ends after the image data now ends the walk quietly.
            buffered.SetExactTransfers(false);
            if (data->HasNext) {
                pending = true;
                length = data->NextLength;
                type = data->NextType;
            } else {
                done = true; // the file ends right after the image data
            }
            break;
        }
        case ctIEND:
            checkCrc();
            done = true;
            break;
        default:
            // Chunks of the MNG container around the first image are not the image's business.
            if (IsCritical(type) && type != ctMHDR && type != ctMEND && type != ctDEFI &&
                !(load.Mng && !load.HaveHeader))
                throw Exception(SUnsupportedPNGData);
            if (uint64_t(buffered.TransferTo(nullptr, int64_t(length) + 4)) < uint64_t(length) + 4 &&
                buffered.ExactTransfers())
                throw EInOutError(SReadLess);
            break;
        }
    }
    if (!Bitmap.Present()) throw Exception(SUnsupportedPNGData);
}

namespace {

// A chunk with its length and CRC.
void WriteChunk(TBaseStream& Stream, const char* Type, const uint8_t* Body, size_t Length) {
    uint8_t head[8];
    StoreU32BE(head, CheckedCast<uint32_t>(Length));
    std::memcpy(head + 4, Type, 4);
    uint32_t crc = UpdateCRC32(0xFFFFFFFF, head + 4, 4);
    crc = ~UpdateCRC32(crc, Body, Length);
    Stream.Write(head, 8);
    for (size_t done = 0; done < Length;) {
        const int32_t n = int32_t(std::min<size_t>(Length - done, 1 << 30));
        Stream.Write(Body + done, n);
        done += size_t(n);
    }
    uint8_t tail[4];
    StoreU32BE(tail, crc);
    Stream.Write(tail, 4);
}
void WriteChunk(TBaseStream& Stream, const char* Type, const std::vector<uint8_t>& Body) {
    WriteChunk(Stream, Type, Body.data(), Body.size());
}

// The filtered variant of a row for one filter type.
void FilterRow(int Filter, const uint8_t* Row, const uint8_t* Prior, size_t Count, size_t Bpp, uint8_t* Out) {
    for (size_t i = 0; i < Count; ++i) {
        const int a = i >= Bpp ? Row[i - Bpp] : 0, b = Prior[i], c = i >= Bpp ? Prior[i - Bpp] : 0;
        int predictor = 0;
        switch (Filter) {
        case prfSub: predictor = a; break;
        case prfUp: predictor = b; break;
        case prfAverage: predictor = (a + b) / 2; break;
        case prfPaeth: {
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            break;
        }
        default: break;
        }
        Out[i] = uint8_t(Row[i] - predictor);
    }
}

// How well a filtered row should compress under a filter mode (lower is better).
int64_t RowCost(int32_t Mode, const uint8_t* Row, size_t Count) {
    int64_t cost = 0;
    if (Mode == -2) {
        // Runs: positions whose byte repeats the four before it, counted against.
        for (size_t i = 4; i < Count; ++i)
            cost -=
                Row[i] == Row[i - 1] && Row[i] == Row[i - 2] && Row[i] == Row[i - 3] && Row[i] == Row[i - 4];
        return cost;
    }
    for (size_t i = 0; i < Count; ++i) cost += std::abs(int(int8_t(Row[i])));
    return cost;
}

void WriteImage(TBaseStream& Stream, bool Mng, const TLinearBitmap& Bitmap, const TPNGLoader& Loader,
                int32_t FilterMode) {
    TPNGImageHeader h;
    h.Width = uint32_t(Bitmap.Width());
    h.Height = uint32_t(Bitmap.Height());
    h.BitDepth = 8;
    switch (Bitmap.PixelFormat()) {
    case lpf8bit: h.ColorType = Bitmap.IsGreyScale() ? pcGrey : pcPalette; break;
    case lpf16bitGrey:
        h.ColorType = pcGrey;
        h.BitDepth = 16;
        break;
    case lpf24bit:
        h.ColorType = pcRGB;
        if (Mng) h.FilterMethod = pfmIntrapixel;
        break;
    default: throw ELinearBitmap(SUnsupportedPixelFormat);
    }
    Stream.Write(Mng ? MNGSignature : PNGSignature, 8);
    if (Mng) {
        // The container's header: one layer, one frame.
        std::vector<uint8_t> mhdr(28, 0);
        StoreU32BE(mhdr.data(), h.Width);
        StoreU32BE(mhdr.data() + 4, h.Height);
        StoreU32BE(mhdr.data() + 8, 1);
        StoreU32BE(mhdr.data() + 12, 1);
        StoreU32BE(mhdr.data() + 16, 1);
        StoreU32BE(mhdr.data() + 20, 1);
        WriteChunk(Stream, "MHDR", mhdr);
    }
    uint8_t ihdr[TPNGImageHeader::Size];
    h.Serialize(std::span<uint8_t, TPNGImageHeader::Size>(ihdr));
    WriteChunk(Stream, "IHDR", ihdr, sizeof ihdr);

    const uint8_t* palette = h.ColorType == pcPalette ? Bitmap.Palette()
                             : Loader.ExtraPalette    ? Loader.ExtraPalette->data()
                                                      : nullptr;
    if (palette) {
        // Up to the last entry that is not black, and never fewer than the pixels use.
        int entries = 1;
        for (int i = 0; i < 256; ++i)
            if (palette[i * 3] | palette[i * 3 + 1] | palette[i * 3 + 2]) entries = i + 1;
        if (h.ColorType == pcPalette)
            for (int64_t i = 0; i < Bitmap.Size(); ++i) entries = std::max(entries, Bitmap.Map()[i] + 1);
        std::vector<uint8_t> plte;
        for (int i = 0; i < entries; ++i)
            plte.insert(plte.end(), {palette[i * 3 + 2], palette[i * 3 + 1], palette[i * 3]});
        WriteChunk(Stream, "PLTE", plte);
    }
    if (Loader.Gamma != 0) {
        std::vector<uint8_t> gama(4);
        StoreU32BE(gama.data(), uint32_t(std::lround(Loader.Gamma * 100000)));
        WriteChunk(Stream, "gAMA", gama);
    }
    if (Loader.TransparentColor >= 0) {
        const uint32_t t = uint32_t(Loader.TransparentColor);
        std::vector<uint8_t> trns;
        if (h.ColorType == pcGrey) {
            trns = {uint8_t(t >> 8), uint8_t(t)};
        } else if (h.ColorType == pcRGB) {
            trns = {0, uint8_t(t), 0, uint8_t(t >> 8), 0, uint8_t(t >> 16)};
        } else if (t < 256) {
            trns.assign(t, 255);
            trns.push_back(0);
        }
        if (!trns.empty()) WriteChunk(Stream, "tRNS", trns);
    }

    // The image data: zlib header, deflate data, Adler-32, all in one chunk.
    TMemStream idat;
    const uint8_t zlibHeader[2] = {0x78, 0xDA};
    idat.Write(zlibHeader, 2);
    TAdler32 adler;
    {
        TDeflateStream deflate(idat, TDeflateStream::dmCompress);
        const int channels = h.Channels();
        const size_t rowBytes = size_t(Bitmap.BytesPerLine());
        const size_t bpp = size_t(std::max(1, h.BitDepth * channels / 8));
        std::vector<uint8_t> raw(rowBytes), prior(rowBytes, 0), best(rowBytes + 1), trial(rowBytes);
        for (int32_t y = 0; y < Bitmap.Height(); ++y) {
            const uint8_t* src = Bitmap.ScanLine(y);
            for (size_t x = 0; x < rowBytes; x += size_t(Bitmap.PixelSize())) {
                if (h.ColorType == pcRGB) {
                    // Green is taken from red and blue under intrapixel differencing.
                    const uint8_t g = h.FilterMethod == pfmIntrapixel ? src[x + 1] : 0;
                    raw[x] = uint8_t(src[x + 2] - g);
                    raw[x + 1] = src[x + 1];
                    raw[x + 2] = uint8_t(src[x] - g);
                } else if (h.BitDepth == 16) {
                    raw[x] = src[x + 1];
                    raw[x + 1] = src[x];
                } else {
                    raw[x] = src[x];
                }
            }
            int chosen = FilterMode >= 0 && FilterMode <= 4 ? int(FilterMode) : 0;
            if (FilterMode < 0) {
                int64_t bestCost = 0;
                for (int f = 0; f <= 4; ++f) {
                    FilterRow(f, raw.data(), prior.data(), rowBytes, bpp, trial.data());
                    const int64_t cost = RowCost(FilterMode, trial.data(), rowBytes);
                    if (f == 0 || cost < bestCost) {
                        bestCost = cost;
                        chosen = f;
                    }
                }
            }
            best[0] = uint8_t(chosen);
            FilterRow(chosen, raw.data(), prior.data(), rowBytes, bpp, best.data() + 1);
            adler.Add(best.data(), best.size());
            deflate.Write(best.data(), int32_t(best.size()));
            std::swap(raw, prior);
        }
        deflate.Flush();
    }
    uint8_t checksum[4];
    StoreU32BE(checksum, adler.Value());
    idat.Write(checksum, 4);
    std::vector<uint8_t> body(size_t(idat.GetSize()));
    idat.SetPosition(0);
    idat.Read(body.data(), int32_t(body.size()));
    WriteChunk(Stream, "IDAT", body);
    WriteChunk(Stream, "IEND", nullptr, 0);
    if (Mng) WriteChunk(Stream, "MEND", nullptr, 0);
}

} // namespace

void TPNGLoader::SaveToStream(TBaseStream& Stream, const std::string& Ext, TLinearBitmap& Bitmap) {
    if (!Bitmap.Present()) throw ELinearBitmap(SInvalidBitmapSize);
    std::string ext = Ext;
    for (char& c : ext) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
    const bool mng = ext == "MNG";
    int32_t mode = FilterMode;
    if (mode == -3) {
        // Each mode once into memory; the smallest wins.
        int64_t smallest = -1;
        for (int32_t m = -2; m <= 4; ++m) {
            TMemStream trial;
            WriteImage(trial, mng, Bitmap, *this, m);
            if (smallest < 0 || trial.GetSize() < smallest) {
                smallest = trial.GetSize();
                mode = m;
            }
        }
    }
    WriteImage(Stream, mng, Bitmap, *this, mode);
    Stream.Flush();
}

TPNGLoader& PNGLoader() {
    static TPNGLoader loader;
    return loader;
}

void InitializePNGLoader() {
    RegisterFileFormat("PNG", SPNGDescription, TPNGGraphic::ClassInfo());
    RegisterFileFormat("MNG", SMNGDescription, TMNGGraphic::ClassInfo());
}

void FinalizePNGLoader() {
    UnregisterGraphicClass(TPNGGraphic::ClassInfo());
    UnregisterGraphicClass(TMNGGraphic::ClassInfo());
}

} // namespace ferronel::linear
