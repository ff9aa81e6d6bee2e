// Building GIF streams byte by byte for the tests: blocks, and LZW code streams either from pixels
// (roots only, a clear code before the table would widen the codes) or from explicit codes.
#pragma once

#include "support/Bytes.h"

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace ferronel::test {

using GifBytes = std::vector<uint8_t>;

// Codes of the given widths packed low bit first.
inline GifBytes PackCodes(const std::vector<std::pair<uint32_t, int>>& Codes) {
    GifBytes out;
    uint64_t buffer = 0;
    int bits = 0;
    for (const auto& [code, width] : Codes) {
        buffer |= uint64_t(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(uint8_t(buffer));
            buffer >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) out.push_back(uint8_t(buffer));
    return out;
}

// Data in sub-blocks of at most BlockSize bytes, with the terminator when asked.
inline GifBytes SubBlocks(const GifBytes& Data, size_t BlockSize = 255, bool Terminator = true) {
    GifBytes out;
    for (size_t i = 0; i < Data.size(); i += BlockSize) {
        const size_t n = std::min(BlockSize, Data.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), Data.begin() + std::ptrdiff_t(i), Data.begin() + std::ptrdiff_t(i + n));
    }
    if (Terminator) out.push_back(0);
    return out;
}

// Pixels as root codes: a clear code first and whenever the next code would widen, an end code last.
inline GifBytes EncodePixels(const GifBytes& Pixels, int MinCodeSize) {
    const uint32_t clear = 1u << MinCodeSize;
    const int width = MinCodeSize + 1;
    std::vector<std::pair<uint32_t, int>> codes{{clear, width}};
    uint32_t next = clear + 2;
    bool first = true;
    for (const uint8_t p : Pixels) {
        if (!first && next + 1 >= 2 * clear) {
            codes.push_back({clear, width});
            next = clear + 2;
            first = true;
        }
        codes.push_back({p, width});
        if (!first) ++next;
        first = false;
    }
    codes.push_back({clear + 1, width});
    return PackCodes(codes);
}

struct TGifBuilder {
    TBytes B;

    TGifBuilder& Screen(uint16_t W, uint16_t H, int TableBits = 1, uint8_t Background = 0,
                        const char* Signature = "GIF89a") {
        B.Data.insert(B.Data.end(), Signature, Signature + 6);
        B.U16(W).U16(H).U8({uint8_t(TableBits > 0 ? 0x80 | (TableBits - 1) : 0), Background, 0});
        if (TableBits > 0) AppendTable(TableBits);
        return *this;
    }
    // A table of 2^Bits entries: entry i is (i, 255 - i, i * 7).
    void AppendTable(int Bits) {
        for (uint32_t i = 0; i < (1u << Bits); ++i) B.U8({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    }
    TGifBuilder& Control(uint8_t Disposal, uint16_t Delay, int Transparent = -1) {
        B.U8({0x21, 0xF9, 4, uint8_t(Disposal << 2 | (Transparent >= 0 ? 1 : 0))}).U16(Delay);
        B.U8({uint8_t(Transparent >= 0 ? Transparent : 0), 0});
        return *this;
    }
    TGifBuilder& Loop(uint16_t Count, const char* Identifier = "NETSCAPE2.0") {
        B.U8({0x21, 0xFF, 11});
        B.Data.insert(B.Data.end(), Identifier, Identifier + 11);
        B.U8({3, 1}).U16(Count).U8({0});
        return *this;
    }
    TGifBuilder& Comment(const std::string& Text) {
        B.U8({0x21, 0xFE});
        B.Append(SubBlocks(GifBytes(Text.begin(), Text.end())));
        return *this;
    }
    TGifBuilder& Descriptor(uint16_t L, uint16_t T, uint16_t W, uint16_t H, uint8_t Packed = 0) {
        B.U8({0x2C}).U16(L).U16(T).U16(W).U16(H).U8({Packed});
        return *this;
    }
    // A frame of pixels (row after row), interlaced when asked (the pixels are then stored in pass order).
    TGifBuilder& Frame(uint16_t L, uint16_t T, uint16_t W, uint16_t H, const GifBytes& Pixels,
                       int MinCodeSize = 2, bool Interlaced = false, int LocalBits = 0) {
        Descriptor(L, T, W, H,
                   uint8_t((Interlaced ? 0x40 : 0) | (LocalBits > 0 ? 0x80 | (LocalBits - 1) : 0)));
        if (LocalBits > 0) AppendTable(LocalBits);
        GifBytes stored = Pixels;
        if (Interlaced) {
            stored.clear();
            static constexpr uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (uint32_t y = start[pass]; y < H; y += step[pass])
                    stored.insert(stored.end(), Pixels.begin() + std::ptrdiff_t(y * W),
                                  Pixels.begin() + std::ptrdiff_t((y + 1) * W));
        }
        B.U8({uint8_t(MinCodeSize)});
        B.Append(SubBlocks(EncodePixels(stored, MinCodeSize)));
        return *this;
    }
    // A frame whose image data is given as is (minimum code size byte included).
    TGifBuilder& RawFrame(uint16_t W, uint16_t H, const GifBytes& Data, uint8_t Packed = 0) {
        Descriptor(0, 0, W, H, Packed);
        B.Append(Data);
        return *this;
    }
    TGifBuilder& Raw(std::initializer_list<uint8_t> Values) {
        B.U8(Values);
        return *this;
    }
    TGifBuilder& Trailer() { return Raw({0x3B}); }
    GifBytes Data() const { return B.Data; }
};

} // namespace ferronel::test
