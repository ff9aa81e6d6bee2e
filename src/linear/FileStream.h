// A seekable stream over a file on a system handle.
#pragma once

#include "linear/BaseStream.h"

namespace ferronel::linear {

enum : uint32_t {
    fsRead = 1,
    fsWrite = 2,
    fsCreate = 4, // created or emptied; without it the file must exist
    fsShareRead = 8,
    fsShareWrite = 16,
};

class TFileStream : public TSeekableStream {
    FERRONEL_ABSTRACT_CLASS(TFileStream, TSeekableStream)
public:
    TFileStream(const std::string& FileName, uint32_t Flags);
    // Wraps a handle that is open for reading and writing; the stream closes it.
    explicit TFileStream(int Handle);
    ~TFileStream() override;

    int32_t Write(const void* Buffer, int32_t Count) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    int64_t BytesLeft() override { return GetSize() - GetPosition(); }
    void Flush() override;
    int64_t GetPosition() override;
    int64_t GetSize() override;
    void SetPosition(int64_t Pos) override;
    void Truncate() override;
    // Closes the handle and deletes the file.
    void CloseAndDelete();
    const std::string& FileName() const { return FFileName; }

private:
    int FHandle = -1;
    std::string FFileName;
};

} // namespace ferronel::linear
