// A filter that keeps the CRC-32 of every byte read or written through it.
#pragma once

#include "linear/BaseStream.h"

#include <cstddef>

namespace ferronel::linear {

// Adds Count bytes to a running (not complemented) CRC-32.
uint32_t UpdateCRC32(uint32_t Crc, const uint8_t* Bytes, size_t Count);

class TCRC32Stream : public TFilterStream {
    FERRONEL_ABSTRACT_CLASS(TCRC32Stream, TFilterStream)
public:
    explicit TCRC32Stream(TBaseStream& Source) : TFilterStream(Source) {}
    int32_t Write(const void* Buffer, int32_t Count) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    void ResetCRC() { FCRC = 0xFFFFFFFF; }
    uint32_t GetCRC() const { return ~FCRC; }

private:
    uint32_t FCRC = 0xFFFFFFFF;
};

} // namespace ferronel::linear
