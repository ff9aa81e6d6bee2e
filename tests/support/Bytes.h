// Building little-endian binary test files byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace ferronel::test {

struct TBytes {
    std::vector<uint8_t> Data;
    TBytes& U8(std::initializer_list<uint8_t> values) {
        Data.insert(Data.end(), values);
        return *this;
    }
    TBytes& U16(uint32_t v) {
        Data.push_back(uint8_t(v));
        Data.push_back(uint8_t(v >> 8));
        return *this;
    }
    TBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    TBytes& Fill(size_t count, uint8_t value) {
        Data.insert(Data.end(), count, value);
        return *this;
    }
    TBytes& Append(const std::vector<uint8_t>& more) {
        Data.insert(Data.end(), more.begin(), more.end());
        return *this;
    }
    size_t Size() const { return Data.size(); }
};

// A 40-byte info header.
inline TBytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                         uint32_t colors = 0) {
    TBytes b;
    b.U32(40).U32(uint32_t(width)).U32(uint32_t(height)).U16(1).U16(bits).U32(compression).U32(0);
    b.U32(2835).U32(2835).U32(colors).U32(0);
    return b;
}

// A whole bitmap file around an info header, a colour table and pixel data.
inline std::vector<uint8_t> BmpFile(const TBytes& info, const TBytes& table, const TBytes& pixels) {
    TBytes f;
    const uint32_t off = uint32_t(14 + info.Size() + table.Size());
    f.U8({'B', 'M'}).U32(uint32_t(off + pixels.Size())).U32(0).U32(off);
    f.Append(info.Data).Append(table.Data).Append(pixels.Data);
    return f.Data;
}

} // namespace ferronel::test
