// A filter that reads and writes its source through buffers, and the objects that save and load
// themselves through buffered files.
#pragma once

#include "linear/BaseStream.h"

#include <memory>
#include <vector>

namespace ferronel::linear {

constexpr int32_t DefaultBufferSize = 65536;

class TBufferedStream : public TFilterStream {
    FERRONEL_ABSTRACT_CLASS(TBufferedStream, TFilterStream)
public:
    // A size of -1 means the default; 0 means no buffer for that direction.
    TBufferedStream(int32_t ReadBufferSize, TBaseStream& Source, int32_t WriteBufferSize);
    ~TBufferedStream() override;

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t BytesLeft() override { return Source().BytesLeft() + (FReadFill - FReadPos); }
    void Flush() override;
    // This stream's flag only: the source keeps answering short reads, which a refill needs.
    void SetExactTransfers(bool Value) override { TBaseStream::SetExactTransfers(Value); }
    int32_t ReadBufferSize() const { return int32_t(FReadBuffer.size()); }
    int32_t WriteBufferSize() const { return int32_t(FWriteBuffer.size()); }

protected:
    // One read of the buffer's size from the source; answers the bytes now buffered.
    int32_t Refill();
    std::vector<uint8_t> FReadBuffer;
    int32_t FReadPos = 0;
    int32_t FReadFill = 0;

private:
    bool FRestoreExact = false;
    std::vector<uint8_t> FWriteBuffer;
    int32_t FWriteFill = 0;
};

// A buffered file: for writing with the default write buffer (the file created), for reading with
// the default read buffer. The buffered stream owns its file.
struct TOwnedSource {
    std::unique_ptr<TBaseStream> FOwned; // made before the buffered stream, freed after it
};
class TBufferedFile : private TOwnedSource, public TBufferedStream {
    FERRONEL_ABSTRACT_CLASS(TBufferedFile, TBufferedStream)
public:
    TBufferedFile(std::unique_ptr<TBaseStream> File, bool ForWriting);
};
std::unique_ptr<TBufferedStream> OpenBufferedFile(const std::string& Name, bool ForWriting);

// Base of objects that save and load themselves.
class TStreamClass : public TAssignObject {
    FERRONEL_ABSTRACT_CLASS(TStreamClass, TAssignObject)
public:
    virtual void SaveToStream(TBaseStream& Stream);
    virtual void LoadFromStream(TBaseStream& Stream);
    void SaveToFile(const std::string& Name);
    void LoadFromFile(const std::string& Name);
};

} // namespace ferronel::linear
