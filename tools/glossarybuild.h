#pragma once
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// How the build makes the Chinese-English glossary of the OPS search from its two sources:
// CC-CEDICT's senses (third_party/cc-cedict/glossary.tsv), cleaned into equivalents a
// title or abstract search can send, and the program's own patent words
// (sources/ops/patentwords.tsv). Only the build tool and the tests use it; the program
// reads the table the tool makes. All text is UTF-8.

// One search equivalent cleaned from a sense; verb: the sense said "to ...".
struct TGlossaryEquivalent {
  std::string text;
  bool verb = false;
  friend bool operator==(const TGlossaryEquivalent&, const TGlossaryEquivalent&) = default;
};

// The equivalents of one CC-CEDICT sense, in its order. Its ";" pieces are read one by one:
// notes in parentheses or brackets go (a classifier note, "(abbr.)", a pinyin), and so do
// a leading "lit.", "to " (and "be " after it) and an article, a trailing "etc" and stop;
// a piece that is a pattern rather than a name ("sth", "sb", "one's", "or", "..."), holds
// Chinese characters, a character a query would read ("?*#" truncation, quotes, brackets,
// relations) or more than four words, or is a single function word, gives nothing.
std::vector<TGlossaryEquivalent> CleanSense(std::string_view sense);

// A patent word's equivalent as written in patentwords.tsv: trimmed, and refused (empty)
// when it holds a character a query would read or more than four words.
std::string CheckedEquivalent(std::string_view text);

// A headword and its equivalents, most specific first. No equivalents: a function word
// (一种, 的, 用于), split off by the longest match but never translated.
struct TGlossaryEntry {
  std::string word;
  std::vector<std::string> equivalents;
};

// A source line that does not read: "NAME:LINE: reason".
class EGlossarySourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Equivalents kept per headword: a field holds ten terms, the words as typed among them.
constexpr size_t kGlossaryMaxEquivalents = 8;
// An equivalent given for at least this many headwords is a common word (way, support,
// stand), sent after the word's other nouns.
constexpr int kGlossaryCommonSpread = 15;

// The glossary, sorted by the bytes of the headword. cedict lines: "word<TAB>sense/sense",
// "#" comments; a headword of Chinese characters only, once. Each word's equivalents: its
// senses cleaned in order, duplicates (by letter case too) dropped, then ordered as
// 1. nouns and phrases in the order listed (CC-CEDICT lists a word's chief sense first),
// 2. common single words (see kGlossaryCommonSpread), 3. verbs ("to ..."), and cut to
// kGlossaryMaxEquivalents; a word left without any is dropped. A patent word line,
// "word<TAB>equivalent/equivalent" (or nothing after the tab: a function word), replaces
// the word's CC-CEDICT equivalents with its own, in its order. Throws EGlossarySourceError.
std::vector<TGlossaryEntry> BuildGlossary(std::istream& cedict, const std::string& cedictName,
                                          std::istream& patentWords, const std::string& patentWordsName);
