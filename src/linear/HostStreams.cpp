#include "linear/HostStreams.h"

#include "host/Format.h"
#include "linear/LinearStrings.h"

#include <limits>

namespace ferronel::linear {

namespace {
int32_t Piece(size_t Count) { return int32_t(std::min<size_t>(Count, std::numeric_limits<int32_t>::max())); }
} // namespace

int32_t THostFilterStream::Write(const void* Buffer, int32_t Count) {
    const size_t done = Count > 0 ? FHostStream->Write(Buffer, size_t(Count)) : 0;
    if (ExactTransfers() && int64_t(done) < Count) throw EInOutError(SWriteLess);
    return int32_t(done);
}

int32_t THostFilterStream::Read(void* Buffer, int32_t Count) {
    const size_t done = Count > 0 ? FHostStream->Read(Buffer, size_t(Count)) : 0;
    if (ExactTransfers() && int64_t(done) < Count) throw EInOutError(SReadLess);
    return int32_t(done);
}

THostStream::THostStream(TBaseStream& BaseSource) : FBaseSource(&BaseSource) {
    BaseSource.SetExactTransfers(false);
}

size_t THostStream::Read(void* Buffer, size_t Count) {
    auto* to = static_cast<uint8_t*>(Buffer);
    size_t done = 0;
    while (done < Count) {
        const int32_t got = FBaseSource->Read(to + done, Piece(Count - done));
        if (got <= 0) break;
        done += size_t(got);
    }
    return done;
}

size_t THostStream::Write(const void* Buffer, size_t Count) {
    const auto* from = static_cast<const uint8_t*>(Buffer);
    size_t done = 0;
    while (done < Count) {
        const int32_t put = FBaseSource->Write(from + done, Piece(Count - done));
        if (put <= 0) break;
        done += size_t(put);
    }
    return done;
}

int64_t THostStream::Seek(int64_t, TSeekOrigin) { throw EStreamError(SSeekingNotSupported); }

int64_t TSeekableHostStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t target;
    switch (Origin) {
    case soBeginning: target = Offset; break;
    case soCurrent: target = FSeekable->GetPosition() + Offset; break;
    case soEnd: target = FSeekable->GetSize() + Offset; break;
    default: throw EStreamError(SUnknownSeekOrigin);
    }
    if (target != FSeekable->GetPosition()) FSeekable->SetPosition(target);
    return FSeekable->GetPosition();
}

void TSeekableHostStream::SetSize(int64_t NewSize) {
    // Only shrinking changes anything: our streams grow by writing.
    if (NewSize >= FSeekable->GetSize()) return;
    const int64_t was = FSeekable->GetPosition();
    FSeekable->SetPosition(NewSize);
    FSeekable->Truncate();
    if (was < NewSize) FSeekable->SetPosition(was);
}

std::unique_ptr<TSeekableHostStream> SeekableHostStream(TBaseStream& Stream,
                                                        std::unique_ptr<TMemStream>& Copy) {
    if (auto* seekable = dynamic_cast<TSeekableStream*>(&Stream))
        return std::make_unique<TSeekableHostStream>(*seekable);
    Copy = std::make_unique<TMemStream>();
    Copy->CopyFrom(Stream);
    Copy->SetPosition(0);
    return std::make_unique<TSeekableHostStream>(*Copy);
}

void WriteHostBytes(TBaseStream& Stream, const TMemoryStream& Saved) {
    Stream.WriteAll(Saved.Data().data(), Saved.Data().size());
}

} // namespace ferronel::linear
