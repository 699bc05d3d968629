#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <unordered_map>
#include <vector>

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
  struct Frame {
    uint32_t kind;  // low 4 bits the kind, above them the previous choice index + 1
    int32_t node;
    int64_t a;
    int64_t b;
  };

  [[noreturn]] void Fail(int code, int pos = -1);
  void Compile();
  void Prepare();
  bool Search(std::ptrdiff_t offset);
  bool Attempt(int64_t start);
  bool Backtrack(int32_t& node, int64_t& pos);
  void PushChoice(uint32_t kind, int32_t node, int64_t a, int64_t b);
  void SetVar(int v, int64_t value);
  bool MatchOne(int32_t node, int64_t pos) const;
  int64_t CountSimple(int32_t node, int64_t pos, int64_t max) const;
  int64_t SimpleLen(int32_t node) const;
  bool FollowOk(int32_t next, int64_t pos, int depth = 0) const;
  int32_t ViableBranch(int32_t alt, int64_t pos) const;
  int32_t SkipMarks(int32_t next) const;
  int32_t FollowNode(int32_t next) const;
  const std::bitset<256>* ByteSet(int32_t node) const;
  int64_t LazyCount(int32_t simple, int32_t next, int64_t start, int64_t count, int64_t max, int64_t l) const;
  int32_t Next(int32_t node) const;
  bool LineStartAt(int64_t pos) const;
  bool LineEndAt(int64_t pos) const;
  bool IsWordAt(int64_t pos) const;

  std::string expression_;
  std::string paired_ = "\r\n";
  unsigned flags_;
  int last_error_ = 0;

  // Compiled program and the search aids computed with it.
  std::vector<uint8_t> program_;
  unsigned compiled_flags_ = 0;
  bool compiled_ = false;
  std::bitset<256> first_set_;
  int first_byte_ = -1;
  std::string lead_;  // the leading literal
  bool anchored_ = false;
  std::string must_;
  // Tables of the single-byte nodes, made when first needed.
  mutable std::unordered_map<int32_t, std::bitset<256>> byte_sets_;

  // Input and match record.
  std::string input_;
  bool has_input_ = false;
  const uint8_t* in_ = nullptr;
  int64_t len_ = 0;
  int64_t start_[kGroups];
  int64_t end_[kGroups];

  // Matcher state: captures, the loop counters and the backtracking stack.
  std::vector<int64_t> vars_;
  std::vector<int32_t> last_undo_;
  std::vector<Frame> stack_;
  int32_t cp_top_ = -1;
};
