#include "linear/Adler32.h"
#include "linear/DeflateStream.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

void Hold(TMemStream& Stream, const Bytes& Data) {
    Stream.Write(Data.data(), int32_t(Data.size()));
    Stream.SetPosition(0);
}

// Inflates raw deflate data in reads of Piece bytes; Finished tells whether the data was whole.
Bytes Inflate(const Bytes& Compressed, bool* Finished = nullptr, int32_t Piece = 100000) {
    TMemStream source;
    Hold(source, Compressed);
    TDeflateStream inflate(source, TDeflateStream::dmDecompress);
    inflate.SetExactTransfers(false);
    Bytes out;
    std::vector<uint8_t> piece(static_cast<size_t>(Piece));
    for (;;) {
        const int32_t got = inflate.Read(piece.data(), Piece);
        out.insert(out.end(), piece.begin(), piece.begin() + got);
        if (got < Piece) break;
    }
    if (Finished) *Finished = inflate.Finished();
    return out;
}

Bytes ZlibRaw(const Bytes& Raw, int Level) {
    z_stream z{};
    deflateInit2(&z, Level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, uLong(Raw.size())) + 16);
    z.next_in = const_cast<Bytef*>(Raw.data());
    z.avail_in = uInt(Raw.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// zlib's raw inflate; answers false unless it reached the end of the data.
bool ZlibInflate(const Bytes& Compressed, Bytes& Out) {
    z_stream z{};
    inflateInit2(&z, -15);
    Out.assign(Compressed.size() * 1100 + 1024, 0);
    z.next_in = const_cast<Bytef*>(Compressed.data());
    z.avail_in = uInt(Compressed.size());
    z.next_out = Out.data();
    z.avail_out = uInt(Out.size());
    const int rc = inflate(&z, Z_FINISH);
    Out.resize(z.total_out);
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

Bytes OwnDeflate(const Bytes& Raw, uint8_t Mode, int32_t Piece = 7000) {
    TMemStream sink;
    {
        TDeflateStream deflate(sink, TDeflateStream::dmCompress);
        deflate.CompressMode = Mode;
        for (size_t i = 0; i < Raw.size(); i += size_t(Piece))
            deflate.Write(Raw.data() + i, int32_t(std::min<size_t>(size_t(Piece), Raw.size() - i)));
        deflate.Flush();
    }
    Bytes out(size_t(sink.GetSize()));
    sink.SetPosition(0);
    sink.Read(out.data(), int32_t(out.size()));
    return out;
}

Bytes Text(size_t Size) {
    const std::string words[] = {"the ", "picture ", "viewer ", "shows ", "one ", "file ",
                                 "at ",  "a ",       "time\n",  "zoom ",  "fit ", "window "};
    std::mt19937 random(7);
    Bytes out;
    while (out.size() < Size) {
        const std::string& w = words[random() % 12];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(Size);
    return out;
}

Bytes PictureRows(int Width, int Height) {
    Bytes out;
    for (int y = 0; y < Height; ++y) {
        out.push_back(uint8_t(y % 5)); // a filter byte
        for (int x = 0; x < Width; ++x) {
            out.push_back(uint8_t(x * 3 + y));
            out.push_back(uint8_t((x ^ y) & 0xF0));
            out.push_back(uint8_t(128 + ((x * y) >> 6)));
        }
    }
    return out;
}

Bytes Noise(size_t Size) {
    std::mt19937 random(11);
    Bytes out(Size);
    for (auto& b : out) b = uint8_t(random());
    return out;
}

TEST(Inflate, ZlibOutputAtEveryLevelInflatesToTheSameBytes) {
    const std::vector<Bytes> inputs = {Text(300000), PictureRows(401, 97), Noise(70000),
                                       Bytes{},      Bytes(1, 'x'),        Bytes(100000, 0)};
    for (const Bytes& raw : inputs)
        for (int level = 0; level <= 9; ++level) {
            bool finished = false;
            EXPECT_EQ(Inflate(ZlibRaw(raw, level), &finished), raw)
                << raw.size() << " bytes, level " << level;
            EXPECT_TRUE(finished);
        }
}

TEST(Inflate, SmallReadsGiveTheSameBytes) {
    const Bytes raw = PictureRows(257, 300);
    EXPECT_EQ(Inflate(ZlibRaw(raw, 6), nullptr, 1), raw);
    EXPECT_EQ(Inflate(ZlibRaw(raw, 6), nullptr, 771), raw);
}

TEST(Deflate, RoundTripsThroughZlibAndItsOwnInflate) {
    const std::vector<Bytes> inputs = {Text(150000), PictureRows(1001, 50), Noise(70000),
                                       Bytes{},      Bytes(3, 'a'),         Bytes(140000, 0)};
    for (const Bytes& raw : inputs)
        for (const uint8_t mode :
             {TDeflateStream::cmDynamic, TDeflateStream::cmFixed, TDeflateStream::cmStored}) {
            const Bytes packed = OwnDeflate(raw, mode);
            Bytes viaZlib;
            EXPECT_TRUE(ZlibInflate(packed, viaZlib)) << raw.size() << " bytes, mode " << int(mode);
            EXPECT_EQ(viaZlib, raw) << raw.size() << " bytes, mode " << int(mode);
            EXPECT_EQ(Inflate(packed), raw) << raw.size() << " bytes, mode " << int(mode);
        }
    // It compresses: text to well under half, noise to barely more than itself.
    EXPECT_LT(OwnDeflate(Text(150000), TDeflateStream::cmDynamic).size(), 150000u / 3);
    EXPECT_LT(OwnDeflate(Noise(70000), TDeflateStream::cmDynamic).size(), 70000u + 100);
}

TEST(Inflate, SmallBlocksOfTheFormat) {
    // A final stored block of no bytes.
    EXPECT_TRUE(Inflate({0x01, 0x00, 0x00, 0xFF, 0xFF}).empty());
    // A fixed block with the literal "A" and the end code.
    EXPECT_EQ(Inflate(ZlibRaw({'A'}, 6)), Bytes{'A'});
    // A length of 258 at distance 1 repeats the last byte.
    Bytes raw(259, 'z');
    EXPECT_EQ(Inflate(ZlibRaw(raw, 9)), raw);
    // A read past the end answers 0 bytes, or raises when every byte must come.
    TMemStream source;
    Hold(source, {0x01, 0x00, 0x00, 0xFF, 0xFF});
    TDeflateStream inflate(source, TDeflateStream::dmDecompress);
    uint8_t b;
    EXPECT_THROW(inflate.Read(&b, 1), EInOutError);
    inflate.SetExactTransfers(false);
    EXPECT_EQ(inflate.Read(&b, 1), 0);
}

void ExpectRefused(const Bytes& Data, const char* What) {
    Bytes zlibOut;
    EXPECT_FALSE(ZlibInflate(Data, zlibOut)) << What;
    bool finished = true;
    try {
        Inflate(Data, &finished);
        EXPECT_FALSE(finished) << What;
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), SCompressedDataError) << What;
    }
}

TEST(Inflate, DamagedDataRaisesWhereZlibRefusesIt) {
    ExpectRefused({0x01, 0x05, 0x00, 0xFF, 0xFF}, "stored length without its complement");
    ExpectRefused({0x07}, "block type 3");
    // Code-length code with all 19 lengths 7: over-subscribed.
    ExpectRefused({0x05, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03},
                  "over-subscribed code lengths");
    // A fixed block whose first match reaches before the start: literal 'a', then length 3 distance 2.
    {
        // 'a' = fixed code 0x30 + 0x61 (8 bits), length symbol 257 (7 bits 0000001), distance code 1.
        uint64_t bits = 0;
        int n = 0;
        auto put = [&](uint32_t v, int count) {
            bits |= uint64_t(v) << n;
            n += count;
        };
        auto putCode = [&](uint32_t code, int count) {
            for (int i = count - 1; i >= 0; --i) put((code >> i) & 1, 1);
        };
        put(1, 1);
        put(1, 2);
        putCode(0x30 + 'a', 8);
        putCode(1, 7);
        putCode(1, 5);
        putCode(0, 7);
        Bytes data;
        for (int i = 0; i < n; i += 8) data.push_back(uint8_t(bits >> i));
        ExpectRefused(data, "distance past the start");
    }
    // Truncations of a good stream are never taken as whole.
    const Bytes good = ZlibRaw(Text(5000), 6);
    for (size_t cut = 0; cut + 1 < good.size(); cut += 97)
        ExpectRefused(Bytes(good.begin(), good.begin() + ptrdiff_t(cut)), "cut");
}

TEST(Inflate, RepeatsPastTheLengthCountAndRepeatsOfNothingAreRefused) {
    // Dynamic header: HLIT 257, HDIST 1, HCLEN 18 with code-length code lengths giving 1-bit codes
    // to symbols 18 and 0; then 18 with 138 zeros, twice: more lengths than the block has.
    uint64_t bits = 0;
    int n = 0;
    auto put = [&](uint32_t v, int count) {
        bits |= uint64_t(v) << n;
        n += count;
    };
    put(1, 1);
    put(2, 2);
    put(0, 5);
    put(0, 5);
    put(0, 4); // HCLEN 4: symbols 16, 17, 18, 0
    put(0, 3);
    put(0, 3);
    put(1, 3);
    put(1, 3);
    // Codes: symbol 0 -> "0", symbol 18 -> "1".
    for (int i = 0; i < 3; ++i) {
        put(1, 1);
        put(127, 7);
    }
    Bytes data;
    for (int i = 0; i < n + 8; i += 8) data.push_back(uint8_t(bits >> i));
    ExpectRefused(data, "repeat past the end of the lengths");
    // The same header where the first length is a repeat of the previous one (code-length
    // symbols 16 and 0 with one bit each).
    bits = 0;
    n = 0;
    put(1, 1);
    put(2, 2);
    put(0, 5);
    put(0, 5);
    put(0, 4);
    put(1, 3);
    put(0, 3);
    put(0, 3);
    put(1, 3);
    put(1, 1); // symbol 16 first
    put(0, 2);
    data.clear();
    for (int i = 0; i < n + 16; i += 8) data.push_back(uint8_t(bits >> i));
    ExpectRefused(data, "repeat with nothing before it");
}

TEST(Inflate, TheBytesAfterTheDataCanBeRead) {
    Bytes data = ZlibRaw(Text(1000), 6);
    data.insert(data.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    TMemStream source;
    Hold(source, data);
    TDeflateStream inflate(source, TDeflateStream::dmDecompress);
    Bytes out(1000);
    inflate.Read(out.data(), 1000);
    EXPECT_EQ(inflate.FinishData(nullptr, nullptr), 0);
    uint8_t tail[4];
    ASSERT_EQ(inflate.ReadTrailer(tail, 4), 4);
    EXPECT_EQ(Bytes(tail, tail + 4), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST(Adler32, MatchesZlib) {
    const Bytes raw = Noise(100000);
    TAdler32 a;
    a.Add(raw.data(), 40000);
    a.Add(raw.data() + 40000, 60000);
    EXPECT_EQ(a.Value(), adler32(1, raw.data(), uInt(raw.size())));
    a.Reset();
    EXPECT_EQ(a.Value(), 1u);
}

} // namespace
} // namespace ferronel::linear
