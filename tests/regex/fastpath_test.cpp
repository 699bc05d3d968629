// The edges of the search's fast paths: the scan for where the leading
// literal or the first bytes stand (vector rounds of 64 bytes, then byte by
// byte), which also finds the input's end at its first NUL, the vector scans
// of class repeats, the required literal kept between searches, and "."
// beside the paired separator.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "regex/patternmatcher.h"

namespace {

// 1-based positions of group 0 of every match.
std::vector<std::ptrdiff_t> Starts(TPatternMatcher& m, const std::string& input) {
  std::vector<std::ptrdiff_t> out;
  for (bool f = m.Exec(input); f; f = m.ExecNext()) out.push_back(m.MatchPos(0));
  return out;
}

// Where needle stands in hay, without overlaps, 1-based; case-folded when asked.
std::vector<std::ptrdiff_t> Expected(std::string hay, std::string needle, bool fold) {
  if (fold) {
    for (char& c : hay) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : needle) c = char(std::tolower(static_cast<unsigned char>(c)));
  }
  std::vector<std::ptrdiff_t> out;
  for (size_t q = hay.find(needle); q != std::string::npos; q = hay.find(needle, q + needle.size()))
    out.push_back(std::ptrdiff_t(q) + 1);
  return out;
}

TEST(FastPaths, LeadingLiteralAtEveryPlaceAroundTheVectorRounds) {
  TPatternMatcher exact, folded;
  exact.SetExpression("href");
  folded.SetExpression("(?i)href");
  for (size_t len : {3u, 4u, 63u, 64u, 67u, 68u, 130u}) {
    for (size_t at = 0; at + 4 <= len; ++at) {
      std::string input(len, '\xb0');
      input.replace(at, 4, at % 2 ? "HrEf" : "href");
      input.replace(0, std::min<size_t>(at, 3), std::string(std::min<size_t>(at, 3), 'h'));
      EXPECT_EQ(Starts(exact, input), Expected(input, "href", false)) << len << " " << at;
      EXPECT_EQ(Starts(folded, input), Expected(input, "href", true)) << len << " " << at;
    }
    // Cut one byte short at the end, the literal is not there.
    std::string cut = std::string(len - 3, '-') + "hre";
    EXPECT_TRUE(Starts(exact, cut).empty()) << len;
  }
}

TEST(FastPaths, InputEndsAtItsFirstNulInsideAVectorRound) {
  TPatternMatcher m;
  m.SetExpression("href");
  std::string input = std::string(40, 'x') + "href" + std::string(30, 'x');
  input[20] = '\0';
  EXPECT_FALSE(m.Exec(input));
  input[20] = 'x';
  input[42] = '\0';  // inside the literal
  EXPECT_FALSE(m.Exec(input + "href"));
  m.SetExpression("[qz]");  // a few first bytes are marked the same way
  EXPECT_FALSE(m.Exec(std::string(70, 'x') + std::string(1, '\0') + "q"));
  EXPECT_EQ(Starts(m, std::string(63, 'x') + "qZz"), (std::vector<std::ptrdiff_t>{64, 66}));
}

// Every match (position and length) of every search of the input.
std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> Matches(TPatternMatcher& m, std::string input) {
  std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> out;
  for (bool f = m.Exec(std::move(input)); f; f = m.ExecNext()) out.emplace_back(m.MatchPos(0), m.MatchLen(0));
  return out;
}

// The input is read only as far as the searches go, so what lies after its
// first NUL must never take part: not in runs of classes that refuse few
// bytes, not at the end anchors, not for a search started past it.
TEST(FastPaths, NothingAfterTheFirstNulTakesPart) {
  const char* patterns[] = {"[^a]*", "[^a]+$", "x[^\"]*?\"", "\\w+\\b", "a|$", "(y|[^z])+", ".*b",
                            "[qz]", "(?s).+", "(?-s).*$", "(?m)y$", "q$", "x\\B"};
  std::string tail = std::string(1, '\0') + "\"qzb yy\nq";
  for (const char* pattern : patterns) {
    for (size_t at : {0u, 1u, 15u, 63u, 64u, 100u, 200u}) {
      std::string head;
      for (size_t k = 0; k < at; ++k) head += "x y\"q"[k % 5];
      TPatternMatcher m, cut;
      m.SetExpression(pattern);
      cut.SetExpression(pattern);
      EXPECT_EQ(Matches(m, head + tail + std::string(80, 'b')), Matches(cut, head)) << pattern << " " << at;
      // Searches begun past the NUL, or just at it, find only the empty end.
      if (m.Exec(head + tail)) {
        EXPECT_FALSE(m.ExecPos(std::ptrdiff_t(at) + 2)) << pattern << " " << at;
        if (m.ExecPos(std::ptrdiff_t(at) + 1)) {
          EXPECT_EQ(m.MatchLen(0), 0) << pattern << " " << at;
        }
      }
    }
  }
}

TEST(FastPaths, AnInputTakenOverIsSearchedLikeACopy) {
  TPatternMatcher m;
  m.SetExpression("h(r)ef");
  std::string page = std::string(300, '-') + "href" + std::string(100, '-') + "HREF href";
  std::string given = page;
  EXPECT_EQ(Matches(m, given), (std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>>{{301, 4}, {410, 4}}));
  ASSERT_TRUE(m.Exec(std::move(given)));
  EXPECT_TRUE(given.empty());
  EXPECT_EQ(m.MatchText(1), "r");
  // A later copy replaces what was taken over.
  ASSERT_TRUE(m.Exec(page.substr(404)));
  EXPECT_EQ(m.MatchPos(0), 6);
  // Taken over and searched from an offset: what stands before it is passed over.
  ASSERT_TRUE(m.Exec(std::string(page), 302));
  EXPECT_EQ(m.MatchPos(0), 410);
  EXPECT_FALSE(m.ExecNext());
  EXPECT_FALSE(m.Exec(std::string(page), std::ptrdiff_t(page.size()) + 2));
  EXPECT_THROW(m.Exec(std::string(page), 0), EPatternMatcher);
}

TEST(FastPaths, ClassRepeatReachingTheEndWithoutItsClosingByte) {
  TPatternMatcher m;
  m.SetExpression("href=\"([^\">]+?)\"");
  for (size_t n : {1u, 15u, 16u, 31u, 32u, 33u, 100u}) {
    std::string value(n, 'v');
    EXPECT_FALSE(m.Exec("href=\"" + value)) << n;
    EXPECT_FALSE(m.Exec("href=\"" + value + ">\"")) << n;
    ASSERT_TRUE(m.Exec("href=\"" + value + "\"")) << n;
    EXPECT_EQ(m.MatchText(1), value);
  }
  // Greedy: the run stops at the end of the input or at a refused byte.
  m.SetExpression("=([^\">]+)");
  ASSERT_TRUE(m.Exec("=" + std::string(40, 'v')));
  EXPECT_EQ(m.MatchLen(1), 40);
  ASSERT_TRUE(m.Exec("=" + std::string(40, 'v') + ">" + std::string(40, 'w')));
  EXPECT_EQ(m.MatchLen(1), 40);
}

TEST(FastPaths, CaseInsensitiveRepeatsAndTheirFollowers) {
  TPatternMatcher m;
  m.SetExpression("(?i)<([^x]+?)X");
  ASSERT_TRUE(m.Exec("<" + std::string(40, 'a') + "x"));
  EXPECT_EQ(m.MatchLen(1), 40);
  EXPECT_FALSE(m.Exec("<" + std::string(40, 'a')));
  m.SetExpression("(?i)a[^q]*?B");
  ASSERT_TRUE(m.Exec("A" + std::string(40, '-') + "bB"));
  EXPECT_EQ(m.MatchLen(0), 42);
}

TEST(FastPaths, DotBesideThePairedSeparator) {
  TPatternMatcher m;
  m.SetLinePairedSeparator("xy");
  const std::string gap(40, '-');
  m.SetExpression("(?-s)a.*?b");
  // "x" alone is no line break for "."; "x" before "y" is.
  ASSERT_TRUE(m.Exec("a" + gap + "xzb"));
  EXPECT_EQ(m.MatchLen(0), 44);
  EXPECT_FALSE(m.Exec("a" + gap + "xyb"));
  EXPECT_FALSE(m.Exec("a" + gap + "\nb"));
  m.SetExpression("(?-s)a.*");
  ASSERT_TRUE(m.Exec("a" + gap + "xz" + gap + "xy" + gap));
  EXPECT_EQ(m.MatchLen(0), 1 + 40 + 2 + 40);
  // The separator's head at the very end has no tail to pair with.
  ASSERT_TRUE(m.Exec("a" + gap + "x"));
  EXPECT_EQ(m.MatchLen(0), 42);
  m.SetLinePairedSeparator("\r\n");
  ASSERT_TRUE(m.Exec("a" + gap + "\r\n"));
  EXPECT_EQ(m.MatchLen(0), 41);
}

TEST(FastPaths, RequiredLiteralIsFoundAgainAfterTheSearchGoesBack) {
  TPatternMatcher m;
  m.SetExpression("\\s*end");
  const std::string input = "end " + std::string(100, '-') + " end";
  EXPECT_EQ(Starts(m, input), (std::vector<std::ptrdiff_t>{1, 105}));
  ASSERT_TRUE(m.ExecPos(2));
  EXPECT_EQ(m.MatchPos(0), 105);
  ASSERT_TRUE(m.ExecPos(1));  // before the place the literal was last found
  EXPECT_EQ(m.MatchPos(0), 1);
  EXPECT_FALSE(m.ExecPos(107));
  // The leading literal's marks serve a search that goes back as well.
  m.SetExpression("end");
  EXPECT_EQ(Starts(m, input), (std::vector<std::ptrdiff_t>{1, 106}));
  ASSERT_TRUE(m.ExecPos(1));
  EXPECT_EQ(m.MatchPos(0), 1);
}

TEST(FastPaths, ProgramCompiledAgainBetweenSearchesOfOneInput) {
  // The marks made while the input was copied belong to the old program.
  TPatternMatcher m;
  m.SetExpression("ab");
  ASSERT_TRUE(m.Exec("ab AB aB"));
  m.SetModifier('i', true);
  ASSERT_TRUE(m.ExecNext());
  EXPECT_EQ(m.MatchPos(0), 4);
  ASSERT_TRUE(m.ExecNext());
  EXPECT_EQ(m.MatchPos(0), 7);
}

TEST(FastPaths, ACopiedMatcherGoesOnByItself) {
  TPatternMatcher copy;
  {
    TPatternMatcher m;
    m.SetExpression("a(\\d)");
    ASSERT_TRUE(m.Exec("a1 a2 a3"));
    copy = m;
    ASSERT_TRUE(m.ExecNext());
    EXPECT_EQ(m.MatchText(1), "2");
  }
  // The copy has an input of its own, which outlives the original.
  EXPECT_EQ(copy.MatchText(1), "1");
  ASSERT_TRUE(copy.ExecNext());
  EXPECT_EQ(copy.MatchText(1), "2");
  TPatternMatcher second(copy);
  copy = TPatternMatcher();
  EXPECT_THROW(copy.ExecNext(), EPatternMatcher);
  ASSERT_TRUE(second.ExecNext());
  EXPECT_EQ(second.MatchText(1), "3");
}

}  // namespace
