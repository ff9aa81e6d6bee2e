// ImageMagick's MagickCore as the reference decoder of the benchmarks: it encodes the test pictures
// and decodes them from memory. One thread, as the readers of this system use one.
#pragma once

#include <magick/MagickCore.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace ferronel::bench {

class TMagick {
public:
    TMagick() {
        MagickCoreGenesis(nullptr, MagickFalse);
        SetMagickResourceLimit(ThreadResource, 1);
    }
    ~TMagick() { MagickCoreTerminus(); }

    // Encodes Width x Height pixels of red, green, blue bytes as Magick ("SGI", "PPM", ...).
    std::vector<uint8_t> Encode(const std::vector<uint8_t>& Rgb, size_t Width, size_t Height,
                                const char* Magick, CompressionType Compression) {
        ExceptionInfo* e = AcquireExceptionInfo();
        Image* image = ConstituteImage(Width, Height, "RGB", CharPixel, Rgb.data(), e);
        if (!image) throw std::runtime_error("ConstituteImage failed");
        ImageInfo* info = AcquireImageInfo();
        CopyMagickString(info->magick, Magick, MaxTextExtent);
        CopyMagickString(image->magick, Magick, MaxTextExtent);
        info->compression = Compression;
        image->compression = Compression;
        size_t length = 0;
        void* blob = ImageToBlob(info, image, &length, e);
        if (!blob) throw std::runtime_error("ImageToBlob failed");
        std::vector<uint8_t> bytes(static_cast<uint8_t*>(blob), static_cast<uint8_t*>(blob) + length);
        RelinquishMagickMemory(blob);
        DestroyImageInfo(info);
        DestroyImage(image);
        DestroyExceptionInfo(e);
        return bytes;
    }

    // Decodes the bytes as Magick and frees the picture; answers its width.
    size_t Decode(const std::vector<uint8_t>& Bytes, const char* Magick) {
        ExceptionInfo* e = AcquireExceptionInfo();
        ImageInfo* info = AcquireImageInfo();
        CopyMagickString(info->magick, Magick, MaxTextExtent);
        Image* image = BlobToImage(info, Bytes.data(), Bytes.size(), e);
        const size_t width = image ? image->columns : 0;
        if (image) DestroyImage(image);
        DestroyImageInfo(info);
        DestroyExceptionInfo(e);
        return width;
    }
};

// The one instance of a benchmark program.
inline TMagick& Magick() {
    static TMagick magick;
    return magick;
}

// A 24-megapixel picture with flat squares and noisy stretches, as red, green, blue bytes.
inline std::vector<uint8_t> TestPicture(size_t Width, size_t Height) {
    std::vector<uint8_t> rgb(Width * Height * 3);
    uint32_t noise = 1;
    for (size_t y = 0; y < Height; ++y)
        for (size_t x = 0; x < Width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const bool flat = ((x / 64) + (y / 64)) % 2 == 0;
            uint8_t* p = &rgb[3 * (y * Width + x)];
            p[0] = flat ? 200 : uint8_t(noise >> 16);
            p[1] = flat ? 90 : uint8_t(x + y);
            p[2] = flat ? 40 : uint8_t(noise >> 24);
        }
    return rgb;
}

} // namespace ferronel::bench
