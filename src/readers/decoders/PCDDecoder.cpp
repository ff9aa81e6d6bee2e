#include "readers/decoders/PCDDecoder.h"

#include "host/Exceptions.h"
#include "host/Stream.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace ferronel {

namespace {

constexpr size_t BufferSize = 2048;
constexpr uint32_t RowHeaderMask = 0xFFFFFF00, RowHeader = 0xFFFFFE00;
constexpr uint32_t SyncMask = 0xFFF000;
constexpr int MaxCodeLength = 16;

// A 32-bit window over the stream, its top bit the next one, kept at least 25 bits full. Past the
// end of the stream it is filled with zeros that may be looked at but not consumed: consuming one
// is a read past the end.
class TBitWindow {
public:
    explicit TBitWindow(TStream& Stream)
        : FStream(Stream), FBuffer(std::make_unique<uint8_t[]>(BufferSize)) {}
    uint32_t Sum() const { return FSum; }
    void Skip(int N) {
        FSum <<= N;
        FBits -= N;
        if (FBits < FMissing) throw EReadError("Stream read error");
        while (FBits <= 24) {
            FSum |= uint32_t(NextByte()) << (24 - FBits);
            FBits += 8;
        }
    }
    // Moves to the next row header: to a byte whose window shows twelve one bits, then bit by bit
    // to 23 one bits and a zero.
    void Resync() {
        while ((FSum & SyncMask) != SyncMask) Skip(8);
        while ((FSum & RowHeaderMask) != RowHeader) Skip(1);
    }

private:
    uint8_t NextByte() {
        if (FPos == FCount) {
            FCount = FStream.Read(FBuffer.get(), BufferSize);
            FPos = 0;
            if (FCount == 0) {
                FMissing += 8;
                return 0;
            }
        }
        return FBuffer[FPos++];
    }

    TStream& FStream;
    std::unique_ptr<uint8_t[]> FBuffer;
    size_t FPos = 0, FCount = 0;
    uint32_t FSum = 0;
    int FBits = 32;
    int FMissing = 0; // zero bits at the bottom of the window that the stream did not hold
};

// A code table as a lookup by the next 16 bits: the code length in the high byte and the
// correction in the low one, 0 where no code matches. The first matching code of the stream's
// table wins.
using TLookup = std::vector<uint16_t>;

// Reads one table; false when a code is longer than 16 bits.
bool ReadTable(TBitWindow& Bits, TLookup& Lookup) {
    Lookup.assign(size_t(1) << MaxCodeLength, 0);
    Bits.Skip(8);
    const uint32_t count = (Bits.Sum() & 255) + 1;
    struct TEntry {
        uint32_t Length, Key;
        uint8_t Value;
    };
    std::array<TEntry, 256> entries{};
    for (uint32_t i = 0; i < count; ++i) {
        Bits.Skip(8);
        entries[i].Length = (Bits.Sum() & 255) + 1;
        if (entries[i].Length > MaxCodeLength) return false;
        Bits.Skip(16);
        entries[i].Key = (Bits.Sum() & 0xFFFF) << 16;
        Bits.Skip(8);
        entries[i].Value = uint8_t(Bits.Sum() & 255);
    }
    // Later entries first, so earlier ones overwrite them where both match.
    for (uint32_t i = count; i-- > 0;) {
        const TEntry& e = entries[i];
        const uint32_t mask = ~uint32_t(0) << (32 - e.Length);
        if ((e.Key & ~mask) != 0) continue; // can never match
        const size_t first = e.Key >> 16;
        const size_t span = size_t(1) << (MaxCodeLength - e.Length);
        std::fill_n(Lookup.begin() + ptrdiff_t(first), span, uint16_t(e.Length << 8 | e.Value));
    }
    return true;
}

} // namespace

void TPCDDecoder::Decode(const uint8_t*& Source, uint8_t*&, int32_t PackedSize, int32_t UnpackedSize) {
    if (!Source || PackedSize <= 0 || UnpackedSize < 0) return;
    DecodePlanes(*reinterpret_cast<const TPCDPlanes*>(Source), uint32_t(PackedSize), uint32_t(UnpackedSize));
}

void TPCDDecoder::DecodePlanes(const TPCDPlanes& Planes, uint32_t Stride, uint32_t EndRow) {
    if (Stride == 0) return;
    TBitWindow bits(FSourceStream);
    const size_t tableCount = Stride > 1536 ? 3 : 1;
    std::array<TLookup, 3> tables;
    for (size_t t = 0; t < tableCount; ++t)
        if (!ReadTable(bits, tables[t])) return;

    bits.Skip(16);
    bits.Skip(16);
    bits.Resync();

    const TLookup* table = nullptr;
    uint8_t* target = nullptr;
    uint32_t left = 0; // samples the current row may still take
    for (;;) {
        const uint32_t sum = bits.Sum();
        if ((sum & RowHeaderMask) == RowHeader) {
            bits.Skip(16);
            const uint32_t row = (bits.Sum() >> 9) & 0x1FFF;
            if (row == EndRow) return;
            bits.Skip(8);
            const uint32_t plane = bits.Sum() >> 30;
            bits.Skip(16);
            const TPCDPlane* p = nullptr;
            uint32_t planeRow = row;
            size_t tableIndex = 0;
            switch (plane) {
            case 0: p = &Planes.Luma; break;
            case 2:
                p = &Planes.Chroma1;
                planeRow = row >> 1;
                tableIndex = 1;
                break;
            case 3:
                p = &Planes.Chroma2;
                planeRow = row >> 1;
                tableIndex = 2;
                break;
            default: return; // no such plane: the data is not what it claims
            }
            table = tableIndex < tableCount ? &tables[tableIndex] : nullptr;
            // A row past the plane is decoded but not stored.
            const uint64_t offset = uint64_t(planeRow) * Stride;
            if (p->Data && p->Width > 0 && p->Size >= p->Width && offset <= p->Size - p->Width) {
                target = p->Data + offset;
                left = p->Width;
            } else {
                target = nullptr;
                left = 0;
            }
            continue;
        }
        const uint16_t code = table ? (*table)[sum >> 16] : 0;
        if (code == 0) {
            bits.Resync();
            continue;
        }
        if (left > 0) {
            *target = uint8_t(std::clamp(int(*target) + int(int8_t(code & 0xFF)), 0, 255));
            ++target;
            --left;
        }
        bits.Skip(code >> 8);
    }
}

} // namespace ferronel
