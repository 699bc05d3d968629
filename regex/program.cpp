#include "regex/program.h"

#include <cstdio>

namespace regex_engine {

namespace {

constexpr const char* kSpaces = " \t\n\r\f";
constexpr const char* kWords = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
constexpr const char* kLineSeps = "\r\n";

const char* KindName(uint8_t op) {
  switch (op) {
    case OpEnd: return "End";
    case OpInputStart: return "InputStart";
    case OpInputEnd: return "InputEnd";
    case OpAnyChar: return "AnyChar";
    case OpBranch: return "Branch";
    case OpBack: return "Back";
    case OpLiteral: return "Literal";
    case OpEmpty: return "Empty";
    case OpStar: return "Star";
    case OpPlus: return "Plus";
    case OpDigit: return "Digit";
    case OpNotDigit: return "NotDigit";
    case OpBraces: return "Braces";
    case OpComment: return "Comment";
    case OpLiteralCI: return "LiteralCI";
    case OpLoopEntry: return "LoopEntry";
    case OpLoop: return "Loop";
    case OpTinySet: return "TinySet";
    case OpNotTinySet: return "NotTinySet";
    case OpFullSet: return "FullSet";
    case OpBackRef: return "BackRef";
    case OpBackRefCI: return "BackRefCI";
    case OpStarLazy: return "StarLazy";
    case OpPlusLazy: return "PlusLazy";
    case OpBracesLazy: return "BracesLazy";
    case OpLoopLazy: return "LoopLazy";
    case OpLineStart: return "LineStart";
    case OpLineEnd: return "LineEnd";
    case OpAnyButLineSep: return "AnyButLineSep";
    case OpWordBoundary: return "WordBoundary";
    case OpNotWordBoundary: return "NotWordBoundary";
    default: return nullptr;
  }
}

void AppendByte(std::string& out, uint8_t c) {
  if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"' && c != ']' && c != '-') {
    out.push_back(char(c));
  } else {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02x", c);
    out += buf;
  }
}

// One node without its next link.
std::string DescribeNode(ProgramView program, int32_t node) {
  uint8_t op = program.Kind(node);
  if (IsOpen(op)) return "Open " + std::to_string(program.Group(node));
  if (IsClose(op)) return "Close " + std::to_string(program.Group(node));
  const char* name = KindName(op);
  if (!name) return "?" + std::to_string(op);
  std::string out = name;
  const uint8_t* opnd = program.Operand(node);
  switch (op) {
    case OpLiteral:
    case OpLiteralCI:
      out += " \"";
      for (const uint8_t* s = opnd; *s; ++s) AppendByte(out, *s);
      out += "\"";
      break;
    case OpTinySet:
    case OpNotTinySet:
      out += " \"";
      for (int k = 0; k < 3; ++k) AppendByte(out, opnd[k]);
      out += "\"";
      break;
    case OpFullSet:
      out += " " + DescribeBytes(TableOf(program, node));
      break;
    case OpBackRef:
    case OpBackRefCI:
      out += " " + std::to_string(program.Group(node));
      break;
    case OpLoop:
    case OpLoopLazy:
      out += " " + std::to_string(program.RepeatMin(node)) + ".." + std::to_string(program.RepeatMax(node)) +
             " body " + std::to_string(program.LoopBody(node));
      break;
    default:
      if (IsSimpleRepeat(op)) {
        out += " " + std::to_string(program.RepeatMin(node)) + ".." + std::to_string(program.RepeatMax(node)) +
               " (" + DescribeNode(program, program.RepeatOperand(node)) + ")";
      }
      break;
  }
  return out;
}

}  // namespace

const ByteClasses& Classes() {
  static const ByteClasses classes = [] {
    ByteClasses c;
    for (const char* p = kSpaces; *p; ++p) c.space[uint8_t(*p)] = true;
    for (const char* p = kWords; *p; ++p) c.word[uint8_t(*p)] = true;
    for (const char* p = kLineSeps; *p; ++p) c.linesep[uint8_t(*p)] = true;
    return c;
  }();
  return classes;
}

int32_t ProgramView::Size(int32_t node) const {
  uint8_t op = Kind(node);
  switch (op) {
    case OpLiteral: case OpLiteralCI: return kHeader + int32_t(std::strlen(LiteralText(node))) + 1;
    case OpTinySet: case OpNotTinySet: return kHeader + 3;
    case OpFullSet: return kHeader + 32;
    case OpBackRef: case OpBackRefCI: return kHeader + 1;
    case OpLoop: case OpLoopLazy: return kHeader + kLoopOperandSize;
    case OpBranch: return kHeader + kPlanSlotSize;
    default:
      if (IsSimpleRepeat(op)) {
        int32_t inner = Size(RepeatOperand(node));
        return inner < 0 ? -1 : kHeader + RepeatPrefix(op) + inner;
      }
      return KindName(op) || IsOpen(op) || IsClose(op) ? kHeader : -1;
  }
}

ByteTable TableOf(ProgramView program, int32_t node) {
  ByteTable t{};
  for (int c = 1; c < 256; ++c) t[size_t(c)] = program.Accepts(node, uint8_t(c));
  return t;
}

std::string DescribeBytes(const ByteTable& bytes) {
  std::string out = "[";
  for (int c = 0; c < 256; ++c) {
    if (!bytes[size_t(c)]) continue;
    int e = c;
    while (e + 1 < 256 && bytes[size_t(e + 1)]) ++e;
    AppendByte(out, uint8_t(c));
    if (e > c + 1) out += "-";
    if (e > c) AppendByte(out, uint8_t(e));
    c = e;
  }
  return out + "]";
}

std::string DumpProgram(const std::vector<uint8_t>& code) {
  std::string out;
  ProgramView program(code.data());
  for (int32_t node = kFirstNode; node < int32_t(code.size());) {
    int32_t size = program.Size(node);
    out += std::to_string(node) + ": " + DescribeNode(program, node);
    int32_t next = program.Next(node);
    if (next >= 0) out += " -> " + std::to_string(next);
    out += "\n";
    if (size <= 0) break;
    node += size;
  }
  return out;
}

}  // namespace regex_engine
