#include "sources/ops/cqlterms.h"

#include <vector>

#include "base/bytes.h"

namespace {

struct TToken {
  enum class TKind { Paren, Quoted, Word } kind;
  std::string text;
};

std::vector<TToken> Tokens(std::string_view cql) {
  std::vector<TToken> tokens;
  for (size_t i = 0; i < cql.size();) {
    const char c = cql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '(' || c == ')') {
      tokens.push_back({TToken::TKind::Paren, std::string(1, c)});
      ++i;
    } else if (c == '"') {
      std::string text;
      for (++i; i < cql.size() && cql[i] != '"'; ++i) {
        if (cql[i] == '\\' && i + 1 < cql.size()) ++i;
        text += cql[i];
      }
      ++i;
      tokens.push_back({TToken::TKind::Quoted, text});
    } else {
      const size_t end = cql.find_first_of(" \t\r\n()\"", i);
      tokens.push_back({TToken::TKind::Word, std::string(cql.substr(i, end - i))});
      i = end == std::string_view::npos ? cql.size() : end;
    }
  }
  return tokens;
}

std::string ShortIndex(const std::string& index) {
  static const std::map<std::string, std::string> kShort = {{"title", "ti"},
                                                            {"abstract", "ab"},
                                                            {"titleandabstract", "ta"},
                                                            {"inventor", "in"},
                                                            {"applicant", "pa"},
                                                            {"inventorandapplicant", "ia"},
                                                            {"publicationnumber", "pn"},
                                                            {"applicantnumber", "ap"},
                                                            {"prioritynumber", "pr"},
                                                            {"publicationdate", "pd"},
                                                            {"citation", "ct"},
                                                            {"ipc", "ic"}};
  const std::string lower = LowerAscii(index);
  auto it = kShort.find(lower);
  return it == kShort.end() ? lower : it->second;
}

bool IsRelationWord(const std::string& lower) {
  return lower == "all" || lower == "any" || lower == "within" || lower == "adj" || lower == "exact";
}

bool IsOperator(const std::string& lower) {
  return lower == "and" || lower == "or" || lower == "not" || lower.rfind("prox", 0) == 0;
}

int WordsIn(const std::string& text) {
  int words = 0;
  bool inWord = false;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == ',';
    if (!blank && !inWord) ++words;
    inWord = !blank;
  }
  return words;
}

}  // namespace

bool TCqlTermCount::Fits() const {
  if (total > kOpsTermsInAll) return false;
  for (const auto& [index, terms] : byIndex)
    if (terms > kOpsTermsPerField) return false;
  return true;
}

TCqlTermCount CqlTermCount(std::string_view cql) {
  TCqlTermCount count;
  auto add = [&](const std::string& index, int terms) {
    if (terms == 0) return;
    count.total += terms;
    count.byIndex[index] += terms;
  };
  const std::vector<TToken> tokens = Tokens(cql);
  std::string index;        // the index of the clause being read
  bool expectTerm = false;  // an index and its relation have been read
  bool afterIndex = false;  // an index has been read, its relation word may follow
  for (size_t i = 0; i < tokens.size(); ++i) {
    const TToken& t = tokens[i];
    if (t.kind == TToken::TKind::Paren) continue;
    if (t.kind == TToken::TKind::Quoted) {
      add(expectTerm ? index : "", WordsIn(t.text));
      expectTerm = false;
      continue;
    }
    const std::string lower = LowerAscii(t.text);
    const bool relationWord = afterIndex && IsRelationWord(lower);
    afterIndex = false;
    if (expectTerm) {
      add(index, 1);
      expectTerm = false;
      continue;
    }
    if (IsOperator(lower)) continue;
    const size_t relation = t.text.find_first_of("=<>");
    if (relation != std::string::npos) {
      if (relation > 0) index = ShortIndex(t.text.substr(0, relation));
      size_t rest = t.text.find_first_not_of("=<>", relation);
      if (rest == std::string::npos || t.text[rest] == '/') {
        expectTerm = true;  // the term follows (after a modifier such as =/low)
      } else {
        add(index, 1);
      }
      continue;
    }
    const bool nextRelates =
        i + 1 < tokens.size() && tokens[i + 1].kind == TToken::TKind::Word &&
        (IsRelationWord(LowerAscii(tokens[i + 1].text)) || tokens[i + 1].text.find_first_of("=<>") == 0);
    if (relationWord) {
      expectTerm = true;
    } else if (nextRelates) {
      index = ShortIndex(t.text);
      afterIndex = true;
    } else {
      add("", 1);
    }
  }
  return count;
}
