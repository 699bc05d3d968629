// The pattern matcher on any pattern and input. Byte 0 switches the modifiers i, r, s, g,
// m, x (bits 0 to 5); byte 1 is the pattern's length; the pattern follows, then the input,
// of which the first 16 bytes are used: a backtracking engine takes time exponential in
// the input on nested repeats such as "(\w+)+x", which the program's one fixed pattern
// does not hold (the page-reader target runs that pattern on whole pages).
// What must hold: a pattern compiles or fails with a compile error, and a search ends or
// stops at one of the engine's limits, never with an internal error; every group of a
// match lies inside the input and inside the whole match, its text the input's bytes
// there; ExecNext moves forward (past an empty match by at least one byte), so a search
// ends after at most one match per position.
#include <algorithm>
#include <cstdint>
#include <string>

#include "regex/patternmatcher.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

constexpr size_t kMaxInput = 16;

// Errors a pattern or an input may cause (compile errors, an empty pattern or input, the
// loop and backtracking limits); any other one is a fault of the engine.
bool Expected(int code) {
  bool compile = code >= 100 && code < 1000 && code != 114 && code != 119;
  return compile || code == 1003 || code == 1005 || code == 1014 || code == 1016;
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
  const std::string input = FuzzBytes(data + 2 + patternSize, std::min<size_t>(size - 2 - patternSize, kMaxInput));
  TPatternMatcher m;
  const char letters[] = "irsgmx";
  for (int bit = 0; bit < 6; ++bit) m.SetModifier(letters[bit], (data[0] >> bit) & 1);
  m.SetExpression(pattern);
  try {
    bool found = m.Exec(input);
    std::ptrdiff_t lastStart = 0, lastEnd = 0;
    for (size_t matches = 0; found; ++matches) {
      FUZZ_CHECK(matches <= input.size());
      CheckGroups(m, input);
      std::ptrdiff_t start = m.MatchPos(0), end = start + m.MatchLen(0);
      if (matches > 0) FUZZ_CHECK(start >= lastEnd && (lastEnd > lastStart || start > lastStart));
      lastStart = start;
      lastEnd = end;
      found = m.ExecNext();
    }
  } catch (const EPatternMatcher& e) {
    FUZZ_CHECK(Expected(e.ErrorId));
    FUZZ_CHECK(m.LastError() == e.ErrorId);
  }
  return 0;
}
