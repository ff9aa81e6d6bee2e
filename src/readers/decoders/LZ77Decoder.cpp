#include "readers/decoders/LZ77Decoder.h"

namespace ferronel {

namespace {
const char* const SLZ77Error = "LZ77 decompression error.";
}

TLZ77Decoder::TLZ77Decoder(int32_t FlushMode, bool AutoReset) : FFlush(FlushMode), FResetPerCall(AutoReset) {}

// The inflate state is zlib's own allocation: a decoder dropped without EndDecode (an exception
// between the two) still gives it back.
TLZ77Decoder::~TLZ77Decoder() {
    if (FInitialized) inflateEnd(&FZStream);
}

void TLZ77Decoder::BeginDecode() {
    if (FInitialized) inflateEnd(&FZStream);
    FZStream = z_stream{};
    FInitialized = false;
    FLastResult = inflateInit(&FZStream);
    if (FLastResult < 0) CompressionError(SLZ77Error);
    FInitialized = true;
}

void TLZ77Decoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) {
    // Without BeginDecode there is no stream to feed; negative sizes mean nothing to do.
    if (!FInitialized || PackedSize < 0 || UnpackedSize < 0) return;
    FZStream.next_in = const_cast<Bytef*>(Source);
    FZStream.avail_in = uInt(PackedSize);
    if (FResetPerCall) FLastResult = inflateReset(&FZStream);
    // After the end of the stream or an error, later blocks are passed over untouched.
    if (FLastResult != Z_OK) return;
    FZStream.next_out = Dest;
    FZStream.avail_out = uInt(UnpackedSize);
    FLastResult = inflate(&FZStream, FFlush);
    Source = FZStream.next_in;
    Dest = FZStream.next_out;
}

void TLZ77Decoder::EndDecode() {
    if (!FInitialized) return;
    FInitialized = false;
    if (inflateEnd(&FZStream) < 0) CompressionError(SLZ77Error);
}

} // namespace ferronel
