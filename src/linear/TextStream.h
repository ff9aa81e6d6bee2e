// A buffered stream that reads and writes lines, detecting the line break of the data it reads.
#pragma once

#include "linear/BufferedStream.h"

#include <string>

namespace ferronel::linear {

class TTextStream : public TBufferedStream {
    FERRONEL_ABSTRACT_CLASS(TTextStream, TBufferedStream)
public:
    TTextStream(int32_t ReadBufferSize, TBaseStream& Source, int32_t WriteBufferSize);

    int32_t WriteText(const std::string& S);
    int32_t WriteLine(const std::string& S);
    // The next line without its break; answers its length (0 with an empty line at the end).
    int32_t ReadLine(std::string& S);
    int32_t LineCount() const { return FLineCount; }
    // Fixes the line break instead of detecting it from the first line; Partner -1 keeps no
    // partner character (it stays part of the line).
    void SetLineBreak(int32_t Break, int32_t Partner) {
        FLineBreak = Break;
        FLineBreakPartner = Partner;
    }
    std::string NewLine = "\r\n";

private:
    int32_t FLineBreak = -1;
    int32_t FLineBreakPartner = -1;
    int32_t FLineCount = 0;
};

} // namespace ferronel::linear
