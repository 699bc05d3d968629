// Compares the engine with PCRE2 on generated patterns and inputs, where the
// two engines' rules agree: PCRE2 runs with DOTALL and DOLLAR_ENDONLY, the
// inputs hold no NUL and no vertical tab, and patterns either engine rejects
// are skipped. Each case steps through the input the way ExecNext does.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <gtest/gtest.h>

// GCC 12 at -O3 warns falsely about std::string concatenation (its bug 105329).
#pragma GCC diagnostic ignored "-Wrestrict"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "regex/patternmatcher.h"

namespace {

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  std::string Pattern() {
    groups_ = 0;
    closed_.clear();
    static const char* kPrefixes[] = {"(?m)", "(?-s)", "(?i)", "(?x)", "(?m-s)"};
    std::string prefix = Pick(4) == 0 ? kPrefixes[Pick(5)] : "";
    return prefix + Alternatives(0);
  }

  std::string Input() {
    static const char kBytes[] = "aabbcAB 1_-\n\r\xb0\xa1";
    std::string s;
    int n = Pick(14);
    for (int i = 0; i < n; ++i) s.push_back(kBytes[Pick(sizeof kBytes - 1)]);
    return s;
  }

 private:
  int Pick(int n) { return int(rng_() % uint32_t(n)); }

  std::string Alternatives(int depth) {
    std::string s = Sequence(depth);
    while (Pick(5) == 0) s += "|" + Sequence(depth);
    return s;
  }

  std::string Sequence(int depth) {
    std::string s;
    int n = 1 + Pick(4);
    for (int i = 0; i < n; ++i) s += Piece(depth);
    return s;
  }

  std::string Piece(int depth) {
    std::string atom = Atom(depth);
    switch (Pick(10)) {
      case 0: return atom + "*";
      case 1: return atom + "+";
      case 2: return atom + "?";
      case 3: return atom + Braces();
      case 4: {
        static const char* kLazy[] = {"*?", "+?", "??"};
        return atom + (Pick(4) == 0 ? Braces() + "?" : std::string(kLazy[Pick(3)]));
      }
      default: return atom;
    }
  }

  std::string Braces() {
    int n = Pick(3);
    switch (Pick(3)) {
      case 0: return "{" + std::to_string(n) + "}";
      case 1: return "{" + std::to_string(n) + ",}";
      default: return "{" + std::to_string(n) + "," + std::to_string(n + Pick(3)) + "}";
    }
  }

  std::string Atom(int depth) {
    static const char* kLeaves[] = {"a", "b", "c", "A", "ab", " ", "[1]", ".", "[abc]", "[^ab]", "[a-c]",
                                    "[b-cA]", "\\d", "\\w", "\\s", "\\D", "\\W", "\\S", "[\\d_]",
                                    "[]a]", "[a-]", "\\-", "\\x41", "\\n", "[^\\n]", "\\xb0"};
    static const char* kAnchors[] = {"^", "$", "\\b", "\\B"};
    int r = Pick(20);
    if (r < 3 && depth < 3 && groups_ < 9) {
      int g = ++groups_;
      std::string inner = Alternatives(depth + 1);
      closed_.push_back(g);
      return "(" + inner + ")";
    }
    if (r == 3) return kAnchors[Pick(4)];
    if (r == 4 && !closed_.empty()) return "\\" + std::to_string(closed_[size_t(Pick(int(closed_.size())))]);
    if (r == 5 && Pick(3) == 0) return Pick(2) ? "(?i)" : "(?-i)";
    return kLeaves[Pick(int(sizeof kLeaves / sizeof *kLeaves))];
  }

  std::mt19937 rng_;
  int groups_ = 0;
  std::vector<int> closed_;
};

struct Step {
  bool matched = false;
  std::vector<std::string> groups;  // "-" for an unset group
};

std::string Describe(const std::vector<Step>& steps) {
  std::ostringstream out;
  for (const Step& s : steps) {
    out << (s.matched ? "[" : "[no match");
    for (const auto& g : s.groups) out << " <" << g << ">";
    out << "] ";
  }
  return out.str();
}

class Pcre {
 public:
  explicit Pcre(const std::string& pattern) {
    int err;
    PCRE2_SIZE off;
    // CR and LF each end a line, as the engine's line separators do; ^ holds
    // after a final line break too.
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                          PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX, &err, &off, context);
    pcre2_compile_context_free(context);
    if (code_) data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
  }
  ~Pcre() {
    if (data_) pcre2_match_data_free(data_);
    if (code_) pcre2_code_free(code_);
  }
  bool ok() const { return code_ != nullptr; }

  // Mirrors Exec and ExecNext: the next search starts where the last match
  // ended, one byte further on after an empty match.
  bool Steps(const std::string& input, int max_steps, std::vector<Step>& out) {
    size_t offset = 0;
    uint32_t groups;
    pcre2_pattern_info(code_, PCRE2_INFO_CAPTURECOUNT, &groups);
    for (int i = 0; i < max_steps; ++i) {
      Step step;
      // One anchored attempt per start position: PCRE2's own bumpalong steps
      // over CR LF as a unit, which is not the rule compared here.
      int rc = PCRE2_ERROR_NOMATCH;
      for (size_t at = offset; at <= input.size() && rc == PCRE2_ERROR_NOMATCH; ++at)
        rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(input.data()), input.size(), at, PCRE2_ANCHORED,
                         data_, nullptr);
      if (rc == PCRE2_ERROR_NOMATCH) {
        out.push_back(step);
        return true;
      }
      if (rc < 0) return false;
      PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
      step.matched = true;
      for (uint32_t g = 0; g <= groups; ++g) {
        if (int(g) >= rc || ov[2 * g] == PCRE2_UNSET) step.groups.push_back("-");
        else step.groups.push_back(input.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
      }
      out.push_back(step);
      offset = ov[1] + (ov[1] == ov[0] ? 1 : 0);
    }
    return true;
  }

 private:
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
};

int GroupCount(const std::string& pattern) {
  int n = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '\\') ++i;
    else if (pattern[i] == '[') {
      size_t j = i + 1;
      if (j < pattern.size() && pattern[j] == '^') ++j;
      if (j < pattern.size() && pattern[j] == ']') ++j;
      while (j < pattern.size() && pattern[j] != ']') j += pattern[j] == '\\' ? 2 : 1;
      i = j;
    } else if (pattern[i] == '(' && (i + 1 >= pattern.size() || pattern[i + 1] != '?')) ++n;
  }
  return n;
}

bool OurSteps(TPatternMatcher& m, const std::string& input, int groups, int max_steps, std::vector<Step>& out) {
  try {
    bool found = m.Exec(input);
    for (int i = 0; i < max_steps; ++i) {
      Step step;
      step.matched = found;
      if (found) {
        for (int g = 0; g <= groups; ++g)
          step.groups.push_back(m.MatchPos(g) < 0 ? std::string("-") : m.MatchText(g));
      }
      out.push_back(step);
      if (!found) return true;
      found = m.ExecNext();
    }
    return true;
  } catch (const EPatternMatcher&) {
    return false;
  }
}

TEST(Differential, AgreesWithPcre2OnGeneratedCases) {
  const char* seed_env = std::getenv("REGEX_DIFF_SEED");
  Generator gen(seed_env ? uint32_t(std::strtoul(seed_env, nullptr, 10)) : 20261208u);
  int compared = 0, skipped = 0, failures = 0;
  const int kPatterns = std::getenv("REGEX_DIFF_PATTERNS") ? std::atoi(std::getenv("REGEX_DIFF_PATTERNS")) : 6000, kInputs = 6, kSteps = 20;
  for (int i = 0; i < kPatterns && failures < 10; ++i) {
    std::string pattern = gen.Pattern();
    Pcre pcre(pattern);
    // The second matcher records given-up states from its first step, as
    // every matcher does once a search has run long.
    TPatternMatcher m, recording;
    recording.SetMemoThreshold(0);
    bool ours_ok = true;
    for (TPatternMatcher* engine : {&m, &recording}) {
      engine->SetExpression(pattern);
      // PCRE2 takes the middle of CR LF for a line boundary; the paired
      // separator has its own tests.
      if (pattern.find("(?m") != std::string::npos) engine->SetLinePairedSeparator("");
      try {
        engine->Exec("");
      } catch (const EPatternMatcher&) {
        ours_ok = false;
      }
    }
    if (!pcre.ok() || !ours_ok) {
      ++skipped;
      continue;
    }
    int groups = GroupCount(pattern);
    for (int k = 0; k < kInputs; ++k) {
      std::string input = gen.Input();
      std::vector<Step> theirs, ours, recorded;
      if (!pcre.Steps(input, kSteps, theirs) || !OurSteps(m, input, groups, kSteps, ours) ||
          !OurSteps(recording, input, groups, kSteps, recorded)) {
        ++skipped;
        continue;
      }
      ++compared;
      for (const std::vector<Step>* engine : {&ours, &recorded}) {
        bool same = theirs.size() == engine->size();
        for (size_t s = 0; same && s < engine->size(); ++s)
          same = theirs[s].matched == (*engine)[s].matched && theirs[s].groups == (*engine)[s].groups;
        if (!same) {
          ++failures;
          ADD_FAILURE() << "pattern /" << pattern << "/ input \"" << input << "\"" << (engine == &ours ? "" : " recording")
                        << "\n  pcre2: " << Describe(theirs) << "\n  ours:  " << Describe(*engine);
        }
      }
    }
  }
  std::printf("compared %d cases, skipped %d\n", compared, skipped);
  // The generator must exercise the engines, not skip its way through.
  EXPECT_GT(compared, kPatterns * kInputs / 2) << "skipped " << skipped;
}

}  // namespace
