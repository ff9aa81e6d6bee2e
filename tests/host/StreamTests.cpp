#include "host/Exceptions.h"
#include "host/Stream.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace ferronel {
namespace {

TEST(MemoryStream, ReadWriteSeekAndShortReads) {
    TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    s.SetPosition(4);
    s.WriteBuffer("XYZ", 3); // grows past the end
    EXPECT_EQ(s.Size(), 7);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadWord(), 'a' | 'b' << 8);
    char rest[5];
    s.ReadBuffer(rest, 5);
    EXPECT_EQ(std::string(rest, 5), "cdXYZ");
    EXPECT_THROW(s.ReadByte(), EReadError);
    EXPECT_EQ(s.Read(rest, 5), 0u);
    // A failed ReadBuffer reads what there was, but must raise.
    s.SetPosition(5);
    EXPECT_THROW(s.ReadBuffer(rest, 3), EReadError);
    EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
}

TEST(FileStream, CreateReopenTruncateAndErrors) {
    test::TTempDir dir;
    const std::string name = dir.Path("f.bin");
    {
        TFileStream out(name, fmCreate);
        out.WriteBuffer("0123456789", 10);
    }
    TFileStream in(name, fmOpenReadWrite);
    EXPECT_EQ(in.Size(), 10);
    in.Seek(-3, soEnd);
    EXPECT_EQ(in.ReadByte(), '7');
    in.SetSize(4);
    EXPECT_EQ(in.Size(), 4);
    EXPECT_EQ(in.Position(), 4);

    try {
        TFileStream missing(dir.Path("none.bmp"), fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("none.bmp"), std::string::npos);
    }
    EXPECT_THROW(TFileStream(dir.Path("no/such/folder/x"), fmCreate), EFCreateError);

    TMemoryStream copy;
    copy.LoadFromFile(name);
    EXPECT_EQ(std::string(copy.Data().begin(), copy.Data().end()), "0123");
}

} // namespace
} // namespace ferronel
