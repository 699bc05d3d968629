// Deep backtracking on large inputs must end in a match or in an error of
// its own, never in a crash or an overflow of the thread's stack.
#include <gtest/gtest.h>

// GCC 12 at -O3 warns falsely about std::string concatenation (its bug 105329).
#pragma GCC diagnostic ignored "-Wrestrict"

#include <string>

#include "regex/patternmatcher.h"

namespace {

constexpr size_t kBig = 10 * 1024 * 1024;

std::string Repeat(const std::string& unit, size_t total) {
  std::string s;
  s.reserve(total + unit.size());
  while (s.size() < total) s += unit;
  return s;
}

// Either the whole input matched or the backtracking stack ran out.
void ExpectWholeMatchOrStackError(const std::string& pattern, const std::string& input) {
  TPatternMatcher m;
  m.SetExpression(pattern);
  try {
    ASSERT_TRUE(m.Exec(input)) << pattern;
    EXPECT_EQ(m.MatchLen(0), std::ptrdiff_t(input.size())) << pattern;
  } catch (const EPatternMatcher& e) {
    EXPECT_EQ(e.ErrorId, 1016) << pattern;
    EXPECT_STREQ(e.what(), "TPatternMatcher(exec): Backtracking Stack Exceeded");
    EXPECT_EQ(m.LastError(), 1016);
  }
}

TEST(Stress, LazyCountedLoopRunsToTheEnd) {
  const std::string body = "x" + Repeat("ab", kBig);
  TPatternMatcher m;
  m.SetExpression("x(ab|cd)*?(y|z)");
  EXPECT_FALSE(m.Exec(body));
  ASSERT_TRUE(m.Exec(body + "z"));
  EXPECT_EQ(m.MatchLen(0), std::ptrdiff_t(body.size() + 1));
  EXPECT_EQ(m.MatchText(1), "ab");
  EXPECT_EQ(m.MatchText(2), "z");
}

TEST(Stress, LazySimpleRepeatRunsToTheEnd) {
  const std::string body = "a" + Repeat("b", kBig);
  TPatternMatcher m;
  m.SetExpression("a[^z]*?(z|y)");
  EXPECT_FALSE(m.Exec(body));
  ASSERT_TRUE(m.Exec(body + "y"));
  EXPECT_EQ(m.MatchText(1), "y");
}

TEST(Stress, GreedyLoopsOverAlternatives) {
  const std::string input = Repeat("ab", kBig);
  ExpectWholeMatchOrStackError("(ab|cd){1,}$", input);
  ExpectWholeMatchOrStackError("(a|b)*$", input);
  ExpectWholeMatchOrStackError("(?-s)(.)*$", input);
  // The same loops on a smaller input fit the stack.
  const std::string small = Repeat("ab", 200000);
  TPatternMatcher m;
  m.SetExpression("(ab|cd){1,}$");
  ASSERT_TRUE(m.Exec(small));
  EXPECT_EQ(m.MatchLen(0), std::ptrdiff_t(small.size()));
  EXPECT_EQ(m.MatchText(1), "ab");
}

TEST(Stress, GreedyLoopBacktracksAcrossTheWholeInput) {
  // The required literal is missing: no attempt is made at all.
  TPatternMatcher m;
  m.SetExpression("(a|b)*c");
  EXPECT_FALSE(m.Exec(Repeat("ab", kBig)));
  // Here every pass is given back before "x" matches at the start.
  m.SetExpression("(a|b)*?x|x");
  ASSERT_TRUE(m.Exec("x" + Repeat("ab", kBig)));
  EXPECT_EQ(m.MatchText(0), "x");
}

TEST(Stress, SimpleRepeatsOverTheWholeInput) {
  const std::string input = Repeat("a", kBig);
  TPatternMatcher m;
  m.SetExpression("a*b|a+$");
  ASSERT_TRUE(m.Exec(input));
  EXPECT_EQ(m.MatchLen(0), std::ptrdiff_t(input.size()));
}

TEST(Stress, RunawayEmptyLoopEnds) {
  // Group 1 is empty, so the first alternative of every pass matches empty.
  ExpectWholeMatchOrStackError("()(\\1|a)*$", Repeat("a", 100000));
  TPatternMatcher m;
  m.SetExpression("()(\\1)*x");
  EXPECT_FALSE(m.Exec(Repeat("y", 10000)));
}

TEST(Stress, HugePatterns) {
  std::string alternation = "z0y";
  for (int i = 1; i < 100000; ++i) alternation += "|z" + std::to_string(i) + "y";
  TPatternMatcher m;
  m.SetExpression(alternation);
  ASSERT_TRUE(m.Exec("--z99999y--"));
  EXPECT_EQ(m.MatchText(0), "z99999y");

  const std::string literal = Repeat("ab", 1 << 20);
  m.SetExpression(literal);
  EXPECT_TRUE(m.Exec("x" + literal));
  EXPECT_FALSE(m.Exec(literal.substr(1)));
}

TEST(Stress, LinkPatternOnALargePage) {
  std::string page;
  int links = 0;
  while (page.size() < kBig) {
    page += "<tr><td>\xd6\xd0\xb9\xfa\xd7\xa8\xc0\xfb</td><td><a href=\"detail.jsp?recid=CN" + std::to_string(links) +
            "\" target=_blank>T</a></td></tr>\n";
    ++links;
  }
  TPatternMatcher m;
  m.SetExpression("href\\s*=\\s*[\"\"]?[\"\"]([^\"\">]+?)[\"\"]");
  int found = 0;
  for (bool f = m.Exec(page); f; f = m.ExecNext()) {
    if (found == links - 1) {
      EXPECT_EQ(m.MatchText(1), "detail.jsp?recid=CN" + std::to_string(found));
    }
    ++found;
  }
  EXPECT_EQ(found, links);
}

}  // namespace

namespace {

// Patterns whose backtracking took time exponential in the input: on a run of
// n "a" and a byte that ends every attempt, each search now stays within a
// number of steps linear in n, and finds what it found before.
TEST(Stress, NestedRepeatsTakeStepsLinearInTheInput) {
  struct Case {
    const char* pattern;
    const char* tail;
    std::ptrdiff_t match_pos;  // of group 0 counted from the end of the run of "a"; 0 for no match
  };
  const Case cases[] = {
      {"(\\w+)+$", "!", 0},        {"(a|a)*b", "!b", 2},    {"(a|aa)*c", "!c", 2},     {"(a+)+b", "!", 0},
      {"(.*a){12}x", "!", 0},      {"(a+a+)+y", "!", 0},    {"(a{1,3}){2,}x", "!", 0}, {"a*a*a*a*a*b", "!b", 2},
      {"(a|\\w)*?(c|x)", "!", 0},
  };
  for (const Case& c : cases) {
    // A short run first: without the record the longer ones would not end.
    for (size_t n : {20u, 40u, 5000u}) {
      const std::string input = std::string(n, 'a') + c.tail;
      TPatternMatcher m;
      m.SetExpression(c.pattern);
      const bool found = m.Exec(input);
      EXPECT_EQ(found, c.match_pos != 0) << c.pattern;
      if (found) EXPECT_EQ(m.MatchPos(0), std::ptrdiff_t(n) + c.match_pos) << c.pattern;
      // Before the record is engaged: 4096 steps and one per byte; after it,
      // a bounded number per byte.
      ASSERT_LE(m.StepCount(), 4096 + 64 * (long long)input.size()) << c.pattern << " on " << n;
    }
  }
}

TEST(Stress, BackReferencesRunUnderTheStepBudget) {
  TPatternMatcher m;
  EXPECT_EQ(m.StepBudget(), 100000000);
  m.SetStepBudget(1000000);
  m.SetExpression("(\\w+)+\\1$");
  try {
    m.Exec(std::string(40, 'a') + "!");
    FAIL() << "the search ended within the budget";
  } catch (const EPatternMatcher& e) {
    EXPECT_EQ(e.ErrorId, 1017);
    EXPECT_STREQ(e.what(), "TPatternMatcher(exec): Step Budget Exceeded");
  }
  EXPECT_EQ(m.LastError(), 1017);
  EXPECT_EQ(m.StepCount(), 1000001);
  // A search within the budget, and the budget counted per search.
  m.SetExpression("(a)\\1");
  ASSERT_TRUE(m.Exec("xaa" + Repeat("b", 100) + "aa"));
  EXPECT_EQ(m.MatchPos(0), 2);
  m.SetStepBudget(60);
  ASSERT_TRUE(m.ExecNext());
  EXPECT_EQ(m.MatchPos(0), 104);
  EXPECT_FALSE(m.ExecNext());
}

}  // namespace
