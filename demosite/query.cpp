#include "demosite/query.h"

#include <cctype>

namespace {

bool IsBlank(char c) { return (unsigned char)c <= 0x20; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool StartsWithAt(const std::string& s, size_t pos, const std::string& word, bool caseBlind) {
  if (pos + word.size() > s.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char a = s[pos + i], b = word[i];
    if (caseBlind ? Upper(a) != Upper(b) : a != b) return false;
  }
  return true;
}

std::string StripQuotes(std::string v) {
  while (!v.empty() && IsBlank(v.front())) v.erase(0, 1);
  while (!v.empty() && IsBlank(v.back())) v.pop_back();
  if (v.size() >= 2 && (v.front() == '\'' || v.front() == '"') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return v;
}

// Blank-separated words; a lead byte keeps its trail byte, so a GBK character is never split.
std::vector<std::string> Words(const std::string& v) {
  std::vector<std::string> words;
  std::string cur;
  for (size_t i = 0; i < v.size(); ++i) {
    unsigned char c = v[i];
    if (c >= 0x81 && i + 1 < v.size()) {
      cur += v[i];
      cur += v[++i];
    } else if (IsBlank(v[i])) {
      if (!cur.empty()) words.push_back(cur), cur.clear();
    } else if (v[i] != '%' && v[i] != '\'' && v[i] != '"') {
      cur += v[i];
    }
  }
  if (!cur.empty()) words.push_back(cur);
  return words;
}

bool WordsMatch(const std::string& value, const std::string& text) {
  bool any = false, all = true, anyWord = false, orMode = false;
  for (const std::string& w : Words(value)) {
    if (StartsWithAt(w, 0, "or", true) && w.size() == 2) { orMode = true; continue; }
    if (StartsWithAt(w, 0, "and", true) && w.size() == 3) continue;
    anyWord = true;
    bool hit = text.find(w) != std::string::npos;
    any = any || hit;
    all = all && hit;
  }
  if (!anyWord) return false;
  return orMode ? any : all;
}

bool TermMatches(const DemoRecord& r, const QueryTerm& t) {
  switch (t.field) {
    case QueryTerm::Title: return WordsMatch(t.value, r.title);
    case QueryTerm::Abstract: return WordsMatch(t.value, r.abstract);
    case QueryTerm::Class: {
      std::string v = StripQuotes(t.value);
      if (v.find('%') == std::string::npos) v += '%';
      return LikeMatch(v, r.ipc);
    }
    case QueryTerm::Number: {
      std::string v = StripQuotes(t.value);
      std::string full = "CN" + r.number + "." + r.check;
      if (v.find('%') != std::string::npos) return LikeMatch(v, full);
      if (StartsWithAt(v, 0, "CN", true)) v = v.substr(2);
      return v == r.number || v == r.number + "." + r.check;
    }
  }
  return false;
}

}  // namespace

bool LikeMatch(const std::string& pattern, const std::string& text) {
  // Iterative glob: remember the last "%" and retry from one byte further on a mismatch.
  size_t p = 0, t = 0, star = std::string::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      star = p++;
      mark = t;
    } else if (p < pattern.size() && Upper(pattern[p]) == Upper(text[t])) {
      ++p, ++t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

std::optional<std::vector<QueryTerm>> ParseQuery(const std::string& q) {
  static const struct { std::string name; QueryTerm::Field field; } fields[] = {
      {ToGbk("名称"), QueryTerm::Title},
      {ToGbk("摘要"), QueryTerm::Abstract},
      {ToGbk("分类号"), QueryTerm::Class},
      {ToGbk("申请号"), QueryTerm::Number},
  };
  std::vector<QueryTerm> terms;
  size_t pos = 0;
  auto skip = [&] { while (pos < q.size() && IsBlank(q[pos])) ++pos; };
  for (;;) {
    skip();
    if (pos >= q.size()) break;
    bool orJoin = false;
    if (!terms.empty()) {
      if (StartsWithAt(q, pos, "and", true)) pos += 3;
      else if (StartsWithAt(q, pos, "or", true)) pos += 2, orJoin = true;
      else return std::nullopt;
      skip();
    }
    QueryTerm term{QueryTerm::Title, "", orJoin};
    bool known = false;
    for (const auto& f : fields) {
      if (StartsWithAt(q, pos, f.name, false)) {
        term.field = f.field;
        pos += f.name.size();
        known = true;
        break;
      }
    }
    if (!known) return std::nullopt;
    skip();
    if (pos >= q.size() || q[pos] != '=') return std::nullopt;
    ++pos;
    skip();
    if (pos >= q.size() || q[pos] != '(') return std::nullopt;
    // ')' and '(' never occur as GBK trail bytes, so a byte scan is safe.
    size_t start = ++pos;
    int depth = 1;
    while (pos < q.size() && depth > 0) {
      if (q[pos] == '(') ++depth;
      else if (q[pos] == ')') --depth;
      ++pos;
    }
    if (depth != 0) return std::nullopt;
    term.value = q.substr(start, pos - 1 - start);
    terms.push_back(term);
  }
  if (terms.empty()) return std::nullopt;
  return terms;
}

bool Matches(const DemoRecord& record, const std::vector<QueryTerm>& query) {
  bool result = false;
  for (size_t i = 0; i < query.size(); ++i) {
    bool hit = TermMatches(record, query[i]);
    if (i == 0) result = hit;
    else if (query[i].orWithPrevious) result = result || hit;
    else result = result && hit;
  }
  return result;
}
