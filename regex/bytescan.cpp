#include "regex/bytescan.h"

#include <cstring>

#include "regex/program.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define REGEX_ENGINE_AVX2 1
#endif

namespace regex_engine {

namespace {

bool In(const ScanBytes& s, uint8_t c) {
  for (int k = 0; k < s.n; ++k)
    if (c == s.b[k]) return true;
  return false;
}

template <bool Fold>
bool Same(const uint8_t* a, const uint8_t* b, size_t n) {
  return LiteralAt(a, b, n, Fold);
}

#if defined(__SSE2__)
inline unsigned Mask(__m128i v) { return unsigned(_mm_movemask_epi8(v)); }
inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Lanes equal to one of up to four bytes.
struct VectorSet {
  explicit VectorSet(const ScanBytes& s) : n(s.n) {
    for (int k = 0; k < 4; ++k) v[k] = _mm_set1_epi8(char(s.b[k < s.n ? k : 0]));
  }
  __m128i Hits(__m128i x) const {
    __m128i m = _mm_cmpeq_epi8(x, v[0]);
    if (n > 1) m = _mm_or_si128(m, _mm_cmpeq_epi8(x, v[1]));
    if (n > 2) m = _mm_or_si128(m, _mm_cmpeq_epi8(x, v[2]));
    if (n > 3) m = _mm_or_si128(m, _mm_cmpeq_epi8(x, v[3]));
    return m;
  }
  __m128i v[4];
  int n;
};
#endif

template <bool Fold>
const uint8_t* FindLiteralIn(const uint8_t* p, const uint8_t* end, const uint8_t* needle, size_t n) {
#if defined(__SSE2__)
  // Candidates are places where the first and the last byte of the needle
  // both stand; few survive in text, and each is checked whole.
  ScanBytes first, last;
  first.b[0] = needle[0];
  last.b[0] = needle[n - 1];
  first.b[1] = InvertCase(needle[0]);
  last.b[1] = InvertCase(needle[n - 1]);
  first.n = Fold && first.b[1] != first.b[0] ? 2 : 1;
  last.n = Fold && last.b[1] != last.b[0] ? 2 : 1;
  const VectorSet f(first), l(last);
  auto candidates = [&](const uint8_t* q) { return _mm_and_si128(f.Hits(Load(q)), l.Hits(Load(q + n - 1))); };
  // Blocks of 64 starting places while the last byte of each stays inside.
  while (size_t(end - p) >= 64 + n - 1) {
    __m128i c0 = candidates(p), c1 = candidates(p + 16), c2 = candidates(p + 32), c3 = candidates(p + 48);
    if (Mask(_mm_or_si128(_mm_or_si128(c0, c1), _mm_or_si128(c2, c3))) != 0) {
      uint64_t m = uint64_t(Mask(c0)) | uint64_t(Mask(c1)) << 16 | uint64_t(Mask(c2)) << 32 |
                   uint64_t(Mask(c3)) << 48;
      for (; m; m &= m - 1) {
        const uint8_t* q = p + __builtin_ctzll(m);
        if (Same<Fold>(q, needle, n)) return q;
      }
    }
    p += 64;
  }
#endif
  for (; size_t(end - p) >= n; ++p)
    if (Same<Fold>(p, needle, n)) return p;
  return end;
}

}  // namespace

const uint8_t* FindAnyOf(const uint8_t* p, const uint8_t* end, const ScanBytes& bytes) {
  if (bytes.n == 0 || p >= end) return end;
  if (bytes.n == 1) {
    const void* hit = std::memchr(p, bytes.b[0], size_t(end - p));
    return hit ? static_cast<const uint8_t*>(hit) : end;
  }
#if defined(__SSE2__)
  const VectorSet set(bytes);
  for (; end - p >= 32; p += 32) {
    __m128i lo = set.Hits(Load(p)), hi = set.Hits(Load(p + 16));
    if (Mask(_mm_or_si128(lo, hi)) == 0) continue;
    return p + __builtin_ctz(Mask(lo) | (Mask(hi) << 16));
  }
#endif
  for (; p < end; ++p)
    if (In(bytes, *p)) return p;
  return end;
}

const uint8_t* FindLiteral(const uint8_t* p, const uint8_t* end, const uint8_t* needle, size_t n, bool fold_case) {
  if (n == 0 || p >= end || size_t(end - p) < n) return end;
  if (n == 1 && !fold_case) {
    const void* hit = std::memchr(p, needle[0], size_t(end - p));
    return hit ? static_cast<const uint8_t*>(hit) : end;
  }
  return fold_case ? FindLiteralIn<true>(p, end, needle, n) : FindLiteralIn<false>(p, end, needle, n);
}

namespace {

// Whether the rule picks p, whose byte is not the NUL; end holds the NUL.
inline bool Picks(const uint8_t* p, const uint8_t* end, const MarkRule& rule) {
  if (!In(rule.first, *p)) return false;
  return rule.last.n == 0 || (size_t(end - p) >= rule.distance && In(rule.last, p[rule.distance]));
}

const uint8_t* FindStartBytewise(const uint8_t* p, const uint8_t* end, const MarkRule& rule) {
  for (; p < end; ++p)
    if (*p == 0 || Picks(p, end, rule)) return p;
  return end;
}

#if defined(__SSE2__)
// 64 places a round while the byte `distance` further on stays inside.
const uint8_t* FindStartSse2(const uint8_t* p, const uint8_t* end, const MarkRule& rule) {
  const size_t d = rule.distance;
  const bool paired = rule.last.n > 0;
  const __m128i zero = _mm_setzero_si128();
  const VectorSet first(rule.first), last(rule.last);
  auto lanes = [&](const uint8_t* q) {
    __m128i a = Load(q);
    __m128i hit = first.Hits(a);
    if (paired) hit = _mm_and_si128(hit, last.Hits(Load(q + d)));
    return uint64_t(Mask(_mm_or_si128(hit, _mm_cmpeq_epi8(a, zero))));
  };
  for (; size_t(end - p) >= 64 + d; p += 64) {
    uint64_t m = lanes(p) | lanes(p + 16) << 16 | lanes(p + 32) << 32 | lanes(p + 48) << 48;
    if (m) return p + __builtin_ctzll(m);
  }
  return FindStartBytewise(p, end, rule);
}
#endif

#if defined(REGEX_ENGINE_AVX2)
#define REGEX_AVX2 __attribute__((target("avx2")))
REGEX_AVX2 inline __m256i Load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
// Lanes equal to one of the first N bytes in v.
template <int N>
REGEX_AVX2 inline __m256i Hits32(__m256i x, const __m256i* v) {
  __m256i m = _mm256_cmpeq_epi8(x, v[0]);
  if constexpr (N > 1) m = _mm256_or_si256(m, _mm256_cmpeq_epi8(x, v[1]));
  if constexpr (N > 2) m = _mm256_or_si256(m, _mm256_cmpeq_epi8(x, v[2]));
  return m;
}
REGEX_AVX2 inline uint64_t Mask32(__m256i v) { return uint32_t(_mm256_movemask_epi8(v)); }

// The same rounds with 32-byte vectors, where the processor has them, for NF
// first bytes and NL bytes further on.
template <int NF, int NL>
REGEX_AVX2 const uint8_t* FindStartAvx2(const uint8_t* p, const uint8_t* end, const MarkRule& rule) {
  const size_t d = rule.distance;
  __m256i f[3], l[3];
  for (int k = 0; k < 3; ++k) {
    f[k] = _mm256_set1_epi8(char(rule.first.b[k < NF ? k : 0]));
    l[k] = _mm256_set1_epi8(char(rule.last.b[k < NL ? k : 0]));
  }
  const __m256i zero = _mm256_setzero_si256();
  for (; size_t(end - p) >= 64 + d; p += 64) {
    __m256i a0 = Load32(p), a1 = Load32(p + 32);
    __m256i h0 = Hits32<NF>(a0, f), h1 = Hits32<NF>(a1, f);
    if constexpr (NL > 0) {
      h0 = _mm256_and_si256(h0, Hits32<NL>(Load32(p + d), l));
      h1 = _mm256_and_si256(h1, Hits32<NL>(Load32(p + d + 32), l));
    }
    h0 = _mm256_or_si256(h0, _mm256_cmpeq_epi8(a0, zero));
    h1 = _mm256_or_si256(h1, _mm256_cmpeq_epi8(a1, zero));
    uint64_t m = Mask32(h0) | Mask32(h1) << 32;
    if (m) return p + __builtin_ctzll(m);
  }
  return FindStartBytewise(p, end, rule);
}

template <int NF>
const uint8_t* FindStartAvx2Last(const uint8_t* p, const uint8_t* end, const MarkRule& rule) {
  switch (rule.last.n) {
    case 0: return FindStartAvx2<NF, 0>(p, end, rule);
    case 1: return FindStartAvx2<NF, 1>(p, end, rule);
    case 2: return FindStartAvx2<NF, 2>(p, end, rule);
    default: return FindStartAvx2<NF, 3>(p, end, rule);
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

const uint8_t* FindStartOrEnd(const uint8_t* p, const uint8_t* end, const MarkRule& rule) {
#if defined(REGEX_ENGINE_AVX2)
  if (HasAvx2()) {
    switch (rule.first.n) {
      case 1: return FindStartAvx2Last<1>(p, end, rule);
      case 2: return FindStartAvx2Last<2>(p, end, rule);
      case 3: return FindStartAvx2Last<3>(p, end, rule);
      default: break;
    }
  }
#endif
#if defined(__SSE2__)
  return FindStartSse2(p, end, rule);
#else
  return FindStartBytewise(p, end, rule);
#endif
}

}  // namespace regex_engine
