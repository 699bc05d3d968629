#include "download/numberlist.h"

#include <algorithm>
#include <iterator>

#include "base/bytes.h"
#include "base/ini.h"
#include "download/downtexts.h"

namespace {

using namespace numberlisttext;

// The full-width space, GBK A1 A1, at i.
bool IsWideBlankAt(const std::string& s, size_t i) {
  return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xA1 && static_cast<unsigned char>(s[i + 1]) == 0xA1;
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

TCliEntry AddCliEntry(std::vector<std::string>& list, const std::string& entry, bool typed, std::string& message) {
  if (IsPlainEntry(entry)) {
    if (!typed) {
      list.push_back(entry);
      return TCliEntry::Added;
    }
    std::string text = entry;
    return AddTypedNumber(list, text, message) ? TCliEntry::Added : TCliEntry::WrongLength;
  }
  std::string number;
  if (!ReadPastedNumber(entry, number, message)) return TCliEntry::Refused;
  if (std::find(list.begin(), list.end(), number) == list.end()) list.push_back(number);
  return TCliEntry::Added;
}

bool AddTypedNumber(std::vector<std::string>& list, std::string& text, std::string& error) {
  text = TrimBytes(text);
  if (text.size() != 6 && text.size() != 8 && text.size() != 12) {
    error = kWrongLength;
    return false;
  }
  error.clear();
  if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(text);
  return true;
}

std::vector<std::string> ImportNumberFile(const TPath& path) { return ReadTextLines(path); }

std::string NumbersAsText(const std::vector<std::string>& list) { return JoinLinesCrLf(list); }

bool ReadsAsNumber(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  auto digits = [&] {
    size_t from = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    return i - from;
  };
  while (i < n && text[i] == ' ') ++i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissa = digits();
  bool point = i < n && text[i] == '.';
  if (point) {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0 && !point) return false;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  while (i < n && text[i] == ' ') ++i;
  return i == n;
}
