#include "sources/ops/glossary.h"

#include <algorithm>
#include <map>
#include <optional>

#include "base/bytes.h"
#include "base/gbk.h"
#include "sources/ops/glossarytable.h"
#include "sources/ops/opscql.h"
#include "sources/replytext.h"

namespace {

std::string_view HeadOf(std::string_view record) { return record.substr(0, record.find('\t')); }

std::optional<std::string_view> RecordOf(std::string_view word) {
  int lo = 0, hi = glossarytable::Size();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (HeadOf(glossarytable::Record(mid)) < word)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == glossarytable::Size()) return std::nullopt;
  std::string_view record = glossarytable::Record(lo);
  if (HeadOf(record) != word) return std::nullopt;
  return record;
}

std::vector<std::string> EquivalentsOf(std::string_view record) {
  std::vector<std::string> out;
  const size_t tab = record.find('\t');
  for (size_t from = tab + 1; from < record.size();) {
    size_t bar = record.find('|', from);
    if (bar == std::string_view::npos) bar = record.size();
    out.emplace_back(record.substr(from, bar - from));
    from = bar + 1;
  }
  return out;
}

enum class TClass { Han, Latin, Joiner, Separator };

struct TChar {
  std::string text;  // as typed, a full-width letter or digit as ASCII
  TClass cls;
};

TClass ClassOf(unsigned cp) {
  if (IsHanCodePoint(cp)) return TClass::Han;
  if (cp < 0x80) {
    const char c = char(cp);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return TClass::Latin;
    return std::string_view("-._+'").find(c) != std::string_view::npos ? TClass::Joiner : TClass::Separator;
  }
  // Punctuation and symbols of Latin-1, general punctuation, and the CJK marks and forms.
  if (cp <= 0xBF || cp == 0xD7 || cp == 0xF7 || (cp >= 0x2000 && cp <= 0x2BFF) || IsCjkCodePoint(cp))
    return TClass::Separator;
  return TClass::Latin;  // a letter of another script: é, α
}

std::vector<TChar> CharsOf(std::string_view text) {
  std::vector<TChar> chars;
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceAt(text.data() + i, text.size() - i);
    if (n == 0) {
      chars.push_back({"", TClass::Separator});
      ++i;
      continue;
    }
    unsigned cp = Utf8CodePointAt(text.data() + i, n);
    if (cp >= 0xFF01 && cp <= 0xFF5E) {  // full-width ASCII, as Chinese input methods type it
      cp -= 0xFEE0;
      chars.push_back({std::string(1, char(cp)), ClassOf(cp)});
    } else {
      chars.push_back({std::string(text.substr(i, n)), ClassOf(cp)});
    }
    i += n;
  }
  return chars;
}

// A run of Chinese characters as glossary words by longest match; characters the glossary
// lacks as typed, neighbours together.
void SplitHan(const std::vector<TChar>& run, std::vector<TGlossaryWord>& out) {
  std::string unknown;
  for (size_t i = 0; i < run.size();) {
    std::optional<std::string_view> found;
    std::string word;
    size_t length = std::min<size_t>(glossarytable::LongestWord(), run.size() - i);
    for (; length > 0; --length) {
      word.clear();
      for (size_t k = i; k < i + length; ++k) word += run[k].text;
      if ((found = RecordOf(word))) break;
    }
    if (!found) {
      unknown += run[i++].text;
      continue;
    }
    if (!unknown.empty()) out.push_back({std::move(unknown), {}, false}), unknown.clear();
    out.push_back({word, EquivalentsOf(*found), true});
    i += length;
  }
  if (!unknown.empty()) out.push_back({std::move(unknown), {}, false});
}

// A text field's translation: for each piece, what it is searched as.
struct TGroup {
  std::string word;
  std::vector<std::string> terms;  // the equivalents, or the piece as typed
};

struct TPlan {
  const TOpsTextField* field;
  std::string typed;  // the clause of the words as typed
  int typedTerms = 0;
  std::vector<TGroup> groups;
  bool translated = false;
};

std::string Term(const std::string& index, const std::string& text) { return index + "=" + CqlQuoted(text); }

int TermCost(const std::string& index, const std::string& text) { return CqlTermCount(Term(index, text)).total; }

int TranslationCost(const TPlan& plan) {
  int cost = 0;
  if (plan.translated)
    for (const TGroup& g : plan.groups)
      for (const std::string& t : g.terms) cost += TermCost(plan.field->index, t);
  return cost;
}

std::string Joined(const std::vector<std::string>& parts, const char* op) {
  if (parts.size() == 1) return parts[0];
  std::string out = "(";
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? op : "") + parts[i];
  return out + ")";
}

std::string ClauseOf(const TPlan& plan) {
  if (!plan.translated) return plan.typed;
  std::vector<std::string> groups;
  for (const TGroup& g : plan.groups) {
    std::vector<std::string> terms;
    for (const std::string& t : g.terms) terms.push_back(Term(plan.field->index, t));
    groups.push_back(Joined(terms, " or "));
  }
  return "(" + plan.typed + " or " + Joined(groups, " and ") + ")";
}

TPlan PlanOf(const TOpsTextField& field, bool translate) {
  TPlan plan;
  plan.field = &field;
  const std::string words = CleanReplyText(field.words);
  if (words.empty()) return plan;
  plan.typed = field.index + " all " + CqlQuoted(words);
  plan.typedTerms = CqlTermCount(plan.typed).total;
  if (!translate) return plan;
  for (TGlossaryWord& piece : GlossarySplit(words)) {
    if (piece.inGlossary && piece.equivalents.empty()) continue;  // a function word
    const std::string lower = LowerAscii(piece.text);
    if (lower == "and" || lower == "or" || lower == "not" || lower.rfind("prox", 0) == 0) continue;
    auto same = [&](const TGroup& g) { return g.word == piece.text; };
    if (std::any_of(plan.groups.begin(), plan.groups.end(), same)) continue;
    plan.translated = plan.translated || !piece.equivalents.empty();
    if (piece.equivalents.empty()) piece.equivalents.push_back(piece.text);  // sent as typed
    plan.groups.push_back({std::move(piece.text), std::move(piece.equivalents)});
  }
  return plan;
}

// The terms of the plans per index, their translations included.
std::map<std::string, int> CostsByIndex(const std::vector<TPlan>& plans) {
  std::map<std::string, int> costs;
  for (const TPlan& p : plans) costs[p.field->index] += p.typedTerms + TranslationCost(p);
  return costs;
}

}  // namespace

std::vector<std::string> GlossaryEquivalents(std::string_view word) {
  const std::optional<std::string_view> record = RecordOf(word);
  return record ? EquivalentsOf(*record) : std::vector<std::string>{};
}

bool GlossaryHas(std::string_view word) { return RecordOf(word).has_value(); }

int GlossarySize() { return glossarytable::Size(); }

std::vector<TGlossaryWord> GlossarySplit(std::string_view text) {
  const std::vector<TChar> chars = CharsOf(text);
  std::vector<TGlossaryWord> out;
  for (size_t i = 0; i < chars.size();) {
    const TClass cls = chars[i].cls;
    if (cls == TClass::Han) {
      std::vector<TChar> run;
      while (i < chars.size() && chars[i].cls == TClass::Han) run.push_back(chars[i++]);
      SplitHan(run, out);
    } else if (cls == TClass::Latin) {
      std::string piece;
      size_t end = i;  // past the last letter or digit: joiners at the end are not part of it
      for (size_t k = i; k < chars.size() && (chars[k].cls == TClass::Latin || chars[k].cls == TClass::Joiner); ++k)
        if (chars[k].cls == TClass::Latin) end = k + 1;
      for (; i < end; ++i) piece += chars[i].text;
      out.push_back({std::move(piece), {}, false});
    } else {
      ++i;
    }
  }
  return out;
}

TOpsTextClauses OpsTextClauses(const std::vector<TOpsTextField>& fields, int otherTerms, bool translate) {
  std::vector<TPlan> plans;
  plans.reserve(fields.size());
  for (const TOpsTextField& field : fields) plans.push_back(PlanOf(field, translate));

  TOpsTextClauses result;
  std::map<std::string, int> typedByIndex;
  int typedTotal = otherTerms;
  for (const TPlan& p : plans) typedByIndex[p.field->index] += p.typedTerms, typedTotal += p.typedTerms;
  result.fits = typedTotal <= kOpsTermsInAll;
  for (const auto& [index, terms] : typedByIndex) result.fits = result.fits && terms <= kOpsTermsPerField;
  if (!result.fits)
    for (TPlan& p : plans) p.translated = false;

  for (;;) {
    const std::map<std::string, int> costs = CostsByIndex(plans);
    int total = otherTerms;
    for (const auto& [index, cost] : costs) total += cost;
    std::vector<TPlan*> scope;  // the translations that must give way
    for (TPlan& p : plans)
      if (p.translated && costs.at(p.field->index) > kOpsTermsPerField) scope.push_back(&p);
    if (scope.empty() && total > kOpsTermsInAll)
      for (TPlan& p : plans)
        if (p.translated) scope.push_back(&p);
    if (scope.empty()) break;

    // The least specific equivalent: the last of the longest list, the dearer on a tie,
    // the later word after that.
    TPlan* plan = nullptr;
    TGroup* group = nullptr;
    std::pair<size_t, int> worst{0, 0};
    for (TPlan* p : scope)
      for (TGroup& g : p->groups) {
        if (g.terms.size() < 2) continue;
        const std::pair<size_t, int> rank{g.terms.size(), TermCost(p->field->index, g.terms.back())};
        if (rank >= worst) worst = rank, plan = p, group = &g;
      }
    if (group) {
      result.dropped.push_back({plan->field->index, group->word, group->terms.back()});
      group->terms.pop_back();
      continue;
    }
    TPlan* dearest = *std::max_element(scope.begin(), scope.end(), [](const TPlan* a, const TPlan* b) {
      return TranslationCost(*a) < TranslationCost(*b);
    });
    dearest->translated = false;
    result.untranslated.push_back(*dearest->field);
    // What it gave up before is moot now: the caller reports the field alone.
    std::erase_if(result.dropped, [&](const TGlossaryDrop& d) { return d.index == dearest->field->index; });
  }

  for (const TPlan& p : plans) {
    result.clauses.push_back(ClauseOf(p));
    result.terms += p.typedTerms + TranslationCost(p);
  }
  return result;
}
