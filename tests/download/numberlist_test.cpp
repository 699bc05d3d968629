// The number list rules the dialog and varnolt-cli share.
#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/gbk.h"
#include "download/numberlist.h"
#include "tests/support/tempdir.h"

namespace {

const std::string kWrongLength = Utf8ToGbk("对不起，您输入的申请号格式不正确！");

TEST(AddTypedNumber, TrimsChecksTheLengthAndIgnoresExactDuplicates) {
  std::vector<std::string> list;
  std::string error;
  for (std::string text : {"123456", " 12345678\t", "200510012345"}) {
    EXPECT_TRUE(AddTypedNumber(list, text, error)) << text;
    EXPECT_EQ(error, "");
  }
  EXPECT_EQ(list, (std::vector<std::string>{"123456", "12345678", "200510012345"}));

  std::string again = "  12345678 ";
  EXPECT_TRUE(AddTypedNumber(list, again, error));
  EXPECT_EQ(again, "12345678");
  EXPECT_EQ(list.size(), 3u);

  // A sign counts as a character: "-12345" is six long and is added like any other text.
  std::string sign = "-12345";
  EXPECT_TRUE(AddTypedNumber(list, sign, error));
  EXPECT_EQ(list.back(), "-12345");
}

TEST(AddTypedNumber, RefusesOtherLengthsAndLeavesTheTrimmedText) {
  for (std::string text : {std::string(" 20051001234 "), std::string(""), std::string("1234567"),
                           std::string("1234567890123"), std::string("   ")}) {
    std::vector<std::string> list = {"02123456"};
    std::string error;
    std::string typed = text;
    EXPECT_FALSE(AddTypedNumber(list, typed, error)) << text;
    EXPECT_EQ(error, kWrongLength);
    EXPECT_EQ(typed, TrimBytes(text));
    EXPECT_EQ(list, std::vector<std::string>{"02123456"});
  }
}

TEST(ImportNumberFile, TakesLinesUnchangedWithEmptyLinesButNoFinalEmptyEntry) {
  TempDir dir;
  const std::string gbk = Utf8ToGbk("CN02123456 号");
  WriteFileBytes(dir.File("a.txt"), "200510012345\r\n\r\n  02123456 \r" + gbk + "\n1234567\r\n");
  EXPECT_EQ(ImportNumberFile(dir.File("a.txt")),
            (std::vector<std::string>{"200510012345", "", "  02123456 ", gbk, "1234567"}));

  WriteFileBytes(dir.File("b.txt"), "123456\n\n654321");
  EXPECT_EQ(ImportNumberFile(dir.File("b.txt")), (std::vector<std::string>{"123456", "", "654321"}));

  WriteFileBytes(dir.File("c.txt"), "");
  EXPECT_TRUE(ImportNumberFile(dir.File("c.txt")).empty());

  EXPECT_THROW(ImportNumberFile(dir.File("missing.txt")), EFileError);
}

TEST(ReadsAsNumber, AcceptsSignsPointsExponentsAndOuterBlanks) {
  for (const char* text : {"0", "200510012345", "-12345", "+7", "  12 ", "1.", ".5", ".", "-.", "1.5e3",
                           "2E-4", " 3e+12  "})
    EXPECT_TRUE(ReadsAsNumber(text)) << text;
}

TEST(ReadsAsNumber, RefusesSignsAloneLettersInnerBlanksAndOpenExponents) {
  for (const char* text : {"", " ", "-", "+", "--1", "12ab34", "CN02123456", "12 34", "1,5", "1.2.3", "e5",
                           "1e", "1e+", "1e 5"})
    EXPECT_FALSE(ReadsAsNumber(text)) << text;
}

}  // namespace
