#include "download/numberlist.h"

#include <algorithm>
#include <iterator>

#include "base/bytes.h"
#include "base/ini.h"
#include "download/downtexts.h"
#include "sources/cnnumbers.h"

using namespace numberlisttext;

TCliEntry AddCliEntry(std::vector<std::string>& list, const std::string& entry, bool typed, TSourceKind source,
                      std::string& message) {
  if (ReadListEntry(source, entry, message) == TListEntry::Publication) {
    list.push_back(entry);
    return TCliEntry::Added;
  }
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
