#include "bytes.h"

#include <climits>
#include <cstring>

long BytePos(const std::string& marker, const std::string& text) { return BytePos(marker, text, 1); }

long BytePos(const std::string& marker, const std::string& text, long from) {
  if (from < 1) from = 1;
  if (marker.empty() || text.empty() || size_t(from) > text.size()) return 0;
  // The C library's search skips ahead by the marker; the markers of the pages
  // begin with "<", which a byte-by-byte hunt meets every few bytes of a page.
  const char* start = text.data() + (from - 1);
  const void* hit = memmem(start, text.size() - size_t(from - 1), marker.data(), marker.size());
  return hit ? static_cast<long>(static_cast<const char*>(hit) - text.data()) + 1 : 0;
}

std::string ByteCopy(const std::string& text, long index, long count) {
  const long len = static_cast<long>(text.size());
  if (index < 1) index = 1;
  if (count <= 0 || index > len) return std::string();
  if (count > len - index + 1) count = len - index + 1;
  return text.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

int ReadIntegerIn(const std::string& text, bool allowHex) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (allowHex && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return 0;
  long long value = 0;
  for (; i < text.size(); ++i) {
    int d = DigitValue(text[i], base);
    if (d < 0) return 0;
    value = value * base + d;
    if (value > static_cast<long long>(INT_MAX) + 1) return 0;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return 0;
  return static_cast<int>(value);
}

}  // namespace

int ReadInteger(const std::string& text) { return ReadIntegerIn(text, false); }

int ReadVersionInteger(const std::string& text) { return ReadIntegerIn(text, true); }

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  for (size_t b = 0;;) {
    const size_t e = text.find(separator, b);
    pieces.push_back(text.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) return pieces;
    b = e + 1;
  }
}

std::string TrimBytes(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
  return text.substr(b, e - b);
}

bool ReadDecimal(const std::string& text, int64_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    int digit = text[i] - '0';
    if (v > (INT64_MAX - digit) / 10) return false;
    v = v * 10 + digit;
  }
  value = negative ? -v : v;
  return true;
}

namespace {

char UpperAsciiByte(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool SameTextNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAsciiByte(a[i]) != UpperAsciiByte(b[i])) return false;
  return true;
}

std::string UpperAscii(std::string text) {
  for (char& c : text) c = UpperAsciiByte(c);
  return text;
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int hi = -1, lo = -1;
    if (text[i] == '%' && i + 2 < text.size() && (hi = DigitValue(text[i + 1], 16)) >= 0 &&
        (lo = DigitValue(text[i + 2], 16)) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void AppendPercentEscape(std::string& out, unsigned char byte) {
  static const char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}
