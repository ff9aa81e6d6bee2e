#include "linear/MemStream.h"

#include "host/Format.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ferronel::linear {

namespace {
constexpr int64_t BlockSize = 4096;
}

TMemStream::TMemStream() : FCurrentBlock(&FEmpty) { SetAccess(true, true); }

TMemStream::~TMemStream() { Clear(); }

void TMemStream::Clear() {
    // Unlink iteratively: a long chain must not recurse through the destructors.
    std::unique_ptr<TBlock> block = std::move(FFirstBlock);
    while (block) block = std::move(block->Next);
    FCurrentBlock = &FEmpty;
    FBlockOffset = FStreamSize = FStreamPos = 0;
}

std::vector<int64_t> TMemStream::BlockCapacities() const {
    std::vector<int64_t> all;
    for (const TBlock* b = FFirstBlock.get(); b; b = b->Next.get()) all.push_back(b->Capacity);
    return all;
}

void TMemStream::NextBlockForWrite(int64_t Wanted) {
    TBlock* next = FCurrentBlock == &FEmpty ? FFirstBlock.get() : FCurrentBlock->Next.get();
    if (!next) {
        auto block = std::make_unique<TBlock>();
        block->Capacity = std::max(BlockSize, Wanted);
        block->Bytes = std::make_unique<uint8_t[]>(size_t(block->Capacity));
        next = block.get();
        if (FCurrentBlock == &FEmpty)
            FFirstBlock = std::move(block);
        else
            FCurrentBlock->Next = std::move(block);
    }
    FCurrentBlock = next;
    FBlockOffset = 0;
}

int32_t TMemStream::Write(const void* Buffer, int32_t Count) {
    const auto* from = static_cast<const uint8_t*>(Buffer);
    int64_t left = std::max(Count, 0);
    while (left > 0) {
        if (FBlockOffset >= FCurrentBlock->Capacity) NextBlockForWrite(left);
        const int64_t n = std::min(left, FCurrentBlock->Capacity - FBlockOffset);
        std::memcpy(FCurrentBlock->Bytes.get() + FBlockOffset, from, size_t(n));
        from += n;
        left -= n;
        FBlockOffset += n;
        FStreamPos += n;
    }
    FStreamSize = std::max(FStreamSize, FStreamPos);
    return Count;
}

int32_t TMemStream::Read(void* Buffer, int32_t Count) {
    auto* to = static_cast<uint8_t*>(Buffer);
    const int64_t wanted = std::max(Count, 0);
    int64_t left = std::min(wanted, FStreamSize - FStreamPos);
    while (left > 0) {
        if (FBlockOffset >= FCurrentBlock->Capacity) {
            FCurrentBlock = FCurrentBlock == &FEmpty ? FFirstBlock.get() : FCurrentBlock->Next.get();
            FBlockOffset = 0;
        }
        const int64_t n = std::min(left, FCurrentBlock->Capacity - FBlockOffset);
        std::memcpy(to, FCurrentBlock->Bytes.get() + FBlockOffset, size_t(n));
        to += n;
        left -= n;
        FBlockOffset += n;
        FStreamPos += n;
    }
    const int32_t got = int32_t(to - static_cast<uint8_t*>(Buffer));
    if (ExactTransfers() && got < Count) throw EInOutError(Format(SErrorReading, {ClassType()->Name}));
    return got;
}

void TMemStream::SetPosition(int64_t Pos) {
    if (Pos == FStreamPos) return;
    if (Pos < 0 || Pos > FStreamSize) throw EInOutError(SErrorMovingStream);
    if (Pos < FStreamPos) {
        FCurrentBlock = &FEmpty;
        FBlockOffset = 0;
        FStreamPos = 0;
    }
    while (FStreamPos < Pos) {
        if (FBlockOffset >= FCurrentBlock->Capacity) {
            FCurrentBlock = FCurrentBlock == &FEmpty ? FFirstBlock.get() : FCurrentBlock->Next.get();
            FBlockOffset = 0;
            if (!FCurrentBlock) throw Exception("Error in MemStream.Seek");
        }
        const int64_t n = std::min(Pos - FStreamPos, FCurrentBlock->Capacity - FBlockOffset);
        FBlockOffset += n;
        FStreamPos += n;
    }
}

void TMemStream::Truncate() {
    if (FCurrentBlock == &FEmpty) {
        Clear();
        return;
    }
    std::unique_ptr<TBlock> rest = std::move(FCurrentBlock->Next);
    while (rest) rest = std::move(rest->Next);
    FStreamSize = FStreamPos;
}

} // namespace ferronel::linear
