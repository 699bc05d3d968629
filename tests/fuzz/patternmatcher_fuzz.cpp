// The pattern matcher on any pattern and input. Byte 0 switches the modifiers i, r, s, g,
// m, x (bits 0 to 5); byte 1 is the pattern's length; the pattern follows, then the input,
// as long as the fuzzer makes it.
// What must hold: a pattern compiles or fails with a compile error, and a search ends or
// stops at one of the engine's limits, never with an internal error; every group of a
// match lies inside the input and inside the whole match, its text the input's bytes
// there; ExecNext moves forward (past an empty match by at least one byte), so a search
// ends after at most one match per position; and a search of a pattern without
// back-references or counted repeats takes steps linear in the input, however its
// repeats nest.
#include <algorithm>
#include <cstdint>
#include <string>

#include "regex/patternmatcher.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

// Back-references run under a budget; a smaller one keeps the fuzzer going.
constexpr long long kStepBudget = 2000000;

// A loose bound, far below what exponential backtracking takes: each byte may meet each
// recorded state of the program once, with a few nodes between them.
bool LinearSteps(long long steps, const std::string& pattern, const std::string& input) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{') return true;
    if (pattern[i] == '\\' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') return true;
  }
  const long long p = static_cast<long long>(pattern.size()) + 1;
  return steps <= 4096 + 4 * p * p * (static_cast<long long>(input.size()) + 2);
}

// Errors a pattern or an input may cause (compile errors, an empty pattern or input, the
// loop, backtracking and step limits); any other one is a fault of the engine.
bool Expected(int code) {
  bool compile = code >= 100 && code < 1000 && code != 114 && code != 119;
  return compile || code == 1003 || code == 1005 || code == 1014 || code == 1016 || code == 1017;
}

void CheckGroups(const TPatternMatcher& m, const std::string& input) {
  const std::ptrdiff_t start = m.MatchPos(0), end = start + m.MatchLen(0);
  FUZZ_CHECK(start >= 1 && m.MatchLen(0) >= 0 && end - 1 <= static_cast<std::ptrdiff_t>(input.size()));
  for (int n = 0; n < TPatternMatcher::kGroups; ++n) {
    std::ptrdiff_t pos = m.MatchPos(n), len = m.MatchLen(n);
    if (pos == -1) {
      FUZZ_CHECK(len == -1 && m.MatchText(n).empty());
      continue;
    }
    FUZZ_CHECK(pos >= start && len >= 0 && pos + len <= end);
    FUZZ_CHECK(m.MatchText(n) == input.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t patternSize = std::min<size_t>(data[1], size - 2);
  const std::string pattern = FuzzBytes(data + 2, patternSize);
  const std::string input = FuzzBytes(data + 2 + patternSize, size - 2 - patternSize);
  TPatternMatcher m;
  m.SetStepBudget(kStepBudget);
  const char letters[] = "irsgmx";
  for (int bit = 0; bit < 6; ++bit) m.SetModifier(letters[bit], (data[0] >> bit) & 1);
  m.SetExpression(pattern);
  try {
    bool found = m.Exec(input);
    std::ptrdiff_t lastStart = 0, lastEnd = 0;
    for (size_t matches = 0; found; ++matches) {
      FUZZ_CHECK(matches <= input.size());
      CheckGroups(m, input);
      FUZZ_CHECK(LinearSteps(m.StepCount(), pattern, input));
      std::ptrdiff_t start = m.MatchPos(0), end = start + m.MatchLen(0);
      if (matches > 0) FUZZ_CHECK(start >= lastEnd && (lastEnd > lastStart || start > lastStart));
      lastStart = start;
      lastEnd = end;
      found = m.ExecNext();
    }
    FUZZ_CHECK(LinearSteps(m.StepCount(), pattern, input));
  } catch (const EPatternMatcher& e) {
    FUZZ_CHECK(Expected(e.ErrorId));
    FUZZ_CHECK(m.LastError() == e.ErrorId);
  }
  return 0;
}
