// A filter that reads and writes bit fields, least significant bit first.
#pragma once

#include "linear/BaseStream.h"

namespace ferronel::linear {

class TBitStream : public TFilterStream {
    FERRONEL_ABSTRACT_CLASS(TBitStream, TFilterStream)
public:
    explicit TBitStream(TBaseStream& Source) : TFilterStream(Source) {}
    ~TBitStream() override;

    // Count must not pass 32.
    void WriteBits(uint32_t Value, int Count);
    // Count bits as consecutive bytes of up to 8 bits each; answers the bits delivered.
    int32_t ReadBits(void* Buffer, int32_t Count);
    // The next bit; 0 once the source has no more bytes.
    int ReadBit();
    void Flush() override;
    int64_t BytesLeft() override { return Source().BytesLeft() + FReadBitPos; }

private:
    bool NextByte();

    int32_t FWriteBitCount = 0;
    int32_t FReadBitPos = 0;
    uint8_t FBitBuffer = 0;
};

} // namespace ferronel::linear
