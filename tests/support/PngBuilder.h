// A PNG (or MNG) file built chunk by chunk in memory, each chunk with its CRC; CrcDelta spoils it.
#pragma once

#include "host/ByteReader.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace ferronel::test {

struct TPng {
    std::vector<uint8_t> Data{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    TPng& Mng() {
        Data[0] = 0x8A;
        Data[1] = 'M';
        return *this;
    }
    TPng& Chunk(const char* Type, const std::vector<uint8_t>& Body, int CrcDelta = 0) {
        return Raw(uint32_t(Body.size()), Type, Body, CrcDelta);
    }
    // A chunk whose length field says Length, whatever the body holds.
    TPng& Raw(uint32_t Length, const char* Type, const std::vector<uint8_t>& Body, int CrcDelta = 0) {
        uint8_t word[4];
        StoreU32BE(word, Length);
        Data.insert(Data.end(), word, word + 4);
        const size_t start = Data.size();
        Data.insert(Data.end(), Type, Type + 4);
        Data.insert(Data.end(), Body.begin(), Body.end());
        StoreU32BE(word,
                   uint32_t(crc32(0, Data.data() + start, uInt(Data.size() - start)) + uint32_t(CrcDelta)));
        Data.insert(Data.end(), word, word + 4);
        return *this;
    }
    TPng& IHDR(uint32_t W, uint32_t H, uint8_t Depth, uint8_t Type, uint8_t Interlace = 0) {
        std::vector<uint8_t> b(13);
        StoreU32BE(b.data(), W);
        StoreU32BE(b.data() + 4, H);
        b[8] = Depth;
        b[9] = Type;
        b[12] = Interlace;
        return Chunk("IHDR", b);
    }
    TPng& IEND() { return Chunk("IEND", {}); }
};

} // namespace ferronel::test
