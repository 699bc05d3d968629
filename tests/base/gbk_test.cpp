#include <gtest/gtest.h>

#include "base/gbk.h"

TEST(Gbk, RoundTripsChineseAndAscii) {
  const std::string gbk = "\xb5\xe7\xb3\xd8 abc";  // 电池 abc
  EXPECT_EQ(GbkToUtf8(gbk), "电池 abc");
  EXPECT_EQ(Utf8ToGbk("电池 abc"), gbk);
  EXPECT_EQ(Utf8ToGbk(GbkToUtf8("\xb9\xb2\xd3\xd0")), "\xb9\xb2\xd3\xd0");
  EXPECT_EQ(GbkToUtf8(""), "");
}

TEST(Gbk, BadBytesNeverThrow) {
  // A lone lead byte at the end and an invalid pair become U+FFFD.
  EXPECT_EQ(GbkToUtf8("a\xb5"), "a\xEF\xBF\xBD");
  EXPECT_EQ(GbkToUtf8("\xff" "b"), "\xEF\xBF\xBD" "b");
  // A character GBK cannot hold, and broken UTF-8, become "?".
  EXPECT_EQ(Utf8ToGbk("x\xF0\x9F\x98\x80y"), "x?y");
  EXPECT_EQ(Utf8ToGbk("x\xC3y"), "x?y");
}

TEST(Gbk, LongTextsConvertWhole) {
  std::string gbk;
  for (int i = 0; i < 10000; ++i) gbk += "\xd6\xd0\xce\xc4";  // 中文
  std::string utf8 = GbkToUtf8(gbk);
  EXPECT_EQ(utf8.size(), 10000u * 6);
  EXPECT_EQ(Utf8ToGbk(utf8), gbk);
}

TEST(Gbk, ReferencesOfWhatGbkCannotHoldComeBackAsCharacters) {
  const std::string text = "约翰•史密斯 王𠀀 ©";
  EXPECT_EQ(GbkWithReferencesToUtf8(Utf8ToGbkWithReferences(text)), text);
  // Only references GBK needed stay decoded: one of a GBK character, a broken one and one
  // past the last code point are the text's own.
  for (const char* own : {"&#20013;", "&#;", "&#99999999;", "&#x2022;", "a&#8226", "&#55296;"})
    EXPECT_EQ(GbkWithReferencesToUtf8(own), own);
}
