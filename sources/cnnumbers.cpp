#include "sources/cnnumbers.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/bytes.h"
#include "sources/sourcetexts.h"

namespace {

using namespace cnnumberstext;

// The full-width space, GBK A1 A1, at i.
bool IsWideBlankAt(const std::string& s, size_t i) {
  return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xA1 && static_cast<unsigned char>(s[i + 1]) == 0xA1;
}

bool AllDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// A narrowed entry as a publication: [CN][ .]digits[ .]KIND[digit].
bool ReadPublication(const std::string& s, TCnNumber& pub) {
  size_t b = s.rfind("CN", 0) == 0 ? 2 : 0;
  if (b < s.size() && (s[b] == ' ' || s[b] == '.')) ++b;
  size_t e = s.size();
  if (e > b && s[e - 1] >= '0' && s[e - 1] <= '9' && e >= 2 && IsPublicationKind(s[e - 2])) --e;
  if (e <= b || !IsPublicationKind(s[e - 1])) return false;
  const char kind = s[--e];
  if (e > b && (s[e - 1] == ' ' || s[e - 1] == '.')) --e;
  if (e - b < 7 || e - b > 9 || !AllDigits(s, b, e)) return false;
  pub.form = TCnNumber::TForm::Publication;
  pub.digits = s.substr(b, e - b);
  pub.kind = kind;
  return true;
}

}  // namespace

bool NarrowPastedEntry(const std::string& entry, std::string& out) {
  size_t b = 0, e = entry.size();
  for (;;) {
    if (b < e && static_cast<unsigned char>(entry[b]) <= 0x20)
      ++b;
    else if (b + 2 <= e && IsWideBlankAt(entry, b))
      b += 2;
    else
      break;
  }
  for (;;) {
    if (e > b && static_cast<unsigned char>(entry[e - 1]) <= 0x20)
      --e;
    else if (e >= b + 2 && IsWideBlankAt(entry, e - 2))
      e -= 2;
    else
      break;
  }
  out.clear();
  for (size_t i = b; i < e; ++i) {
    unsigned char c = static_cast<unsigned char>(entry[i]);
    if (c >= 0x81 && i + 1 < e) {
      unsigned char t = static_cast<unsigned char>(entry[++i]);
      if (c != 0xA3 || t < 0xA1 || t == 0xFF) return false;
      c = static_cast<unsigned char>(t - 0x80);
    }
    out += static_cast<char>(c);
  }
  out = UpperAscii(out);
  return true;
}

char ApplicationCheckDigit(const std::string& digits) {
  static const int kWeights[] = {2, 3, 4, 5, 6, 7, 8, 9, 2, 3, 4, 5};
  int sum = 0;
  for (size_t i = 0; i < digits.size() && i < std::size(kWeights); ++i) sum += (digits[i] - '0') * kWeights[i];
  int c = sum % 11;
  return c == 10 ? 'X' : static_cast<char>('0' + c);
}

bool IsPlainEntry(const std::string& entry) {
  return std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ReadPastedNumber(const std::string& entry, std::string& number, std::string& reason) {
  std::string s;
  if (!NarrowPastedEntry(entry, s)) {
    reason = kUnreadable;
    return false;
  }
  if (s.rfind("CN", 0) == 0 || s.rfind("ZL", 0) == 0) s.erase(0, 2);
  std::string check;
  if (size_t dot = s.find('.'); dot != std::string::npos) {
    check = s.substr(dot + 1);
    s.erase(dot);
  }
  if (s.empty() || !IsPlainEntry(s) || check.size() > 1 || (check.size() == 1 && !IsPlainEntry(check) && check != "X")) {
    reason = kUnreadable;
    return false;
  }
  if (s.size() != 8 && s.size() != 12) {
    reason = kNotEightOrTwelve;
    return false;
  }
  if (!check.empty() && check[0] != ApplicationCheckDigit(s)) {
    reason = kWrongCheckDigit + std::string(1, ApplicationCheckDigit(s));
    return false;
  }
  number = s;
  return true;
}

bool IsPublicationKind(char kind) { return kind != 0 && std::strchr("ABCUYSD", kind) != nullptr; }

bool ReadCnNumber(const std::string& entry, TCnNumber& number, std::string& reason) {
  std::string narrowed;
  if (NarrowPastedEntry(entry, narrowed) && ReadPublication(narrowed, number)) return true;
  if (!ReadPastedNumber(entry, number.digits, reason)) return false;
  number.form = TCnNumber::TForm::Application;
  number.kind = 0;
  return true;
}
