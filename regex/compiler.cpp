// Pattern to program. Two passes over the pattern: the first only adds up the
// size of the program, the second writes the nodes into a buffer of exactly
// that size.
#include "regex/compiler.h"

#include <cstring>

#include "regex/classparser.h"
#include "regex/errors.h"
#include "regex/program.h"

namespace regex_engine {

namespace {

// Piece flags of the parser.
// kBackRef marks an operand that holds a back-reference and so may match
// empty at run time although it has width at compile time.
constexpr int kHasWidth = 1, kSimple = 2, kBackRef = 8;

constexpr const char* kMeta = "^$.[()|?+*\\{";

// Two passes over the pattern: the first only adds up the program size, the
// second writes the nodes into a buffer of exactly that size.
class Compiler {
 public:
  Compiler(const std::string& pattern, unsigned flags) : pattern_(pattern), initial_flags_(flags) {}

  std::vector<uint8_t> Run() {
    Pass(true);
    size_t size = size_;
    if (size > size_t(INT32_MAX / 2)) throw EngineError{kErrTooBig, 0};
    code_.assign(size, 0);
    Pass(false);
    if (at_ != size) throw EngineError{kErrInternal, Offset()};
    return std::move(code_);
  }

 private:
  void Pass(bool sizing) {
    sizing_ = sizing;
    size_ = 0;
    at_ = 0;
    p_ = pattern_.c_str();
    npar_ = 1;
    flags_ = initial_flags_;
    Byte(kMagic);
    int flags;
    Reg(false, flags);
  }

  int Offset() const { return int(p_ - pattern_.c_str()); }
  [[noreturn]] void Error(ErrorCode code) { throw EngineError{code, Offset()}; }

  // --- emitting ---
  int32_t NodeAt(uint8_t op) {
    if (sizing_) {
      size_ += kHeader;
      return 0;
    }
    int32_t r = int32_t(at_);
    Check(kHeader);
    WriteHeader(code_.data(), r, op);
    at_ += kHeader;
    return r;
  }
  void Byte(uint8_t b) {
    if (sizing_) {
      ++size_;
      return;
    }
    Check(1);
    code_[at_++] = b;
  }
  void Int(int32_t v) {
    if (sizing_) {
      size_ += 4;
      return;
    }
    Check(4);
    WriteInt(&code_[at_], v);
    at_ += 4;
  }
  void Check(size_t n) {
    if (at_ + n > code_.size()) throw EngineError{kErrInternal, Offset()};
  }
  // Puts a node (with extra operand bytes, left for the caller) in front of the
  // node at opnd; the moved code keeps its relative links.
  void Insert(uint8_t op, int32_t opnd, int32_t extra) {
    if (sizing_) {
      size_ += kHeader + extra;
      return;
    }
    size_t n = size_t(kHeader + extra);
    Check(n);
    std::memmove(&code_[opnd + n], &code_[opnd], at_ - size_t(opnd));
    at_ += n;
    WriteHeader(code_.data(), opnd, op);
  }
  // A branch node, its table slot empty.
  int32_t BranchNode() {
    int32_t r = NodeAt(OpBranch);
    Int(-1);
    return r;
  }
  void InsertBranch(int32_t opnd) {
    Insert(OpBranch, opnd, kPlanSlotSize);
    if (!sizing_) WriteBranchTable(code_.data(), opnd, -1);
  }
  int32_t NextOf(int32_t node) const {
    return ProgramView(code_.data()).Next(node);
  }
  void SetNext(int32_t node, int32_t target) { LinkNext(code_.data(), node, target); }
  // Links the last node of the chain starting at p to val.
  void Tail(int32_t p, int32_t val) {
    if (sizing_) return;
    int32_t scan = p;
    for (;;) {
      int32_t next = NextOf(scan);
      if (next < 0) break;
      scan = next;
    }
    SetNext(scan, val);
  }
  // Tail of the alternative held by a branch node.
  void OpTail(int32_t p, int32_t val) {
    if (sizing_) return;
    ProgramView program(code_.data());
    if (program.Kind(p) != OpBranch) return;
    Tail(program.BranchBody(p), val);
  }

  // --- parsing ---
  void SkipExtended() { p_ = SkipExtendedFrom(p_); }
  // Past blanks and comments from q on, with x.
  const char* SkipExtendedFrom(const char* q) const {
    if (!(flags_ & kX)) return q;
    for (;;) {
      char c = *q;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++q;
      } else if (c == '#') {
        while (*q && *q != '\n' && *q != '\r') ++q;
      } else {
        return q;
      }
    }
  }

  // A brace quantifier "{n}", "{n,}" or "{n,m}" at q; sets end past the "}".
  static bool BraceAt(const char* q, const char** end) {
    if (*q != '{') return false;
    ++q;
    if (!(*q >= '0' && *q <= '9')) return false;
    while (*q >= '0' && *q <= '9') ++q;
    if (*q == ',') {
      ++q;
      while (*q >= '0' && *q <= '9') ++q;
    }
    if (*q != '}') return false;
    *end = q + 1;
    return true;
  }
  static bool QuantifierAt(const char* q) {
    const char* e;
    return *q == '*' || *q == '+' || *q == '?' || BraceAt(q, &e);
  }
  int64_t ReadBraceNumber() {
    int digits = 0;
    int64_t v = 0;
    while (*p_ >= '0' && *p_ <= '9') {
      if (++digits > 8) Error(kErrBraceTooBig);
      v = v * 10 + (*p_ - '0');
      ++p_;
    }
    return v;
  }

  int32_t Reg(bool paren, int& flagp) {
    flagp = kHasWidth;
    unsigned saved = flags_;
    int parno = 0;
    int32_t ret = -1;
    if (paren) {
      if (npar_ > kMaxGroupNo) Error(kErrTooManyGroups);
      parno = npar_++;
      ret = NodeAt(uint8_t(OpOpen + parno));
    }
    int flags;
    int32_t br = Branch(flags);
    if (ret >= 0) Tail(ret, br); else ret = br;
    if (!(flags & kHasWidth)) flagp &= ~kHasWidth;
    flagp |= flags & kBackRef;
    // Links each alternative to the previous one directly, so that a long
    // alternation compiles in linear time.
    int32_t last = br;
    while (*p_ == '|') {
      ++p_;
      br = Branch(flags);
      Tail(last, br);
      last = br;
      if (!(flags & kHasWidth)) flagp &= ~kHasWidth;
      flagp |= flags & kBackRef;
    }
    int32_t ender = NodeAt(paren ? uint8_t(OpClose + parno) : uint8_t(OpEnd));
    Tail(last, ender);
    if (!sizing_)
      for (int32_t b = ret; b >= 0; b = NextOf(b)) OpTail(b, ender);
    if (paren) {
      if (*p_ != ')') Error(kErrUnmatchedOpen);
      ++p_;
    } else if (*p_ != '\0') {
      if (*p_ == ')') Error(kErrUnmatchedClose);
      Error(kErrJunkOnEnd);
    }
    flags_ = saved;  // modifiers set inside the group end with it
    return ret;
  }

  int32_t Branch(int& flagp) {
    flagp = 0;
    int32_t ret = BranchNode();
    int32_t chain = -1;
    bool first = true;
    SkipExtended();
    while (*p_ != '\0' && *p_ != '|' && *p_ != ')') {
      int flags;
      int32_t latest = Piece(flags);
      flagp |= flags & (kHasWidth | kBackRef);
      if (!first) Tail(chain, latest);
      chain = latest;
      first = false;
      SkipExtended();
    }
    if (first) NodeAt(OpEmpty);
    return ret;
  }

  int32_t Piece(int& flagp) {
    int flags;
    int32_t ret = Atom(flags);
    SkipExtended();
    char op = *p_;
    const char* brace_end = nullptr;
    bool brace = op == '{' && BraceAt(p_, &brace_end);
    if (op != '*' && op != '+' && op != '?' && !brace) {
      flagp = flags;
      return ret;
    }
    int64_t min = 0, max = kInfinite;
    if (op == '+') min = 1;
    if (op == '?') max = 1;
    if (brace) {
      ++p_;
      min = ReadBraceNumber();
      if (*p_ == ',') {
        ++p_;
        max = (*p_ == '}') ? kInfinite : ReadBraceNumber();
      } else {
        max = min;
      }
      ++p_;  // the "}"
      if (min > max) Error(kErrBraceMinAboveMax);
    } else {
      ++p_;
    }
    if (!(flags & kHasWidth) && op != '?') Error(kErrEmptyOperand);
    SkipExtended();
    bool lazy = false;
    if (*p_ == '?') {
      lazy = true;
      ++p_;
    }
    if (!(flags_ & kG)) lazy = true;

    flagp = (op == '+' || (brace && min > 0)) ? kHasWidth : 0;
    flagp |= flags & kBackRef;
    // A branch loop cannot tell a pass that matched empty; operands that may
    // do so at run time get the counted loop, which ends on such a pass.
    bool may_be_empty = flags & kBackRef;

    bool simple = flags & kSimple;
    if (op == '?' && !lazy) {
      // x? is a branch between x and empty
      InsertBranch(ret);
      int32_t b2 = BranchNode();
      Tail(ret, b2);
      int32_t empty = NodeAt(OpEmpty);
      Tail(ret, empty);
      OpTail(ret, empty);
    } else if (simple) {
      uint8_t code;
      if (op == '*' && !brace) code = lazy ? OpStarLazy : OpStar;
      else if (op == '+') code = lazy ? OpPlusLazy : OpPlus;
      else code = lazy ? OpBracesLazy : OpBraces;
      Insert(code, ret, RepeatPrefix(code));
      if (!sizing_) {
        if (HasBounds(code)) WriteBounds(code_.data(), ret, int32_t(min), int32_t(max));
        WriteRepeatPlan(code_.data(), ret, -1);
      }
    } else if (op == '*' && !lazy && !may_be_empty) {
      // x* is a branch between (x, back to the branch) and empty
      InsertBranch(ret);
      OpTail(ret, NodeAt(OpBack));
      OpTail(ret, ret);
      Tail(ret, BranchNode());
      Tail(ret, NodeAt(OpEmpty));
    } else if (op == '+' && !lazy && !may_be_empty) {
      // x+ is x followed by a branch between going back and empty
      int32_t next = BranchNode();
      Tail(ret, next);
      Tail(NodeAt(OpBack), ret);
      Tail(next, BranchNode());
      Tail(ret, NodeAt(OpEmpty));
    } else {
      // counted loop around a complex operand
      Insert(OpLoopEntry, ret, 0);
      int32_t loop = NodeAt(lazy ? OpLoopLazy : OpLoop);
      for (int32_t k = 0; k < kLoopOperandSize; k += 4) Int(0);
      if (!sizing_) {
        int32_t body = ret + kHeader;  // the operand follows the entry node
        Tail(body, loop);
        SetNext(ret, loop);
        WriteBounds(code_.data(), loop, int32_t(min), int32_t(max));
        WriteLoopBody(code_.data(), loop, body);
      }
    }
    SkipExtended();
    if (QuantifierAt(p_)) Error(kErrNestedQuantifier);
    return ret;
  }

  void EmitSet(ByteTable members, bool negated) {
    members[0] = false;
    size_t count = 0;
    for (bool in : members) count += in;
    if (count >= 1 && count <= 3) {
      NodeAt(negated ? OpNotTinySet : OpTinySet);
      uint8_t bytes[3];
      size_t k = 0;
      for (int c = 1; c < 256; ++c)
        if (members[size_t(c)]) bytes[k++] = uint8_t(c);
      while (k < 3) {
        bytes[k] = bytes[k - 1];
        ++k;
      }
      for (uint8_t b : bytes) Byte(b);
      return;
    }
    if (negated)
      for (bool& in : members) in = !in;
    members[0] = false;
    NodeAt(OpFullSet);
    for (int i = 0; i < 32; ++i) {
      uint8_t b = 0;
      for (int j = 0; j < 8; ++j)
        if (members[size_t(i * 8 + j)]) b |= uint8_t(1 << j);
      Byte(b);
    }
  }

  void EmitLiteralByte(uint8_t b) {
    if (b == 0) {
      // The input ends at its first NUL, so a NUL byte never matches.
      EmitSet(ByteTable{}, false);
      return;
    }
    NodeAt((flags_ & kI) ? OpLiteralCI : OpLiteral);
    Byte(b);
    Byte(0);
  }

  void Class(int& flagp) {
    PatternReader reader{pattern_.c_str(), p_, flags_};
    bool negated = false;
    ByteTable set = reader.Class(negated);
    p_ = reader.p;
    EmitSet(set, negated);
    flagp = kHasWidth | kSimple;
  }
  bool ByteEscape(char e, uint8_t& out) {
    PatternReader reader{pattern_.c_str(), p_, flags_};
    bool escape = reader.ByteEscape(e, out);
    p_ = reader.p;
    return escape;
  }

  void ModifierGroup() {
    // p_ is past "(?"
    if (*p_ == '#') {
      const char* close = std::strchr(p_, ')');
      if (!close) Error(kErrUnclosedComment);
      p_ = close + 1;
      NodeAt(OpComment);
      return;
    }
    bool on = true;
    for (;;) {
      char c = *p_;
      if (c == ')') {
        ++p_;
        break;
      }
      if (c == '-') {
        on = false;
        ++p_;
        continue;
      }
      unsigned bit = ModifierBit(c);
      if (!bit) Error(kErrUnknownModifier);
      if (on) flags_ |= bit; else flags_ &= ~bit;
      ++p_;
    }
    NodeAt(OpComment);
  }

  int32_t Atom(int& flagp) {
    flagp = 0;
    int32_t ret = sizing_ ? 0 : int32_t(at_);
    char c = *p_++;
    switch (c) {
      case '^':
        NodeAt((flags_ & kM) ? OpLineStart : OpInputStart);
        break;
      case '$':
        NodeAt((flags_ & kM) ? OpLineEnd : OpInputEnd);
        break;
      case '.':
        NodeAt((flags_ & kS) ? OpAnyChar : OpAnyButLineSep);
        flagp = kHasWidth | kSimple;
        break;
      case '[':
        Class(flagp);
        break;
      case '(':
        if (*p_ == '?') {
          ++p_;
          ModifierGroup();
        } else {
          int flags;
          ret = Reg(true, flags);
          flagp = flags & (kHasWidth | kBackRef);
        }
        break;
      case '\0':
      case '|':
      case ')':
        --p_;
        Error(kErrInternal);
      case '?':
      case '+':
      case '*':
        --p_;
        Error(kErrNothingToRepeat);
      case '\\': {
        char e = *p_;
        if (e == '\0') Error(kErrTrailingBackslash);
        ++p_;
        const ByteClasses& sets = Classes();
        uint8_t b;
        switch (e) {
          case 'd': NodeAt(OpDigit); flagp = kHasWidth | kSimple; break;
          case 'D': NodeAt(OpNotDigit); flagp = kHasWidth | kSimple; break;
          case 's': EmitSet(sets.space, false); flagp = kHasWidth | kSimple; break;
          case 'S': EmitSet(sets.space, true); flagp = kHasWidth | kSimple; break;
          case 'w': EmitSet(sets.word, false); flagp = kHasWidth | kSimple; break;
          case 'W': EmitSet(sets.word, true); flagp = kHasWidth | kSimple; break;
          case 'b': NodeAt(OpWordBoundary); break;
          case 'B': NodeAt(OpNotWordBoundary); break;
          case 'A': NodeAt(OpInputStart); break;
          case 'Z': NodeAt(OpInputEnd); break;
          default:
            if (e >= '1' && e <= '9') {
              NodeAt((flags_ & kI) ? OpBackRefCI : OpBackRef);
              Byte(uint8_t(e - '0'));
              flagp = kHasWidth | kSimple | kBackRef;
            } else {
              if (!ByteEscape(e, b)) b = uint8_t(e);
              EmitLiteralByte(b);
              flagp = kHasWidth | kSimple;
            }
        }
        break;
      }
      default: {
        // A run of literal bytes; when a quantifier follows, its last byte
        // becomes a node of its own so that the quantifier applies to it alone.
        --p_;
        std::string run;
        std::vector<const char*> where;
        const char* q = p_;
        for (;;) {
          if (!run.empty()) q = SkipExtendedFrom(q);
          char ch = *q;
          if (ch == '\0') break;
          if (std::strchr(kMeta, ch) && !(run.empty() && ch == '{')) break;
          where.push_back(q);
          run.push_back(ch);
          ++q;
        }
        const char* after = SkipExtendedFrom(q);
        char nx = *after;
        if (run.size() > 1 && (nx == '*' || nx == '+' || nx == '?' || nx == '{')) {
          run.pop_back();
          q = where.back();
        }
        p_ = q;
        NodeAt((flags_ & kI) ? OpLiteralCI : OpLiteral);
        for (char ch : run) Byte(uint8_t(ch));
        Byte(0);
        flagp = kHasWidth | (run.size() == 1 ? kSimple : 0);
        break;
      }
    }
    return ret;
  }

  const std::string& pattern_;
  unsigned initial_flags_;
  bool sizing_ = true;
  size_t size_ = 0;
  size_t at_ = 0;
  std::vector<uint8_t> code_;
  const char* p_ = nullptr;
  int npar_ = 1;
  unsigned flags_ = 0;
};

}  // namespace

std::vector<uint8_t> CompileProgram(const std::string& pattern, unsigned flags) {
  return Compiler(pattern, flags).Run();
}

}  // namespace regex_engine
