#pragma once
// Vector scans over the input (SSE2 on x86-64, a plain loop elsewhere).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "regex/program.h"

namespace regex_engine {

// Up to four bytes to look for; n is 0 to 4.
struct ScanBytes {
  uint8_t b[4] = {0, 0, 0, 0};
  int n = 0;
};

// The first byte in [p, end) equal to one of the bytes; end when none.
const uint8_t* FindAnyOf(const uint8_t* p, const uint8_t* end, const ScanBytes& bytes);

// The first place in [p, end) where the n-byte needle (n >= 1) stands whole;
// with fold_case each ASCII letter also matches in its other case. end when none.
const uint8_t* FindLiteral(const uint8_t* p, const uint8_t* end, const uint8_t* needle, size_t n, bool fold_case);

// Whether the n-byte needle stands at p (each ASCII letter also in its other
// case with fold_case). Short needles are compared in place: this runs once
// for every place a search finds.
inline bool LiteralAt(const uint8_t* p, const uint8_t* needle, size_t n, bool fold_case) {
  if (!fold_case && n > 16) return std::memcmp(p, needle, n) == 0;
  for (size_t k = 0; k < n; ++k)
    if (p[k] != needle[k] && (!fold_case || p[k] != InvertCase(needle[k]))) return false;
  return true;
}

// Places worth an attempt: a byte of `first` there and, when `last` holds
// bytes, one of those `distance` bytes further on.
struct MarkRule {
  ScanBytes first;
  ScanBytes last;
  size_t distance = 0;
};

// The first place in [p, end] that the rule picks or that holds a NUL; *end
// must be a NUL, so there always is one. Inputs end at their first NUL, and
// scanning for it on the way lets a search take over an input unread.
const uint8_t* FindStartOrEnd(const uint8_t* p, const uint8_t* end, const MarkRule& rule);

}  // namespace regex_engine
