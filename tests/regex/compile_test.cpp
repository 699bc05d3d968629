// Compile rules that show only in the program, and the search aids found for
// typical patterns, read from the program's dump.
#include <gtest/gtest.h>

#include <string>

#include "regex/compiler.h"
#include "regex/errors.h"
#include "regex/program.h"
#include "regex/searchaids.h"

namespace regex_engine {
namespace {

constexpr unsigned kDefaults = kR | kS | kG;

std::string Dump(const std::string& pattern, unsigned flags = kDefaults) {
  return DumpProgram(CompileProgram(pattern, flags));
}

std::string Aids(const std::string& pattern, unsigned flags = kDefaults) {
  return DescribeSearchAids(FindSearchAids(CompileProgram(pattern, flags)));
}

TEST(CompileRules, QuantifiersOnSimpleAndComplexAtoms) {
  // A lazy "?" is a lazy brace 0..1; a greedy one a branch with an empty alternative.
  EXPECT_NE(Dump("a??").find("BracesLazy 0..1 (Literal \"a\")"), std::string::npos) << Dump("a??");
  EXPECT_EQ(Dump("a?").find("Braces"), std::string::npos);
  EXPECT_NE(Dump("a?").find("Empty"), std::string::npos);
  EXPECT_NE(Dump("a*?").find("StarLazy 0..2147483646"), std::string::npos);
  EXPECT_NE(Dump("\\d+").find("Plus 1..2147483646 (Digit)"), std::string::npos);
  EXPECT_NE(Dump("a{2,5}").find("Braces 2..5"), std::string::npos);
  // With g off every quantifier is lazy.
  EXPECT_NE(Dump("a+", kDefaults & ~kG).find("PlusLazy"), std::string::npos);
  // Complex operands: greedy braces and every lazy form are counted loops.
  EXPECT_NE(Dump("(ab){2,3}").find("Loop 2..3"), std::string::npos);
  EXPECT_NE(Dump("(ab)??").find("LoopLazy 0..1"), std::string::npos);
  // A quantifier takes the last byte of a literal run only.
  std::string run = Dump("abc*");
  EXPECT_NE(run.find("Literal \"ab\""), std::string::npos) << run;
  EXPECT_NE(run.find("Star 0..2147483646 (Literal \"c\")"), std::string::npos) << run;
}

TEST(CompileRules, SmallClassesBecomeTinySets) {
  EXPECT_NE(Dump("[cab]").find("TinySet \"abc\""), std::string::npos);
  EXPECT_NE(Dump("[ba]").find("TinySet \"abb\""), std::string::npos);  // the last member fills up
  EXPECT_NE(Dump("[^\">]").find("NotTinySet \"\\x22>>\""), std::string::npos) << Dump("[^\">]");
  EXPECT_NE(Dump("[\"\"]").find("TinySet \"\\x22\\x22\\x22\""), std::string::npos);
  EXPECT_NE(Dump("(?i)[a]").find("TinySet \"Aaa\""), std::string::npos);
  // Four members, and a negated class of four, are full sets; the latter holds the complement.
  EXPECT_NE(Dump("[a-d]").find("FullSet [a-d]"), std::string::npos) << Dump("[a-d]");
  EXPECT_NE(Dump("[^a-d]").find("FullSet [\\x01-`e-\\xff]"), std::string::npos) << Dump("[^a-d]");
  EXPECT_NE(Dump("\\s").find("FullSet [\\x09\\x0a\\x0c\\x0d ]"), std::string::npos) << Dump("\\s");
}

TEST(CompileRules, ErrorsCarryTheParserOffset) {
  try {
    CompileProgram("ab[cd", kDefaults);
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code, kErrUnmatchedBracket);
    EXPECT_EQ(e.pos, 5);
  }
}

TEST(SearchAids, TypicalPatterns) {
  EXPECT_EQ(Aids("href\\s*=\\s*[\"\"]?[\"\"]([^\"\">]+?)[\"\"]"), "lead \"href\"\nfirst [h]\n");
  EXPECT_EQ(Aids("(?i)href"), "lead \"href\" either case\nfirst [Hh]\n");
  EXPECT_EQ(Aids("^abc"), "anchored\nmust \"abc\"\nfirst [a]\n");
  EXPECT_EQ(Aids("(?m)(?#note)^abc"), "must \"abc\"\nfirst [a]\n");  // a line start is no anchor
  EXPECT_EQ(Aids("\\s*foo"), "must \"foo\"\nfirst [\\x09\\x0a\\x0c\\x0d f]\n");
  EXPECT_EQ(Aids("ab*cde"), "lead \"a\"\nmust \"cde\"\nfirst [a]\n");
  // Several alternatives: no literal is required, the first bytes still are.
  EXPECT_EQ(Aids("cat|dog"), "first [cd]\n");
  // A match that may be empty may begin anywhere.
  EXPECT_EQ(Aids("x*"), "first any\n");
  EXPECT_EQ(Aids("(a)\\1"), "first [a]\n");
}

}  // namespace
}  // namespace regex_engine
