#include "linear/BaseStream.h"

#include "host/Format.h"
#include "linear/LinearStrings.h"

#include <algorithm>

namespace ferronel::linear {

namespace {
constexpr int32_t TransferPiece = 4096;
}

void TAssignObject::CannotAssign(const TObject& From, const TObject& To) {
    throw Exception(Format(SCannotAssign, {From.ClassType()->Name, To.ClassType()->Name}));
}

void TAssignObject::Assign(const TObject& Source) {
    if (!Source.AssignTo(*this)) CannotAssign(Source, *this);
}

bool TAssignObject::AssignTo(TObject& Dest) const {
    (void)Dest;
    return false;
}

void TBaseStream::CopyFrom(TBaseStream& Source) {
    const bool exact = Source.ExactTransfers();
    if (exact) Source.SetExactTransfers(false);
    try {
        uint8_t piece[TransferPiece];
        while (!Source.AtEnd()) {
            const int32_t got = Source.Read(piece, TransferPiece);
            // A source that claims more bytes but delivers none would loop forever.
            if (got <= 0) break;
            Write(piece, got);
        }
    } catch (...) {
        if (exact) Source.SetExactTransfers(true);
        throw;
    }
    if (exact) Source.SetExactTransfers(true);
}

void TBaseStream::WriteAll(const void* Buffer, size_t Count) {
    const auto* from = static_cast<const uint8_t*>(Buffer);
    while (Count > 0) {
        const int32_t piece = int32_t(std::min<size_t>(Count, size_t(INT32_MAX)));
        if (Write(from, piece) != piece) throw EInOutError(SWriteLess);
        from += piece;
        Count -= size_t(piece);
    }
}

int64_t TBaseStream::TransferTo(TBaseStream* Dest, int64_t Count) {
    uint8_t piece[TransferPiece];
    int64_t moved = 0;
    while (moved < Count && !AtEnd()) {
        const int32_t got = Read(piece, int32_t(std::min<int64_t>(TransferPiece, Count - moved)));
        if (got <= 0) break;
        if (Dest) Dest->Write(piece, got);
        moved += got;
    }
    return moved;
}

TFilterStream::TFilterStream(TBaseStream& Source) : FSource(&Source) {
    SetAccess(Source.CanRead(), Source.CanWrite());
    TBaseStream::SetExactTransfers(Source.ExactTransfers());
}

void TFilterStream::SetExactTransfers(bool Value) {
    TBaseStream::SetExactTransfers(Value);
    FSource->SetExactTransfers(Value);
}

} // namespace ferronel::linear
