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

// Lanes equal to one of up to three bytes.
struct VectorSet {
  explicit VectorSet(const ScanBytes& s) : n(s.n) {
    for (int k = 0; k < 3; ++k) v[k] = _mm_set1_epi8(char(s.b[k < s.n ? k : 0]));
  }
  __m128i Hits(__m128i x) const {
    __m128i m = _mm_cmpeq_epi8(x, v[0]);
    if (n > 1) m = _mm_or_si128(m, _mm_cmpeq_epi8(x, v[1]));
    if (n > 2) m = _mm_or_si128(m, _mm_cmpeq_epi8(x, v[2]));
    return m;
  }
  __m128i v[3];
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

#if defined(__SSE2__)
// 64 bytes a round, one word of marks each, up to a block with a NUL; returns
// where it stopped.
size_t CopyRoundsSse2(uint8_t* dst, const uint8_t* src, size_t n, const MarkRule* rule, Marks* marks) {
  const size_t d = rule ? rule->distance : 0;
  const bool paired = rule && rule->last.n > 0;
  const __m128i zero = _mm_setzero_si128();
  const VectorSet first(rule ? rule->first : ScanBytes()), last(rule ? rule->last : ScanBytes());
  size_t i = 0;
  for (; i + 64 + d <= n; i += 64) {
    const uint8_t* s = src + i;
    __m128i a0 = Load(s), a1 = Load(s + 16), a2 = Load(s + 32), a3 = Load(s + 48);
    __m128i low = _mm_min_epu8(_mm_min_epu8(a0, a1), _mm_min_epu8(a2, a3));
    if (Mask(_mm_cmpeq_epi8(low, zero))) break;
    uint8_t* t = dst + i;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t), a0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 16), a1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 32), a2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 48), a3);
    if (!rule) continue;
    __m128i h0 = first.Hits(a0), h1 = first.Hits(a1), h2 = first.Hits(a2), h3 = first.Hits(a3);
    if (paired) {
      h0 = _mm_and_si128(h0, last.Hits(Load(s + d)));
      h1 = _mm_and_si128(h1, last.Hits(Load(s + d + 16)));
      h2 = _mm_and_si128(h2, last.Hits(Load(s + d + 32)));
      h3 = _mm_and_si128(h3, last.Hits(Load(s + d + 48)));
    }
    uint64_t word = uint64_t(Mask(h0)) | uint64_t(Mask(h1)) << 16 | uint64_t(Mask(h2)) << 32 |
                    uint64_t(Mask(h3)) << 48;
    if (word) marks->Add(i, word);
  }
  return i;
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

// The same rounds with 32-byte vectors, where the processor has them, for
// NF first bytes (none: no marks) and NL bytes further on.
template <int NF, int NL>
REGEX_AVX2 size_t CopyRoundsAvx2(uint8_t* dst, const uint8_t* src, size_t n, const MarkRule* rule, Marks* marks) {
  const size_t d = NF ? rule->distance : 0;
  __m256i f[3], l[3];
  for (int k = 0; k < 3; ++k) {
    f[k] = k < NF ? _mm256_set1_epi8(char(rule->first.b[k])) : _mm256_setzero_si256();
    l[k] = k < NL ? _mm256_set1_epi8(char(rule->last.b[k])) : _mm256_setzero_si256();
  }
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 64 + d <= n; i += 64) {
    const uint8_t* s = src + i;
    __m256i a0 = Load32(s), a1 = Load32(s + 32);
    if (Mask32(_mm256_cmpeq_epi8(_mm256_min_epu8(a0, a1), zero))) break;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), a0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 32), a1);
    if constexpr (NF > 0) {
      __m256i h0 = Hits32<NF>(a0, f), h1 = Hits32<NF>(a1, f);
      if constexpr (NL > 0) {
        h0 = _mm256_and_si256(h0, Hits32<NL>(Load32(s + d), l));
        h1 = _mm256_and_si256(h1, Hits32<NL>(Load32(s + d + 32), l));
      }
      uint64_t word = Mask32(h0) | Mask32(h1) << 32;
      if (word) marks->Add(i, word);
    }
  }
  return i;
}

template <int NF>
size_t CopyRoundsAvx2Last(uint8_t* dst, const uint8_t* src, size_t n, const MarkRule* rule, Marks* marks) {
  switch (rule->last.n) {
    case 0: return CopyRoundsAvx2<NF, 0>(dst, src, n, rule, marks);
    case 1: return CopyRoundsAvx2<NF, 1>(dst, src, n, rule, marks);
    case 2: return CopyRoundsAvx2<NF, 2>(dst, src, n, rule, marks);
    default: return CopyRoundsAvx2<NF, 3>(dst, src, n, rule, marks);
  }
}

size_t CopyRoundsAvx2Any(uint8_t* dst, const uint8_t* src, size_t n, const MarkRule* rule, Marks* marks) {
  switch (rule ? rule->first.n : 0) {
    case 0: return CopyRoundsAvx2<0, 0>(dst, src, n, rule, marks);
    case 1: return CopyRoundsAvx2Last<1>(dst, src, n, rule, marks);
    case 2: return CopyRoundsAvx2Last<2>(dst, src, n, rule, marks);
    default: return CopyRoundsAvx2Last<3>(dst, src, n, rule, marks);
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

void Marks::Add(size_t base, uint64_t bits) {
  for (; bits && complete; bits &= bits - 1) {
    if (places.size() >= cap) {
      complete = false;
      places.clear();
    } else {
      places.push_back(int64_t(base) + __builtin_ctzll(bits));
    }
  }
}

size_t CopyAndMark(uint8_t* dst, const uint8_t* src, size_t n, const MarkRule* rule, Marks* marks) {
  size_t i = 0;
  size_t d = rule ? rule->distance : 0;
  bool paired = rule && rule->last.n > 0;
  if (rule) {
    marks->places.clear();
    marks->cap = n / 8 + 16;
    marks->complete = true;
  }
#if defined(REGEX_ENGINE_AVX2)
  if (HasAvx2()) i = CopyRoundsAvx2Any(dst, src, n, rule, marks);
  else
#endif
#if defined(__SSE2__)
    i = CopyRoundsSse2(dst, src, n, rule, marks);
#endif
  // The rest, and the block with the NUL, byte by byte.
  for (; i < n && src[i]; ++i) {
    dst[i] = src[i];
    if (rule && In(rule->first, src[i]) && (!paired || (i + d < n && In(rule->last, src[i + d]))))
      marks->Add(i, 1);
  }
  dst[i] = 0;
  return i;
}

}  // namespace regex_engine
