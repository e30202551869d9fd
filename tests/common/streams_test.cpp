#include "common/streams.h"

#include <gtest/gtest.h>

#include "common/errors.h"

namespace orva {
namespace {

TEST(Streams, IntegersAreLittleEndian) {
  TMxMemoryStream s;
  s.WriteInt32(0x01020304);
  s.WriteInt64(-2);
  s.WriteInt16(-3);
  EXPECT_EQ(s.AsString().substr(0, 4), std::string("\x04\x03\x02\x01", 4));
  s.SetPosition(0);
  EXPECT_EQ(s.ReadInt32(), 0x01020304);
  EXPECT_EQ(s.ReadInt64(), -2);
  EXPECT_EQ(s.ReadInt16(), -3);
  EXPECT_THROW(s.ReadByte(), OrvaError);
}

TEST(Streams, StringsAndListsRoundTrip) {
  TMxMemoryStream s;
  s.WriteString("");
  s.WriteString(std::string("a\0b", 3));
  s.WriteStringList({"x", "", "\x83\x5c"});
  s.SetPosition(0);
  EXPECT_EQ(s.ReadString(), "");
  EXPECT_EQ(s.ReadString(), std::string("a\0b", 3));
  EXPECT_EQ(s.ReadStringList(), (std::vector<std::string>{"x", "", "\x83\x5c"}));
}

TEST(Streams, BadStringLengthsAreRefused) {
  for (int32_t len : {-1, kMaxStreamString + 1, 100 /* more than remain */}) {
    TMxMemoryStream s;
    s.WriteInt32(len);
    s.WriteBytes("abc");
    s.SetPosition(0);
    try {
      s.ReadString();
      FAIL() << len;
    } catch (const OrvaError& e) {
      EXPECT_STREQ(e.what(), "Invalid string data");
    }
  }
}

TEST(Streams, CopyFromWithZeroCopiesTheWholeSource) {
  TMxMemoryStream src("hello world"), dst;
  src.SetPosition(6);
  EXPECT_EQ(dst.CopyFrom(src, 0), 11);
  EXPECT_EQ(dst.AsString(), "hello world");
  src.SetPosition(6);
  TMxMemoryStream part;
  EXPECT_EQ(part.CopyFrom(src, 3), 3);
  EXPECT_EQ(part.AsString(), "wor");
}

TEST(Streams, CountsAreCheckedAgainstTheBytesLeft) {
  TMxMemoryStream s;
  s.WriteInt32(1000);
  s.WriteInt32(0);
  s.SetPosition(0);
  EXPECT_THROW(s.ReadCount(4), OrvaError);
}

}  // namespace
}  // namespace orva
