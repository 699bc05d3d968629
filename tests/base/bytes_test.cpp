#include <gtest/gtest.h>

#include "base/bytes.h"

TEST(BytePos, FindsFirstOccurrenceCountingFromOne) {
  EXPECT_EQ(BytePos("b", "abcb"), 2);
  EXPECT_EQ(BytePos("abc", "abc"), 1);
  EXPECT_EQ(BytePos("x", "abc"), 0);
  EXPECT_EQ(BytePos("", "abc"), 0);
  EXPECT_EQ(BytePos("a", ""), 0);
  EXPECT_EQ(BytePos("\xb9\xb2\xd3\xd0", "xx\xb9\xb2\xd3\xd0"), 3);
  // From a byte index on: a hit at that index counts, the marker must fit
  // before the end, and an index past it finds nothing.
  EXPECT_EQ(BytePos("b", "abcb", 2), 2);
  EXPECT_EQ(BytePos("b", "abcb", 3), 4);
  EXPECT_EQ(BytePos("cb", "abcb", 4), 0);
  EXPECT_EQ(BytePos("b", "abcb", 5), 0);
  EXPECT_EQ(BytePos("a", "abcb", -3), 1);
}

TEST(ByteCopy, BoundaryRules) {
  EXPECT_EQ(ByteCopy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(ByteCopy("abcdef", 0, 3), "abc");    // index below 1 counts as 1, count kept
  EXPECT_EQ(ByteCopy("abcdef", -5, 2), "ab");
  EXPECT_EQ(ByteCopy("abcdef", 7, 1), "");       // past the last byte
  EXPECT_EQ(ByteCopy("abcdef", 6, 1), "f");
  EXPECT_EQ(ByteCopy("abcdef", 2, -1), "");      // negative count
  EXPECT_EQ(ByteCopy("abcdef", 2, 0), "");
  EXPECT_EQ(ByteCopy("abcdef", 4, 100), "def");  // stops at the end
  EXPECT_EQ(ByteCopy("", 1, 5), "");
}

TEST(ReadInteger, DecimalWithBlanksAndSignOnly) {
  EXPECT_EQ(ReadInteger("123"), 123);
  EXPECT_EQ(ReadInteger("  123"), 123);
  EXPECT_EQ(ReadInteger("-42"), -42);
  EXPECT_EQ(ReadInteger(" +7"), 7);
  EXPECT_EQ(ReadInteger(""), 0);
  EXPECT_EQ(ReadInteger("123 "), 0);  // trailing blank
  EXPECT_EQ(ReadInteger("12a"), 0);
  EXPECT_EQ(ReadInteger("-"), 0);
  EXPECT_EQ(ReadInteger("0x10"), 0);
  EXPECT_EQ(ReadInteger("2147483647"), 2147483647);
  EXPECT_EQ(ReadInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ReadInteger("2147483648"), 0);
  EXPECT_EQ(ReadInteger("99999999999999999999999"), 0);
}

TEST(ReadVersionInteger, DecimalOrHexAfterZeroX) {
  EXPECT_EQ(ReadVersionInteger("20080106"), 20080106);
  EXPECT_EQ(ReadVersionInteger("0x1326A2B"), 0x1326A2B);
  EXPECT_EQ(ReadVersionInteger("0X1f"), 31);
  EXPECT_EQ(ReadVersionInteger("0x"), 0);
  EXPECT_EQ(ReadVersionInteger("0x7FFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(ReadVersionInteger("0x80000000"), 0);  // outside the signed range
  EXPECT_EQ(ReadVersionInteger("1.0"), 0);
  EXPECT_EQ(ReadVersionInteger("abc"), 0);
}

TEST(TrimBytes, ControlBytesAndBlanksBothEnds) {
  EXPECT_EQ(TrimBytes(" \t\r\nab c\x01 "), "ab c");
  EXPECT_EQ(TrimBytes("   "), "");
  EXPECT_EQ(TrimBytes("\xb5\xe7"), "\xb5\xe7");  // high bytes are text
}

TEST(SplitAt, EveryPieceEmptyOnesToo) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitAt("a,,b", ','), (V{"a", "", "b"}));
  EXPECT_EQ(SplitAt(",a,", ','), (V{"", "a", ""}));
  EXPECT_EQ(SplitAt("", ','), V{""});
  EXPECT_EQ(SplitAt("ab", ','), V{"ab"});
}

TEST(AsciiCase, OnlyAsciiLettersFoldBytesOfGbkStayAsTheyAre) {
  EXPECT_TRUE(SameTextNoCase("Keep-ALIVE", "keep-alive"));
  EXPECT_FALSE(SameTextNoCase("keep-alive", "keep-alive "));
  // 0xC4 and 0xE4 differ by the case bit but are not letters of any ASCII case.
  EXPECT_FALSE(SameTextNoCase("\xc4", "\xe4"));
  // A GBK trail byte in the letter range is upper-cased like any other byte.
  EXPECT_EQ(UpperAscii("h01\xb9\x61\xe4"), "H01\xb9\x41\xe4");
}
