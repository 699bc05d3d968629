#include "regex/patternmatcher.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

enum Op : uint8_t {
  OpEnd = 0,
  OpInputStart = 1,
  OpInputEnd = 2,
  OpAnyChar = 3,
  OpBranch = 6,
  OpBack = 7,
  OpLiteral = 8,
  OpEmpty = 9,
  OpStar = 10,
  OpPlus = 11,
  OpDigit = 12,
  OpNotDigit = 13,
  OpBraces = 18,
  OpComment = 19,
  OpLiteralCI = 20,
  OpLoopEntry = 23,
  OpLoop = 24,
  OpTinySet = 25,
  OpNotTinySet = 26,
  OpFullSet = 27,
  OpBackRef = 28,
  OpBackRefCI = 29,
  OpStarLazy = 30,
  OpPlusLazy = 31,
  OpBracesLazy = 32,
  OpLoopLazy = 33,
  OpLineStart = 34,
  OpLineEnd = 35,
  OpAnyButLineSep = 36,
  OpWordBoundary = 37,
  OpNotWordBoundary = 38,
  OpOpen = 39,   // OpOpen + n for group n (1 to 14): 40 to 53
  OpClose = 54,  // OpClose + n: 55 to 68
};

constexpr uint8_t kMagic = 0xD8;
constexpr int32_t kHeader = 5;  // opcode and next offset
constexpr int32_t kInfinite = 2147483646;
constexpr int kLoopDepth = 10;
constexpr int kMaxGroupNo = 14;

// Modifier bits.
constexpr unsigned kI = 1, kR = 2, kS = 4, kG = 8, kM = 16, kX = 32;

// Piece flags of the parser.
// kBackRef marks an operand that holds a back-reference and so may match
// empty at run time although it has width at compile time.
constexpr int kHasWidth = 1, kSimple = 2, kBackRef = 8;

constexpr const char* kSpaces = " \t\n\r\f";
constexpr const char* kWords = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
constexpr const char* kLineSeps = "\r\n";
constexpr const char* kMeta = "^$.[()|?+*\\{";

// The backtracking stack is bounded so that a runaway pattern ends in an
// error instead of exhausting memory (about 200 MB of frames).
constexpr size_t kMaxFrames = size_t(8) << 20;

// Variables the matcher restores on backtracking: group starts, group ends,
// the loop stack index, the loop counters and where each loop pass began.
constexpr int kVarStart = 0;
constexpr int kVarEnd = kVarStart + TPatternMatcher::kGroups;
constexpr int kVarLoopIdx = kVarEnd + TPatternMatcher::kGroups;
constexpr int kVarCount = kVarLoopIdx + 1;  // + level (1 to 10)
constexpr int kVarIter = kVarCount + kLoopDepth;
constexpr int kVarTotal = kVarIter + kLoopDepth + 1;

enum FrameKind : uint32_t { FUndo, FBranch, FStar, FStarLazy, FLoopExit, FLoopMore };

// Code page 936 keeps a second case only for the ASCII letters.
inline uint8_t InvertCase(uint8_t c) {
  if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
  if (c >= 'A' && c <= 'Z') return uint8_t(c + 32);
  return c;
}

struct ByteSets {
  std::bitset<256> space, word, linesep;
  ByteSets() {
    for (const char* p = kSpaces; *p; ++p) space.set(uint8_t(*p));
    for (const char* p = kWords; *p; ++p) word.set(uint8_t(*p));
    for (const char* p = kLineSeps; *p; ++p) linesep.set(uint8_t(*p));
  }
};
const ByteSets& Sets() {
  static const ByteSets sets;
  return sets;
}

inline int32_t ReadInt(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void WriteInt(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }

unsigned ModifierBit(char letter) {
  switch (letter) {
    case 'i': case 'I': return kI;
    case 'r': case 'R': return kR;
    case 's': case 'S': return kS;
    case 'g': case 'G': return kG;
    case 'm': case 'M': return kM;
    case 'x': case 'X': return kX;
    default: return 0;
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct CompileError {
  int code;
  int pos;
};

// Two passes over the pattern: the first only adds up the program size, the
// second writes the nodes into a buffer of exactly that size.
class Compiler {
 public:
  Compiler(const std::string& pattern, unsigned flags) : pattern_(pattern), initial_flags_(flags) {}

  std::vector<uint8_t> Run() {
    Pass(true);
    size_t size = size_;
    if (size > size_t(INT32_MAX / 2)) throw CompileError{101, 0};
    code_.assign(size, 0);
    Pass(false);
    if (at_ != size) throw CompileError{114, Offset()};
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
  [[noreturn]] void Error(int code) { throw CompileError{code, Offset()}; }

  // --- emitting ---
  int32_t NodeAt(uint8_t op) {
    if (sizing_) {
      size_ += kHeader;
      return 0;
    }
    int32_t r = int32_t(at_);
    Check(kHeader);
    code_[at_] = op;
    WriteInt(&code_[at_ + 1], 0);
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
    if (at_ + n > code_.size()) throw CompileError{114, Offset()};
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
    code_[opnd] = op;
    WriteInt(&code_[opnd + 1], 0);
  }
  int32_t NextOf(int32_t node) const {
    int32_t off = ReadInt(&code_[node + 1]);
    return off == 0 ? -1 : node + off;
  }
  void SetNext(int32_t node, int32_t target) { WriteInt(&code_[node + 1], target - node); }
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
    if (code_[p] != OpBranch) return;
    Tail(p + kHeader, val);
  }

  // --- parsing ---
  void SkipExtended() {
    if (!(flags_ & kX)) return;
    for (;;) {
      char c = *p_;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++p_;
      } else if (c == '#') {
        while (*p_ && *p_ != '\n' && *p_ != '\r') ++p_;
      } else {
        return;
      }
    }
  }
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
      if (++digits > 8) Error(122);
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
      if (npar_ > kMaxGroupNo) Error(102);
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
      if (*p_ != ')') Error(103);
      ++p_;
    } else if (*p_ != '\0') {
      if (*p_ == ')') Error(104);
      Error(105);
    }
    flags_ = saved;  // modifiers set inside the group end with it
    return ret;
  }

  int32_t Branch(int& flagp) {
    flagp = 0;
    int32_t ret = NodeAt(OpBranch);
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
      if (min > max) Error(124);
    } else {
      ++p_;
    }
    if (!(flags & kHasWidth) && op != '?') Error(106);
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
      Insert(OpBranch, ret, 0);
      int32_t b2 = NodeAt(OpBranch);
      Tail(ret, b2);
      int32_t empty = NodeAt(OpEmpty);
      Tail(ret, empty);
      OpTail(ret, empty);
    } else if (simple) {
      uint8_t code;
      if (op == '*' && !brace) code = lazy ? OpStarLazy : OpStar;
      else if (op == '+') code = lazy ? OpPlusLazy : OpPlus;
      else code = lazy ? OpBracesLazy : OpBraces;
      if (code == OpBraces || code == OpBracesLazy) {
        Insert(code, ret, 8);
        if (!sizing_) {
          WriteInt(&code_[ret + kHeader], int32_t(min));
          WriteInt(&code_[ret + kHeader + 4], int32_t(max));
        }
      } else {
        Insert(code, ret, 0);
      }
    } else if (op == '*' && !lazy && !may_be_empty) {
      // x* is a branch between (x, back to the branch) and empty
      Insert(OpBranch, ret, 0);
      OpTail(ret, NodeAt(OpBack));
      OpTail(ret, ret);
      Tail(ret, NodeAt(OpBranch));
      Tail(ret, NodeAt(OpEmpty));
    } else if (op == '+' && !lazy && !may_be_empty) {
      // x+ is x followed by a branch between going back and empty
      int32_t next = NodeAt(OpBranch);
      Tail(ret, next);
      Tail(NodeAt(OpBack), ret);
      Tail(next, NodeAt(OpBranch));
      Tail(ret, NodeAt(OpEmpty));
    } else {
      // counted loop around a complex operand
      Insert(OpLoopEntry, ret, 0);
      int32_t loop = NodeAt(lazy ? OpLoopLazy : OpLoop);
      Int(int32_t(min));
      Int(int32_t(max));
      Int(0);
      if (!sizing_) {
        int32_t body = ret + kHeader;
        Tail(body, loop);
        SetNext(ret, loop);
        WriteInt(&code_[loop + kHeader + 8], body - loop);
      }
    }
    SkipExtended();
    if (QuantifierAt(p_)) Error(107);
    return ret;
  }

  void EmitSet(std::bitset<256> members, bool negated) {
    members.reset(0);
    size_t count = members.count();
    if (count >= 1 && count <= 3) {
      NodeAt(negated ? OpNotTinySet : OpTinySet);
      uint8_t bytes[3];
      size_t k = 0;
      for (int c = 1; c < 256; ++c)
        if (members.test(size_t(c))) bytes[k++] = uint8_t(c);
      while (k < 3) {
        bytes[k] = bytes[k - 1];
        ++k;
      }
      for (uint8_t b : bytes) Byte(b);
      return;
    }
    if (negated) members.flip();
    members.reset(0);
    NodeAt(OpFullSet);
    for (int i = 0; i < 32; ++i) {
      uint8_t b = 0;
      for (int j = 0; j < 8; ++j)
        if (members.test(size_t(i * 8 + j))) b |= uint8_t(1 << j);
      Byte(b);
    }
  }

  // "\x" followed by two hex digits or "{" up to two hex digits "}"; p_ is past the "x".
  uint8_t ReadHex() {
    if (*p_ == '{') {
      ++p_;
      int v = 0, digits = 0;
      for (;;) {
        char c = *p_;
        if (c == '\0') Error(111);
        if (c == '}') {
          ++p_;
          return uint8_t(v);
        }
        int h = HexValue(c);
        if (h < 0) Error(108);
        if (++digits > 2) Error(112);
        v = v * 16 + h;
        ++p_;
      }
    }
    int v = 0;
    for (int i = 0; i < 2; ++i) {
      char c = *p_;
      if (c == '\0') Error(111);
      int h = HexValue(c);
      if (h < 0) Error(108);
      v = v * 16 + h;
      ++p_;
    }
    return uint8_t(v);
  }

  // A one-byte escape, p_ past the escaped letter; returns false for letters
  // that are not byte escapes.
  bool ByteEscape(char e, uint8_t& out) {
    switch (e) {
      case 't': out = 0x09; return true;
      case 'n': out = 0x0A; return true;
      case 'r': out = 0x0D; return true;
      case 'f': out = 0x0C; return true;
      case 'a': out = 0x07; return true;
      case 'e': out = 0x1B; return true;
      case 'x': out = ReadHex(); return true;
      default: return false;
    }
  }

  void EmitLiteralByte(uint8_t b) {
    if (b == 0) {
      // The input ends at its first NUL, so a NUL byte never matches.
      EmitSet(std::bitset<256>(), false);
      return;
    }
    NodeAt((flags_ & kI) ? OpLiteralCI : OpLiteral);
    Byte(b);
    Byte(0);
  }

  void AddMember(std::bitset<256>& set, uint8_t c) {
    set.set(c);
    if (flags_ & kI) set.set(InvertCase(c));
  }
  void AddRange(std::bitset<256>& set, int lo, int hi) {
    if (flags_ & kR) {
      if (lo == 0xE0 && hi == 0xFF) {
        for (int c = lo; c <= hi; ++c) AddMember(set, uint8_t(c));
        AddMember(set, 0xB8);
        return;
      }
      if (lo == 0xC0 && hi == 0xDF) {
        for (int c = lo; c <= hi; ++c) AddMember(set, uint8_t(c));
        AddMember(set, 0xA8);
        return;
      }
      if (lo == 0xE0 && hi == 0xDF) {
        for (int c = 0xC0; c <= 0xFF; ++c) AddMember(set, uint8_t(c));
        AddMember(set, 0xA8);
        AddMember(set, 0xB8);
        return;
      }
    }
    if (hi < lo) Error(109);
    for (int c = lo; c <= hi; ++c) AddMember(set, uint8_t(c));
  }

  // One class element: a byte (returns true) or one of \d \s \w added to set.
  bool ClassElement(std::bitset<256>& set, uint8_t& byte) {
    if (*p_ != '\\') {
      byte = uint8_t(*p_++);
      return true;
    }
    ++p_;
    char e = *p_;
    if (e == '\0') Error(110);
    ++p_;
    const auto& sets = Sets();
    switch (e) {
      case 'd':
        for (int c = '0'; c <= '9'; ++c) set.set(size_t(c));
        return false;
      case 's':
        set |= sets.space;
        return false;
      case 'w':
        set |= sets.word;
        return false;
      default:
        if (!ByteEscape(e, byte)) byte = uint8_t(e);
        return true;
    }
  }

  void Class(int& flagp) {
    bool negated = false;
    if (*p_ == '^') {
      negated = true;
      ++p_;
    }
    std::bitset<256> set;
    if (*p_ == ']') {
      AddMember(set, ']');
      ++p_;
    }
    for (;;) {
      if (*p_ == '\0') Error(113);
      if (*p_ == ']') {
        ++p_;
        break;
      }
      uint8_t lo;
      if (!ClassElement(set, lo)) continue;
      if (p_[0] == '-' && p_[1] != ']' && p_[1] != '\0') {
        if (p_[1] == '\\' && p_[2] && std::strchr("dDsSwW", p_[2])) {
          // "-" before a class escape is a member; the escape is read on its own
          AddMember(set, lo);
          AddMember(set, '-');
          ++p_;
          continue;
        }
        ++p_;
        uint8_t hi = 0;
        std::bitset<256> ignored;
        ClassElement(ignored, hi);
        AddRange(set, lo, hi);
        continue;
      }
      AddMember(set, lo);
    }
    EmitSet(set, negated);
    flagp = kHasWidth | kSimple;
  }

  void ModifierGroup() {
    // p_ is past "(?"
    if (*p_ == '#') {
      const char* close = std::strchr(p_, ')');
      if (!close) Error(125);
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
      if (!bit) Error(127);
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
        Error(114);
      case '?':
      case '+':
      case '*':
        --p_;
        Error(115);
      case '\\': {
        char e = *p_;
        if (e == '\0') Error(116);
        ++p_;
        const auto& sets = Sets();
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

const char* ErrorTextOf(int code) {
  switch (code) {
    case 0: return "No errors";
    case 100: return "TPatternMatcher(comp): Null Argument";
    case 101: return "TPatternMatcher(comp): Regexp Too Big";
    case 102: return "TPatternMatcher(comp): ParseReg Too Many ()";
    case 103: return "TPatternMatcher(comp): ParseReg Unmatched ()";
    case 104: return "TPatternMatcher(comp): ParseReg Unmatched ()";
    case 105: return "TPatternMatcher(comp): ParseReg Junk On End";
    case 106: return "TPatternMatcher(comp): *+ Operand Could Be Empty";
    case 107: return "TPatternMatcher(comp): Nested *?+";
    case 108: return "TPatternMatcher(comp): Bad Hex Digit";
    case 109: return "TPatternMatcher(comp): Invalid [] Range";
    case 110: return "TPatternMatcher(comp): Parse Atom Trailing \\";
    case 111: return "TPatternMatcher(comp): No Hex Code After \\x";
    case 112: return "TPatternMatcher(comp): Hex Code After \\x Is Too Big";
    case 113: return "TPatternMatcher(comp): Unmatched []";
    case 114: return "TPatternMatcher(comp): Internal Urp";
    case 115: return "TPatternMatcher(comp): ?+*{ Follows Nothing";
    case 116: return "TPatternMatcher(comp): Trailing \\";
    case 119: return "TPatternMatcher(comp): RarseAtom Internal Disaster";
    case 122: return "TPatternMatcher(comp): BRACES Argument Too Big";
    case 124: return "TPatternMatcher(comp): BRACE Min Param Greater then Max";
    case 125: return "TPatternMatcher(comp): Unclosed (?#Comment)";
    case 126: return "TPatternMatcher(comp): Complex Braces Not Enabled";
    case 127: return "TPatternMatcher(comp): Urecognized Modifier";
    case 128: return "TPatternMatcher(comp): LinePairedSeparator must countain two different chars or no chars at all";
    case 1000: return "TPatternMatcher(exec): RegRepeat Called Inappropriately";
    case 1001: return "TPatternMatcher(exec): MatchPrim Memory Corruption";
    case 1002: return "TPatternMatcher(exec): MatchPrim Corrupted Pointers";
    case 1003: return "TPatternMatcher(exec): Not Assigned Expression Property";
    case 1004: return "TPatternMatcher(exec): Corrupted Program";
    case 1005: return "TPatternMatcher(exec): No Input String Specified";
    case 1006: return "TPatternMatcher(exec): Offset Must Be Greater Then 0";
    case 1007: return "TPatternMatcher(exec): ExecNext Without Exec[Pos]";
    case 1008: return "TPatternMatcher(exec): GetInputString Without InputString";
    case 1011: return "TPatternMatcher(dump): Corrupted Opcode";
    case 1014: return "TPatternMatcher(exec): Loop Stack Exceeded";
    case 1015: return "TPatternMatcher(exec): Loop Without LoopEntry !";
    case 1016: return "TPatternMatcher(exec): Backtracking Stack Exceeded";
    case 2000: return "TPatternMatcher(misc): Bad p-code imported";
    default: return "Unknown error";
  }
}

}  // namespace

std::string TPatternMatcher::ErrorText(int code) { return ErrorTextOf(code); }

TPatternMatcher::TPatternMatcher() : flags_(kR | kS | kG) {
  std::fill(std::begin(start_), std::end(start_), -1);
  std::fill(std::begin(end_), std::end(end_), -1);
  vars_.assign(kVarTotal, -1);
  last_undo_.assign(kVarTotal, -1);
}

void TPatternMatcher::Fail(int code, int pos) {
  last_error_ = code;
  std::string message = ErrorTextOf(code);
  if (code < 1000) {
    if (pos < 0) pos = 0;
    message += " (pos " + std::to_string(pos) + ")";
  } else {
    pos = 0;
  }
  throw EPatternMatcher(code, pos, message);
}

void TPatternMatcher::SetExpression(const std::string& expression) {
  // The pattern, like the input, ends at its first NUL byte.
  std::string text = expression.substr(0, std::min(expression.size(), std::strlen(expression.c_str())));
  if (text != expression_ || !compiled_) compiled_ = false;
  expression_ = std::move(text);
}

void TPatternMatcher::SetLinePairedSeparator(const std::string& separator) {
  if (!(separator.empty() || (separator.size() == 2 && separator[0] != separator[1])))
    Fail(128, 0);
  if (separator != paired_) {
    paired_ = separator;
    compiled_ = false;
  }
}

void TPatternMatcher::SetModifier(char letter, bool on) {
  unsigned bit = ModifierBit(letter);
  if (!bit) Fail(127, 0);
  if (on) flags_ |= bit; else flags_ &= ~bit;
}

bool TPatternMatcher::Modifier(char letter) const { return flags_ & ModifierBit(letter); }

void TPatternMatcher::Compile() {
  program_.clear();
  compiled_ = false;
  if (expression_.empty()) Fail(1003);
  try {
    Compiler compiler(expression_, flags_);
    program_ = compiler.Run();
  } catch (const CompileError& e) {
    program_.clear();
    Fail(e.code, e.pos);
  }
  compiled_flags_ = flags_;

  // Search aids.
  first_byte_ = -1;
  lead_.clear();
  byte_sets_.clear();
  anchored_ = false;
  must_.clear();
  const int32_t first = 1;
  if (program_[size_t(Next(first))] == OpEnd) {  // one alternative only
    int32_t scan = first + kHeader;
    uint8_t op = program_[size_t(scan)];
    if (op == OpLiteral) {
      first_byte_ = program_[size_t(scan + kHeader)];
      lead_ = reinterpret_cast<const char*>(&program_[size_t(scan + kHeader)]);
    } else if (op == OpInputStart) {
      anchored_ = true;
    }
    // Every literal on the alternative's own chain is required; the longest
    // one is looked for once per search. A leading literal needs no search
    // of its own: attempts are only made where it stands.
    size_t best = 0;
    int32_t best_node = -1;
    for (int32_t s = scan; s >= 0 && program_[size_t(s)] != OpBack; s = Next(s)) {
      if (program_[size_t(s)] != OpLiteral) continue;
      size_t l = std::strlen(reinterpret_cast<const char*>(&program_[size_t(s + kHeader)]));
      if (l > best) {
        best = l;
        best_node = s;
      }
    }
    if (best_node >= 0 && best_node != scan)
      must_ = reinterpret_cast<const char*>(&program_[size_t(best_node + kHeader)]);
  }

  // Bytes that can begin a match.
  first_set_.reset();
  std::vector<bool> seen(program_.size(), false);
  std::vector<int32_t> work{first};
  bool may_be_empty = false;
  const auto& sets = Sets();
  auto add_simple = [&](int32_t node) {
    uint8_t op = program_[size_t(node)];
    const uint8_t* opnd = &program_[size_t(node + kHeader)];
    switch (op) {
      case OpLiteral: first_set_.set(opnd[0]); break;
      case OpLiteralCI: first_set_.set(opnd[0]); first_set_.set(InvertCase(opnd[0])); break;
      case OpAnyChar: first_set_.set(); break;
      case OpAnyButLineSep: {
        first_set_ |= ~sets.linesep;
        break;
      }
      case OpDigit: for (int c = '0'; c <= '9'; ++c) first_set_.set(size_t(c)); break;
      case OpNotDigit:
        for (int c = 1; c < 256; ++c) if (c < '0' || c > '9') first_set_.set(size_t(c));
        break;
      case OpTinySet: for (int k = 0; k < 3; ++k) first_set_.set(opnd[k]); break;
      case OpNotTinySet:
        for (int c = 1; c < 256; ++c)
          if (c != opnd[0] && c != opnd[1] && c != opnd[2]) first_set_.set(size_t(c));
        break;
      case OpFullSet:
        for (int c = 1; c < 256; ++c) if (opnd[c >> 3] & (1 << (c & 7))) first_set_.set(size_t(c));
        break;
      default:  // back-references may match anything, or nothing
        may_be_empty = true;
        break;
    }
  };
  while (!work.empty()) {
    int32_t node = work.back();
    work.pop_back();
    if (node < 0 || seen[size_t(node)]) continue;
    seen[size_t(node)] = true;
    uint8_t op = program_[size_t(node)];
    switch (op) {
      case OpEnd:
        may_be_empty = true;
        break;
      case OpBranch: {
        work.push_back(node + kHeader);
        int32_t nx = Next(node);
        if (nx >= 0 && program_[size_t(nx)] == OpBranch) work.push_back(nx);
        break;
      }
      case OpStar: case OpStarLazy:
        add_simple(node + kHeader);
        work.push_back(Next(node));
        break;
      case OpPlus: case OpPlusLazy:
        add_simple(node + kHeader);
        break;
      case OpBraces: case OpBracesLazy:
        add_simple(node + kHeader + 8);
        if (ReadInt(&program_[size_t(node + kHeader)]) == 0) work.push_back(Next(node));
        break;
      case OpLoop: case OpLoopLazy:
        work.push_back(node + ReadInt(&program_[size_t(node + kHeader + 8)]));
        work.push_back(Next(node));
        break;
      case OpLiteral: case OpLiteralCI: case OpAnyChar: case OpAnyButLineSep: case OpDigit:
      case OpNotDigit: case OpTinySet: case OpNotTinySet: case OpFullSet: case OpBackRef:
      case OpBackRefCI:
        add_simple(node);
        if (op == OpBackRef || op == OpBackRefCI) work.push_back(Next(node));
        break;
      default:  // nodes that match empty
        work.push_back(Next(node));
        break;
    }
  }
  // The NUL stands for the end of the input; a match that can be empty may
  // begin anywhere.
  first_set_.reset(0);
  if (may_be_empty) first_set_.set();
  compiled_ = true;
}

int32_t TPatternMatcher::Next(int32_t node) const {
  int32_t off = ReadInt(&program_[size_t(node + 1)]);
  return off == 0 ? -1 : node + off;
}

void TPatternMatcher::Prepare() {
  if (!compiled_ || compiled_flags_ != flags_) Compile();
}

bool TPatternMatcher::Exec(const std::string& input) {
  input_ = input;
  has_input_ = true;
  in_ = reinterpret_cast<const uint8_t*>(input_.c_str());
  len_ = int64_t(std::strlen(input_.c_str()));
  std::fill(std::begin(start_), std::end(start_), -1);
  std::fill(std::begin(end_), std::end(end_), -1);
  Prepare();
  return Search(1);
}

bool TPatternMatcher::ExecNext() {
  if (!has_input_ || start_[0] < 0 || end_[0] < 0) Fail(1007);
  int64_t offset = end_[0] + 1;
  if (end_[0] == start_[0]) ++offset;
  Prepare();
  return Search(offset);
}

bool TPatternMatcher::ExecPos(std::ptrdiff_t offset) {
  if (!has_input_) Fail(1005);
  Prepare();
  return Search(offset);
}

bool TPatternMatcher::Search(std::ptrdiff_t offset) {
  if (!has_input_) Fail(1005);
  if (offset < 1) Fail(1006);
  std::fill(std::begin(start_), std::end(start_), -1);
  std::fill(std::begin(end_), std::end(end_), -1);
  if (offset > len_ + 1) return false;
  int64_t from = offset - 1;
  if (!must_.empty()) {
    std::string_view hay(reinterpret_cast<const char*>(in_) + from, size_t(len_ - from));
    if (hay.find(must_) == std::string_view::npos) return false;
  }
  if (anchored_) return Attempt(from);
  if (first_byte_ >= 0) {
    if (lead_.size() > 1) {
      // Positions where the whole leading literal does not stand would fail
      // at once; finding the literal also stops the search where it no
      // longer occurs.
      std::string_view hay(reinterpret_cast<const char*>(in_), size_t(len_));
      for (size_t q = hay.find(lead_, size_t(from)); q != std::string_view::npos; q = hay.find(lead_, q + 1))
        if (Attempt(int64_t(q))) return true;
      return false;
    }
    const uint8_t* p = in_ + from;
    const uint8_t* end = in_ + len_;
    while (p < end) {
      const void* hit = std::memchr(p, first_byte_, size_t(end - p));
      if (!hit) return false;
      const uint8_t* h = static_cast<const uint8_t*>(hit);
      if (Attempt(h - in_)) return true;
      p = h + 1;
    }
    return false;
  }
  for (int64_t p = from; p <= len_; ++p) {
    if (first_set_.test(in_[p]) && Attempt(p)) return true;
  }
  return false;
}

void TPatternMatcher::PushChoice(uint32_t kind, int32_t node, int64_t a, int64_t b) {
  if (stack_.size() >= kMaxFrames) Fail(1016);
  stack_.push_back(Frame{kind | (uint32_t(cp_top_ + 1) << 4), node, a, b});
  cp_top_ = int32_t(stack_.size() - 1);
}

// Records the old value for backtracking unless an undo record of this
// variable already sits above the newest choice point.
void TPatternMatcher::SetVar(int v, int64_t value) {
  int64_t& slot = vars_[size_t(v)];
  if (slot == value) return;
  int32_t lu = last_undo_[size_t(v)];
  if (!(lu > cp_top_ && size_t(lu) < stack_.size())) {
    if (stack_.size() >= kMaxFrames) Fail(1016);
    stack_.push_back(Frame{FUndo, v, slot, lu});
    last_undo_[size_t(v)] = int32_t(stack_.size() - 1);
  }
  slot = value;
}

bool TPatternMatcher::LineStartAt(int64_t pos) const {
  if (pos == 0) return true;
  uint8_t prev = in_[pos - 1];
  bool paired = paired_.size() == 2;
  uint8_t head = paired ? uint8_t(paired_[0]) : 0, tail = paired ? uint8_t(paired_[1]) : 0;
  if (paired && pos >= 2 && in_[pos - 2] == head && prev == tail) return true;
  if (Sets().linesep.test(prev)) return !(paired && prev == head && in_[pos] == tail);
  return false;
}

bool TPatternMatcher::LineEndAt(int64_t pos) const {
  if (pos >= len_) return true;
  uint8_t cur = in_[pos];
  bool paired = paired_.size() == 2;
  uint8_t head = paired ? uint8_t(paired_[0]) : 0, tail = paired ? uint8_t(paired_[1]) : 0;
  if (paired && cur == head && in_[pos + 1] == tail) return true;
  if (Sets().linesep.test(cur)) return !(paired && cur == tail && pos > 0 && in_[pos - 1] == head);
  return false;
}

bool TPatternMatcher::IsWordAt(int64_t pos) const {
  return pos >= 0 && pos < len_ && Sets().word.test(in_[pos]);
}

// One match of a single-byte node at pos.
bool TPatternMatcher::MatchOne(int32_t node, int64_t pos) const {
  if (pos >= len_) return false;
  uint8_t c = in_[pos];
  const uint8_t* opnd = &program_[size_t(node + kHeader)];
  switch (program_[size_t(node)]) {
    case OpLiteral: return c == opnd[0];
    case OpLiteralCI: return c == opnd[0] || c == InvertCase(opnd[0]);
    case OpAnyChar: return true;
    case OpAnyButLineSep:
      if (Sets().linesep.test(c)) return false;
      return !(paired_.size() == 2 && c == uint8_t(paired_[0]) && in_[pos + 1] == uint8_t(paired_[1]));
    case OpDigit: return c >= '0' && c <= '9';
    case OpNotDigit: return !(c >= '0' && c <= '9');
    case OpTinySet: return c == opnd[0] || c == opnd[1] || c == opnd[2];
    case OpNotTinySet: return !(c == opnd[0] || c == opnd[1] || c == opnd[2]);
    case OpFullSet: return opnd[c >> 3] & (1 << (c & 7));
    default: return false;
  }
}

// Length one match of a simple node consumes; -1 when a back-reference cannot match.
int64_t TPatternMatcher::SimpleLen(int32_t node) const {
  uint8_t op = program_[size_t(node)];
  if (op != OpBackRef && op != OpBackRefCI) return 1;
  int g = program_[size_t(node + kHeader)];
  int64_t s = vars_[size_t(kVarStart + g)], e = vars_[size_t(kVarEnd + g)];
  if (s < 0 || e < 0 || e < s) return -1;
  return e - s;
}

int64_t TPatternMatcher::CountSimple(int32_t node, int64_t pos, int64_t max) const {
  uint8_t op = program_[size_t(node)];
  const uint8_t* opnd = &program_[size_t(node + kHeader)];
  int64_t limit = std::min(max, len_ - pos);
  if (limit <= 0 && op != OpBackRef && op != OpBackRefCI) return 0;
  const uint8_t* p = in_ + pos;
  int64_t n = 0;
  switch (op) {
    case OpAnyChar:
      return limit;
    case OpLiteral:
      while (n < limit && p[n] == opnd[0]) ++n;
      return n;
    case OpFullSet:
      while (n < limit && (opnd[p[n] >> 3] & (1 << (p[n] & 7)))) ++n;
      return n;
    case OpTinySet:
      while (n < limit && (p[n] == opnd[0] || p[n] == opnd[1] || p[n] == opnd[2])) ++n;
      return n;
    case OpNotTinySet:
      while (n < limit && !(p[n] == opnd[0] || p[n] == opnd[1] || p[n] == opnd[2])) ++n;
      return n;
    case OpBackRef:
    case OpBackRefCI: {
      int g = opnd[0];
      int64_t s = vars_[size_t(kVarStart + g)], e = vars_[size_t(kVarEnd + g)];
      if (s < 0 || e < 0 || e < s) return 0;
      int64_t l = e - s;
      if (l == 0) return max;  // every count ends at the same place
      int64_t at = pos;
      while (n < max && at + l <= len_) {
        bool ok = true;
        for (int64_t k = 0; k < l && ok; ++k) {
          uint8_t a = in_[at + k], b = in_[s + k];
          ok = a == b || (op == OpBackRefCI && a == InvertCase(b));
        }
        if (!ok) break;
        ++n;
        at += l;
      }
      return n;
    }
    default:
      while (n < limit && MatchOne(node, pos + n)) ++n;
      return n;
  }
}

// The first node of the sequence at next past zero-width group marks,
// comments and empty nodes; -1 when there is none within a few nodes.
int32_t TPatternMatcher::SkipMarks(int32_t next) const {
  for (int guard = 0; next >= 0 && guard < 32; ++guard) {
    uint8_t op = program_[size_t(next)];
    if ((op > OpOpen && op <= OpOpen + kMaxGroupNo) || (op > OpClose && op <= OpClose + kMaxGroupNo) ||
        op == OpComment || op == OpEmpty) {
      next = Next(next);
      continue;
    }
    return next;
  }
  return -1;
}

// Whether the node sequence at next can possibly go on at pos, judged by its
// first byte-consuming node; a few alternatives of a branch are looked into
// as well. True when it cannot tell.
bool TPatternMatcher::FollowOk(int32_t next, int64_t pos, int depth) const {
  next = SkipMarks(next);
  if (next < 0) return true;
  switch (program_[size_t(next)]) {
    case OpLiteral: case OpLiteralCI: case OpDigit: case OpNotDigit: case OpTinySet:
    case OpNotTinySet: case OpFullSet: case OpAnyChar: case OpAnyButLineSep:
      return MatchOne(next, pos);
    case OpBranch: {
      if (depth >= 3) return true;
      int n = 0;
      for (int32_t alt = next; alt >= 0 && program_[size_t(alt)] == OpBranch; alt = Next(alt)) {
        if (++n > 16) return true;
        if (FollowOk(alt + kHeader, pos, depth + 1)) return true;
      }
      return false;
    }
    default:
      return true;
  }
}

// The single-byte node the sequence at next begins with, past zero-width
// marks; -1 when it begins otherwise.
int32_t TPatternMatcher::FollowNode(int32_t next) const {
  next = SkipMarks(next);
  return next >= 0 && ByteSet(next) ? next : -1;
}

// The bytes a single-byte node accepts as a table, for nodes that look at one
// byte only; null for others. The NUL (the end of the input) is never in it.
const std::bitset<256>* TPatternMatcher::ByteSet(int32_t node) const {
  uint8_t op = program_[size_t(node)];
  switch (op) {
    case OpLiteral: case OpLiteralCI: case OpAnyChar: case OpDigit: case OpNotDigit: case OpTinySet:
    case OpNotTinySet: case OpFullSet:
      break;
    default:
      return nullptr;
  }
  auto it = byte_sets_.find(node);
  if (it != byte_sets_.end()) return &it->second;
  std::bitset<256> set;
  for (int c = 1; c < 256; ++c) {
    const uint8_t* opnd = &program_[size_t(node + kHeader)];
    uint8_t b = uint8_t(c);
    bool in;
    switch (op) {
      case OpLiteral: in = b == opnd[0]; break;
      case OpLiteralCI: in = b == opnd[0] || b == InvertCase(opnd[0]); break;
      case OpAnyChar: in = true; break;
      case OpDigit: in = b >= '0' && b <= '9'; break;
      case OpNotDigit: in = !(b >= '0' && b <= '9'); break;
      case OpTinySet: in = b == opnd[0] || b == opnd[1] || b == opnd[2]; break;
      case OpNotTinySet: in = !(b == opnd[0] || b == opnd[1] || b == opnd[2]); break;
      default: in = opnd[c >> 3] & (1 << (c & 7)); break;
    }
    set[size_t(c)] = in;
  }
  return &byte_sets_.emplace(node, set).first->second;
}

// The smallest count from count on (at most max) after which the rest can
// start, each further count needing one more match of the simple node; -1
// when there is none.
int64_t TPatternMatcher::LazyCount(int32_t simple, int32_t next, int64_t start, int64_t count, int64_t max,
                                   int64_t l) const {
  int32_t follow = FollowNode(next);
  const std::bitset<256>* mine = l == 1 ? ByteSet(simple) : nullptr;
  const std::bitset<256>* theirs = follow >= 0 ? ByteSet(follow) : nullptr;
  if (mine && theirs) {
    // One pass over the bytes, as long as they continue the repeat and
    // cannot begin the rest.
    int64_t p = start + count;
    int64_t limit = start + std::min(max, len_ - start);
    while (p < limit && !theirs->test(in_[p]) && mine->test(in_[p])) ++p;
    if (theirs->test(in_[p])) return p - start;
    return -1;
  }
  for (;;) {
    if (FollowOk(next, start + count * l)) return count;
    if (count >= max || CountSimple(simple, start + count * l, 1) != 1) return -1;
    ++count;
  }
}

// The first alternative from alt on that can begin at pos, -1 when none;
// alternatives that cannot start here need no choice point.
int32_t TPatternMatcher::ViableBranch(int32_t alt, int64_t pos) const {
  while (alt >= 0 && program_[size_t(alt)] == OpBranch) {
    if (FollowOk(alt + kHeader, pos)) return alt;
    alt = Next(alt);
  }
  return -1;
}

bool TPatternMatcher::Attempt(int64_t start) {
  std::fill(vars_.begin(), vars_.end(), -1);
  vars_[kVarLoopIdx] = 0;
  std::fill(last_undo_.begin(), last_undo_.end(), -1);
  stack_.clear();
  cp_top_ = -1;
  const uint8_t* prog = program_.data();
  int32_t node = 1;
  int64_t pos = start;
  for (;;) {
    uint8_t op = prog[node];
    bool ok = true;
    switch (op) {
      case OpEnd:
        for (int g = 1; g < kGroups; ++g) {
          start_[g] = vars_[size_t(kVarStart + g)];
          end_[g] = vars_[size_t(kVarEnd + g)];
        }
        start_[0] = start;
        end_[0] = pos;
        return true;
      case OpInputStart: ok = pos == 0; node = Next(node); break;
      case OpInputEnd: ok = pos == len_; node = Next(node); break;
      case OpLineStart: ok = LineStartAt(pos); node = Next(node); break;
      case OpLineEnd: ok = LineEndAt(pos); node = Next(node); break;
      case OpWordBoundary:
      case OpNotWordBoundary: {
        bool b = IsWordAt(pos - 1) != IsWordAt(pos);
        ok = (op == OpWordBoundary) == b;
        node = Next(node);
        break;
      }
      case OpAnyChar: case OpAnyButLineSep: case OpDigit: case OpNotDigit: case OpTinySet:
      case OpNotTinySet: case OpFullSet:
        ok = MatchOne(node, pos);
        ++pos;
        node = Next(node);
        break;
      case OpLiteral: {
        const uint8_t* s = prog + node + kHeader;
        int64_t p = pos;
        while (*s && p < len_ && in_[p] == *s) ++s, ++p;
        ok = *s == 0;
        pos = p;
        node = Next(node);
        break;
      }
      case OpLiteralCI: {
        const uint8_t* s = prog + node + kHeader;
        int64_t p = pos;
        while (*s && p < len_ && (in_[p] == *s || in_[p] == InvertCase(*s))) ++s, ++p;
        ok = *s == 0;
        pos = p;
        node = Next(node);
        break;
      }
      case OpBackRef:
      case OpBackRefCI: {
        int64_t l = SimpleLen(node);
        ok = l >= 0 && CountSimple(node, pos, 1) == 1;
        if (ok) pos += l;
        node = Next(node);
        break;
      }
      case OpEmpty:
      case OpComment:
      case OpBack:
        node = Next(node);
        break;
      case OpBranch: {
        int32_t nx = Next(node);
        if (nx >= 0 && prog[nx] == OpBranch) {
          int32_t alt = ViableBranch(nx, pos);
          if (alt >= 0) PushChoice(FBranch, alt, pos, 0);
        }
        node += kHeader;
        break;
      }
      case OpStar: case OpPlus: case OpBraces:
      case OpStarLazy: case OpPlusLazy: case OpBracesLazy: {
        int64_t min = 0, max = kInfinite;
        int32_t simple = node + kHeader;
        if (op == OpPlus || op == OpPlusLazy) min = 1;
        if (op == OpBraces || op == OpBracesLazy) {
          min = ReadInt(prog + node + kHeader);
          max = ReadInt(prog + node + kHeader + 4);
          simple += 8;
        }
        int64_t l = SimpleLen(simple);
        int32_t next = Next(node);
        if (l < 0) {
          ok = min == 0;
          node = next;
          break;
        }
        if (op == OpStar || op == OpPlus || op == OpBraces) {
          int64_t count = CountSimple(simple, pos, max);
          if (l == 0) count = min;
          while (count >= min && !FollowOk(next, pos + count * l)) --count;
          if (count < min) {
            ok = false;
            break;
          }
          if (count > min) PushChoice(FStar, node, pos, count);
          pos += count * l;
          node = next;
        } else {
          int64_t count = CountSimple(simple, pos, min);
          if (count < min) {
            ok = false;
            break;
          }
          if (l == 0) {
            node = next;
            break;
          }
          count = LazyCount(simple, next, pos, count, max, l);
          if (count < 0) {
            ok = false;
            break;
          }
          if (count < max) PushChoice(FStarLazy, node, pos, count);
          pos += count * l;
          node = next;
        }
        break;
      }
      case OpLoopEntry: {
        int64_t idx = vars_[kVarLoopIdx];
        if (idx >= kLoopDepth) Fail(1014);
        SetVar(kVarLoopIdx, idx + 1);
        SetVar(kVarCount + int(idx), 0);
        SetVar(kVarIter + int(idx), -1);
        node = Next(node);
        break;
      }
      case OpLoop:
      case OpLoopLazy: {
        int64_t idx = vars_[kVarLoopIdx];
        if (idx <= 0) Fail(1015);
        int cv = kVarCount + int(idx) - 1, iv = kVarIter + int(idx) - 1;
        int64_t count = vars_[size_t(cv)];
        int64_t min = ReadInt(prog + node + kHeader);
        int64_t max = ReadInt(prog + node + kHeader + 4);
        int32_t body = node + ReadInt(prog + node + kHeader + 8);
        // A pass that consumed nothing would repeat forever: the loop is done.
        bool empty_pass = count > 0 && vars_[size_t(iv)] == pos;
        if (count < min && !empty_pass) {
          SetVar(cv, count + 1);
          SetVar(iv, pos);
          node = body;
          break;
        }
        bool more = count < max && !empty_pass;
        if (op == OpLoop) {
          if (more && FollowOk(body, pos)) {
            PushChoice(FLoopExit, node, pos, 0);
            SetVar(cv, count + 1);
            SetVar(iv, pos);
            node = body;
          } else {
            SetVar(kVarLoopIdx, idx - 1);
            node = Next(node);
          }
        } else if (more && !FollowOk(Next(node), pos)) {
          // The rest cannot start here: go straight to one more pass.
          SetVar(cv, count + 1);
          SetVar(iv, pos);
          node = body;
        } else {
          if (more) PushChoice(FLoopMore, node, pos, 0);
          SetVar(kVarLoopIdx, idx - 1);
          node = Next(node);
        }
        break;
      }
      default:
        if (op > OpOpen && op <= OpOpen + kMaxGroupNo) {
          SetVar(kVarStart + (op - OpOpen), pos);
          node = Next(node);
        } else if (op > OpClose && op <= OpClose + kMaxGroupNo) {
          SetVar(kVarEnd + (op - OpClose), pos);
          node = Next(node);
        } else {
          Fail(1004);
        }
        break;
    }
    if (ok && node < 0) Fail(1004);
    if (!ok && !Backtrack(node, pos)) return false;
  }
}

bool TPatternMatcher::Backtrack(int32_t& node, int64_t& pos) {
  const uint8_t* prog = program_.data();
  while (!stack_.empty()) {
    Frame f = stack_.back();
    stack_.pop_back();
    uint32_t kind = f.kind & 15u;
    if (kind == FUndo) {
      vars_[size_t(f.node)] = f.a;
      last_undo_[size_t(f.node)] = int32_t(f.b);
      continue;
    }
    cp_top_ = int32_t(f.kind >> 4) - 1;
    switch (kind) {
      case FBranch: {
        pos = f.a;
        int32_t alt = ViableBranch(Next(f.node), pos);
        if (alt >= 0) PushChoice(FBranch, alt, pos, 0);
        node = f.node + kHeader;
        return true;
      }
      case FStar:
      case FStarLazy: {
        uint8_t op = prog[f.node];
        int64_t min = 0, max = kInfinite;
        int32_t simple = f.node + kHeader;
        if (op == OpPlus || op == OpPlusLazy) min = 1;
        if (op == OpBraces || op == OpBracesLazy) {
          min = ReadInt(prog + f.node + kHeader);
          max = ReadInt(prog + f.node + kHeader + 4);
          simple += 8;
        }
        int64_t l = SimpleLen(simple);
        int32_t next = Next(f.node);
        int64_t count = f.b;
        if (kind == FStar) {
          --count;
          while (count >= min && !FollowOk(next, f.a + count * l)) --count;
          if (count < min) continue;
          if (count > min) PushChoice(FStar, f.node, f.a, count);
        } else {
          if (count >= max || CountSimple(simple, f.a + count * l, 1) != 1) continue;
          count = LazyCount(simple, next, f.a, count + 1, max, l);
          if (count < 0) continue;
          if (count < max) PushChoice(FStarLazy, f.node, f.a, count);
        }
        pos = f.a + count * l;
        node = next;
        return true;
      }
      case FLoopExit: {
        pos = f.a;
        SetVar(kVarLoopIdx, vars_[kVarLoopIdx] - 1);
        node = Next(f.node);
        return true;
      }
      case FLoopMore: {
        pos = f.a;
        int64_t idx = vars_[kVarLoopIdx];
        int cv = kVarCount + int(idx) - 1, iv = kVarIter + int(idx) - 1;
        SetVar(cv, vars_[size_t(cv)] + 1);
        SetVar(iv, pos);
        node = f.node + ReadInt(prog + f.node + kHeader + 8);
        return true;
      }
      default:
        Fail(1004);
    }
  }
  return false;
}

std::string TPatternMatcher::MatchText(int n) const {
  if (n < 0 || n >= kGroups || !has_input_) return std::string();
  int64_t s = start_[n], e = end_[n];
  if (s < 0 || e < 0 || e < s) return std::string();
  return input_.substr(size_t(s), size_t(e - s));
}

std::ptrdiff_t TPatternMatcher::MatchPos(int n) const {
  if (n < 0 || n >= kGroups || !has_input_ || start_[n] < 0 || end_[n] < 0) return -1;
  return start_[n] + 1;
}

std::ptrdiff_t TPatternMatcher::MatchLen(int n) const {
  if (n < 0 || n >= kGroups || !has_input_ || start_[n] < 0 || end_[n] < start_[n]) return -1;
  return end_[n] - start_[n];
}
