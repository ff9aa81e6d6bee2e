#include "host/ByteReader.h"

#include "host/Exceptions.h"
#include "host/Stream.h"

#include <algorithm>

namespace ferronel {

void TByteReader::Overrun() const {
    if (FOnOverrun) FOnOverrun();
    throw EReadError("Stream read error");
}

bool PeekBytes(TStream& Stream, void* Buffer, size_t Count) {
    const int64_t position = Stream.Position();
    if (Stream.Size() - position < int64_t(Count)) return false;
    size_t read = 0;
    try {
        read = Stream.Read(Buffer, Count);
    } catch (...) {
        Stream.SetPosition(position);
        throw;
    }
    Stream.SetPosition(position);
    return read == Count;
}

size_t PeekUpTo(TStream& Stream, void* Buffer, size_t Count) {
    const int64_t available = Stream.Size() - Stream.Position();
    const size_t count = available > 0 ? size_t(std::min<int64_t>(available, int64_t(Count))) : 0;
    return PeekBytes(Stream, Buffer, count) ? count : 0;
}

} // namespace ferronel
