#include "download/claimcut.h"

#include <vector>

#include "base/gbk.h"

namespace {

using Text = std::u32string;

Text Decode(const std::string& utf8) {
  Text out;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = Utf8SequenceAt(utf8.data() + i, utf8.size() - i);
    if (n == 0) {
      ++i;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp = n == 1 ? c : c & (0xFF >> (n + 1));
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out += cp;
    i += n;
  }
  return out;
}

std::string Encode(const Text& text) {
  std::string s;
  for (char32_t cp : text) {
    if (cp < 0x80) {
      s += char(cp);
    } else if (cp < 0x800) {
      s += char(0xC0 | (cp >> 6));
      s += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      s += char(0xE0 | (cp >> 12));
      s += char(0x80 | ((cp >> 6) & 0x3F));
      s += char(0x80 | (cp & 0x3F));
    } else {
      s += char(0xF0 | (cp >> 18));
      s += char(0x80 | ((cp >> 12) & 0x3F));
      s += char(0x80 | ((cp >> 6) & 0x3F));
      s += char(0x80 | (cp & 0x3F));
    }
  }
  return s;
}

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r' || c == 0x3000; }

bool IsWide(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFFEF);
}

int DigitOf(char32_t c) {
  if (c >= U'0' && c <= U'9') return int(c - U'0');
  if (c >= 0xFF10 && c <= 0xFF19) return int(c - 0xFF10);  // full-width
  return -1;
}

bool StartsWith(const Text& line, size_t at, const Text& word) { return line.compare(at, word.size(), word) == 0; }

// The number of the claim the line opens, 0 when it opens none: the number, blanks, and
// a separator that no digit follows (else it is a decimal) or the words a claim begins
// with (a dropped separator is a common misreading).
int ClaimOpened(const Text& line) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  int number = 0;
  size_t digits = 0;
  for (; i < line.size() && DigitOf(line[i]) >= 0; ++i, ++digits) number = number * 10 + DigitOf(line[i]);
  if (digits == 0 || digits > 3) return 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  static const Text kSeparators = U".．、，,:：。";
  if (i < line.size() && kSeparators.find(line[i]) != Text::npos)
    return i + 1 < line.size() && DigitOf(line[i + 1]) >= 0 ? 0 : number;
  for (const Text& opening : {Text(U"一种"), Text(U"根据"), Text(U"如权利要求"), Text(U"按照"), Text(U"权利要求")})
    if (StartsWith(line, i, opening)) return number;
  return 0;
}

}  // namespace

std::string FirstClaimFromText(const std::string& recognised) {
  std::vector<Text> lines;
  Text all = Decode(GbkToUtf8(recognised));
  for (size_t start = 0; start <= all.size();) {
    size_t end = all.find(U'\n', start);
    if (end == Text::npos) end = all.size();
    lines.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  size_t first = 0;
  while (first < lines.size() && ClaimOpened(lines[first]) != 1) ++first;
  if (first == lines.size()) return {};
  Text claim;
  for (size_t k = first; k < lines.size() && (k == first || ClaimOpened(lines[k]) < 2); ++k) {
    for (char32_t c : lines[k]) {
      if (IsBlank(c)) {
        if (!claim.empty() && claim.back() != U' ') claim += U' ';
        continue;
      }
      // A blank survives only between two narrow characters ("Int. Cl", "0.5 mm").
      if (!claim.empty() && claim.back() == U' ' && (IsWide(c) || (claim.size() > 1 && IsWide(claim[claim.size() - 2]))))
        claim.pop_back();
      claim += c;
    }
    if (!claim.empty() && claim.back() != U' ') claim += U' ';
  }
  while (!claim.empty() && claim.back() == U' ') claim.pop_back();
  size_t lead = 0;
  while (lead < claim.size() && claim[lead] == U' ') ++lead;
  return Utf8ToGbk(Encode(claim.substr(lead)));
}
