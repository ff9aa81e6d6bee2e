#include "linear/BitStream.h"

namespace ferronel::linear {

TBitStream::~TBitStream() {
    try {
        Flush();
    } catch (const Exception&) {
    }
}

void TBitStream::WriteBits(uint32_t Value, int Count) {
    if (Count < 0 || Count > 32) throw Exception("Assertion failure");
    uint64_t bits = uint64_t(FBitBuffer) | uint64_t(Value & (Count == 32 ? 0xFFFFFFFFu : (1u << Count) - 1))
                                               << FWriteBitCount;
    int total = FWriteBitCount + Count;
    while (total >= 8) {
        const uint8_t byte = uint8_t(bits);
        Source().Write(&byte, 1);
        bits >>= 8;
        total -= 8;
    }
    FBitBuffer = uint8_t(bits);
    FWriteBitCount = total;
}

bool TBitStream::NextByte() {
    // A missing byte answers 0 bits rather than replaying the previous one.
    const bool exact = Source().ExactTransfers();
    if (exact) Source().SetExactTransfers(false);
    const int32_t got = Source().Read(&FBitBuffer, 1);
    if (exact) Source().SetExactTransfers(true);
    if (got != 1) {
        FBitBuffer = 0;
        FReadBitPos = 0;
        return false;
    }
    FReadBitPos = 0;
    return true;
}

int TBitStream::ReadBit() {
    if (FReadBitPos == 0 || FReadBitPos == 8) {
        if (!NextByte()) return 0;
    }
    return (FBitBuffer >> FReadBitPos++) & 1;
}

int32_t TBitStream::ReadBits(void* Buffer, int32_t Count) {
    auto* out = static_cast<uint8_t*>(Buffer);
    int32_t delivered = 0;
    while (delivered < Count) {
        const int piece = Count - delivered < 8 ? Count - delivered : 8;
        uint8_t value = 0;
        for (int i = 0; i < piece; ++i) {
            if (FReadBitPos == 0 || FReadBitPos == 8) {
                if (!NextByte()) {
                    if (i > 0) *out = value;
                    return delivered + i;
                }
            }
            value |= uint8_t(((FBitBuffer >> FReadBitPos++) & 1) << i);
        }
        *out++ = value;
        delivered += piece;
    }
    return delivered;
}

void TBitStream::Flush() {
    if (FWriteBitCount > 0) Source().Write(&FBitBuffer, 1);
    FBitBuffer = 0;
    FWriteBitCount = 0;
    FReadBitPos = 0;
    Source().Flush();
}

} // namespace ferronel::linear
