#include "readers/RLEDecoders.h"

#include <algorithm>
#include <cstring>

namespace ferronel {

namespace {

size_t Positive(int32_t v) { return v > 0 ? size_t(v) : 0; }

// Bytes of one pixel for a Targa depth; 0 for a depth the format does not have.
size_t TargaPixelBytes(uint32_t depth) {
    switch (depth) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

void FillPixels(uint8_t* d, const uint8_t* pixel, size_t bytes, size_t count) {
    if (bytes == 1) {
        std::memset(d, *pixel, count);
        return;
    }
    for (size_t i = 0; i < count; ++i, d += bytes) std::memcpy(d, pixel, bytes);
}

} // namespace

void TTargaRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                              int32_t UnpackedSize) {
    const size_t p = TargaPixelBytes(FColorDepth);
    if (p == 0) return;
    const uint8_t* s = Source;
    const uint8_t* const end = s + Positive(PackedSize);
    uint8_t* d = Dest;
    size_t left = Positive(UnpackedSize);
    while (left > 0 && s < end) {
        const uint8_t c = *s++;
        const size_t n = (c & 127u) + 1;
        const size_t available = size_t(end - s);
        if (c & 0x80) {
            if (available < p) {
                s = end;
                break;
            }
            const size_t m = std::min(n, left);
            FillPixels(d, s, p, m);
            d += m * p;
            left -= m;
            s += p;
        } else {
            // A packet longer than the row is cut there; its source bytes are still consumed.
            const size_t m = std::min({n, left, available / p});
            std::memcpy(d, s, m * p);
            d += m * p;
            left -= m;
            s += std::min(n * p, available);
        }
    }
    Source = s;
}

void TTargaRLEDecoder::Encode(const uint8_t* Source, uint8_t* Dest, uint32_t Count, uint32_t& BytesStored) {
    const size_t p = (size_t(FColorDepth) + 1) / 8;
    BytesStored = 0;
    if (p == 0) return;
    auto same = [&](size_t a, size_t b) { return std::memcmp(Source + a * p, Source + b * p, p) == 0; };
    size_t i = 0;
    while (i < Count) {
        const size_t rest = Count - i;
        // Leading pixels that differ from their successors.
        size_t different = 0;
        while (different + 1 < rest && different < 128 && !same(i + different, i + different + 1))
            ++different;
        if (different + 1 >= rest) different = rest; // no two equal neighbours up to the end
        different = std::min<size_t>(different, 128);
        if (different > 0) {
            *Dest++ = uint8_t(different - 1);
            std::memcpy(Dest, Source + i * p, different * p);
            Dest += different * p;
            BytesStored += uint32_t(different * p + 1);
            i += different;
        } else {
            size_t run = 1;
            while (run < rest && run < 128 && same(i, i + run)) ++run;
            *Dest++ = uint8_t((run - 1) | 0x80);
            std::memcpy(Dest, Source + i * p, p);
            Dest += p;
            BytesStored += uint32_t(p + 1);
            i += run;
        }
    }
}

void TPackbitsRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                                 int32_t UnpackedSize) {
    const uint8_t* s = Source;
    const uint8_t* const end = s + Positive(PackedSize);
    uint8_t* d = Dest;
    size_t left = Positive(UnpackedSize);
    while (left > 0 && s < end) {
        const int8_t c = int8_t(*s++);
        if (c >= 0) {
            const size_t n = std::min({size_t(c) + 1, left, size_t(end - s)});
            std::memcpy(d, s, n);
            d += n, s += n, left -= n;
        } else if (c != -128) {
            if (s >= end) break;
            const size_t n = std::min(size_t(1 - c), left);
            std::memset(d, *s++, n);
            d += n, left -= n;
        }
    }
}

void TPCXRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    const uint8_t* s = Source;
    const uint8_t* const end = s + Positive(PackedSize);
    uint8_t* d = Dest;
    size_t left = Positive(UnpackedSize);
    while (left > 0 && s < end) {
        const uint8_t c = *s++;
        if (c < 0xC0) {
            *d++ = c;
            --left;
        } else {
            if (s >= end) break;
            const size_t n = std::min(size_t(c & 63u), left);
            std::memset(d, *s++, n);
            d += n, left -= n;
        }
    }
}

void TSGIRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    const uint8_t* s = Source;
    const uint8_t* const end = s + Positive(PackedSize);
    uint8_t* d = Dest;
    size_t left = Positive(UnpackedSize);
    const size_t unit = FSampleSize == 16 ? 2 : 1;
    while (left > 0 && size_t(end - s) >= unit) {
        const uint32_t c = unit == 2 ? uint32_t(s[0]) << 8 | s[1] : s[0];
        s += unit;
        const size_t n = c & 127u;
        if (n == 0) break;
        const size_t m = std::min(n, left);
        if (c & 0x80) {
            const size_t k = std::min(m, size_t(end - s) / unit);
            std::memcpy(d, s, k * unit);
            d += k * unit, left -= k;
            if (k < m) break;
            s += n * unit <= size_t(end - s) ? n * unit : size_t(end - s);
        } else {
            if (size_t(end - s) < unit) break;
            FillPixels(d, s, unit, m);
            d += m * unit, left -= m;
            s += unit;
        }
    }
}

void TCUTRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    const uint8_t* s = Source;
    const uint8_t* const end = s + Positive(PackedSize);
    uint8_t* d = Dest;
    size_t left = Positive(UnpackedSize);
    s += std::min<size_t>(2, size_t(end - s)); // the line's byte count, not needed
    // Codes are read up to the line's end code even when the destination is full, so that Source
    // ends where the next line starts; only the writing stops.
    while (s < end) {
        const uint8_t c = *s++;
        if (c == 0) break;
        const size_t n = c & 127u;
        const size_t m = std::min(n, left);
        if (c & 0x80) {
            if (s >= end) break;
            std::memset(d, *s++, m);
        } else {
            const size_t available = size_t(end - s);
            std::memcpy(d, s, std::min(m, available));
            s += std::min(n, available);
        }
        d += m, left -= m;
    }
    Source = s;
}

void TPSPRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    const uint8_t* s = Source;
    const uint8_t* const end = s + Positive(PackedSize);
    uint8_t* d = Dest;
    size_t left = Positive(UnpackedSize);
    while (left > 0 && s < end) {
        const uint8_t c = *s++;
        if (c >= 128) {
            if (s >= end) break;
            const size_t n = std::min(size_t(c - 128u), left);
            std::memset(d, *s++, n);
            d += n, left -= n;
        } else {
            const size_t n = std::min({size_t(c), left, size_t(end - s)});
            std::memcpy(d, s, n);
            d += n, left -= n;
            s += std::min(size_t(c), size_t(end - s));
        }
    }
}

void TRLADecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) {
    const uint8_t* s = Source;
    const uint8_t* const end = s + Positive(PackedSize);
    uint8_t* d = Dest;
    size_t left = Positive(UnpackedSize);
    while (left > 0 && s < end) {
        const int8_t c = int8_t(*s++);
        if (c < 0) {
            const size_t count = size_t(-int32_t(c));
            const size_t n = std::min({count, left, size_t(end - s)});
            std::memcpy(d, s, n);
            d += n, left -= n;
            s += std::min(count, size_t(end - s));
        } else {
            if (s >= end) break;
            const size_t n = std::min(size_t(c) + 1, left);
            std::memset(d, *s++, n);
            d += n, left -= n;
        }
    }
}

} // namespace ferronel
