#include "host/Stream.h"

#include "host/ByteReader.h"
#include "host/Exceptions.h"
#include "host/Format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace ferronel {

namespace {
const char* const SReadError = "Stream read error";
const char* const SWriteError = "Stream write error";
const char* const SSeekError = "Stream seek error";
const char* const SFOpenError = "Cannot open file \"%s\". %s";
const char* const SFCreateError = "Cannot create file \"%s\". %s";
const char* const SSetSizeError = "Cannot change the size of file \"%s\"";
} // namespace

int64_t TStream::Size() {
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, size_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* Buffer, size_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError(SWriteError);
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    std::vector<uint8_t> buffer(size_t(std::min<int64_t>(Count, 1 << 20)));
    int64_t left = Count;
    while (left > 0) {
        const size_t n = size_t(std::min<int64_t>(left, int64_t(buffer.size())));
        Source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= int64_t(n);
    }
    return Count;
}

uint8_t TStream::ReadByte() {
    uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

uint16_t TStream::ReadWord() {
    uint8_t b[2];
    ReadBuffer(b, 2);
    return LoadU16LE(b);
}

uint32_t TStream::ReadDWord() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return LoadU32LE(b);
}

// ---------------------------------------------------------------------------------------------------------

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FFileName(FileName) {
    if (Mode == fmCreate) {
        FFile = std::fopen(FileName.c_str(), "w+b");
        if (!FFile) throw EFCreateError(Format(SFCreateError, {FileName, std::strerror(errno)}));
        return;
    }
    const char* how = "rb";
    if ((Mode & 3) == fmOpenWrite || (Mode & 3) == fmOpenReadWrite) how = "r+b";
    FFile = std::fopen(FileName.c_str(), how);
    if (!FFile) throw EFOpenError(Format(SFOpenError, {FileName, std::strerror(errno)}));
}

TFileStream::~TFileStream() {
    if (FFile) std::fclose(FFile);
}

size_t TFileStream::Read(void* Buffer, size_t Count) { return std::fread(Buffer, 1, Count, FFile); }

size_t TFileStream::Write(const void* Buffer, size_t Count) { return std::fwrite(Buffer, 1, Count, FFile); }

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
    if (!(Origin == soCurrent && Offset == 0) && fseeko(FFile, off_t(Offset), whence) != 0)
        throw EStreamError(SSeekError);
    return int64_t(ftello(FFile));
}

int64_t TFileStream::Size() {
    const int64_t pos = int64_t(ftello(FFile));
    fseeko(FFile, 0, SEEK_END);
    const int64_t size = int64_t(ftello(FFile));
    fseeko(FFile, off_t(pos), SEEK_SET);
    return size;
}

void TFileStream::SetSize(int64_t NewSize) {
    std::fflush(FFile);
    if (ftruncate(fileno(FFile), off_t(NewSize)) != 0) throw EStreamError(Format(SSetSizeError, {FFileName}));
    if (Position() > NewSize) Seek(NewSize, soBeginning);
}

// ---------------------------------------------------------------------------------------------------------

TMemoryStream::TMemoryStream(const void* Data, size_t Size)
    : FData(static_cast<const uint8_t*>(Data), static_cast<const uint8_t*>(Data) + Size) {}

size_t TMemoryStream::Read(void* Buffer, size_t Count) {
    if (FPosition >= FData.size()) return 0;
    const size_t n = std::min(Count, FData.size() - FPosition);
    if (n == 0) return 0; // Buffer may be null for an empty read
    std::memcpy(Buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
}

size_t TMemoryStream::Write(const void* Buffer, size_t Count) {
    if (Count == 0) return 0;
    if (FPosition + Count > FData.size()) FData.resize(FPosition + Count);
    std::memcpy(FData.data() + FPosition, Buffer, Count);
    FPosition += Count;
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t base = Origin == soBeginning ? 0
                   : Origin == soCurrent ? int64_t(FPosition)
                                         : int64_t(FData.size());
    const int64_t target = base + Offset;
    if (target < 0) throw EStreamError(SSeekError);
    FPosition = size_t(target);
    return target;
}

void TMemoryStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) throw EStreamError(SSeekError);
    FData.resize(size_t(NewSize));
    FPosition = std::min(FPosition, FData.size());
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
    Source.SetPosition(0);
    const int64_t size = Source.Size();
    FData.resize(size_t(size));
    Source.ReadBuffer(FData.data(), FData.size());
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& Dest) { Dest.WriteBuffer(FData.data(), FData.size()); }

void TMemoryStream::SaveToFile(const std::string& FileName) {
    TFileStream file(FileName, fmCreate);
    SaveToStream(file);
}

} // namespace ferronel
