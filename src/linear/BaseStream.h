// The linear-bitmap library's own stream hierarchy: an abstract byte stream, filters that wrap
// another stream, and seekable streams. Loaders read and write through these.
#pragma once

#include "host/Exceptions.h"
#include "host/Object.h"

#include <cstdint>
#include <string>

namespace ferronel::linear {

FERRONEL_EXCEPTION(EStreamCreate, Exception);

// The assignable base shared by the bitmap and the objects that save themselves. Neither side of a
// pairing knowing the other raises "Cannot assign".
class TAssignObject : public TObject {
    FERRONEL_ABSTRACT_CLASS(TAssignObject, TObject)
public:
    // Copies Source into this object; hands over to Source's AssignTo when this class does not know
    // Source's class.
    virtual void Assign(const TObject& Source);
    // Copies this object into Dest when it knows Dest's class, else lets an assignable Dest try;
    // answers false when neither side knows the other.
    bool AssignTo(TObject& Dest) const override;

protected:
    [[noreturn]] static void CannotAssign(const TObject& From, const TObject& To);
};

class TBaseStream : public TObject {
    FERRONEL_ABSTRACT_CLASS(TBaseStream, TObject)
public:
    TBaseStream() = default;
    TBaseStream(const TBaseStream&) = delete;
    TBaseStream& operator=(const TBaseStream&) = delete;

    bool CanRead() const { return FCanRead; }
    bool CanWrite() const { return FCanWrite; }
    bool ExactTransfers() const { return FExactTransfers; }
    // A transfer that moves fewer bytes than asked raises while this is set.
    virtual void SetExactTransfers(bool Value) { FExactTransfers = Value; }

    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    virtual bool AtEnd() { return BytesLeft() == 0; }
    virtual int64_t BytesLeft() = 0;
    virtual void Flush() {}
    // Copies everything Source still holds into this stream.
    virtual void CopyFrom(TBaseStream& Source);
    // Moves up to Count bytes into Dest, or skips them when Dest is null; stops at the end of the data.
    int64_t TransferTo(TBaseStream* Dest, int64_t Count);
    // Writes all Count bytes, in pieces a single Write can take; a short write raises
    // "Write less than expected".
    void WriteAll(const void* Buffer, size_t Count);

protected:
    void SetAccess(bool Read, bool Write) {
        FCanRead = Read;
        FCanWrite = Write;
    }

private:
    bool FCanWrite = false;
    bool FCanRead = false;
    bool FExactTransfers = true;
};

// A stream that works through another one, which it does not own.
class TFilterStream : public TBaseStream {
    FERRONEL_ABSTRACT_CLASS(TFilterStream, TBaseStream)
public:
    explicit TFilterStream(TBaseStream& Source);
    void SetExactTransfers(bool Value) override;
    int32_t Write(const void* Buffer, int32_t Count) override { return FSource->Write(Buffer, Count); }
    int32_t Read(void* Buffer, int32_t Count) override { return FSource->Read(Buffer, Count); }
    int64_t BytesLeft() override { return FSource->BytesLeft(); }
    TBaseStream& Source() const { return *FSource; }

private:
    TBaseStream* FSource;
};

class TSeekableStream : public TBaseStream {
    FERRONEL_ABSTRACT_CLASS(TSeekableStream, TBaseStream)
public:
    virtual int64_t GetPosition() = 0;
    virtual int64_t GetSize() = 0;
    virtual void SetPosition(int64_t Pos) = 0;
    // The end of the stream becomes the current position.
    virtual void Truncate() = 0;
};

} // namespace ferronel::linear
