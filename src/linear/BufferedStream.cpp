#include "linear/BufferedStream.h"

#include "host/Format.h"
#include "linear/FileStream.h"
#include "linear/LinearStrings.h"

#include <algorithm>
#include <cstring>

namespace ferronel::linear {

namespace {
size_t BufferSize(int32_t Size) {
    if (Size == -1) return DefaultBufferSize;
    if (Size < 2) throw EStreamCreate(SInvalidBufferSize);
    return size_t(Size);
}
} // namespace

TBufferedStream::TBufferedStream(int32_t ReadBufferSize, TBaseStream& Source, int32_t WriteBufferSize)
    : TFilterStream(Source) {
    if (CanRead() && ReadBufferSize != 0) {
        FReadBuffer.resize(BufferSize(ReadBufferSize));
        // A refill may rightly get less than the buffer's size.
        if (Source.ExactTransfers()) {
            Source.SetExactTransfers(false);
            FRestoreExact = true;
        }
    }
    if (CanWrite() && WriteBufferSize != 0) FWriteBuffer.resize(BufferSize(WriteBufferSize));
}

TBufferedStream::~TBufferedStream() {
    try {
        Flush();
    } catch (const Exception&) {
        // A destructor cannot report; callers that care flush first.
    }
    if (FRestoreExact) Source().SetExactTransfers(true);
}

int32_t TBufferedStream::Refill() {
    FReadPos = 0;
    FReadFill = 0;
    const int32_t got = Source().Read(FReadBuffer.data(), int32_t(FReadBuffer.size()));
    FReadFill = std::max(got, 0);
    return FReadFill;
}

int32_t TBufferedStream::Read(void* Buffer, int32_t Count) {
    if (FReadBuffer.empty()) return Source().Read(Buffer, Count);
    if (Count <= 0) return 0;
    auto* to = static_cast<uint8_t*>(Buffer);
    const int32_t buffered = FReadFill - FReadPos;
    if (buffered >= Count) {
        std::memcpy(to, FReadBuffer.data() + FReadPos, size_t(Count));
        FReadPos += Count;
        return Count;
    }
    std::memcpy(to, FReadBuffer.data() + FReadPos, size_t(buffered));
    FReadPos = FReadFill = 0;
    const int32_t rest = Count - buffered;
    int32_t delivered = buffered;
    if (rest < int32_t(FReadBuffer.size())) {
        const int32_t got = Refill();
        const int32_t n = std::min(got, rest);
        std::memcpy(to + buffered, FReadBuffer.data(), size_t(n));
        FReadPos = n;
        delivered += n;
        if (n < rest) {
            FReadPos = FReadFill = 0;
            if (ExactTransfers()) throw EInOutError(SReadLess);
        }
    } else {
        delivered += std::max(Source().Read(to + buffered, rest), 0);
        if (ExactTransfers() && delivered < Count) throw EInOutError(SReadLess);
    }
    return delivered;
}

int32_t TBufferedStream::Write(const void* Buffer, int32_t Count) {
    if (FWriteBuffer.empty()) return Source().Write(Buffer, Count);
    if (Count <= 0) return 0;
    const auto* from = static_cast<const uint8_t*>(Buffer);
    const int32_t size = int32_t(FWriteBuffer.size());
    const int32_t space = size - FWriteFill;
    if (Count <= space) {
        std::memcpy(FWriteBuffer.data() + FWriteFill, from, size_t(Count));
        FWriteFill += Count;
        return Count;
    }
    std::memcpy(FWriteBuffer.data() + FWriteFill, from, size_t(space));
    FWriteFill = 0;
    const int32_t rest = Count - space;
    if (Source().Write(FWriteBuffer.data(), size) < size) return -(size + rest);
    if (rest >= size) return space + Source().Write(from + space, rest);
    std::memcpy(FWriteBuffer.data(), from + space, size_t(rest));
    FWriteFill = rest;
    return Count;
}

void TBufferedStream::Flush() {
    if (FWriteFill > 0) {
        const int32_t n = FWriteFill;
        FWriteFill = 0;
        if (Source().Write(FWriteBuffer.data(), n) < n) throw EInOutError(SWriteLess);
    }
    Source().Flush();
}

TBufferedFile::TBufferedFile(std::unique_ptr<TBaseStream> File, bool ForWriting)
    : TOwnedSource{std::move(File)}, TBufferedStream(ForWriting ? 0 : -1, *FOwned, ForWriting ? -1 : 0) {}

std::unique_ptr<TBufferedStream> OpenBufferedFile(const std::string& Name, bool ForWriting) {
    auto file = std::make_unique<TFileStream>(Name, ForWriting ? fsRead | fsWrite | fsCreate | fsShareRead
                                                               : fsRead | fsShareRead);
    return std::make_unique<TBufferedFile>(std::move(file), ForWriting);
}

void TStreamClass::SaveToStream(TBaseStream&) {
    throw Exception(Format(SNotImplemented, {ClassType()->Name, "SaveToStream"}));
}

void TStreamClass::LoadFromStream(TBaseStream&) {
    throw Exception(Format(SNotImplemented, {ClassType()->Name, "LoadFromStream"}));
}

void TStreamClass::SaveToFile(const std::string& Name) {
    const auto stream = OpenBufferedFile(Name, true);
    SaveToStream(*stream);
    stream->Flush();
}

void TStreamClass::LoadFromFile(const std::string& Name) {
    const auto stream = OpenBufferedFile(Name, false);
    LoadFromStream(*stream);
}

} // namespace ferronel::linear
