#include "tools/glossarybuild.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/bytes.h"
#include "base/gbk.h"

namespace {

std::vector<std::string> Words(std::string_view s) {
  std::vector<std::string> words;
  for (std::string& w : SplitAt(std::string(s), ' '))
    if (!w.empty()) words.push_back(std::move(w));
  return words;
}

// The text with every (...) and [...] removed, nested ones too; an unclosed one runs to
// the end.
std::string WithoutNotes(std::string_view s) {
  std::string out;
  int depth = 0;
  for (char c : s) {
    if (c == '(' || c == '[')
      ++depth;
    else if ((c == ')' || c == ']') && depth > 0)
      --depth;
    else if (depth == 0)
      out += c;
  }
  return out;
}

// Blanks collapsed to one, none at either end.
std::string Collapsed(std::string_view s) {
  std::string out;
  for (const std::string& w : Words(s)) out += (out.empty() ? "" : " ") + w;
  return out;
}

bool HasPrefix(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

bool StripPrefix(std::string& s, std::string_view p) {
  if (!HasPrefix(s, p)) return false;
  s.erase(0, p.size());
  return true;
}

bool HasWideCharacter(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = Utf8SequenceAt(s.data() + i, s.size() - i);
    if (n == 0) return true;  // not UTF-8: nothing a search could send
    const unsigned cp = Utf8CodePointAt(s.data() + i, n);
    if (IsHanCodePoint(cp) || IsCjkCodePoint(cp)) return true;
    i += n;
  }
  return false;
}

// Characters a CQL term would read as syntax (truncation, quotes, relations, brackets) or
// that mark an explanation rather than a name; "|" separates equivalents in the table.
bool HasSyntax(std::string_view s) {
  return s.find_first_of("?*#|\"\\[](){}<>=:;,~/") != std::string_view::npos || s.find("...") != s.npos;
}

bool HasLetter(std::string_view s) {
  for (char c : s)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// Words that stand for an argument ("to give sb sth") or join alternatives: the piece is a
// pattern or a description, not a name a title would use.
bool IsPattern(const std::vector<std::string>& words) {
  static const std::set<std::string> kMarks = {"sth",      "sb",   "one's", "oneself", "someone", "something",
                                               "somebody", "sth.", "sb.",   "or",      "etc",     "etc."};
  for (const std::string& w : words)
    if (kMarks.count(LowerAscii(w))) return true;
  return false;
}

bool IsFunctionWord(const std::string& s) {
  static const std::set<std::string> kFunction = {"a",    "an",  "the", "of",   "and",   "or",   "with", "in",
                                                  "on",   "at",  "to",  "for",  "by",    "from", "as",   "is",
                                                  "be",   "it",  "its", "this", "that",  "into", "onto", "up",
                                                  "down", "out", "off", "over", "under", "one",  "some", "any"};
  return kFunction.count(LowerAscii(s)) > 0;
}

constexpr size_t kMaxWords = 4;

}  // namespace

std::vector<TGlossaryEquivalent> CleanSense(std::string_view sense) {
  std::vector<TGlossaryEquivalent> out;
  for (const std::string& piece : SplitAt(std::string(sense), ';')) {
    std::string text = Collapsed(WithoutNotes(piece));
    StripPrefix(text, "lit. ");
    const bool verb = StripPrefix(text, "to ");
    if (verb) StripPrefix(text, "be ");
    StripPrefix(text, "a ") || StripPrefix(text, "an ") || StripPrefix(text, "the ");
    for (std::string_view tail : {" etc.", " etc"})
      if (text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
        text.resize(text.size() - tail.size());
    while (!text.empty() && std::string_view(".!,:").find(text.back()) != std::string_view::npos) text.pop_back();
    const std::vector<std::string> words = Words(text);
    if (words.empty() || words.size() > kMaxWords || IsPattern(words) || HasWideCharacter(text) || HasSyntax(text) ||
        !HasLetter(text) || (words.size() == 1 && IsFunctionWord(text)))
      continue;
    out.push_back({text, verb});
  }
  return out;
}

std::string CheckedEquivalent(std::string_view text) {
  const std::string out = Collapsed(text);
  const size_t words = Words(out).size();
  if (words == 0 || words > kMaxWords || HasWideCharacter(out) || HasSyntax(out) || !HasLetter(out)) return "";
  return out;
}

namespace {

struct TSourceReader {
  std::istream& in;
  const std::string& name;
  int line = 0;

  // The next line that is neither blank nor a comment, split at its first tab.
  bool Next(std::string& word, std::string& rest) {
    std::string text;
    while (std::getline(in, text)) {
      ++line;
      if (!text.empty() && text.back() == '\r') text.pop_back();
      if (TrimBytes(text).empty() || text[0] == '#') continue;
      const size_t tab = text.find('\t');
      if (tab == std::string::npos) Fail("expected: word<TAB>equivalents");
      word = text.substr(0, tab);
      rest = text.substr(tab + 1);
      if (word.empty() || !AllHan(word)) Fail("the headword is not Chinese characters only");
      return true;
    }
    return false;
  }

  [[noreturn]] void Fail(const std::string& reason) const {
    throw EGlossarySourceError(name + ":" + std::to_string(line) + ": " + reason);
  }

  static bool AllHan(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
      const size_t n = Utf8SequenceAt(s.data() + i, s.size() - i);
      if (n == 0 || !IsHanCodePoint(Utf8CodePointAt(s.data() + i, n))) return false;
      i += n;
    }
    return true;
  }
};

}  // namespace

std::vector<TGlossaryEntry> BuildGlossary(std::istream& cedict, const std::string& cedictName,
                                          std::istream& patentWords, const std::string& patentWordsName) {
  // Each word's cleaned equivalents, and for how many words each one (by letter case) is given.
  std::map<std::string, std::vector<TGlossaryEquivalent>> cleaned;
  std::map<std::string, int> spread;
  TSourceReader reader{cedict, cedictName};
  for (std::string word, senses; reader.Next(word, senses);) {
    if (cleaned.count(word)) reader.Fail("the headword " + word + " comes twice");
    std::vector<TGlossaryEquivalent>& list = cleaned[word];
    std::set<std::string> seen;
    for (const std::string& sense : SplitAt(senses, '/'))
      for (TGlossaryEquivalent& e : CleanSense(sense))
        if (seen.insert(LowerAscii(e.text)).second) list.push_back(std::move(e));
    for (const std::string& key : seen) ++spread[key];
  }

  std::map<std::string, std::vector<std::string>> glossary;
  for (auto& [word, list] : cleaned) {
    auto rank = [&](const TGlossaryEquivalent& e) {
      if (e.verb) return 2;
      const bool single = e.text.find(' ') == std::string::npos;
      return single && spread[LowerAscii(e.text)] >= kGlossaryCommonSpread ? 1 : 0;
    };
    std::stable_sort(list.begin(), list.end(),
                     [&](const TGlossaryEquivalent& a, const TGlossaryEquivalent& b) { return rank(a) < rank(b); });
    if (list.size() > kGlossaryMaxEquivalents) list.resize(kGlossaryMaxEquivalents);
    if (list.empty()) continue;
    std::vector<std::string>& out = glossary[word];
    for (TGlossaryEquivalent& e : list) out.push_back(std::move(e.text));
  }

  TSourceReader own{patentWords, patentWordsName};
  std::set<std::string> ownWords;
  for (std::string word, list; own.Next(word, list);) {
    if (!ownWords.insert(word).second) own.Fail("the headword " + word + " comes twice");
    std::vector<std::string> equivalents;
    if (!TrimBytes(list).empty()) {
      for (const std::string& text : SplitAt(list, '/')) {
        std::string e = CheckedEquivalent(text);
        if (e.empty()) own.Fail("'" + text + "' cannot be sent as an equivalent");
        if (std::find(equivalents.begin(), equivalents.end(), e) != equivalents.end())
          own.Fail("'" + e + "' comes twice");
        equivalents.push_back(std::move(e));
      }
    }
    if (equivalents.size() > kGlossaryMaxEquivalents) own.Fail("more than kGlossaryMaxEquivalents equivalents");
    glossary[word] = std::move(equivalents);
  }

  std::vector<TGlossaryEntry> entries;
  entries.reserve(glossary.size());
  for (auto& [word, equivalents] : glossary) entries.push_back({word, std::move(equivalents)});
  return entries;
}
