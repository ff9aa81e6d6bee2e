#include "readers/decoders/TIFFDeflateDecoder.h"

#include <libdeflate.h>

#include <cstring>
#include <new>

namespace ferronel {

TTIFFDeflateDecoder::TTIFFDeflateDecoder() = default;

TTIFFDeflateDecoder::~TTIFFDeflateDecoder() {
    if (FDecompressor) libdeflate_free_decompressor(FDecompressor);
}

void TTIFFDeflateDecoder::BeginDecode() {
    if (!FDecompressor) FDecompressor = libdeflate_alloc_decompressor();
    if (!FDecompressor) throw std::bad_alloc();
    FFallback.BeginDecode();
}

void TTIFFDeflateDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                                 int32_t UnpackedSize) {
    if (PackedSize <= 0 || UnpackedSize <= 0) return;
    if (!FDecompressor) BeginDecode();
    size_t produced = 0;
    const libdeflate_result result = libdeflate_zlib_decompress(FDecompressor, Source, size_t(PackedSize),
                                                                Dest, size_t(UnpackedSize), &produced);
    if (result == LIBDEFLATE_SUCCESS) {
        std::memset(Dest + produced, 0, size_t(UnpackedSize) - produced);
        return;
    }
    // libdeflate leaves no account of how far it got; zlib decodes the same stream again and stops
    // where the damage is.
    std::memset(Dest, 0, size_t(UnpackedSize));
    const uint8_t* source = Source;
    uint8_t* dest = Dest;
    FFallback.Decode(source, dest, PackedSize, UnpackedSize);
}

void TTIFFDeflateDecoder::EndDecode() { FFallback.EndDecode(); }

} // namespace ferronel
