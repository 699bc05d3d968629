#pragma once
// Vector scans over the input (SSE2 on x86-64, a plain loop elsewhere).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "regex/program.h"

namespace regex_engine {

// Up to three bytes to look for; n is 0 to 3.
struct ScanBytes {
  uint8_t b[3] = {0, 0, 0};
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

// An allocator that leaves new elements uninitialised, for buffers that are
// overwritten at once.
template <typename T>
struct UninitAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitAllocator<U>;
  };
  UninitAllocator() = default;
  template <typename U>
  UninitAllocator(const UninitAllocator<U>&) {}
  template <typename U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using ByteBuffer = std::vector<uint8_t, UninitAllocator<uint8_t>>;

// Marked places of an input, in ascending order; they stop being kept when
// they grow past an eighth of the input (such a pattern is better served by
// looking for its start directly).
struct Marks {
  std::vector<int64_t> places;
  size_t cap = 0;
  bool complete = true;
  void Add(size_t base, uint64_t bits);  // places base + each set bit
};

// Places worth an attempt: a byte of `first` there and, when `last` holds
// bytes, one of those `distance` bytes further on.
struct MarkRule {
  ScanBytes first;
  ScanBytes last;
  size_t distance = 0;
};

// Copies src (n bytes) up to its first NUL into dst (room for n + 1 bytes),
// ends the copy with a NUL and returns its length. With a rule, marks each
// place of the copy that the rule picks (and no others); all in the same pass.
size_t CopyAndMark(uint8_t* dst, const uint8_t* src, size_t n, const MarkRule* rule, Marks* marks);


}  // namespace regex_engine
