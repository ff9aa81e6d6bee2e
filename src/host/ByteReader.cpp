#include "host/ByteReader.h"

#include "host/Exceptions.h"
#include "host/Stream.h"

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

} // namespace ferronel
