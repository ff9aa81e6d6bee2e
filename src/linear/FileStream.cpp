#include "linear/FileStream.h"

#include "host/Format.h"
#include "linear/LinearStrings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ferronel::linear {

namespace {
std::string LastError() { return std::strerror(errno); }
} // namespace

TFileStream::TFileStream(const std::string& FileName, uint32_t Flags) : FFileName(FileName) {
    const bool read = Flags & fsRead, write = Flags & fsWrite;
    if (!read && !write) throw EInOutError(SNoAccess);
    int mode = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (Flags & fsCreate) mode |= O_CREAT | O_TRUNC;
    FHandle = ::open(FileName.c_str(), mode | O_CLOEXEC, 0644);
    if (FHandle < 0) throw EInOutError(Format(SErrorOpening, {FileName, LastError()}));
    SetAccess(read, write);
}

TFileStream::TFileStream(int Handle) : FHandle(Handle) { SetAccess(true, true); }

TFileStream::~TFileStream() {
    if (FHandle >= 0) ::close(FHandle);
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
    const ssize_t done = Count > 0 ? ::write(FHandle, Buffer, size_t(Count)) : 0;
    if (done < 0) throw EInOutError(Format(SErrorWriting, {LastError()}));
    if (ExactTransfers() && done < Count) throw EInOutError(SWriteLess);
    return int32_t(done);
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
    const ssize_t done = Count > 0 ? ::read(FHandle, Buffer, size_t(Count)) : 0;
    if (done < 0) throw EInOutError(Format(SErrorReading, {LastError()}));
    if (ExactTransfers() && done < Count) throw EInOutError(SReadLess);
    return int32_t(done);
}

// Every write goes straight to the system; there is nothing of ours to flush.
void TFileStream::Flush() {}

int64_t TFileStream::GetPosition() {
    const off_t pos = ::lseek(FHandle, 0, SEEK_CUR);
    if (pos < 0) throw EInOutError(Format(SIOError, {LastError()}));
    return pos;
}

int64_t TFileStream::GetSize() {
    struct stat st {};
    if (::fstat(FHandle, &st) != 0) throw EInOutError(Format(SIOError, {LastError()}));
    return st.st_size;
}

void TFileStream::SetPosition(int64_t Pos) {
    if (::lseek(FHandle, off_t(Pos), SEEK_SET) < 0) throw EInOutError(Format(SErrorMoving, {LastError()}));
}

void TFileStream::Truncate() {
    if (::ftruncate(FHandle, GetPosition()) != 0)
        throw EInOutError(Format(SErrorTruncating, {FFileName, LastError()}));
}

void TFileStream::CloseAndDelete() {
    const int handle = FHandle;
    FHandle = -1;
    if (::close(handle) != 0) throw EInOutError(Format(SErrorClosing, {FFileName, LastError()}));
    if (::unlink(FFileName.c_str()) != 0) throw EInOutError(Format(SErrorDeleting, {FFileName, LastError()}));
}

} // namespace ferronel::linear
