#include "host/Bitmap.h"
#include "host/Stream.h"
#include "linear/BMPLoader.h"
#include "linear/LinearBitmap.h"
#include "linear/LinearGraphic.h"
#include "linear/MemStream.h"
#include "support/ReaderConformance.h"

#include <gtest/gtest.h>

namespace ferronel::linear {
namespace {

using Bytes = std::vector<uint8_t>;

// Loads through a stream that cannot seek, as loaders may be handed one.
class TForwardStream : public TBaseStream {
public:
    explicit TForwardStream(Bytes Data) : FData(std::move(Data)) { SetAccess(true, false); }
    int32_t Write(const void*, int32_t) override { return 0; }
    int32_t Read(void* Buffer, int32_t Count) override {
        const int32_t n = std::min<int32_t>(Count, int32_t(FData.size() - FPos));
        std::memcpy(Buffer, FData.data() + FPos, size_t(n));
        FPos += size_t(n);
        return n;
    }
    int64_t BytesLeft() override { return int64_t(FData.size() - FPos); }

private:
    Bytes FData;
    size_t FPos = 0;
};

TEST(BMPLoader, NarrowFormatsWidenAndPixelsMatchTheHostBitmap) {
    const std::pair<const char*, uint8_t> cases[] = {{"rgb1.bmp", lpf8bit},    {"rgb4.bmp", lpf8bit},
                                                     {"rle4.bmp", lpf8bit},    {"rgb8.bmp", lpf8bit},
                                                     {"rgb555.bmp", lpf24bit}, {"rgb565.bmp", lpf24bit},
                                                     {"rgb24.bmp", lpf24bit},  {"rgba32.bmp", lpf24bit}};
    for (const auto& [name, format] : cases) {
        const Bytes file = test::ReadFileBytes(test::DataPath(std::string("bmp/") + name));
        TLinearGraphic ours;
        TForwardStream stream(file);
        BMPLoader().LoadFromStream(stream, "BMP", ours.Bitmap());
        EXPECT_EQ(ours.Bitmap().PixelFormat(), format) << name;
        TBitmap host;
        TMemoryStream in(file);
        host.LoadFromStream(in);
        std::vector<uint8_t> expected = test::Rgba(host);
        // The 32-bit file's fourth byte is dropped with the 24-bit picture.
        for (size_t i = 3; i < expected.size(); i += 4) expected[i] = 255;
        EXPECT_EQ(test::Rgba(ours), expected) << name;
    }
}

TEST(BMPLoader, SavedPicturesLoadBack) {
    TLinearBitmap empty;
    TMemStream nothing;
    EXPECT_THROW(BMPLoader().SaveToStream(nothing, "BMP", empty), ELinearBitmap);
    for (const uint8_t format : {lpf8bit, lpf24bit}) {
        TLinearBitmap original;
        original.Allocate(7, 3, format);
        for (int64_t i = 0; i < original.Size(); ++i) original.Map()[i] = uint8_t(i * 11);
        if (format == lpf8bit)
            for (int i = 0; i < 768; ++i) original.Palette()[i] = uint8_t(255 - i / 3);
        TMemStream stream;
        BMPLoader().SaveToStream(stream, "BMP", original);
        stream.SetPosition(0);
        TLinearBitmap back;
        BMPLoader().LoadFromStream(stream, "BMP", back);
        ASSERT_EQ(back.PixelFormat(), format);
        EXPECT_EQ(Bytes(back.Map(), back.Map() + back.Size()),
                  Bytes(original.Map(), original.Map() + original.Size()));
        if (format == lpf8bit) {
            EXPECT_EQ(Bytes(back.Palette(), back.Palette() + 768),
                      Bytes(original.Palette(), original.Palette() + 768));
        }
    }
}

} // namespace
} // namespace ferronel::linear
