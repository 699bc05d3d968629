#pragma once
// The compiled form of a pattern, shared by the compiler, the search aids and
// the matcher; internal to the engine. A program is a byte array: the magic
// byte, then nodes. Each node is its kind byte, a 4-byte signed offset to the
// next node of its sequence (0: none), then its operand. Nothing outside this
// header reads the layout directly.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace regex_engine {

enum Op : uint8_t {
  OpEnd = 0,               // the match succeeds
  OpInputStart = 1,        // the start of the input ("^" without m, "\A")
  OpInputEnd = 2,          // the end of the input ("$" without m, "\Z")
  OpAnyChar = 3,           // any byte but the end ("." with s)
  OpBranch = 6,            // one alternative, which follows a table slot; alternatives chain through their next offsets
  OpBack = 7,              // a link that jumps backward; matches empty
  OpLiteral = 8,           // NUL-terminated bytes, matched exactly
  OpEmpty = 9,             // matches empty
  OpStar = 10,             // greedy 0 or more of the single-byte node in its operand
  OpPlus = 11,             // greedy 1 or more
  OpDigit = 12,            // one byte "0" to "9"
  OpNotDigit = 13,         // one byte that is neither a digit nor the end
  OpBraces = 18,           // greedy min to max (both in the operand)
  OpComment = 19,          // matches empty: left by "(?#...)", "(?imsx)" and extended-syntax comments
  OpLiteralCI = 20,        // NUL-terminated bytes, each also accepted in its other case
  OpLoopEntry = 23,        // starts a counted loop around a complex operand
  OpLoop = 24,             // greedy end of a counted loop: min, max, offset back to the body
  OpTinySet = 25,          // one byte equal to one of three
  OpNotTinySet = 26,       // one byte equal to none of three, not the end
  OpFullSet = 27,          // one byte whose bit is set in a 32-byte set
  OpBackRef = 28,          // the text last captured by a group (a 1-byte group number)
  OpBackRefCI = 29,        // the same, each byte also in its other case
  OpStarLazy = 30,         // lazy 0 or more
  OpPlusLazy = 31,         // lazy 1 or more
  OpBracesLazy = 32,       // lazy min to max
  OpLoopLazy = 33,         // lazy end of a counted loop
  OpLineStart = 34,        // the start of a line ("^" with m)
  OpLineEnd = 35,          // the end of a line ("$" with m)
  OpAnyButLineSep = 36,    // any byte but a line separator or the paired separator's head before its tail
  OpWordBoundary = 37,     // "\b"
  OpNotWordBoundary = 38,  // "\B"
  OpOpen = 39,             // OpOpen + n (40 to 53): group n starts here
  OpClose = 54,            // OpClose + n (55 to 68): group n ends here
};

constexpr uint8_t kMagic = 0xD8;
constexpr int32_t kFirstNode = 1;
constexpr int32_t kHeader = 5;  // kind and next offset
constexpr int32_t kInfinite = 2147483646;
constexpr int kLoopDepth = 10;
constexpr int kMaxGroupNo = 14;
constexpr int kGroups = kMaxGroupNo + 1;  // group 0 is the whole match

// Modifier bits.
constexpr unsigned kI = 1, kR = 2, kS = 4, kG = 8, kM = 16, kX = 32;

inline unsigned ModifierBit(char letter) {
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

// A set of bytes as a table indexed by the byte.
using ByteTable = std::array<bool, 256>;

// The configurable byte classes: space characters, word characters and line separators.
struct ByteClasses {
  ByteTable space{}, word{}, linesep{};
};
const ByteClasses& Classes();

// Code page 936 keeps a second case only for the ASCII letters.
inline uint8_t InvertCase(uint8_t c) {
  if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
  if (c >= 'A' && c <= 'Z') return uint8_t(c + 32);
  return c;
}

inline int32_t ReadInt(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void WriteInt(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }

inline bool IsOpen(uint8_t op) { return op > OpOpen && op <= OpOpen + kMaxGroupNo; }
inline bool IsClose(uint8_t op) { return op > OpClose && op <= OpClose + kMaxGroupNo; }
inline bool IsSimpleRepeat(uint8_t op) {
  return op == OpStar || op == OpPlus || op == OpBraces || op == OpStarLazy || op == OpPlusLazy || op == OpBracesLazy;
}
inline bool IsLazyRepeat(uint8_t op) { return op == OpStarLazy || op == OpPlusLazy || op == OpBracesLazy; }
inline bool HasBounds(uint8_t op) { return op == OpBraces || op == OpBracesLazy; }
inline bool IsBackRef(uint8_t op) { return op == OpBackRef || op == OpBackRefCI; }

// Nodes that consume exactly one byte and are judged by that byte (and, for
// OpAnyButLineSep, by whether the paired separator's tail follows it).
inline bool IsSingleByte(uint8_t op) {
  switch (op) {
    case OpLiteral: case OpLiteralCI: case OpAnyChar: case OpAnyButLineSep: case OpDigit: case OpNotDigit:
    case OpTinySet: case OpNotTinySet: case OpFullSet:
      return true;
    default:
      return false;
  }
}

// Whether a single-byte node accepts the byte c (1 to 255; the NUL is the end
// of the input and is never accepted). A literal is judged by its first byte.
// The one definition behind the first-byte set, matching one byte, counting a
// simple repeat and every byte table.
inline bool AcceptsByte(uint8_t op, const uint8_t* opnd, uint8_t c) {
  switch (op) {
    case OpLiteral: return c == opnd[0];
    case OpLiteralCI: return c == opnd[0] || c == InvertCase(opnd[0]);
    case OpAnyChar: return true;
    case OpAnyButLineSep: return !Classes().linesep[c];
    case OpDigit: return c >= '0' && c <= '9';
    case OpNotDigit: return !(c >= '0' && c <= '9');
    case OpTinySet: return c == opnd[0] || c == opnd[1] || c == opnd[2];
    case OpNotTinySet: return !(c == opnd[0] || c == opnd[1] || c == opnd[2]);
    case OpFullSet: return opnd[c >> 3] & (1 << (c & 7));
    default: return false;
  }
}

// Operand layout of the simple repeats: [min, max,] plan slot, the repeated
// node; of a branch: a table slot, then its alternative. The slots hold the
// index of what the matcher works out for the node (-1 before).
constexpr int32_t kBoundsSize = 8;
constexpr int32_t kPlanSlotSize = 4;
inline int32_t RepeatPrefix(uint8_t op) { return (HasBounds(op) ? kBoundsSize : 0) + kPlanSlotSize; }
// Operand layout of a counted loop's end: min, max, offset back to the body.
constexpr int32_t kLoopOperandSize = 12;

// Read access to a compiled program by node.
class ProgramView {
 public:
  explicit ProgramView(const uint8_t* code) : code_(code) {}

  uint8_t Kind(int32_t node) const { return code_[node]; }
  // The next node of the sequence, -1 at its end.
  int32_t Next(int32_t node) const {
    int32_t off = ReadInt(code_ + node + 1);
    return off == 0 ? -1 : node + off;
  }
  const uint8_t* Operand(int32_t node) const { return code_ + node + kHeader; }
  // The first node of the alternative a branch holds, and the index of the
  // matcher's table of the bytes it can begin with.
  int32_t BranchBody(int32_t node) const { return node + kHeader + kPlanSlotSize; }
  int32_t BranchTable(int32_t node) const { return ReadInt(Operand(node)); }
  // Bounds of a simple repeat or of a counted loop's end.
  int32_t RepeatMin(int32_t node) const {
    uint8_t op = Kind(node);
    if (HasBounds(op) || op == OpLoop || op == OpLoopLazy) return ReadInt(Operand(node));
    return op == OpPlus || op == OpPlusLazy ? 1 : 0;
  }
  int32_t RepeatMax(int32_t node) const {
    uint8_t op = Kind(node);
    if (HasBounds(op) || op == OpLoop || op == OpLoopLazy) return ReadInt(Operand(node) + 4);
    return kInfinite;
  }
  // The node a simple repeat repeats, and the index of its plan.
  int32_t RepeatOperand(int32_t node) const { return node + kHeader + RepeatPrefix(Kind(node)); }
  int32_t RepeatPlan(int32_t node) const { return ReadInt(code_ + RepeatOperand(node) - kPlanSlotSize); }
  // The first node of a counted loop's body, seen from the loop's end.
  int32_t LoopBody(int32_t node) const { return node + ReadInt(Operand(node) + 8); }
  // The group of an open, close or back-reference node.
  int Group(int32_t node) const {
    uint8_t op = Kind(node);
    if (IsOpen(op)) return op - OpOpen;
    if (IsClose(op)) return op - OpClose;
    return Operand(node)[0];
  }
  const char* LiteralText(int32_t node) const { return reinterpret_cast<const char*>(Operand(node)); }
  bool Accepts(int32_t node, uint8_t c) const { return AcceptsByte(Kind(node), Operand(node), c); }
  // Bytes from this node to the one laid out after it; a simple repeat
  // includes the node it repeats. -1 for an unknown kind.
  int32_t Size(int32_t node) const;

 private:
  const uint8_t* code_;
};

// Writing a program: the compiler and the matcher's plan builder.
inline void WriteHeader(uint8_t* code, int32_t node, uint8_t op) {
  code[node] = op;
  WriteInt(code + node + 1, 0);
}
inline void LinkNext(uint8_t* code, int32_t node, int32_t target) { WriteInt(code + node + 1, target - node); }
// Bounds of a simple repeat with braces or of a counted loop's end.
inline void WriteBounds(uint8_t* code, int32_t node, int32_t min, int32_t max) {
  WriteInt(code + node + kHeader, min);
  WriteInt(code + node + kHeader + 4, max);
}
inline void WriteRepeatPlan(uint8_t* code, int32_t node, int32_t plan) {
  WriteInt(code + node + kHeader + RepeatPrefix(code[node]) - kPlanSlotSize, plan);
}
inline void WriteBranchTable(uint8_t* code, int32_t node, int32_t table) { WriteInt(code + node + kHeader, table); }
inline void WriteLoopBody(uint8_t* code, int32_t node, int32_t body) { WriteInt(code + node + kHeader + 8, body - node); }

// The bytes a single-byte node accepts.
ByteTable TableOf(ProgramView program, int32_t node);

// The program as text, one node a line ("offset: Kind operand -> next"), for tests.
std::string DumpProgram(const std::vector<uint8_t>& code);
// Bytes of a table as a class text such as "[0-9A-Z_a-z]".
std::string DescribeBytes(const ByteTable& bytes);

}  // namespace regex_engine
