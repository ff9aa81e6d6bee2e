#include "host/ByteReader.h"
#include "host/CheckedSize.h"
#include "host/Exceptions.h"
#include "host/Stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace ferronel {
namespace {

TEST(ByteReader, BothByteOrdersAndEveryWidth) {
    const std::vector<uint8_t> bytes{0x81, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xC0, 0x3F};
    TByteReader r(bytes);
    EXPECT_EQ(r.U8(), 0x81);
    EXPECT_EQ(r.U16LE(), 0x0302);
    r.Seek(1);
    EXPECT_EQ(r.U16BE(), 0x0203);
    r.Seek(0);
    EXPECT_EQ(r.U32LE(), 0x04030281u);
    r.Seek(0);
    EXPECT_EQ(r.U32BE(), 0x81020304u);
    EXPECT_EQ(r.S32LE(), -2);
    EXPECT_FLOAT_EQ(r.F32LE(), 1.5f);
    EXPECT_EQ(r.Remaining(), 0u);
    r.Seek(4);
    EXPECT_EQ(r.S16LE(), -2);
    EXPECT_EQ(r.S8(), -1);
}

TEST(ByteReader, NothingIsReadPastTheEnd) {
    const std::vector<uint8_t> bytes{1, 2, 3};
    TByteReader r(bytes);
    r.Skip(2);
    EXPECT_THROW(r.U16LE(), EReadError);
    EXPECT_EQ(r.Position(), 2u); // a failed read does not move
    EXPECT_THROW(r.Skip(2), EReadError);
    EXPECT_THROW(r.Bytes(SIZE_MAX), EReadError); // no wrap-around of position + count
    EXPECT_THROW(r.Seek(4), EReadError);
    r.Seek(3); // the end itself is a position
    EXPECT_THROW(r.U8(), EReadError);

    // A sub-cursor sees only its bytes and raises the same way.
    TByteReader whole(bytes);
    TByteReader part = whole.Sub(2);
    EXPECT_EQ(whole.Position(), 2u);
    EXPECT_EQ(part.U16LE(), 0x0201);
    EXPECT_THROW(part.U8(), EReadError);
}

[[noreturn]] void FormatsOwnError() { throw EInvalidGraphic("Stream read error in TGA file."); }

TEST(ByteReader, TheReadersOwnErrorPastTheEnd) {
    const std::vector<uint8_t> bytes{1};
    TByteReader r(bytes, FormatsOwnError);
    try {
        r.U32BE();
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Stream read error in TGA file.");
    }
}

TEST(ByteReader, PeekBytesLeavesThePositionOnEveryPath) {
    TMemoryStream s(std::vector<uint8_t>{1, 2, 3, 4, 5});
    s.SetPosition(1);
    uint8_t b[4] = {};
    EXPECT_TRUE(PeekBytes(s, b, 4));
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[3], 5);
    EXPECT_EQ(s.Position(), 1);
    EXPECT_FALSE(PeekBytes(s, b, 5));
    EXPECT_EQ(s.Position(), 1);
    uint8_t more[8] = {};
    EXPECT_EQ(PeekUpTo(s, more, 8), 4u);
    EXPECT_EQ(more[3], 5);
    EXPECT_EQ(s.Position(), 1);
    s.SetPosition(5);
    EXPECT_EQ(PeekUpTo(s, more, 8), 0u);
}

TEST(CheckedSize, ProductsSumsAndNarrowingRaiseInsteadOfWrapping) {
    EXPECT_EQ(CheckedMul(65535, 65535, 4), uint64_t(65535) * 65535 * 4);
    EXPECT_THROW(CheckedMul(uint64_t(1) << 32, uint64_t(1) << 32), EInvalidGraphic);
    EXPECT_THROW(CheckedMul(5, uint64_t(1) << 62, 1), EInvalidGraphic);
    EXPECT_EQ(CheckedAdd(1, 2, 3), 6u);
    EXPECT_THROW(CheckedAdd(UINT64_MAX, 1), EInvalidGraphic);
    EXPECT_THROW(CheckedSub(1, 2), EInvalidGraphic);
    EXPECT_EQ(CheckedCast<int32_t>(uint64_t(INT32_MAX)), INT32_MAX);
    EXPECT_THROW(CheckedCast<int32_t>(uint64_t(INT32_MAX) + 1), EInvalidGraphic);
    EXPECT_THROW(CheckedCast<uint32_t>(-1), EInvalidGraphic);
    EXPECT_EQ(CheckedRowBytes(13, 4), 7u);
    EXPECT_EQ(CheckedRowBytes(0xFFFFFFFFu, 32), uint64_t(0xFFFFFFFFu) * 4);
    EXPECT_THROW(CheckedRowBytes(UINT64_MAX / 8, 9), EInvalidGraphic);
}

} // namespace
} // namespace ferronel
