#include "gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

// iconv descriptors are costly to open and not thread-safe, so each thread keeps its own.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts, calling onBad(in, left, out) for each byte run iconv refuses; onBad
  // appends a replacement and returns how many input bytes to skip.
  template <typename OnBad>
  std::string Run(const std::string& input, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(input.size() * 3 / 2 + 8);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buf[4096];
    while (inLeft > 0) {
      char* o = buf;
      size_t oLeft = sizeof buf;
      size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buf, o - buf);
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      size_t skip = onBad(in, inLeft, out);
      in += skip;
      inLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

size_t Utf8SequenceLength(const char* p, size_t left) {
  unsigned char c = static_cast<unsigned char>(p[0]);
  size_t want = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  size_t n = 1;
  while (n < want && n < left && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
  return n;
}

std::string ToGbk(const std::string& utf8, bool& exact, bool references) {
  thread_local Converter conv("GBK", "UTF-8");
  exact = true;
  return conv.Run(utf8, [&](const char* p, size_t left, std::string& out) -> size_t {
    exact = false;
    size_t n = Utf8SequenceAt(p, left);
    if (references && n > 0) {
      out += "&#" + std::to_string(Utf8CodePointAt(p, n)) + ";";
      return n;
    }
    out += '?';
    return n > 0 ? n : Utf8SequenceLength(p, left);
  });
}

}  // namespace

std::string GbkWithReferencesToUtf8(const std::string& gbk) {
  std::string utf8 = GbkToUtf8(gbk);
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const size_t end = utf8.compare(i, 2, "&#") == 0 ? utf8.find(';', i) : std::string::npos;
    unsigned cp = 0;
    bool digits = end != std::string::npos && end > i + 2 && end - i <= 9;
    for (size_t k = i + 2; digits && k < end; ++k) {
      digits = utf8[k] >= '0' && utf8[k] <= '9';
      cp = cp * 10 + unsigned(utf8[k] - '0');
    }
    std::string one;
    // Only what Utf8ToGbkWithReferences writes: a scalar value GBK has no form of.
    if (digits && cp >= 0x80 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF)) {
      if (cp < 0x800) {
        one = {char(0xC0 | (cp >> 6)), char(0x80 | (cp & 0x3F))};
      } else if (cp < 0x10000) {
        one = {char(0xE0 | (cp >> 12)), char(0x80 | ((cp >> 6) & 0x3F)), char(0x80 | (cp & 0x3F))};
      } else {
        one = {char(0xF0 | (cp >> 18)), char(0x80 | ((cp >> 12) & 0x3F)), char(0x80 | ((cp >> 6) & 0x3F)),
               char(0x80 | (cp & 0x3F))};
      }
      std::string back;
      if (Utf8ToGbkExact(one, back)) one.clear();
    }
    if (one.empty()) {
      out += utf8[i++];
    } else {
      out += one;
      i = end + 1;
    }
  }
  return out;
}

unsigned Utf8CodePointAt(const char* text, size_t n) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (n == 1) return p[0];
  unsigned cp = p[0] & (0xFF >> (n + 1));
  for (size_t i = 1; i < n; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  return cp;
}

size_t Utf8SequenceAt(const char* text, size_t left) {
  if (left == 0) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  size_t n;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (left < n || p[1] < lo || p[1] > hi) return 0;
  for (size_t i = 2; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}

bool IsCjkCodePoint(unsigned cp) {
  return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
         (cp >= 0xFF00 && cp <= 0xFFEF);
}

bool IsHanCodePoint(unsigned cp) {
  return (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0x20000 && cp <= 0x3FFFF) || cp == 0x3007;
}

std::string GbkToUtf8(const std::string& gbk) {
  thread_local Converter conv("UTF-8", "GBK");
  return conv.Run(gbk, [](const char*, size_t, std::string& out) -> size_t {
    out += "\xEF\xBF\xBD";
    return 1;
  });
}

std::string Utf8ToGbk(const std::string& utf8) {
  bool exact;
  return ToGbk(utf8, exact, false);
}

bool Utf8ToGbkExact(const std::string& utf8, std::string& gbk) {
  bool exact;
  std::string out = ToGbk(utf8, exact, false);
  // Some characters share a GBK form; only a round trip proves the text survives.
  if (!exact || GbkToUtf8(out) != utf8) return false;
  gbk = std::move(out);
  return true;
}

std::string Utf8ToGbkWithReferences(const std::string& utf8) {
  bool exact;
  return ToGbk(utf8, exact, true);
}

std::string ValidUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    size_t n = Utf8SequenceAt(bytes.data() + i, bytes.size() - i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(bytes, i, n);
      i += n;
    }
  }
  return out;
}
