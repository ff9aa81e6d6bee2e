#include "linear/CRC32Stream.h"

#include <array>

namespace ferronel::linear {

namespace {
// Four tables, so the checksum takes four bytes a step.
struct TCrcTables {
    std::array<std::array<uint32_t, 256>, 4> T{};
    TCrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
            T[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int t = 1; t < 4; ++t) T[t][i] = T[0][T[t - 1][i] & 255] ^ (T[t - 1][i] >> 8);
    }
};
const TCrcTables Tables;
} // namespace

uint32_t UpdateCRC32(uint32_t Crc, const uint8_t* Bytes, size_t Count) {
    const auto& t = Tables.T;
    while (Count >= 4) {
        Crc ^= uint32_t(Bytes[0]) | uint32_t(Bytes[1]) << 8 | uint32_t(Bytes[2]) << 16 |
               uint32_t(Bytes[3]) << 24;
        Crc = t[3][Crc & 255] ^ t[2][(Crc >> 8) & 255] ^ t[1][(Crc >> 16) & 255] ^ t[0][Crc >> 24];
        Bytes += 4;
        Count -= 4;
    }
    while (Count--) Crc = t[0][(Crc ^ *Bytes++) & 255] ^ (Crc >> 8);
    return Crc;
}

int32_t TCRC32Stream::Write(const void* Buffer, int32_t Count) {
    if (Count > 0) FCRC = UpdateCRC32(FCRC, static_cast<const uint8_t*>(Buffer), size_t(Count));
    return Source().Write(Buffer, Count);
}

int32_t TCRC32Stream::Read(void* Buffer, int32_t Count) {
    const int32_t got = Source().Read(Buffer, Count);
    if (got > 0) FCRC = UpdateCRC32(FCRC, static_cast<const uint8_t*>(Buffer), size_t(got));
    return got;
}

} // namespace ferronel::linear
