// Byte streams: the abstract stream, files and memory. ReadBuffer and WriteBuffer raise on a short
// transfer, so readers never work on bytes that were not there.
#pragma once

#include "host/Object.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ferronel {

enum TSeekOrigin : uint8_t { soBeginning, soCurrent, soEnd };

// File open modes; the share flags are accepted for the callers' sake and have no effect here.
enum : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

class TStream : public TObject {
    FERRONEL_ABSTRACT_CLASS(TStream, TObject)
public:
    // Transfer up to Count bytes; answer how many moved.
    virtual size_t Read(void* Buffer, size_t Count) = 0;
    virtual size_t Write(const void* Buffer, size_t Count) = 0;
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t NewSize);

    void ReadBuffer(void* Buffer, size_t Count);
    void WriteBuffer(const void* Buffer, size_t Count);
    // Copies Count bytes from Source (its whole content from the start when Count is 0).
    int64_t CopyFrom(TStream& Source, int64_t Count);

    // Little-endian helpers built on ReadBuffer.
    uint8_t ReadByte();
    uint16_t ReadWord();
    uint32_t ReadDWord();
};

class TFileStream : public TStream {
    FERRONEL_ABSTRACT_CLASS(TFileStream, TStream)
public:
    TFileStream(const std::string& FileName, uint16_t Mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override;
    void SetSize(int64_t NewSize) override;
    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    FILE* FFile = nullptr;
};

class TMemoryStream : public TStream {
    FERRONEL_CLASS(TMemoryStream, TStream)
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> Data) : FData(std::move(Data)) {}
    TMemoryStream(const void* Data, size_t Size);

    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return int64_t(FData.size()); }
    void SetSize(int64_t NewSize) override;

    void Clear();
    uint8_t* Memory() { return FData.data(); }
    const std::vector<uint8_t>& Data() const { return FData; }
    void LoadFromStream(TStream& Source);
    void LoadFromFile(const std::string& FileName);
    void SaveToStream(TStream& Dest);
    void SaveToFile(const std::string& FileName);

private:
    std::vector<uint8_t> FData;
    size_t FPosition = 0;
};

} // namespace ferronel
