// TPatternMatcher: the pattern, the modifiers and the input, and the errors
// raised to callers. Compiling is compiler.cpp, where attempts are made is
// searchaids.cpp, and an attempt is matcher.cpp.
#include "regex/patternmatcher.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "regex/errors.h"
#include "regex/matcher.h"

using namespace regex_engine;

struct TPatternMatcher::TImpl {
  TImpl() { ClearMatch(); }
  void ClearMatch() {
    std::fill(std::begin(start), std::end(start), -1);
    std::fill(std::begin(end), std::end(end), -1);
  }

  std::optional<TMatcher> matcher;  // none before the first compile and after a failed one
  // The input as it was given; it ends at its first NUL, which is found as
  // the searches go on: no NUL stands before `clean`, and `len` is the
  // length once known (-1 before).
  std::string input;
  bool has_input = false;
  int64_t clean = 0;
  int64_t len = -1;
  int64_t start[kGroups];
  int64_t end[kGroups];
};

TPatternMatcher::TPatternMatcher()
    : flags_(kR | kS | kG), step_budget_(kDefaultStepBudget), impl_(std::make_unique<TImpl>()) {}

TPatternMatcher::TPatternMatcher(const TPatternMatcher& other)
    : expression_(other.expression_),
      paired_(other.paired_),
      flags_(other.flags_),
      last_error_(other.last_error_),
      step_budget_(other.step_budget_),
      memo_threshold_(other.memo_threshold_),
      impl_(std::make_unique<TImpl>(*other.impl_)) {}

TPatternMatcher& TPatternMatcher::operator=(const TPatternMatcher& other) {
  if (this != &other) {
    expression_ = other.expression_;
    paired_ = other.paired_;
    flags_ = other.flags_;
    last_error_ = other.last_error_;
    step_budget_ = other.step_budget_;
    memo_threshold_ = other.memo_threshold_;
    *impl_ = *other.impl_;
  }
  return *this;
}

TPatternMatcher::~TPatternMatcher() = default;

std::string TPatternMatcher::ErrorText(int code) { return ErrorTextOf(code); }

void TPatternMatcher::Fail(int code, int pos) {
  last_error_ = code;
  std::string message = ErrorTextOf(code);
  if (code < kFirstRunError) {
    if (pos < 0) pos = 0;
    message += " (pos " + std::to_string(pos) + ")";
  } else {
    pos = 0;
  }
  throw EPatternMatcher(code, pos, message);
}

void TPatternMatcher::SetExpression(const std::string& expression) {
  // The pattern, like the input, ends at its first NUL byte.
  std::string text = expression.substr(0, std::strlen(expression.c_str()));
  if (text != expression_) impl_->matcher.reset();
  expression_ = std::move(text);
}

void TPatternMatcher::SetLinePairedSeparator(const std::string& separator) {
  if (!(separator.empty() || (separator.size() == 2 && separator[0] != separator[1])))
    Fail(kErrBadPairedSeparator, 0);
  if (separator != paired_) {
    paired_ = separator;
    impl_->matcher.reset();
  }
}

void TPatternMatcher::SetModifier(char letter, bool on) {
  unsigned bit = ModifierBit(letter);
  if (!bit) Fail(kErrUnknownModifier, 0);
  if (on) flags_ |= bit; else flags_ &= ~bit;
}

bool TPatternMatcher::Modifier(char letter) const { return flags_ & ModifierBit(letter); }

void TPatternMatcher::SetStepBudget(long long steps) {
  step_budget_ = std::max(0LL, steps);
  if (impl_->matcher) impl_->matcher->SetStepBudget(step_budget_);
}

void TPatternMatcher::SetMemoThreshold(long long steps) {
  memo_threshold_ = steps < 0 ? -1 : steps;
  if (impl_->matcher) impl_->matcher->SetMemoThreshold(memo_threshold_);
}

long long TPatternMatcher::StepCount() const { return impl_->matcher ? impl_->matcher->Steps() : 0; }

// Compiles when there is no program or it was made with other modifiers.
void TPatternMatcher::Prepare() {
  std::optional<TMatcher>& matcher = impl_->matcher;
  if (matcher && matcher->Flags() == flags_) return;
  matcher.reset();
  if (expression_.empty()) Fail(kErrNoExpression);
  try {
    matcher.emplace(expression_, flags_, paired_);
    matcher->SetStepBudget(step_budget_);
    matcher->SetMemoThreshold(memo_threshold_);
  } catch (const EngineError& e) {
    Fail(e.code, e.pos);
  }
}

bool TPatternMatcher::Exec(const std::string& input) {
  impl_->input = input;
  return Start(1);
}

bool TPatternMatcher::Exec(std::string&& input) { return Exec(std::move(input), 1); }

bool TPatternMatcher::Exec(std::string&& input, std::ptrdiff_t offset) {
  impl_->input = std::move(input);
  input.clear();
  return Start(offset);
}

bool TPatternMatcher::Start(std::ptrdiff_t offset) {
  TImpl& s = *impl_;
  s.has_input = true;
  s.clean = 0;
  s.len = -1;
  s.ClearMatch();
  if (s.matcher) s.matcher->NewInput();
  // A compile error leaves the input in place for a later ExecPos.
  Prepare();
  return Search(offset);
}

// Whether a search may begin at from, which is so up to the input's end.
bool TPatternMatcher::Reaches(std::ptrdiff_t from) {
  TImpl& s = *impl_;
  if (s.len >= 0) return from <= s.len;
  if (from <= s.clean) return true;
  const char* bytes = s.input.data();
  const int64_t size = int64_t(s.input.size());
  const int64_t upto = std::min<int64_t>(from, size);
  const void* nul = std::memchr(bytes + s.clean, 0, size_t(upto - s.clean));
  if (nul || from > size) {
    s.len = nul ? static_cast<const char*>(nul) - bytes : size;
    s.clean = s.len;
    return from <= s.len;
  }
  s.clean = from;
  return true;
}

bool TPatternMatcher::ExecNext() {
  const TImpl& s = *impl_;
  if (!s.has_input || s.start[0] < 0 || s.end[0] < 0) Fail(kErrExecNextWithoutExec);
  std::ptrdiff_t offset = s.end[0] + 1;
  if (s.end[0] == s.start[0]) ++offset;
  Prepare();
  return Search(offset);
}

bool TPatternMatcher::ExecPos(std::ptrdiff_t offset) {
  if (!impl_->has_input) Fail(kErrNoInput);
  Prepare();
  return Search(offset);
}

bool TPatternMatcher::Search(std::ptrdiff_t offset) {
  TImpl& s = *impl_;
  if (!s.has_input) Fail(kErrNoInput);
  if (offset < 1) Fail(kErrBadOffset);
  s.ClearMatch();
  if (!Reaches(offset - 1)) return false;
  try {
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.input.data());
    if (!s.matcher->Search(bytes, int64_t(s.input.size()), offset - 1, s.start, s.end)) return false;
  } catch (const EngineError& e) {
    Fail(e.code, e.pos);
  }
  // The search found no NUL up to the match's start, and a match holds none.
  s.clean = std::max(s.clean, s.end[0]);
  return true;
}

std::string TPatternMatcher::MatchText(int n) const {
  const TImpl& s = *impl_;
  if (n < 0 || n >= kGroups || !s.has_input) return std::string();
  int64_t b = s.start[n], e = s.end[n];
  if (b < 0 || e < 0 || e < b) return std::string();
  return std::string(reinterpret_cast<const char*>(s.input.data()) + b, size_t(e - b));
}

std::ptrdiff_t TPatternMatcher::MatchPos(int n) const {
  const TImpl& s = *impl_;
  if (n < 0 || n >= kGroups || !s.has_input || s.start[n] < 0 || s.end[n] < 0) return -1;
  return s.start[n] + 1;
}

std::ptrdiff_t TPatternMatcher::MatchLen(int n) const {
  const TImpl& s = *impl_;
  if (n < 0 || n >= kGroups || !s.has_input || s.start[n] < 0 || s.end[n] < s.start[n]) return -1;
  return s.end[n] - s.start[n];
}
