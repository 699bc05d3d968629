#pragma once
#include <cstddef>
#include <exception>
#include <memory>
#include <string>

// Raised by every failure of the engine. Compile errors carry the parser offset
// in ErrorPos and in the message; run-time errors have ErrorPos 0.
class EPatternMatcher : public std::exception {
 public:
  EPatternMatcher(int id, int pos, std::string message)
      : ErrorId(id), ErrorPos(pos), message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

  int ErrorId;
  int ErrorPos;

 private:
  std::string message_;
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
  bool Exec(const std::string& input);
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

  // Code of the last error raised by this object, 0 when none.
  int LastError() const { return last_error_; }
  static std::string ErrorText(int code);

  static constexpr int kGroups = 15;  // group 0 plus 14 capturing groups

 private:
  // The compiled program, the input, the match record and the matcher's state.
  struct TImpl;

  [[noreturn]] void Fail(int code, int pos = -1);
  void Prepare();
  bool Search(std::ptrdiff_t offset);

  std::string expression_;
  std::string paired_ = "\r\n";
  unsigned flags_;
  int last_error_ = 0;
  std::unique_ptr<TImpl> impl_;
};
