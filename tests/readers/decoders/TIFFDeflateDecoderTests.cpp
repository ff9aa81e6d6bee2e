#include "readers/decoders/TIFFDeflateDecoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

namespace ferronel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Compress(const Bytes& In) {
    uLongf size = compressBound(uLong(In.size()));
    Bytes out(size);
    compress2(out.data(), &size, In.data(), uLong(In.size()), 6);
    out.resize(size);
    return out;
}

Bytes Decode(TTIFFDeflateDecoder& D, const Bytes& Packed, size_t Size) {
    Bytes out(Size, 0xEE);
    const uint8_t* s = Packed.data();
    uint8_t* t = out.data();
    D.Decode(s, t, int32_t(Packed.size()), int32_t(Size));
    EXPECT_EQ(s, Packed.data());
    return out;
}

TEST(TIFFDeflateDecoder, WholeCutAndOverlongStreamsGiveWhatDecodes) {
    Bytes data(5000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 / 13);
    const Bytes packed = Compress(data);
    TTIFFDeflateDecoder d;
    d.BeginDecode();
    EXPECT_EQ(Decode(d, packed, data.size()), data);
    // A strip whose stream ends early: the rows it holds, the rest 0.
    Bytes shortData(data.begin(), data.begin() + 3000);
    Bytes expected = shortData;
    expected.resize(data.size(), 0);
    EXPECT_EQ(Decode(d, Compress(shortData), data.size()), expected);
    // A stream cut off: what decodes before the cut is kept (the slow path), the rest is 0.
    const Bytes cut(packed.begin(), packed.begin() + ptrdiff_t(packed.size() / 2));
    const Bytes partial = Decode(d, cut, data.size());
    size_t same = 0;
    while (same < data.size() && partial[same] == data[same]) ++same;
    EXPECT_GT(same, 0u);
    for (size_t i = same; i < data.size(); ++i) ASSERT_EQ(partial[i], 0) << i;
    // A stream longer than the strip's rows fills them and stops.
    EXPECT_EQ(Decode(d, packed, 100), Bytes(data.begin(), data.begin() + 100));
    d.EndDecode();
}

} // namespace
} // namespace ferronel
