#include <gtest/gtest.h>

#include "regex/patternmatcher.h"

namespace {

// The record-link pattern exactly as the result-page reader sets it.
const std::string kLinkPattern = "href\\s*=\\s*[\"\"]?[\"\"]([^\"\">]+?)[\"\"]";

TEST(LinkPattern, IsThirtyFourBytes) { EXPECT_EQ(kLinkPattern.size(), 34u); }

TEST(LinkPattern, DoubleQuotedValue) {
  TPatternMatcher m;
  m.SetExpression(kLinkPattern);
  ASSERT_TRUE(m.Exec("<a href=\"x.jsp?a=1\">T</a>"));
  EXPECT_EQ(m.MatchText(1), "x.jsp?a=1");
  EXPECT_EQ(m.MatchText(0), "href=\"x.jsp?a=1\"");
}

TEST(LinkPattern, SingleQuotesCapitalsAndBareValuesDoNotMatch) {
  TPatternMatcher m;
  m.SetExpression(kLinkPattern);
  EXPECT_FALSE(m.Exec("<a href='x.jsp?a=1'>T</a>"));
  EXPECT_FALSE(m.Exec("<a HREF=\"x.jsp?a=1\">T</a>"));
  EXPECT_FALSE(m.Exec("<a href=x.jsp?a=1>T</a>"));
}

TEST(LinkPattern, SpacesAroundEquals) {
  TPatternMatcher m;
  m.SetExpression(kLinkPattern);
  ASSERT_TRUE(m.Exec("<a href \t= \r\n\"x.jsp?a=1\">T</a>"));
  EXPECT_EQ(m.MatchText(1), "x.jsp?a=1");
}

TEST(LinkPattern, DoubledQuoteIsTakenByTheOptionalQuote) {
  TPatternMatcher m;
  m.SetExpression(kLinkPattern);
  ASSERT_TRUE(m.Exec("href=\"\"abc\""));
  EXPECT_EQ(m.MatchText(1), "abc");
  // One quote: the optional quote gives it back.
  ASSERT_TRUE(m.Exec("href=\"abc\""));
  EXPECT_EQ(m.MatchText(1), "abc");
}

TEST(LinkPattern, GroupEndsAtFirstQuoteAndNeverCrossesAngleBracket) {
  TPatternMatcher m;
  m.SetExpression(kLinkPattern);
  ASSERT_TRUE(m.Exec("href=\"a\" b\""));
  EXPECT_EQ(m.MatchText(1), "a");
  EXPECT_FALSE(m.Exec("href=\"a>b\""));
}

TEST(LinkPattern, StepsThroughLinksAndFailsAfterTheLast) {
  TPatternMatcher m;
  m.SetExpression(kLinkPattern);
  const std::string page =
      "<p>\xd6\xd0\xce\xc4</p><a href=\"one.jsp?recid=CN1\">\xb1\xea\xcc\xe2</a>"
      "<a class=\"c\" href=\"two.jsp\">x</a>";
  ASSERT_TRUE(m.Exec(page));
  EXPECT_EQ(m.MatchText(1), "one.jsp?recid=CN1");
  ASSERT_TRUE(m.ExecNext());
  EXPECT_EQ(m.MatchText(1), "two.jsp");
  EXPECT_FALSE(m.ExecNext());
  try {
    m.ExecNext();
    FAIL() << "ExecNext after a failed search must raise";
  } catch (const EPatternMatcher& e) {
    EXPECT_EQ(e.ErrorId, 1007);
    EXPECT_STREQ(e.what(), "TPatternMatcher(exec): ExecNext Without Exec[Pos]");
  }
}

}  // namespace
