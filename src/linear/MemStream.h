// A seekable memory stream made of a chain of blocks, so growing it never moves the data.
#pragma once

#include "linear/BaseStream.h"

#include <memory>
#include <vector>

namespace ferronel::linear {

class TMemStream : public TSeekableStream {
    FERRONEL_CLASS(TMemStream, TSeekableStream)
public:
    TMemStream();
    ~TMemStream() override;

    int32_t Write(const void* Buffer, int32_t Count) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    int64_t BytesLeft() override { return FStreamSize - FStreamPos; }
    int64_t GetPosition() override { return FStreamPos; }
    int64_t GetSize() override { return FStreamSize; }
    void SetPosition(int64_t Pos) override;
    void Truncate() override;
    void Clear();
    // Capacities of the blocks, first to last (for tests of the growth rule).
    std::vector<int64_t> BlockCapacities() const;

private:
    struct TBlock {
        int64_t Capacity = 0;
        std::unique_ptr<TBlock> Next;
        std::unique_ptr<uint8_t[]> Bytes;
    };
    // Makes the current block one that has room at BlockOffset, appending one when needed.
    void NextBlockForWrite(int64_t Wanted);

    std::unique_ptr<TBlock> FFirstBlock;
    TBlock* FCurrentBlock;
    TBlock FEmpty; // the sentinel of an empty stream
    int64_t FBlockOffset = 0;
    int64_t FStreamSize = 0;
    int64_t FStreamPos = 0;
};

} // namespace ferronel::linear
