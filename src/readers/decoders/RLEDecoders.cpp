#include "readers/decoders/RLEDecoders.h"

#include "host/ByteReader.h"

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

// A decoder's walk over its source and destination: both ends are known, and every step is cut at
// them.
struct TCursor {
    const uint8_t* S;
    const uint8_t* const End;
    uint8_t* D;
    size_t Left; // units still wanted

    TCursor(const uint8_t* source, int32_t packed, uint8_t* dest, int32_t unpacked)
        : S(source), End(source + Positive(packed)), D(dest), Left(Positive(unpacked)) {}
    size_t Rest() const { return size_t(End - S); }
    bool More() const { return Left > 0 && S < End; }
    // Writes the next source byte up to N times; false when that byte is missing.
    bool Fill(size_t n) {
        if (S >= End) return false;
        n = std::min(n, Left);
        std::memset(D, *S++, n);
        D += n, Left -= n;
        return true;
    }
    // Copies up to N bytes; N source bytes are used, as far as there are any.
    void Copy(size_t n) {
        const size_t k = std::min({n, Left, Rest()});
        std::memcpy(D, S, k);
        D += k, Left -= k;
        S += std::min(n, Rest());
    }
};

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
    // Raw pixels: as many of Count as fit the destination and the source; answers false when the
    // source ran out before the packet or the destination did.
    auto copyRaw = [&](size_t count) {
        const size_t m = std::min({count, left, size_t(end - s) / p});
        std::memcpy(d, s, m * p);
        d += m * p;
        s += m * p;
        left -= m;
        FPendingCount = count - m;
        FPendingRun = false;
        return FPendingCount == 0 || left == 0;
    };
    auto fillRun = [&](size_t count) {
        const size_t m = std::min(count, left);
        FillPixels(d, FRunPixel, p, m);
        d += m * p;
        left -= m;
        FPendingCount = count - m;
        FPendingRun = true;
    };

    bool more = true;
    if (FPendingCount > 0 && left > 0) {
        if (FPendingRun)
            fillRun(FPendingCount);
        else
            more = copyRaw(FPendingCount);
    }
    while (more && left > 0 && s < end) {
        const uint8_t c = *s++;
        const size_t n = (c & 127u) + 1;
        if (c & 0x80) {
            if (size_t(end - s) < p) {
                s = end;
                FPendingCount = 0;
                break;
            }
            std::memcpy(FRunPixel, s, p);
            s += p;
            fillRun(n);
        } else {
            more = copyRaw(n);
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
    TCursor c(Source, PackedSize, Dest, UnpackedSize);
    while (c.More()) {
        const int8_t code = int8_t(*c.S++);
        if (code >= 0)
            c.Copy(size_t(code) + 1);
        else if (code != -128 && !c.Fill(size_t(1 - code)))
            break;
    }
}

void TPCXRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    TCursor c(Source, PackedSize, Dest, UnpackedSize);
    while (c.More()) {
        const uint8_t code = *c.S++;
        if (code < 0xC0) {
            *c.D++ = code;
            --c.Left;
        } else if (!c.Fill(code & 63u)) {
            break;
        }
    }
}

void TSGIRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    TCursor c(Source, PackedSize, Dest, UnpackedSize);
    if (FSampleSize != 16) {
        while (c.More()) {
            const uint8_t code = *c.S++;
            const size_t n = code & 127u;
            if (n == 0) break;
            if (code & 0x80)
                c.Copy(n);
            else if (!c.Fill(n))
                break;
        }
        return;
    }
    // 16-bit samples: big-endian control words, values copied as stored. Left counts samples.
    while (c.Left > 0 && c.Rest() >= 2) {
        const uint32_t code = LoadU16BE(c.S);
        c.S += 2;
        const size_t n = code & 127u;
        if (n == 0) break;
        const size_t m = std::min(n, c.Left);
        if (code & 0x80) {
            const size_t k = std::min(m, c.Rest() / 2);
            std::memcpy(c.D, c.S, 2 * k);
            c.D += 2 * k, c.Left -= k;
            if (k < m) break;
            c.S += std::min(2 * n, c.Rest());
        } else {
            if (c.Rest() < 2) break;
            FillPixels(c.D, c.S, 2, m);
            c.D += 2 * m, c.Left -= m;
            c.S += 2;
        }
    }
}

void TCUTRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    TCursor c(Source, PackedSize, Dest, UnpackedSize);
    c.S += std::min<size_t>(2, c.Rest()); // the line's byte count, not needed
    // Codes are read up to the line's end code even when the destination is full, so that Source
    // ends where the next line starts; only the writing stops.
    while (c.S < c.End) {
        const uint8_t code = *c.S++;
        if (code == 0) break;
        if (code & 0x80) {
            if (!c.Fill(code & 127u)) break;
        } else {
            c.Copy(code);
        }
    }
    Source = c.S;
}

void TPSPRLEDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                            int32_t UnpackedSize) {
    TCursor c(Source, PackedSize, Dest, UnpackedSize);
    while (c.More()) {
        const uint8_t code = *c.S++;
        if (code < 128)
            c.Copy(code);
        else if (!c.Fill(code - 128u))
            break;
    }
}

void TRLADecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) {
    TCursor c(Source, PackedSize, Dest, UnpackedSize);
    while (c.More()) {
        const int8_t code = int8_t(*c.S++);
        if (code < 0)
            c.Copy(size_t(-int32_t(code)));
        else if (!c.Fill(size_t(code) + 1))
            break;
    }
}

} // namespace ferronel
