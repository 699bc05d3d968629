#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "sources/ops/cqlterms.h"

// The Chinese-English glossary of the OPS search. OPS indexes titles and abstracts in
// English first, so a Chinese word typed in a text field is searched as typed or as its
// English equivalents. The glossary is CC-CEDICT (CC BY-SA 4.0, third_party/cc-cedict)
// with the program's own patent words (patentwords.tsv) over it, compiled in as a sorted
// table by the build (tools/glossarytable.cpp). All text is UTF-8.

// A word's equivalents, most specific first: the patent words' own order, else the nouns
// and phrases CC-CEDICT lists (its chief sense first), then common single words, then
// verbs. Empty when the glossary lacks the word or it is a function word (的, 一种, 用于).
std::vector<std::string> GlossaryEquivalents(std::string_view word);

// Whether the glossary holds the word (function words included).
bool GlossaryHas(std::string_view word);

// How many words the glossary holds.
int GlossarySize();

// One piece of a text as the glossary splits it.
struct TGlossaryWord {
  std::string text;                      // as typed; full-width letters and digits as ASCII
  std::vector<std::string> equivalents;  // most specific first; empty: sent as typed, or a function word
  bool inGlossary = false;               // a glossary word (a function word too)
  friend bool operator==(const TGlossaryWord&, const TGlossaryWord&) = default;
};

// The text's pieces in order. A run of Chinese characters is split into glossary words by
// longest match; characters the glossary lacks stay as typed, neighbours joined into one
// piece. A run of letters and digits (with "-._+'" inside it, as in Li-ion or PM2.5) is one
// piece as typed. Blanks and every other mark separate pieces and are dropped.
std::vector<TGlossaryWord> GlossarySplit(std::string_view text);

// A text field of the search: its CQL index (ti, ab, ta) and its words as typed.
struct TOpsTextField {
  std::string index;
  std::string words;
  friend bool operator==(const TOpsTextField&, const TOpsTextField&) = default;
};

// An equivalent left out of a field's translation to stay within OPS's limits.
struct TGlossaryDrop {
  std::string index;
  std::string word;        // the Chinese word as typed
  std::string equivalent;  // the equivalent left out
  friend bool operator==(const TGlossaryDrop&, const TGlossaryDrop&) = default;
};

// The clauses of the text fields, and what staying within OPS's limits cost.
struct TOpsTextClauses {
  std::vector<std::string> clauses;         // one per field, in order; empty for a blank field
  std::vector<TGlossaryDrop> dropped;       // equivalents left out, in the order they went
  std::vector<TOpsTextField> untranslated;  // fields sent as typed: even one equivalent a word was too
                                            // many (their equivalents are not in dropped)
  int terms = 0;                            // the terms the clauses hold
  bool fits = true;                         // false: the words as typed exceed a limit (nothing is translated)
};

// The CQL of the text fields. A field's words (blanks collapsed) are `<index> all "<words>"`;
// with translate and a Chinese word the glossary translates among them, or'ed with the
// translation: each piece's equivalents as quoted phrases or'ed (`ti="battery" or
// ti="electric cell"`), the pieces and'ed, pieces the glossary lacks as typed, function
// words left out:
//   (ti all "电池隔膜" or ((ti="battery" or ti="electric cell") and (ti="separator" or ...)))
// Each equivalent is a phrase of its own with `=`: `any` would split "electric cell" into
// two words, either of which would do. otherTerms: the terms the rest of the query holds
// (pn=CN, a class...). Within the limits (each word of a quoted term counts, see
// CqlTermCount), the least specific equivalents go first: the last of the longest lists,
// the longer phrase on a tie; once every word is down to one, the translation of the field
// that costs most goes whole. The limits are never exceeded unless the words as typed
// alone exceed them (fits false).
TOpsTextClauses OpsTextClauses(const std::vector<TOpsTextField>& fields, int otherTerms, bool translate);
