// The reader every decoder reads through: a read that cannot be satisfied
// answers nothing and consumes nothing, and sub-readers keep frame offsets.

#include <gtest/gtest.h>

#include "decode/ByteReader.h"
#include "tests/decode/Frames.h"

namespace decode {
namespace {

TEST(ByteReader, FailedReadsConsumeNothing) {
    const test::Bytes bytes = {0x10, 0x20, 0x30};
    ByteReader r(bytes);
    EXPECT_FALSE(r.Sub(4));
    EXPECT_FALSE(r.Skip(4));
    EXPECT_FALSE(r.Peek(3));
    EXPECT_EQ(r.Offset(), 0u);
    EXPECT_EQ(r.U8(), 0x10);

    auto body = r.Sub(2);
    ASSERT_TRUE(body);
    EXPECT_TRUE(r.Empty());
    EXPECT_FALSE(r.U8());
    EXPECT_EQ(r.Offset(), 3u);

    // The body is bounded by its own length and reports frame offsets.
    EXPECT_EQ(body->Offset(), 1u);
    EXPECT_EQ(body->Peek(1), 0x30);
    EXPECT_FALSE(body->Peek(2));
    EXPECT_EQ(body->U8(), 0x20);
    EXPECT_EQ(body->U8(), 0x30);
    EXPECT_FALSE(body->U8());
    EXPECT_EQ(body->Offset(), 3u);
}

TEST(ByteReader, SubUpToStopsAtTheEnd) {
    const test::Bytes bytes = {0x01, 0x02, 0x03};
    ByteReader r(bytes);
    r.Skip(1);
    ByteReader body = r.SubUpTo(200);
    EXPECT_EQ(body.Remaining(), 2u);
    EXPECT_EQ(body.Offset(), 1u);
    EXPECT_TRUE(r.Empty());
    EXPECT_EQ(r.SubUpTo(5).Remaining(), 0u);
}

}  // namespace
}  // namespace decode
