#include "download/numberlist.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/ini.h"

namespace {
// 对不起，您输入的申请号格式不正确！
const char kWrongLength[] =
    "\xb6\xd4\xb2\xbb\xc6\xf0\xa3\xac\xc4\xfa\xca\xe4\xc8\xeb\xb5\xc4\xc9\xea\xc7\xeb\xba\xc5"
    "\xb8\xf1\xca\xbd\xb2\xbb\xd5\xfd\xc8\xb7\xa3\xa1";
}  // namespace

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
