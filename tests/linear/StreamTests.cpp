#include "host/Stream.h"
#include "linear/BitStream.h"
#include "linear/BufferedStream.h"
#include "linear/CRC32Stream.h"
#include "linear/FileStream.h"
#include "linear/HostStreams.h"
#include "linear/LinearStrings.h"
#include "linear/MemStream.h"
#include "linear/TextStream.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

void Hold(TMemStream& Stream, const std::string& Text) {
    Stream.Write(Text.data(), int32_t(Text.size()));
    Stream.SetPosition(0);
}

template <class E> std::string Raised(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const E& e) {
        return e.what();
    }
    return "nothing";
}

TEST(BufferedStream, ShortReadsAndBufferSizes) {
    TMemStream source;
    Hold(source, "abcd");
    {
        TBufferedStream buffered(-1, source, 0);
        EXPECT_EQ(buffered.ReadBufferSize(), 65536);
        uint8_t out[10];
        EXPECT_EQ(Raised<EInOutError>([&] { buffered.Read(out, 10); }), SReadLess);
        EXPECT_EQ(buffered.BytesLeft(), 0); // the buffer was emptied
    }
    EXPECT_TRUE(source.ExactTransfers()); // given back as it was
    source.SetPosition(0);
    TBufferedStream lenient(16, source, 0);
    lenient.SetExactTransfers(false);
    uint8_t out[10];
    EXPECT_EQ(lenient.Read(out, 10), 4);
    EXPECT_EQ(Raised<EStreamCreate>([&] { TBufferedStream bad(1, source, 0); }), SInvalidBufferSize);
    // Reads of at least a buffer's size go straight through; smaller ones through the buffer.
    TMemStream big;
    Hold(big, std::string(100, 'x') + "yz");
    TBufferedStream small(8, big, 0);
    uint8_t piece[50];
    EXPECT_EQ(small.Read(piece, 3), 3);
    EXPECT_EQ(small.Read(piece, 50), 50);
    EXPECT_EQ(small.BytesLeft(), 102 - 53);
}

TEST(BufferedStream, WritesReachTheSourceWhenFlushed) {
    TMemStream sink;
    {
        TBufferedStream buffered(0, sink, 4);
        buffered.Write("abc", 3);
        EXPECT_EQ(sink.GetSize(), 0);
        buffered.Write("defghij", 7); // past the buffer: the buffer goes, then the rest
        EXPECT_EQ(sink.GetSize(), 10);
        buffered.Write("k", 1);
    }
    EXPECT_EQ(sink.GetSize(), 11);
}

TEST(TextStream, LinesWithEitherBreak) {
    TMemStream crlf;
    Hold(crlf, "a\r\nb\r\n");
    TTextStream text(-1, crlf, 0);
    std::string line;
    EXPECT_EQ(text.ReadLine(line), 1);
    EXPECT_EQ(line, "a");
    EXPECT_EQ(text.ReadLine(line), 1);
    EXPECT_EQ(line, "b");
    EXPECT_EQ(text.ReadLine(line), 0);
    EXPECT_EQ(line, "");
    TMemStream lf;
    Hold(lf, "a\nb");
    TTextStream text2(-1, lf, 0);
    text2.ReadLine(line);
    EXPECT_EQ(line, "a");
    text2.ReadLine(line);
    EXPECT_EQ(line, "b");
    // Byte 255 is text like any other, before and after the break is known.
    TMemStream high;
    Hold(high, "8\xff\n\xff" "9\n");
    TTextStream text3(-1, high, 0);
    text3.SetLineBreak('\n', -1);
    text3.ReadLine(line);
    EXPECT_EQ(line, "8\xff");
    text3.ReadLine(line);
    EXPECT_EQ(line, "\xff"
                    "9");
    TMemStream sink;
    TTextStream writer(0, sink, -1);
    EXPECT_EQ(Raised<EInOutError>([&] { writer.ReadLine(line); }), SCannotRead);
    EXPECT_EQ(writer.WriteLine("xy"), 4);
    EXPECT_EQ(writer.LineCount(), 1);
}

TEST(MemStream, BlocksAndPositions) {
    TMemStream s;
    const Bytes data(5000, 3);
    s.Write(data.data(), 5000);
    EXPECT_EQ(s.BlockCapacities(), (std::vector<int64_t>{5000}));
    EXPECT_EQ(Raised<EInOutError>([&] { s.SetPosition(5001); }), SErrorMovingStream);
    s.Write("ab", 2); // a new block of the smallest size
    EXPECT_EQ(s.BlockCapacities(), (std::vector<int64_t>{5000, 4096}));
    s.SetPosition(4999);
    uint8_t out[3];
    EXPECT_EQ(s.Read(out, 3), 3);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{3, 'a', 'b'}));
    s.SetPosition(10);
    s.Truncate();
    EXPECT_EQ(s.GetSize(), 10);
    EXPECT_EQ(s.BlockCapacities().size(), 1u);
    s.SetPosition(0);
    uint8_t all[20];
    EXPECT_THROW(s.Read(all, 20), EInOutError);
}

TEST(CRC32Stream, ChecksumOfWhatPassesThrough) {
    TMemStream s;
    Hold(s, "abc");
    TCRC32Stream crc(s);
    uint8_t out[3];
    crc.Read(out, 3);
    EXPECT_EQ(crc.GetCRC(), 0x352441C2u);
    crc.ResetCRC();
    EXPECT_EQ(crc.GetCRC(), 0u);
}

TEST(BitStream, FieldsLeastSignificantFirst) {
    TMemStream s;
    {
        TBitStream bits(s);
        bits.WriteBits(0b101, 3);
        bits.WriteBits(0xABCDE, 20);
        EXPECT_THROW(bits.WriteBits(1, 33), Exception);
    }
    EXPECT_EQ(s.GetSize(), 3);
    s.SetPosition(0);
    TBitStream bits(s);
    EXPECT_EQ(bits.ReadBit(), 1);
    EXPECT_EQ(bits.ReadBit(), 0);
    EXPECT_EQ(bits.ReadBit(), 1);
    uint8_t out[3] = {};
    EXPECT_EQ(bits.ReadBits(out, 20), 20);
    EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16, 0xABCDE);
    // Past the end the bits are 0, never the last byte again.
    EXPECT_EQ(bits.ReadBit(), 0);
    EXPECT_EQ(bits.ReadBit(), 0);
    EXPECT_EQ(bits.ReadBits(out, 8), 0);
}

// A source that says it has bytes but never gives any.
class TStuckStream : public TBaseStream {
public:
    TStuckStream() { SetAccess(true, false); }
    int32_t Write(const void*, int32_t) override { return 0; }
    int32_t Read(void*, int32_t) override { return 0; }
    int64_t BytesLeft() override { return 100; }
};

TEST(BaseStream, CopiesEndWhenTheSourceGivesNothing) {
    TStuckStream stuck;
    TMemStream sink;
    sink.CopyFrom(stuck);
    EXPECT_EQ(sink.GetSize(), 0);
    EXPECT_EQ(stuck.TransferTo(&sink, 50), 0);
    EXPECT_TRUE(stuck.ExactTransfers());
}

TEST(FileStream, CreateWriteReadTruncateDelete) {
    const test::TTempDir dir;
    const std::string name = dir.Path("f.bin");
    EXPECT_EQ(Raised<EInOutError>([&] { TFileStream none(name, fsCreate); }), SNoAccess);
    EXPECT_NE(Raised<EInOutError>([&] { TFileStream missing(name, fsRead); }).find("Error opening"),
              std::string::npos);
    {
        TFileStream f(name, fsRead | fsWrite | fsCreate);
        f.Write("hello world", 11);
        EXPECT_EQ(f.GetSize(), 11);
        f.SetPosition(5);
        f.Truncate();
        EXPECT_EQ(f.GetSize(), 5);
    }
    auto read = OpenBufferedFile(name, false);
    char out[6] = {};
    EXPECT_THROW(read->Read(out, 6), EInOutError);
    TFileStream again(name, fsRead | fsWrite);
    again.CloseAndDelete();
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(HostStreams, AdaptersBothWays) {
    TMemoryStream host;
    THostFilterStream ours(host);
    ours.Write("abcdef", 6);
    EXPECT_EQ(ours.GetSize(), 6);
    ours.SetPosition(2);
    EXPECT_EQ(ours.BytesLeft(), 4);
    ours.Truncate();
    EXPECT_EQ(host.Size(), 2);

    TMemStream mem;
    Hold(mem, "0123456789");
    TSeekableHostStream seekable(mem);
    EXPECT_EQ(seekable.Seek(-3, soEnd), 7);
    char c;
    EXPECT_EQ(seekable.Read(&c, 1), 1u);
    EXPECT_EQ(c, '7');
    EXPECT_EQ(Raised<EStreamError>([&] { seekable.Seek(0, TSeekOrigin(3)); }), SUnknownSeekOrigin);
    seekable.SetSize(4);
    EXPECT_EQ(mem.GetSize(), 4);
    THostStream plain(mem);
    EXPECT_FALSE(mem.ExactTransfers());
    EXPECT_EQ(Raised<EStreamError>([&] { plain.Seek(0, soBeginning); }), SSeekingNotSupported);
}

} // namespace
} // namespace ferronel::linear
