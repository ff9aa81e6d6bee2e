// Adapters between this library's streams and the host's: a host stream seen as one of ours, and
// ours seen as a host stream.
#pragma once

#include "host/Stream.h"
#include "linear/BaseStream.h"
#include "linear/MemStream.h"

#include <memory>

namespace ferronel::linear {

// One of our streams over a host stream, which it does not own.
class THostFilterStream : public TSeekableStream {
    FERRONEL_ABSTRACT_CLASS(THostFilterStream, TSeekableStream)
public:
    explicit THostFilterStream(TStream& HostStream) : FHostStream(&HostStream) { SetAccess(true, true); }
    int32_t Write(const void* Buffer, int32_t Count) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    int64_t BytesLeft() override { return FHostStream->Size() - FHostStream->Position(); }
    int64_t GetPosition() override { return FHostStream->Position(); }
    int64_t GetSize() override { return FHostStream->Size(); }
    void SetPosition(int64_t Pos) override { FHostStream->Seek(Pos, soBeginning); }
    void Truncate() override { FHostStream->SetSize(FHostStream->Position()); }

private:
    TStream* FHostStream;
};

// A host stream over one of ours, which it does not own; it cannot seek.
class THostStream : public TStream {
    FERRONEL_ABSTRACT_CLASS(THostStream, TStream)
public:
    explicit THostStream(TBaseStream& BaseSource);
    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

protected:
    TBaseStream* FBaseSource;
};

// The same over a seekable stream, which can.
class TSeekableHostStream : public THostStream {
    FERRONEL_ABSTRACT_CLASS(TSeekableHostStream, THostStream)
public:
    explicit TSeekableHostStream(TSeekableStream& Source) : THostStream(Source), FSeekable(&Source) {}
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return FSeekable->GetSize(); }
    void SetSize(int64_t NewSize) override;

private:
    TSeekableStream* FSeekable;
};

// For loaders that hand a stream to a host graphic: a seekable host stream over what is left of
// Stream, Stream itself when it can seek, else a memory copy of it kept in Copy.
std::unique_ptr<TSeekableHostStream> SeekableHostStream(TBaseStream& Stream,
                                                        std::unique_ptr<TMemStream>& Copy);
// Writes what a host graphic saved into a host memory stream on to Stream.
void WriteHostBytes(TBaseStream& Stream, const TMemoryStream& Saved);

} // namespace ferronel::linear
