#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Stream.h"
#include "readers/formats/PSPGraphic.h"
#include "support/ReaderConformance.h"
#include "support/ReaderLoad.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::RowBytes;

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
Bytes Cat(Bytes a, const Bytes& b) {
    Append(a, b);
    return a;
}

Bytes U16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// Version 5 pieces: a block, a chunk with its leading length.
Bytes Block(uint16_t id, const Bytes& data, uint32_t length) {
    Bytes b{'~', 'B', 'K', 0};
    Append(b, U16(id));
    Append(b, U32(length));
    Append(b, data);
    return b;
}
Bytes Block(uint16_t id, const Bytes& data) { return Block(id, data, uint32_t(data.size())); }
Bytes Chunk(const Bytes& data) {
    Bytes c = U32(uint32_t(data.size() + 4));
    Append(c, data);
    return c;
}

Bytes Channel(const Bytes& packed, uint32_t unpacked, uint16_t channelType, uint16_t bitmapType = 0,
              uint32_t packedLength = 0xFFFFFFFF) {
    Bytes info = U32(packedLength == 0xFFFFFFFF ? uint32_t(packed.size()) : packedLength);
    Append(info, U32(unpacked));
    Append(info, U16(bitmapType));
    Append(info, U16(channelType));
    Bytes data = Chunk(info);
    Append(data, packed);
    return Block(5, data);
}

Bytes Layer(uint8_t type, const std::vector<Bytes>& channels) {
    Bytes info = U16(1);
    info.push_back('L');
    info.push_back(type);
    info.resize(info.size() + 114, 0);
    Bytes data = Chunk(info);
    Bytes bitmap = U16(1);
    Append(bitmap, U16(uint16_t(channels.size())));
    Append(data, Chunk(bitmap));
    for (const Bytes& c : channels) Append(data, c);
    return Block(4, data);
}

Bytes File(int32_t width, int32_t height, uint16_t depth, uint16_t compression, const Bytes& blocks,
           uint8_t grey = 0) {
    const char text[] = "Paint Shop Pro Image File\n\x1a";
    Bytes f(text, text + sizeof(text) - 1);
    f.resize(32, 0);
    Append(f, U16(5));
    Append(f, U16(0));
    Bytes a = U32(uint32_t(width));
    Append(a, U32(uint32_t(height)));
    double resolution = 100;
    uint8_t r[8];
    std::memcpy(r, &resolution, 8);
    a.insert(a.end(), r, r + 8);
    a.push_back(2); // per centimetre
    Append(a, U16(compression));
    Append(a, U16(depth));
    Append(a, U16(1));
    Append(a, U32(0));
    a.push_back(grey);
    a.resize(42, 0);
    Append(f, Block(0, Chunk(a)));
    Append(f, blocks);
    return f;
}

Bytes Palette(uint32_t count, const Bytes& entries) {
    Bytes data = Chunk(U32(count));
    Append(data, entries);
    return Block(2, data);
}

std::unique_ptr<TPSPGraphic> Load(const Bytes& bytes) { return test::LoadAs<TPSPGraphic>(bytes); }
std::string Message(const Bytes& bytes) { return test::LoadMessage<TPSPGraphic>(bytes); }

const std::string InvalidImage = "Cannot load image. Invalid or unexpected PSP image format.";

TEST(PSPReader, FourBitRowsTakeHalfTheWidthPlusOneAlsoForEvenWidths) {
    // Width 4: rows of 3 bytes, the third unused.
    const Bytes rows{0x12, 0x34, 0xEE, 0x56, 0x78, 0xEE};
    const auto g = Load(File(4, 2, 4, 0, Block(3, Layer(1, {Channel(rows, 6, 0)}))));
    EXPECT_EQ(g->PixelFormat(), pf4bit);
    EXPECT_EQ(RowBytes(*g, 0, 2), (Bytes{0x12, 0x34}));
    EXPECT_EQ(RowBytes(*g, 1, 2), (Bytes{0x56, 0x78}));
}

TEST(PSPReader, AFourthChannelGivesOpacityAndMissingColoursStayBlack) {
    const auto g = Load(File(1, 1, 24, 0,
                             Block(3, Layer(1, {Channel({10}, 1, 1), Channel({30}, 1, 3), Channel({1}, 1, 9),
                                                Channel({77}, 1, 0, 1)}))));
    EXPECT_EQ(g->PixelFormat(), pf32bit);
    EXPECT_EQ(g->AlphaFormat(), afDefined);
    EXPECT_EQ(RowBytes(*g, 0, 4), (Bytes{30, 0, 10, 77}));
    // Three colours and no mask: opaque 24 bits. A sub-block of another kind among the channels
    // is passed over and not counted.
    const auto three = Load(File(
        1, 1, 24, 0, Block(3, Layer(1, {Channel({10}, 1, 1), Block(9, {1, 2, 3}), Channel({30}, 1, 3)}))));
    EXPECT_EQ(three->PixelFormat(), pf24bit);
    EXPECT_EQ(RowBytes(*three, 0, 3), (Bytes{30, 0, 10}));
}

TEST(PSPReader, ChannelDataLongerThanItsRowsStaysInItsBuffer) {
    // Raw: 40 stored bytes for a channel of 2; run-length: a run of 127 into 1 byte.
    Bytes raw(40, 9);
    raw[0] = 1;
    raw[1] = 2;
    const auto g = Load(File(2, 1, 8, 0, Block(3, Layer(1, {Channel(raw, 2, 0)})), 1));
    EXPECT_EQ(RowBytes(*g, 0, 2), (Bytes{1, 2}));
    const auto r = Load(File(1, 1, 8, 1, Block(3, Layer(1, {Channel({0xFF, 0xAA, 0xFF, 0xAA}, 1, 0)})), 1));
    EXPECT_EQ(RowBytes(*r, 0, 1), Bytes{0xAA});
    // A channel that claims a huge unpacked length is cut to the picture.
    const auto huge = Load(File(2, 1, 8, 1, Block(3, Layer(1, {Channel({0x84, 5}, 0xFFFFFFF0, 0)})), 1));
    EXPECT_EQ(RowBytes(*huge, 0, 2), (Bytes{5, 5}));
}

TEST(PSPReader, LengthsThatClaimMoreThanTheFileAreRefused) {
    // A block near 4 GiB would wrap a 32-bit position back to the start.
    EXPECT_EQ(Message(File(1, 1, 8, 0, Block(3, Bytes(20, 0), 0xFFFFFFF6))), InvalidImage);
    // A channel longer than the layer that holds it.
    Bytes channel = Channel({1}, 1, 0);
    StoreU32LE(&channel[6], 5000);
    const Bytes layer = Layer(1, {channel});
    EXPECT_EQ(Message(File(1, 1, 8, 0, Block(3, layer))), InvalidImage);
    // Compressed bytes past the channel.
    EXPECT_EQ(Message(File(1, 1, 8, 0, Block(3, Layer(1, {Channel({1}, 1, 0, 0, 400)})))), InvalidImage);
    // The attributes block itself.
    Bytes attributes = File(1, 1, 8, 0, {});
    StoreU32LE(&attributes[36 + 6], 0x7FFFFFFF);
    EXPECT_EQ(Message(attributes), InvalidImage);
}

TEST(PSPReader, PalettesAreCutAt256Entries) {
    Bytes entries(300 * 4, 0);
    entries[5 * 4] = 1; // blue of entry 5
    entries[5 * 4 + 2] = 3;
    entries[299 * 4] = 0xEE;
    const auto g =
        Load(File(1, 1, 8, 0, Cat(Palette(300, entries), Block(3, Layer(1, {Channel({5}, 1, 0)})))));
    EXPECT_EQ((*g->Palette())[5], (TPaletteEntry{3, 0, 1, 0}));
    // A count the block does not hold is refused.
    EXPECT_EQ(
        Message(File(1, 1, 8, 0, Cat(Palette(16, Bytes(8, 0)), Block(3, Layer(1, {Channel({5}, 1, 0)}))))),
        InvalidImage);
}

TEST(PSPReader, UnsupportedFilesAreRefusedWithTheirReason) {
    const Bytes layer = Block(3, Layer(1, {Channel({5}, 1, 0)}));
    EXPECT_EQ(Message(File(1, 1, 8, 3, layer)),
              "Cannot load image. The compression scheme is not supported for PSP files.");
    EXPECT_EQ(Message(File(1, 1, 16, 0, layer)), "Invalid color format in PSP file.");
    EXPECT_EQ(Message(File(-1, 1, 8, 0, layer)), InvalidImage);
    // Only vector layers: nothing to show.
    EXPECT_EQ(Message(File(1, 1, 8, 0, Block(3, Layer(3, {Channel({5}, 1, 0)})))), InvalidImage);
    // Version 2 and a wrong signature fail CanLoad.
    Bytes v2 = File(1, 1, 8, 0, layer);
    v2[32] = 2;
    TMemoryStream s(v2);
    EXPECT_FALSE(TPSPGraphic().CanLoad(s));
    Bytes lower = File(1, 1, 8, 0, layer);
    lower[0] = 'p';
    TMemoryStream l(lower);
    EXPECT_TRUE(TPSPGraphic().CanLoad(l));
}

TEST(PSPReader, PropertiesComeFromTheAttributes) {
    TPSPGraphic g;
    TMemoryStream s(File(7, 3, 24, 2, {}));
    ASSERT_TRUE(g.LoadImageProperties(s, 0));
    const TImageProperties& p = g.ImageProperties();
    EXPECT_EQ(p.Width, 7u);
    EXPECT_EQ(p.Height, 3u);
    EXPECT_EQ(p.ColorScheme, csRGB);
    EXPECT_EQ(p.BitsPerPixel, 24);
    EXPECT_EQ(p.Compression, cpDeflate);
    EXPECT_FLOAT_EQ(p.XResolution, 254.0f);
    EXPECT_EQ(p.Version, 5u);
}

struct TPSPConformance {
    using Graphic = TPSPGraphic;
    static constexpr const char* Folder = "psp";
    static constexpr const char* Extension = ".psp";
    static constexpr size_t HeaderSize = 36;
    static constexpr uint32_t MaxSide = 0x7FFFFFFF;
    static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height) {
        return File(int32_t(Width), int32_t(Height), 8, 0,
                    Block(3, Layer(1, {Channel(Bytes(16, 3), 16, 0)})));
    }
    static int ComparedBits(const std::string&) { return 8; }
};

} // namespace
} // namespace ferronel

FERRONEL_READER_CONFORMANCE(PSP, ferronel::TPSPConformance)
