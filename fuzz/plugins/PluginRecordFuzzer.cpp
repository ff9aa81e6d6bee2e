// The conversion of a plug-in's image record, fed by a fake plug-in. The bytes are the record:
//
//   width, height, bytes per line, format: 32-bit little-endian each
//   flags: 1 = a palette of 768 bytes follows, 2 = no pixel pointer
//   the palette when flagged, then the pixel bytes
//
// A real record has no buffer length, so the fake plug-in hands out a buffer of exactly the bytes
// the record describes (its rows, and at most three planes), which the conversion may read and no
// more. A record that describes more than the input holds is handed out only when it is far past
// the pixel-buffer limit, with the few bytes there are: the conversion must refuse it. Whatever the
// conversion accepts must be a picture the record describes.
#include "host/Exceptions.h"
#include "host/Limits.h"
#include "plugins/ImageRecord.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace ferronel;
using namespace ferronel::plugins;

constexpr uint64_t Limit = 1 << 16;

int32_t Get32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// Layouts outside the contract: several interleaved channels other than 3 and 4, planes of 16-bit
// samples, and flags it does not define.
bool UnknownLayout(int32_t Format, int32_t Channels) {
    const int32_t flags = Format & ~ifChannelMask;
    if (Channels == 1) return (flags & ~(ifPlanar | ifSixteenBit)) != 0;
    return Format != ifBGR && Format != ifBGRA && flags != ifPlanar;
}

void Check(bool Condition) {
    if (!Condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 17) return 0;
    SetPixelBufferLimit(Limit);
    TImageContainer image{};
    image.Width = Get32(Data);
    image.Height = Get32(Data + 4);
    image.BytesPerLine = Get32(Data + 8);
    image.Format = Get32(Data + 12);
    const uint8_t flags = Data[16];
    size_t at = 17;
    std::vector<uint8_t> palette;
    if (flags & 1) {
        if (Size - at < 768) return 0;
        palette.assign(Data + at, Data + at + 768);
        image.Palette = palette.data();
        at += 768;
    }
    const size_t available = Size - at;

    // What the record describes, worked out here from the contract.
    const int32_t channels = image.Format & ifChannelMask;
    const bool planar = (image.Format & ifPlanar) != 0 && channels > 1;
    const __int128 sample = (image.Format & ifSixteenBit) ? 2 : 1;
    const __int128 rowBytes = planar ? __int128(image.Width) : __int128(image.Width) * channels * sample;
    const __int128 stride = rowBytes; // a stated row length is never used to read
    const __int128 planes = planar ? (channels < 3 ? channels : 3) : 1;
    const __int128 described = image.Height > 0 && stride > 0 ? stride * image.Height * planes : 0;
    const bool mustRefuse = channels == 0 || image.Width <= 0 || image.Height <= 0 ||
                            image.BytesPerLine < 0 ||
                            (image.BytesPerLine > 0 && image.BytesPerLine < rowBytes) || (flags & 2) ||
                            channels > 3 || UnknownLayout(image.Format, channels);

    std::unique_ptr<uint8_t[]> pixels;
    size_t handed = 0;
    if (described <= __int128(available))
        handed = size_t(described);
    else if (described > __int128(4 * Limit))
        handed = available;
    else
        return 0;
    const bool tooLarge = described > __int128(available);
    pixels = std::make_unique<uint8_t[]>(handed ? handed : 1);
    if (handed) std::memcpy(pixels.get(), Data + at, handed);
    image.PixelData = (flags & 2) ? nullptr : pixels.get();

    linear::TLinearBitmap bitmap;
    try {
        ConvertImageContainer(image, bitmap);
    } catch (const Exception&) {
        return 0;
    }
    Check(!mustRefuse && !tooLarge);
    Check(bitmap.Present() && bitmap.Width() == image.Width && bitmap.Height() == image.Height);
    if (channels == 1 && !(image.Format & ifSixteenBit)) {
        Check(bitmap.PixelFormat() == linear::lpf8bit);
        Check(std::memcmp(bitmap.Palette(), image.Palette ? image.Palette : linear::GreyPalette().data(),
                          768) == 0);
    } else {
        Check(bitmap.PixelFormat() == (channels == 1 ? linear::lpf16bitGrey : linear::lpf24bit));
    }
    // Interleaved and single-channel rows arrive unchanged.
    if (!planar) Check(std::memcmp(bitmap.Map(), pixels.get(), size_t(rowBytes)) == 0);
    return 0;
}
