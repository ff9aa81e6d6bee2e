// The Adler-32 checksum of zlib streams.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ferronel::linear {

class TAdler32 {
public:
    void Reset() {
        FA = 1;
        FB = 0;
    }
    void Add(const uint8_t* Bytes, size_t Count) {
        // 5552 bytes is the most that can be summed before the sums may pass 32 bits.
        while (Count > 0) {
            size_t n = Count < 5552 ? Count : 5552;
            Count -= n;
            uint32_t a = FA, b = FB;
            for (; n >= 4; n -= 4, Bytes += 4) {
                a += Bytes[0];
                b += a;
                a += Bytes[1];
                b += a;
                a += Bytes[2];
                b += a;
                a += Bytes[3];
                b += a;
            }
            while (n--) {
                a += *Bytes++;
                b += a;
            }
            FA = a % 65521;
            FB = b % 65521;
        }
    }
    void AddByte(uint8_t B) { Add(&B, 1); }
    // b x 65536 + a, as stored (big-endian) after the data.
    uint32_t Value() const { return FB << 16 | FA; }

private:
    uint32_t FA = 1;
    uint32_t FB = 0;
};

} // namespace ferronel::linear
