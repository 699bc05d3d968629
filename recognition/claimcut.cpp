#include "recognition/claimcut.h"

#include <vector>

#include "base/gbk.h"

namespace {

// A recognised text as its characters: each one's code point and its UTF-8 bytes.
struct Char {
  char32_t cp;
  std::string utf8;
};
using Text = std::vector<Char>;

Text Decode(const std::string& utf8) {
  Text out;
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = Utf8SequenceAt(utf8.data() + i, utf8.size() - i);
    if (n == 0) {
      ++i;
      continue;
    }
    out.push_back({Utf8CodePointAt(utf8.data() + i, n), utf8.substr(i, n)});
    i += n;
  }
  return out;
}

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r' || c == 0x3000; }

int DigitOf(char32_t c) {
  if (c >= U'0' && c <= U'9') return int(c - U'0');
  if (c >= 0xFF10 && c <= 0xFF19) return int(c - 0xFF10);  // full-width
  return -1;
}

bool StartsWith(const Text& line, size_t at, const std::u32string& word) {
  if (at + word.size() > line.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if (line[at + k].cp != word[k]) return false;
  return true;
}

// The number of the claim the line opens, 0 when it opens none: the number, blanks, and
// a separator that no digit follows (else it is a decimal) or the words a claim begins
// with (a dropped separator is a common misreading).
int ClaimOpened(const Text& line) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i].cp)) ++i;
  int number = 0;
  size_t digits = 0;
  for (; i < line.size() && DigitOf(line[i].cp) >= 0; ++i, ++digits)
    if (digits < 3) number = number * 10 + DigitOf(line[i].cp);
  if (digits == 0 || digits > 3) return 0;
  while (i < line.size() && IsBlank(line[i].cp)) ++i;
  static const std::u32string kSeparators = U".．、，,:：。";
  if (i < line.size() && kSeparators.find(line[i].cp) != std::u32string::npos)
    return i + 1 < line.size() && DigitOf(line[i + 1].cp) >= 0 ? 0 : number;
  for (const char32_t* opening : {U"一种", U"根据", U"如权利要求", U"按照", U"权利要求"})
    if (StartsWith(line, i, opening)) return number;
  return 0;
}

}  // namespace

std::string FirstClaimFromText(const std::string& recognised) {
  std::vector<Text> lines(1);
  for (Char& c : Decode(GbkToUtf8(recognised))) {
    if (c.cp == U'\n')
      lines.emplace_back();
    else
      lines.back().push_back(std::move(c));
  }
  size_t first = 0;
  while (first < lines.size() && ClaimOpened(lines[first]) != 1) ++first;
  if (first == lines.size()) return {};
  // The claim's characters, a blank (0) where one stands between words.
  std::vector<const Char*> claim;
  auto lastIsBlank = [&] { return !claim.empty() && claim.back() == nullptr; };
  for (size_t k = first; k < lines.size() && (k == first || ClaimOpened(lines[k]) < 2); ++k) {
    for (const Char& c : lines[k]) {
      if (IsBlank(c.cp)) {
        if (!claim.empty() && !lastIsBlank()) claim.push_back(nullptr);
        continue;
      }
      // A blank survives only between two narrow characters ("Int. Cl", "0.5 mm").
      if (lastIsBlank() && (IsCjkCodePoint(c.cp) || IsCjkCodePoint(claim[claim.size() - 2]->cp))) claim.pop_back();
      claim.push_back(&c);
    }
    if (!claim.empty() && !lastIsBlank()) claim.push_back(nullptr);
  }
  std::string utf8;
  for (const Char* c : claim) utf8 += c ? c->utf8 : " ";
  while (!utf8.empty() && utf8.back() == ' ') utf8.pop_back();
  return Utf8ToGbk(utf8);
}
