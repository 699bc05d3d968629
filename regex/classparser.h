#pragma once
// Reading the byte escapes and the classes of a pattern, for the compiler.
#include <cstdint>

#include "regex/errors.h"
#include "regex/program.h"

namespace regex_engine {

struct PatternReader {
  const char* begin;  // the pattern, for the offset of an error
  const char* p;      // where reading goes on
  unsigned flags;     // the modifiers in force

  [[noreturn]] void Error(ErrorCode code) const { throw EngineError{code, int(p - begin)}; }
  // "\t", "\n", "\r", "\f", "\a", "\e" and "\x" with its hex digits, p past the
  // escaped letter; false for other letters.
  bool ByteEscape(char e, uint8_t& out);
  // A class, p past its "["; the members and whether it is negated, p past its "]".
  ByteTable Class(bool& negated);

 private:
  uint8_t ReadHex();
  void AddMember(ByteTable& set, uint8_t c);
  void AddRange(ByteTable& set, int lo, int hi);
  bool ClassElement(ByteTable& set, uint8_t& byte);
};

}  // namespace regex_engine
