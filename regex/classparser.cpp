#include "regex/classparser.h"

#include <cstring>

namespace regex_engine {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void Unite(ByteTable& set, const ByteTable& more) {
  for (size_t c = 0; c < set.size(); ++c) set[c] = set[c] || more[c];
}

}  // namespace

// "\x" followed by two hex digits or "{" up to two hex digits "}"; p is past the "x".
uint8_t PatternReader::ReadHex() {
  if (*p == '{') {
    ++p;
    int v = 0, digits = 0;
    for (;;) {
      char c = *p;
      if (c == '\0') Error(kErrNoHexCode);
      if (c == '}') {
        ++p;
        return uint8_t(v);
      }
      int h = HexValue(c);
      if (h < 0) Error(kErrBadHexDigit);
      if (++digits > 2) Error(kErrHexTooBig);
      v = v * 16 + h;
      ++p;
    }
  }
  int v = 0;
  for (int i = 0; i < 2; ++i) {
    char c = *p;
    if (c == '\0') Error(kErrNoHexCode);
    int h = HexValue(c);
    if (h < 0) Error(kErrBadHexDigit);
    v = v * 16 + h;
    ++p;
  }
  return uint8_t(v);
}

// A one-byte escape, p past the escaped letter; returns false for letters
// that are not byte escapes.
bool PatternReader::ByteEscape(char e, uint8_t& out) {
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

void PatternReader::AddMember(ByteTable& set, uint8_t c) {
  set[c] = true;
  if (flags & kI) set[InvertCase(c)] = true;
}
void PatternReader::AddRange(ByteTable& set, int lo, int hi) {
  if (flags & kR) {
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
  if (hi < lo) Error(kErrInvalidRange);
  for (int c = lo; c <= hi; ++c) AddMember(set, uint8_t(c));
}

// One class element: a byte (returns true) or one of \d \s \w added to set.
bool PatternReader::ClassElement(ByteTable& set, uint8_t& byte) {
  if (*p != '\\') {
    byte = uint8_t(*p++);
    return true;
  }
  ++p;
  char e = *p;
  if (e == '\0') Error(kErrClassTrailingBackslash);
  ++p;
  const ByteClasses& sets = Classes();
  switch (e) {
    case 'd':
      for (int c = '0'; c <= '9'; ++c) set[size_t(c)] = true;
      return false;
    case 's':
      Unite(set, sets.space);
      return false;
    case 'w':
      Unite(set, sets.word);
      return false;
    default:
      if (!ByteEscape(e, byte)) byte = uint8_t(e);
      return true;
  }
}

ByteTable PatternReader::Class(bool& negated) {
  negated = false;
  if (*p == '^') {
    negated = true;
    ++p;
  }
  ByteTable set{};
  if (*p == ']') {
    AddMember(set, ']');
    ++p;
  }
  for (;;) {
    if (*p == '\0') Error(kErrUnmatchedBracket);
    if (*p == ']') {
      ++p;
      break;
    }
    uint8_t lo;
    if (!ClassElement(set, lo)) continue;
    if (p[0] == '-' && p[1] != ']' && p[1] != '\0') {
      if (p[1] == '\\' && p[2] && std::strchr("dDsSwW", p[2])) {
        // "-" before a class escape is a member; the escape is read on its own
        AddMember(set, lo);
        AddMember(set, '-');
        ++p;
        continue;
      }
      ++p;
      uint8_t hi = 0;
      ByteTable ignored{};
      ClassElement(ignored, hi);
      AddRange(set, lo, hi);
      continue;
    }
    AddMember(set, lo);
  }
  return set;
}

}  // namespace regex_engine
