// Deflate (raw, without the zlib header and checksum) as a filter stream: reading inflates what the
// source holds, writing compresses into the source. Inflate decodes through multi-bit tables with a
// 64-bit bit buffer; every code is checked for completeness and every distance against the bytes
// produced so far, so damaged data raises instead of yielding garbage.
#pragma once

#include "linear/HuffmanBitStream.h"

#include <memory>
#include <vector>

namespace ferronel::linear {

class TDeflateStream : public THuffmanBitStream {
    FERRONEL_ABSTRACT_CLASS(TDeflateStream, THuffmanBitStream)
public:
    enum : int { dmAuto = -1, dmDecompress = 0, dmCompress = 1 };
    enum : uint8_t { cmDynamic = 0, cmFixed = 1, cmStored = 2 };

    // Mode dmAuto compresses when the source can be written.
    TDeflateStream(TBaseStream& Source, int Mode);
    ~TDeflateStream() override;

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    // Writing: compresses everything pending and ends the data with a final block.
    void Flush() override;
    int64_t BytesLeft() override;

    bool Compressing() const { return FCompressing; }
    // Reading: the final block has been decoded and all of it handed out.
    bool Finished() const { return FState == stDone && FServePos == FOutPos; }
    // Reading: decodes to the end of the data, passing what was not read yet to Discard (may be
    // null); answers the bytes it passed. Raises when the data ends before its final block.
    int64_t FinishData(void (*Discard)(void* Context, const uint8_t* Bytes, size_t Count), void* Context);
    // Reading, after the end of the data: the bytes that follow it in the source (the part of the
    // last byte after the final block is dropped).
    int32_t ReadTrailer(void* Buffer, int32_t Count);

    uint8_t CompressMode = cmDynamic;

private:
    enum TState : uint8_t { stHeader, stStored, stHuffman, stDone, stTruncated };

    // Inflate.
    void DecodeSome();
    void ReadBlockHeader();
    void ReadDynamicTables();
    void CopyStored();
    void DecodeHuffman();
    bool RefillInput();
    void SlowRefill();
    uint32_t TakeBits(unsigned Count);
    bool Overran() const { return FPadBits > 0 && FBitCount < FPadBits; }
    void Slide();

    // Deflate.
    void CompressPending(bool Final);
    void EmitBlock(bool Final, size_t Start, size_t End);
    void PutBits(uint32_t Value, unsigned Count);
    void FlushOutput(bool All);

    bool FCompressing;
    bool FRestoreExact = false;
    TState FState = stHeader;
    bool FFinalBlock = false;

    // Decoded bytes: the last 32 KB of history, then what was decoded and not yet handed out.
    std::unique_ptr<uint8_t[]> FWindow;
    size_t FOutPos = 0;
    size_t FServePos = 0;
    // Input read ahead from the source and the bit buffer over it.
    std::vector<uint8_t> FIn;
    size_t FInPos = 0;
    size_t FInEnd = 0;
    bool FSourceEnded = false;
    uint64_t FBitBuffer = 0;
    unsigned FBitCount = 0;
    unsigned FPadBits = 0; // zero bits added past the end of the source
    uint32_t FStoredLeft = 0;
    std::unique_ptr<uint32_t[]> FLiteralTable;
    std::unique_ptr<uint32_t[]> FDistanceTable;

    // Compression: input with 32 KB of history before it, hash chains over it, pending symbols.
    std::vector<uint8_t> FData;
    size_t FDataFill = 0;
    size_t FDataDone = 0;
    std::vector<int32_t> FHead;
    std::vector<int32_t> FPrev;
    std::vector<uint32_t> FSymbols;
    std::vector<uint8_t> FOut;
    uint64_t FOutBits = 0;
    unsigned FOutCount = 0;
    bool FEnded = false;
};

} // namespace ferronel::linear
