// Reading bytes from files: loads of little- and big-endian values from memory, a bounds-checked
// cursor over a span, and a look at the next bytes of a stream that leaves its position alone.
// Every reader, decoder and loader reads multi-byte values through these, nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace ferronel {

class TStream;

// Loads from memory the caller has already checked; the cursor below checks for itself.
inline uint16_t LoadU16LE(const uint8_t* P) { return uint16_t(P[0] | P[1] << 8); }
inline uint16_t LoadU16BE(const uint8_t* P) { return uint16_t(P[0] << 8 | P[1]); }
inline uint32_t LoadU32LE(const uint8_t* P) {
    return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}
inline uint32_t LoadU32BE(const uint8_t* P) {
    return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | uint32_t(P[3]);
}
inline void StoreU16LE(uint8_t* P, uint16_t V) {
    P[0] = uint8_t(V);
    P[1] = uint8_t(V >> 8);
}
inline void StoreU32LE(uint8_t* P, uint32_t V) {
    StoreU16LE(P, uint16_t(V));
    StoreU16LE(P + 2, uint16_t(V >> 16));
}
inline void StoreU16BE(uint8_t* P, uint16_t V) {
    P[0] = uint8_t(V >> 8);
    P[1] = uint8_t(V);
}
inline void StoreU32BE(uint8_t* P, uint32_t V) {
    StoreU16BE(P, uint16_t(V >> 16));
    StoreU16BE(P + 2, uint16_t(V));
}

// What a cursor does when asked for bytes it does not hold: raise the reader's own error. The
// handler must not return; if it does, the host's stream read error is raised after it.
using TOverrunHandler = void (*)();

// A cursor over bytes in memory. Every read checks the bytes are there and raises through the
// overrun handler (by default EReadError "Stream read error") when they are not, so a header parser
// states what it reads and never how far it may read.
class TByteReader {
public:
    explicit TByteReader(std::span<const uint8_t> Data, TOverrunHandler OnOverrun = nullptr)
        : FData(Data), FOnOverrun(OnOverrun) {}

    size_t Position() const { return FPosition; }
    size_t Size() const { return FData.size(); }
    size_t Remaining() const { return FData.size() - FPosition; }
    bool Has(size_t Count) const { return Count <= Remaining(); }
    std::span<const uint8_t> Data() const { return FData; }

    // Moves to an absolute position; the end itself is a valid position.
    void Seek(size_t Position) {
        if (Position > FData.size()) Overrun();
        FPosition = Position;
    }
    void Skip(size_t Count) { Take(Count); }

    uint8_t U8() { return *Take(1); }
    int8_t S8() { return int8_t(U8()); }
    uint16_t U16LE() { return LoadU16LE(Take(2)); }
    uint16_t U16BE() { return LoadU16BE(Take(2)); }
    uint32_t U32LE() { return LoadU32LE(Take(4)); }
    uint32_t U32BE() { return LoadU32BE(Take(4)); }
    int16_t S16LE() { return int16_t(U16LE()); }
    int16_t S16BE() { return int16_t(U16BE()); }
    int32_t S32LE() { return int32_t(U32LE()); }
    int32_t S32BE() { return int32_t(U32BE()); }
    float F32LE() {
        const uint32_t v = U32LE();
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    // The next Count bytes, as a view into the data.
    std::span<const uint8_t> Bytes(size_t Count) { return {Take(Count), Count}; }
    void Read(void* Buffer, size_t Count) {
        if (Count) std::memcpy(Buffer, Take(Count), Count);
    }
    // A cursor over the next Count bytes, with the same handler; this cursor moves past them.
    TByteReader Sub(size_t Count) { return TByteReader(Bytes(Count), FOnOverrun); }

private:
    const uint8_t* Take(size_t Count) {
        if (Count > Remaining()) Overrun();
        const uint8_t* p = FData.data() + FPosition;
        FPosition += Count;
        return p;
    }
    [[noreturn]] void Overrun() const;

    std::span<const uint8_t> FData;
    TOverrunHandler FOnOverrun;
    size_t FPosition = 0;
};

// Reads Count bytes at the stream's position into Buffer and puts the position back, whatever
// happens; answers false when the stream holds fewer. This is how CanLoad tests look at a header.
bool PeekBytes(TStream& Stream, void* Buffer, size_t Count);
// The same for formats whose test looks at whatever is there up to Count bytes: answers how many
// it read (fewer when the stream ends first); the position is put back.
size_t PeekUpTo(TStream& Stream, void* Buffer, size_t Count);

} // namespace ferronel
