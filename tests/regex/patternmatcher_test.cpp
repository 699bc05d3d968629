#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/patternmatcher.h"

namespace {

const char* const kNoMatch = "<no match>";

// Group n of the first match of pattern in input, or kNoMatch.
std::string Find(const std::string& pattern, const std::string& input, int n = 0) {
  TPatternMatcher m;
  m.SetExpression(pattern);
  return m.Exec(input) ? m.MatchText(n) : kNoMatch;
}

// Group 0 of every match, stepping with ExecNext.
std::vector<std::string> All(TPatternMatcher& m, const std::string& input) {
  std::vector<std::string> out;
  for (bool found = m.Exec(input); found; found = m.ExecNext()) out.push_back(m.MatchText(0));
  return out;
}

EPatternMatcher ErrorOf(const std::string& pattern, const std::string& input = "abc") {
  TPatternMatcher m;
  m.SetExpression(pattern);
  try {
    m.Exec(input);
  } catch (const EPatternMatcher& e) {
    return e;
  }
  ADD_FAILURE() << "no error for /" << pattern << "/";
  return EPatternMatcher(0, 0, "");
}

TEST(Syntax, ClassesWithBracketDashAndEscapes) {
  EXPECT_EQ(Find("[]a]+", "x]a]y"), "]a]");
  EXPECT_EQ(Find("[^]a]", "]ab"), "b");
  EXPECT_EQ(Find("[a-]", "x-"), "-");
  EXPECT_EQ(Find("[-a]", "x-"), "-");
  EXPECT_EQ(Find("[\\D]", "1D"), "D");  // \D, \S, \W and \b stand for themselves in a class
  EXPECT_EQ(Find("[\\b]", "ab"), "b");
  EXPECT_EQ(Find("[\\d-z]+", "x1-z"), "1-z");  // "-" after \d is a member
  EXPECT_EQ(Find("[a-\\d]+", "-a5b"), "-a5");  // range ending in \d: "-" is a member
  EXPECT_EQ(Find("[a-c-e]+", "d-ab"), "-ab");  // "-" right after a range is a member
  EXPECT_EQ(Find("[\\x41-\\x43]+", "aBCD"), "BC");
  EXPECT_EQ(Find("[\\s]+", "a \t\r\n\fb"), " \t\r\n\f");
  EXPECT_EQ(Find("[\\w]+", "-a_9-"), "a_9");
  EXPECT_EQ(Find("[^\\n]+", "ab\ncd"), "ab");
  EXPECT_EQ(Find("[\"\"]", "a\"b"), "\"");
}

TEST(Syntax, EscapesOutsideClasses) {
  EXPECT_EQ(Find("\\x41\\x{42}", "zAB"), "AB");
  EXPECT_EQ(Find("\\t\\n\\r\\f\\a\\e", "x\t\n\r\f\a\x1b"), "\t\n\r\f\a\x1b");
  EXPECT_EQ(Find("\\d+\\D", "ab12c"), "12c");
  EXPECT_EQ(Find("\\S+", "  ab "), "ab");
  EXPECT_EQ(Find("\\W", "ab-"), "-");
  EXPECT_EQ(Find("\\Q\\.", "Q.Qx"), "Q.");  // other escaped bytes stand for themselves
  EXPECT_EQ(Find("a\\x00", "a"), kNoMatch);     // the input ends at its NUL: a NUL never matches
}

TEST(Syntax, LiteralRunsBracesAndComments) {
  EXPECT_EQ(Find("abc*", "abd"), "ab");  // the quantifier takes the last byte only
  EXPECT_EQ(Find("abc+", "abccd"), "abcc");
  EXPECT_EQ(Find("a{x}", "a{x}"), "a{x}");  // not a brace quantifier: literal
  EXPECT_EQ(Find("{2}", "x{2}"), "{2}");
  EXPECT_EQ(Find("a{,2}", "a{,2}"), "a{,2}");
  EXPECT_EQ(Find("a(?#note)b", "ab"), "ab");
  EXPECT_EQ(Find("ab|cd|", "xcd"), "");  // the empty alternative matches at the first byte
  EXPECT_EQ(Find("ab|cd", "xcd"), "cd");
  EXPECT_EQ(Find("()b", "b"), "b");
}

TEST(Syntax, ExtendedModeIgnoresBlanksAndComments) {
  EXPECT_EQ(Find("(?x) a b # comment\n c", "abc"), "abc");
  EXPECT_EQ(Find("(?x)a b *", "abbb"), "abbb");
  EXPECT_EQ(Find("(?x)[ ]", "a b"), " ");  // blanks in classes stay
  EXPECT_EQ(Find("a b", "a b"), "a b");
}

TEST(Syntax, RussianRangesFollowTheRModifier) {
  EXPECT_EQ(Find("[\xe0-\xff]", "\xb8"), "\xb8");
  EXPECT_EQ(Find("[\xc0-\xdf]", "\xa8"), "\xa8");
  EXPECT_EQ(Find("[\xe0-\xdf]", "\xa8"), "\xa8");
  EXPECT_EQ(Find("(?-r)[\xe0-\xff]", "\xb8"), kNoMatch);
  EXPECT_EQ(ErrorOf("(?-r)[\xe0-\xdf]").ErrorId, 109);
}

TEST(Modifiers, CaseInsensitivityAndItsScope) {
  EXPECT_EQ(Find("(?i)abc", "xABC"), "ABC");
  EXPECT_EQ(Find("a(?i)b", "aB"), "aB");
  EXPECT_EQ(Find("a(?i)b", "AB"), kNoMatch);
  EXPECT_EQ(Find("(a(?i)b)c", "aBC"), kNoMatch);  // the group's ")" ends the modifier
  EXPECT_EQ(Find("(a(?i)b)c", "aBc"), "aBc");
  EXPECT_EQ(Find("(?i)a(?-i)b", "Ab"), "Ab");
  EXPECT_EQ(Find("(?i)a(?-i)b", "AB"), kNoMatch);
  EXPECT_EQ(Find("(?i)[a-c]+", "xAbC"), "AbC");
  EXPECT_EQ(Find("(?i)[^a]", "Ab"), "b");
  EXPECT_EQ(Find("(?I)\xb0\xa1", "\xb0\xa1"), "\xb0\xa1");  // only ASCII letters have a case
  EXPECT_EQ(ErrorOf("(?q)a").ErrorId, 127);
  EXPECT_EQ(ErrorOf("(?i").ErrorId, 127);
}

TEST(Modifiers, ObjectModifiersRecompile) {
  TPatternMatcher m;
  EXPECT_FALSE(m.Modifier('i'));
  EXPECT_TRUE(m.Modifier('r'));
  EXPECT_TRUE(m.Modifier('s'));
  EXPECT_TRUE(m.Modifier('g'));
  EXPECT_FALSE(m.Modifier('m'));
  EXPECT_FALSE(m.Modifier('x'));
  m.SetExpression("abc");
  EXPECT_FALSE(m.Exec("ABC"));
  m.SetModifier('i', true);
  EXPECT_TRUE(m.Exec("ABC"));
  m.SetModifier('I', false);
  EXPECT_FALSE(m.Exec("ABC"));
}

TEST(Modifiers, GreedinessOffMakesEveryQuantifierLazy) {
  TPatternMatcher m;
  m.SetModifier('g', false);
  m.SetExpression("a+");
  ASSERT_TRUE(m.Exec("aaa"));
  EXPECT_EQ(m.MatchText(0), "a");
  m.SetExpression("a+?");  // the "?" changes nothing
  ASSERT_TRUE(m.Exec("aaa"));
  EXPECT_EQ(m.MatchText(0), "a");
  EXPECT_EQ(Find("(?-g)(ab)*c", "ababc"), "ababc");
  EXPECT_EQ(Find("(?-g)a{2,3}", "aaaa"), "aa");
}

TEST(Modifiers, DotAndLineSeparators) {
  EXPECT_EQ(Find("a.b", "a\nb"), "a\nb");
  EXPECT_EQ(Find("(?-s)a.b", "a\nb"), kNoMatch);
  EXPECT_EQ(Find("(?-s)a.b", "a\rb"), kNoMatch);
  EXPECT_EQ(Find("(?-s)a.*", "abc\r\nd"), "abc");
  EXPECT_EQ(Find("(?-s)a.b", "a\x01" "b"), "a\x01" "b");
}

TEST(Quantifiers, GreedyLazyAndBraces) {
  EXPECT_EQ(Find("a{2,3}", "aaaa"), "aaa");
  EXPECT_EQ(Find("a{2,3}?", "aaaa"), "aa");
  EXPECT_EQ(Find("a{2}", "aaaa"), "aa");
  EXPECT_EQ(Find("a{2,}", "aaaa"), "aaaa");
  EXPECT_EQ(Find("a{0}b", "ab"), "b");
  EXPECT_EQ(Find("a??b", "ab"), "ab");
  EXPECT_EQ(Find("<.+>", "<a><b>"), "<a><b>");
  EXPECT_EQ(Find("<.+?>", "<a><b>"), "<a>");
  EXPECT_EQ(Find("(ab){2}", "ababab"), "abab");
  EXPECT_EQ(Find("(ab){2,}?", "ababab"), "abab");
  EXPECT_EQ(Find("(ab)*?c", "ababc"), "ababc");
  EXPECT_EQ(Find("(a|b)*?c", "abac"), "abac");
  EXPECT_EQ(Find("(a|ab)(c|bcd)(d*)", "abcd"), "abcd");
  EXPECT_EQ(Find("(a|ab)(c|bcd)(d*)", "abcd", 2), "bcd");
  EXPECT_EQ(Find("(ab|a)+?b", "aab"), "aab");
}

TEST(Quantifiers, NestedCountedLoops) {
  EXPECT_EQ(Find("((a){2}b){2}", "xaabaab"), "aabaab");
  // The rest after a lazy inner loop must see the outer loop's counter.
  EXPECT_EQ(Find("((a)*?b){2}c", "aabbc"), "aabbc");
  EXPECT_EQ(Find("((a)+?b){2,3}?c", "abababc"), "abababc");
  EXPECT_EQ(Find("((ab|a){1,2}c){2}", "abacac"), "abacac");
}

TEST(Quantifiers, CompileErrors) {
  EXPECT_EQ(ErrorOf("(a|)*").ErrorId, 106);
  EXPECT_EQ(ErrorOf("x(\\b)+").ErrorId, 106);
  EXPECT_EQ(ErrorOf("(a?){2}").ErrorId, 106);
  EXPECT_EQ(ErrorOf("a**").ErrorId, 107);
  EXPECT_EQ(ErrorOf("a*?+").ErrorId, 107);
  EXPECT_EQ(ErrorOf("a{2}{3}").ErrorId, 107);
  EXPECT_EQ(ErrorOf("*a").ErrorId, 115);
  EXPECT_EQ(ErrorOf("a|+b").ErrorId, 115);
  EXPECT_EQ(ErrorOf("a{123456789}").ErrorId, 122);
  EXPECT_EQ(Find("a{12345678}", "a"), kNoMatch);
  EXPECT_EQ(Find("(?#x)?a", "a"), "a");  // "?" may follow a width-less atom
}

TEST(Anchors, InputLineAndWordNodes) {
  EXPECT_EQ(Find("^a", "ba"), kNoMatch);
  EXPECT_EQ(Find("^b", "a\nb"), kNoMatch);
  EXPECT_EQ(Find("(?m)^b", "a\nb"), "b");
  EXPECT_EQ(Find("a$", "a\n"), kNoMatch);  // "$" is the end of the input only
  EXPECT_EQ(Find("(?m)a$", "a\r\nb"), "a");
  EXPECT_EQ(Find("\\Aa", "aa"), "a");
  EXPECT_EQ(Find("a\\Z", "ab"), kNoMatch);
  EXPECT_EQ(Find("\\bfoo\\b", "afoo foo"), "foo");
  EXPECT_EQ(Find("\\Bo+", "o foo"), "oo");
  EXPECT_EQ(Find("\\b", ""), kNoMatch);
  EXPECT_EQ(Find("\\B", ""), "");
}

TEST(Anchors, PairedSeparatorIsOneLineBreak) {
  TPatternMatcher m;
  m.SetExpression("(?m)^");
  std::vector<std::ptrdiff_t> starts;
  for (bool f = m.Exec("a\r\nb\n\rc"); f; f = m.ExecNext()) starts.push_back(m.MatchPos(0));
  // Not between CR and LF; between LF and CR both bytes are breaks of their own.
  EXPECT_EQ(starts, (std::vector<std::ptrdiff_t>{1, 4, 6, 7}));

  m.SetExpression("(?m)$");
  std::vector<std::ptrdiff_t> ends;
  for (bool f = m.Exec("a\r\nb"); f; f = m.ExecNext()) ends.push_back(m.MatchPos(0));
  EXPECT_EQ(ends, (std::vector<std::ptrdiff_t>{2, 5}));

  m.SetLinePairedSeparator("");
  ends.clear();
  for (bool f = m.Exec("a\r\nb"); f; f = m.ExecNext()) ends.push_back(m.MatchPos(0));
  EXPECT_EQ(ends, (std::vector<std::ptrdiff_t>{2, 3, 5}));

  // A paired separator of other bytes: its head is no line byte of its own,
  // but "." does not take it in front of the tail.
  m.SetLinePairedSeparator("xy");
  m.SetExpression("(?m-s)^.");
  EXPECT_EQ(All(m, "axyb"), (std::vector<std::string>{"a", "b"}));
  m.SetExpression("(?-s)a.");
  EXPECT_FALSE(m.Exec("axy"));
  EXPECT_TRUE(m.Exec("axz"));
}

TEST(Anchors, InvalidPairedSeparator) {
  TPatternMatcher m;
  for (const char* bad : {"a", "aa", "abc"}) {
    try {
      m.SetLinePairedSeparator(bad);
      ADD_FAILURE() << bad;
    } catch (const EPatternMatcher& e) {
      EXPECT_EQ(e.ErrorId, 128);
      EXPECT_STREQ(e.what(),
                   "TPatternMatcher(comp): LinePairedSeparator must countain two different chars or no chars at all "
                   "(pos 0)");
    }
  }
  EXPECT_EQ(m.LinePairedSeparator(), "\r\n");
}

TEST(Stepping, EmptyMatchMovesOneByteOn) {
  TPatternMatcher m;
  m.SetExpression("a*");
  ASSERT_TRUE(m.Exec("baaa"));
  EXPECT_EQ(m.MatchPos(0), 1);
  EXPECT_EQ(m.MatchLen(0), 0);
  ASSERT_TRUE(m.ExecNext());
  EXPECT_EQ(m.MatchText(0), "aaa");
  EXPECT_EQ(m.MatchPos(0), 2);
  ASSERT_TRUE(m.ExecNext());  // the empty match at the end of the input
  EXPECT_EQ(m.MatchPos(0), 5);
  EXPECT_FALSE(m.ExecNext());
  EXPECT_EQ(m.MatchPos(0), -1);
  EXPECT_THROW(m.ExecNext(), EPatternMatcher);
}

TEST(Stepping, ErrorsAroundTheSearch) {
  TPatternMatcher m;
  try {
    m.ExecNext();
    ADD_FAILURE();
  } catch (const EPatternMatcher& e) {
    EXPECT_EQ(e.ErrorId, 1007);
    EXPECT_EQ(e.ErrorPos, 0);
  }
  EXPECT_EQ(m.LastError(), 1007);
  try {
    m.ExecPos(1);
    ADD_FAILURE();
  } catch (const EPatternMatcher& e) {
    EXPECT_EQ(e.ErrorId, 1005);
    EXPECT_STREQ(e.what(), "TPatternMatcher(exec): No Input String Specified");
  }
  try {
    m.Exec("abc");
    ADD_FAILURE();
  } catch (const EPatternMatcher& e) {
    EXPECT_EQ(e.ErrorId, 1003);
    EXPECT_STREQ(e.what(), "TPatternMatcher(exec): Not Assigned Expression Property");
  }
  m.SetExpression("b");
  try {
    m.ExecPos(0);
    ADD_FAILURE();
  } catch (const EPatternMatcher& e) {
    EXPECT_EQ(e.ErrorId, 1006);
    EXPECT_STREQ(e.what(), "TPatternMatcher(exec): Offset Must Be Greater Then 0");
  }
  EXPECT_TRUE(m.ExecPos(2));
  EXPECT_FALSE(m.ExecPos(3));
  EXPECT_FALSE(m.ExecPos(5));  // beyond the end plus one
}

TEST(Stepping, InputEndsAtItsFirstNul) {
  TPatternMatcher m;
  m.SetExpression("b");
  EXPECT_FALSE(m.Exec(std::string("a\0b", 3)));
  m.SetExpression("a$");
  EXPECT_TRUE(m.Exec(std::string("a\0b", 3)));
}

TEST(Stepping, CompileErrorLeavesNoProgramAndIsRaisedAgain) {
  TPatternMatcher m;
  m.SetExpression("(a");
  EXPECT_THROW(m.Exec("a"), EPatternMatcher);
  EXPECT_THROW(m.Exec("a"), EPatternMatcher);
  EXPECT_EQ(m.LastError(), 103);
  m.SetExpression("(a)");
  EXPECT_TRUE(m.Exec("a"));
}

TEST(Groups, CaptureInRepeatsAndAlternatives) {
  EXPECT_EQ(Find("(a|b)*", "abx", 1), "b");
  EXPECT_EQ(Find("((a)|b)+", "ab", 2), "a");  // a group keeps its last pass
  EXPECT_EQ(Find("(a|b)*ab", "abab", 1), "b");
  EXPECT_EQ(Find("(a)*?b", "aab", 1), "a");
  TPatternMatcher m;
  m.SetExpression("(a)|b");
  ASSERT_TRUE(m.Exec("b"));
  EXPECT_EQ(m.MatchText(1), "");
  EXPECT_EQ(m.MatchPos(1), -1);
  EXPECT_EQ(m.MatchText(15), "");
  EXPECT_EQ(m.MatchText(-1), "");
  m.SetExpression("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)");
  ASSERT_TRUE(m.Exec("abcdefghijklmn"));
  EXPECT_EQ(m.MatchText(14), "n");
}

TEST(Groups, BackReferences) {
  EXPECT_EQ(Find("(\\w+)\\s\\1", "foo bar bar"), "bar bar");
  EXPECT_EQ(Find("(a)\\1", "aA"), kNoMatch);
  EXPECT_EQ(Find("(?i)(a)\\1", "aA"), "aA");
  EXPECT_EQ(Find("(a)?b\\1", "b"), kNoMatch);  // an unset group makes the reference fail
  EXPECT_EQ(Find("(ab)\\1*c", "abababc"), "abababc");
  EXPECT_EQ(Find("(ab)\\1{1,2}?", "ababab"), "abab");
  EXPECT_EQ(Find("()(\\1)*x", "x"), "x");  // an empty pass ends the loop
}

struct ErrorCase {
  const char* pattern;
  int code;
  int pos;
  const char* text;
};

TEST(Errors, CompileErrorsCarryCodeTextAndPosition) {
  const ErrorCase cases[] = {
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)(o)", 102, 43, "TPatternMatcher(comp): ParseReg Too Many ()"},
      {"(a", 103, 2, "TPatternMatcher(comp): ParseReg Unmatched ()"},
      {"a)", 104, 1, "TPatternMatcher(comp): ParseReg Unmatched ()"},
      {"(a|)*", 106, 5, "TPatternMatcher(comp): *+ Operand Could Be Empty"},
      {"a**", 107, 2, "TPatternMatcher(comp): Nested *?+"},
      {"\\xg1", 108, 2, "TPatternMatcher(comp): Bad Hex Digit"},
      {"[z-a]", 109, 4, "TPatternMatcher(comp): Invalid [] Range"},
      {"[a\\", 110, 3, "TPatternMatcher(comp): Parse Atom Trailing \\"},
      {"\\x4", 111, 3, "TPatternMatcher(comp): No Hex Code After \\x"},
      {"\\x{123}", 112, 5, "TPatternMatcher(comp): Hex Code After \\x Is Too Big"},
      {"[ab", 113, 3, "TPatternMatcher(comp): Unmatched []"},
      {"+a", 115, 0, "TPatternMatcher(comp): ?+*{ Follows Nothing"},
      {"ab\\", 116, 3, "TPatternMatcher(comp): Trailing \\"},
      {"a{123456789}", 122, 10, "TPatternMatcher(comp): BRACES Argument Too Big"},
      {"x{2,1}", 124, 6, "TPatternMatcher(comp): BRACE Min Param Greater then Max"},
      {"a(?#b", 125, 3, "TPatternMatcher(comp): Unclosed (?#Comment)"},
      {"(?iq)", 127, 3, "TPatternMatcher(comp): Urecognized Modifier"},
  };
  for (const ErrorCase& c : cases) {
    EPatternMatcher e = ErrorOf(c.pattern);
    EXPECT_EQ(e.ErrorId, c.code) << c.pattern;
    EXPECT_EQ(e.ErrorPos, c.pos) << c.pattern;
    EXPECT_EQ(std::string(e.what()), std::string(c.text) + " (pos " + std::to_string(c.pos) + ")") << c.pattern;
  }
  EXPECT_EQ(ErrorOf("\\x").ErrorId, 111);
}

TEST(Errors, LoopStackHoldsTenLevels) {
  std::string ten = "a";
  for (int i = 0; i < 10; ++i) ten = "(" + ten + "){1,2}";
  EXPECT_EQ(Find(ten, "xa"), "a");
  EPatternMatcher e = ErrorOf("(" + ten + "){1,2}", "xa");
  EXPECT_EQ(e.ErrorId, 1014);
  EXPECT_STREQ(e.what(), "TPatternMatcher(exec): Loop Stack Exceeded");
}

TEST(Errors, TextTableIsComplete) {
  EXPECT_EQ(TPatternMatcher::ErrorText(0), "No errors");
  EXPECT_EQ(TPatternMatcher::ErrorText(1015), "TPatternMatcher(exec): Loop Without LoopEntry !");
  EXPECT_EQ(TPatternMatcher::ErrorText(2000), "TPatternMatcher(misc): Bad p-code imported");
  EXPECT_EQ(TPatternMatcher::ErrorText(117), "Unknown error");
}

}  // namespace
