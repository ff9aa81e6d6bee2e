#include "host/StreamWindow.h"

#include "host/Stream.h"

#include <algorithm>
#include <cstring>

namespace ferronel {

TStreamWindow::TStreamWindow(TStream& Stream, size_t BlockSize) : FStream(Stream), FBlockSize(BlockSize) {}

size_t TStreamWindow::Ensure(size_t N) {
    if (Available() >= N) return N;
    if (FBegin > 0) {
        std::memmove(FBuffer.data(), FBuffer.data() + FBegin, Available());
        FEnd -= FBegin;
        FBegin = 0;
    }
    if (FBuffer.size() < N || FBuffer.size() < FBlockSize) {
        // No bigger than the stream needs: small files get small windows.
        const int64_t rest = std::max<int64_t>(FStream.Size() - FStream.Position(), 0);
        const size_t want = std::max(N, std::min(FBlockSize, Available() + size_t(rest)));
        if (FBuffer.size() < want) FBuffer.resize(want);
    }
    while (FEnd < N) {
        const size_t got = FStream.Read(FBuffer.data() + FEnd, FBuffer.size() - FEnd);
        if (got == 0) break;
        FEnd += got;
    }
    return std::min(N, Available());
}

void TStreamWindow::Consume(size_t N) { FBegin += std::min(N, Available()); }

void TStreamWindow::Sync() {
    if (Available() > 0) FStream.Seek(-int64_t(Available()), soCurrent);
    FBegin = FEnd = 0;
}

} // namespace ferronel
