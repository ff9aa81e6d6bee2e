// The bytes of a GIF stream in memory, read with a cursor that can step back, as the block reader
// needs to look at a byte and leave it for the next reader. Single bytes answer "none" at the end;
// runs of bytes either arrive whole or raise "Premature end of data".
#pragma once

#include "gif/GIFException.h"
#include "gif/GIFStrings.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace ferronel {

class TGIFSource {
public:
    explicit TGIFSource(std::span<const uint8_t> Data) : FData(Data) {}

    size_t Position() const { return FPosition; }
    size_t Size() const { return FData.size(); }
    size_t Remaining() const { return FData.size() - FPosition; }
    void SetPosition(size_t Position) { FPosition = Position < FData.size() ? Position : FData.size(); }

    std::optional<uint8_t> ReadByte() {
        if (FPosition >= FData.size()) return std::nullopt;
        return FData[FPosition++];
    }
    // Count bytes, or "Premature end of data".
    std::span<const uint8_t> ReadExact(size_t Count) {
        if (Count > Remaining()) throw GIFException(gif::sPrematureEnd);
        const std::span<const uint8_t> bytes = FData.subspan(FPosition, Count);
        FPosition += Count;
        return bytes;
    }
    void ReadExact(void* Buffer, size_t Count) {
        const auto bytes = ReadExact(Count);
        if (Count) std::memcpy(Buffer, bytes.data(), Count);
    }
    // Moves by Delta, stopping at either end.
    void Move(int64_t Delta) {
        if (Delta < 0)
            FPosition = size_t(-Delta) > FPosition ? 0 : FPosition - size_t(-Delta);
        else
            FPosition = size_t(Delta) > Remaining() ? FData.size() : FPosition + size_t(Delta);
    }
    void StepBack() { Move(-1); }

private:
    std::span<const uint8_t> FData;
    size_t FPosition = 0;
};

} // namespace ferronel
