#pragma once
#include <cstddef>
#include <exception>
#include <memory>
#include <string>

#include "base/errors.h"

// Raised by every failure of the engine. Compile errors carry the parser offset
// in ErrorPos and in the message; run-time errors have ErrorPos 0.
class EPatternMatcher : public EMessageException {
 public:
  EPatternMatcher(int id, int pos, std::string message)
      : EMessageException(std::move(message)), ErrorId(id), ErrorPos(pos) {}

  int ErrorId;
  int ErrorPos;
};

// A backtracking regular-expression engine over byte strings (GBK text is
// matched byte by byte). The pattern is compiled at the first Exec after it,
// the modifiers or the paired line separator changed, and reused afterwards.
class TPatternMatcher {
 public:
  TPatternMatcher();
  TPatternMatcher(const TPatternMatcher& other);
  TPatternMatcher& operator=(const TPatternMatcher& other);
  ~TPatternMatcher();

  void SetExpression(const std::string& expression);
  const std::string& Expression() const { return expression_; }

  // Searches the input from its first byte; true when a match was found.
  // The input ends at its first NUL. The matcher keeps a copy of it.
  bool Exec(const std::string& input);
  // The same, taking the input over instead of copying it (input is left
  // empty): for callers that are done with their text.
  bool Exec(std::string&& input);
  // Takes the input over and searches it from a 1-based byte offset, as
  // ExecPos: a part of a text is searched where it stands, uncut.
  bool Exec(std::string&& input, std::ptrdiff_t offset);
  // Searches the same input again from where the last match ended (one byte
  // further on after an empty match).
  bool ExecNext();
  // Searches the last input from a 1-based byte offset.
  bool ExecPos(std::ptrdiff_t offset);

  // Bytes of group n (0 is the whole match) of the last match; empty when unset.
  std::string MatchText(int n) const;
  // 1-based position and length of group n, -1 when unset.
  std::ptrdiff_t MatchPos(int n) const;
  std::ptrdiff_t MatchLen(int n) const;

  // Empty, or two different bytes that together count as one line break.
  void SetLinePairedSeparator(const std::string& separator);
  const std::string& LinePairedSeparator() const { return paired_; }

  // The modifiers i, r, s, g, m and x (either case).
  void SetModifier(char letter, bool on);
  bool Modifier(char letter) const;

  // A search of a pattern with back-references that takes more steps than
  // this ends with error 1017; other patterns need no budget, since the work
  // of their searches is bounded by the pattern's size times the input's.
  void SetStepBudget(long long steps);
  long long StepBudget() const { return step_budget_; }
  // Steps the last search took (nodes of the pattern entered, taken-back
  // choices resumed included): the measure of its work.
  long long StepCount() const;
  // Steps the searches of one input take before the states they give up are
  // recorded; -1 (the default) for 4096 plus one per byte of the input.
  void SetMemoThreshold(long long steps);

  // Code of the last error raised by this object, 0 when none.
  int LastError() const { return last_error_; }
  static std::string ErrorText(int code);

  static constexpr int kGroups = 15;  // group 0 plus 14 capturing groups

 private:
  // The compiled program, the input, the match record and the matcher's state.
  struct TImpl;

  [[noreturn]] void Fail(int code, int pos = -1);
  void Prepare();
  bool Start(std::ptrdiff_t offset);
  bool Reaches(std::ptrdiff_t from);
  bool Search(std::ptrdiff_t offset);

  std::string expression_;
  std::string paired_ = "\r\n";
  unsigned flags_;
  int last_error_ = 0;
  long long step_budget_;
  long long memo_threshold_ = -1;
  std::unique_ptr<TImpl> impl_;
};
