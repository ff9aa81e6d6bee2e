#include "linear/TextStream.h"

#include "linear/LinearStrings.h"

#include <cstring>

namespace ferronel::linear {

TTextStream::TTextStream(int32_t ReadBufferSize, TBaseStream& Source, int32_t WriteBufferSize)
    : TBufferedStream(ReadBufferSize, Source, WriteBufferSize) {
    if (FReadBuffer.empty()) SetAccess(false, CanWrite());
}

int32_t TTextStream::WriteText(const std::string& S) { return Write(S.data(), int32_t(S.size())); }

int32_t TTextStream::WriteLine(const std::string& S) {
    const int32_t n = WriteText(S) + WriteText(NewLine);
    ++FLineCount;
    return n;
}

int32_t TTextStream::ReadLine(std::string& S) {
    if (!CanRead()) throw EInOutError(SCannotRead);
    S.clear();
    for (;;) {
        if (FReadPos >= FReadFill && Refill() == 0) break;
        const auto* data = reinterpret_cast<const char*>(FReadBuffer.data());
        if (FLineBreak < 0) {
            const void* lf = std::memchr(data + FReadPos, '\n', size_t(FReadFill - FReadPos));
            const int32_t lfAt = lf ? int32_t(static_cast<const char*>(lf) - data) : FReadFill;
            const void* cr = std::memchr(data + FReadPos, '\r', size_t(lfAt - FReadPos));
            if (cr) {
                FLineBreak = '\r';
                if (FLineBreakPartner < 0) FLineBreakPartner = '\n';
            } else if (lf) {
                FLineBreak = '\n';
                if (FLineBreakPartner < 0) FLineBreakPartner = '\r';
            }
        }
        bool ended = false;
        while (FReadPos < FReadFill) {
            // Unsigned, so that byte 255 is never taken for the "no break yet" value -1.
            const int32_t c = FReadBuffer[size_t(FReadPos++)];
            if (c == FLineBreak) {
                ended = true;
                break;
            }
            if (c != FLineBreakPartner) S.push_back(char(c));
        }
        if (ended) break;
    }
    ++FLineCount;
    return int32_t(S.size());
}

} // namespace ferronel::linear
