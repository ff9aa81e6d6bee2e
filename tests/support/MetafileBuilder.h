// Builds WMF and EMF files record by record for tests and fuzz seeds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace ferronel::test {

// Record parameters as 16-bit or 32-bit little-endian values.
inline std::vector<uint8_t> Words(std::initializer_list<int32_t> values) {
    std::vector<uint8_t> b;
    for (int32_t v : values) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(uint32_t(v) >> 8));
    }
    return b;
}
inline std::vector<uint8_t> Longs(std::initializer_list<int64_t> values) {
    std::vector<uint8_t> b;
    for (int64_t v : values)
        for (int shift = 0; shift < 32; shift += 8) b.push_back(uint8_t(uint64_t(v) >> shift));
    return b;
}

class TWmfBuilder {
public:
    // A record of 16-bit parameters.
    TWmfBuilder& Rec(uint16_t function, std::initializer_list<int32_t> params) {
        std::vector<uint16_t> words;
        for (int32_t p : params) words.push_back(uint16_t(p));
        return Raw(function, words);
    }
    TWmfBuilder& Raw(uint16_t function, const std::vector<uint16_t>& params) {
        Put32(FRecords, uint32_t(3 + params.size()));
        Put16(FRecords, function);
        for (uint16_t w : params) Put16(FRecords, w);
        FMax = std::max<uint32_t>(FMax, uint32_t(3 + params.size()));
        return *this;
    }
    // Parameters given as bytes (padded to whole words).
    TWmfBuilder& Bytes(uint16_t function, std::vector<uint8_t> bytes) {
        if (bytes.size() % 2) bytes.push_back(0);
        std::vector<uint16_t> words(bytes.size() / 2);
        std::memcpy(words.data(), bytes.data(), bytes.size());
        return Raw(function, words);
    }
    std::vector<uint8_t> File(bool placeable, int16_t l = 0, int16_t t = 0, int16_t r = 100, int16_t b = 100,
                              uint16_t inch = 96) const {
        std::vector<uint8_t> f;
        if (placeable) {
            Put32(f, 0x9AC6CDD7);
            Put16(f, 0);
            for (int16_t v : {l, t, r, b}) Put16(f, uint16_t(v));
            Put16(f, inch);
            Put32(f, 0);
            uint16_t sum = 0;
            for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(f[i] | f[i + 1] << 8);
            Put16(f, sum);
        }
        std::vector<uint8_t> records = FRecords;
        Put32(records, 3);
        Put16(records, 0); // end of file
        Put16(f, 1);
        Put16(f, 9);
        Put16(f, 0x300);
        Put32(f, uint32_t(9 + records.size() / 2));
        Put16(f, 16);
        Put32(f, FMax);
        Put16(f, 0);
        f.insert(f.end(), records.begin(), records.end());
        return f;
    }

    static void Put16(std::vector<uint8_t>& b, uint32_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    }
    static void Put32(std::vector<uint8_t>& b, uint32_t v) {
        Put16(b, v & 0xFFFF);
        Put16(b, v >> 16);
    }

private:
    std::vector<uint8_t> FRecords;
    uint32_t FMax = 3;
};

class TEmfBuilder {
public:
    // A record of 32-bit parameters.
    TEmfBuilder& Rec(uint32_t type, std::initializer_list<int64_t> params) {
        std::vector<uint8_t> bytes;
        for (int64_t p : params) TWmfBuilder::Put32(bytes, uint32_t(p));
        return Bytes(type, bytes);
    }
    TEmfBuilder& Bytes(uint32_t type, std::vector<uint8_t> bytes) {
        while (bytes.size() % 4) bytes.push_back(0);
        TWmfBuilder::Put32(FRecords, type);
        TWmfBuilder::Put32(FRecords, uint32_t(8 + bytes.size()));
        FRecords.insert(FRecords.end(), bytes.begin(), bytes.end());
        ++FCount;
        return *this;
    }
    static void PutFloat(std::vector<uint8_t>& b, float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        TWmfBuilder::Put32(b, v);
    }
    // A 100 x 100 picture on a 96-dpi reference device, logical units = device pixels.
    std::vector<uint8_t> File() const {
        std::vector<uint8_t> records = FRecords;
        TWmfBuilder::Put32(records, 14); // end of file
        TWmfBuilder::Put32(records, 20);
        for (int i = 0; i < 3; ++i) TWmfBuilder::Put32(records, 0);
        std::vector<uint8_t> f;
        auto put = [&](int64_t v) { TWmfBuilder::Put32(f, uint32_t(v)); };
        put(1);
        put(88);
        for (int v : {0, 0, 99, 99}) put(v);     // bounds in device pixels
        for (int v : {0, 0, 2646, 2646}) put(v); // frame in 0.01 mm: 100 px at 96 dpi
        put(0x464D4520);
        put(0x10000);
        put(int64_t(88 + records.size()));
        put(FCount + 2);
        TWmfBuilder::Put16(f, 16); // handles
        TWmfBuilder::Put16(f, 0);
        put(0);
        put(0);
        put(0);
        for (int v : {960, 960, 254, 254}) put(v); // device pixels and millimetres
        f.insert(f.end(), records.begin(), records.end());
        return f;
    }

private:
    std::vector<uint8_t> FRecords;
    uint32_t FCount = 0;
};

} // namespace ferronel::test
