#include "readers/decoders/TIFFLZWDecoder.h"

#include <algorithm>

namespace ferronel {

namespace {

enum : uint32_t { ClearCode = 256, EndCode = 257, FirstFree = 258, MaxBits = 12 };

} // namespace

void TTIFFLZWDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                             int32_t UnpackedSize) {
    if (PackedSize <= 0 || UnpackedSize <= 0) return;
    const uint8_t* in = Source;
    const uint8_t* const inEnd = Source + PackedSize;
    uint8_t* out = Dest;
    uint8_t* const outEnd = Dest + UnpackedSize;
    // The old bit order opens with a clear code least significant bit first: 00, then bit 0 set.
    const bool oldStyle = PackedSize >= 2 && in[0] == 0 && (in[1] & 1) != 0;
    const uint32_t early = oldStyle ? 0 : 1;

    for (uint32_t c = 0; c < 256; ++c) {
        FPrefix[c] = 0;
        FSuffix[c] = uint8_t(c);
        FFirst[c] = uint8_t(c);
        FLength[c] = 1;
    }
    uint64_t bits = 0;
    uint32_t count = 0; // valid bits in the window
    uint32_t width = 9, next = FirstFree;
    int32_t previous = -1;

    while (out < outEnd) {
        while (count < width && in < inEnd) {
            if (oldStyle)
                bits |= uint64_t(*in++) << count;
            else
                bits = bits << 8 | *in++;
            count += 8;
        }
        if (count < width) break;
        uint32_t code;
        if (oldStyle) {
            code = uint32_t(bits) & ((1u << width) - 1);
            bits >>= width;
        } else {
            code = uint32_t(bits >> (count - width)) & ((1u << width) - 1);
        }
        count -= width;
        if (code == ClearCode) {
            width = 9;
            next = FirstFree;
            previous = -1;
            continue;
        }
        if (code == EndCode) break;
        if (previous < 0) {
            if (code > 255) break;
            *out++ = uint8_t(code);
            previous = int32_t(code);
            continue;
        }
        uint32_t written;
        if (code < next) {
            written = code;
        } else if (code == next && next < TableSize) {
            written = code; // the string of the previous code and its own first byte, made below
        } else {
            break;
        }
        if (next < TableSize) {
            const uint32_t p = uint32_t(previous);
            FPrefix[next] = uint16_t(p);
            FFirst[next] = FFirst[p];
            FSuffix[next] = FFirst[code == next ? p : code];
            FLength[next] = uint16_t(std::min<uint32_t>(FLength[p] + 1u, 0xFFFFu));
            ++next;
            if (next + early >= (1u << width) && width < MaxBits) ++width;
        }
        // The string is written from its last byte back; what does not fit is dropped.
        const size_t length = FLength[written];
        const size_t room = size_t(outEnd - out);
        uint32_t c = written;
        for (size_t skip = length > room ? length - room : 0; skip > 0; --skip) c = FPrefix[c];
        const size_t kept = std::min(length, room);
        for (size_t k = kept; k-- > 0;) {
            out[k] = FSuffix[c];
            c = FPrefix[c];
        }
        out += kept;
        previous = int32_t(written);
    }
}

} // namespace ferronel
