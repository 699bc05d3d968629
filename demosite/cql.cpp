#include "demosite/cql.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

// A word of a value: ASCII words split at punctuation into the words it stands for
// ("cross-flow" is the phrase cross flow), any other text kept whole (Chinese has no
// blanks to split at).
struct Unit {
  bool chinese = false;
  std::string text;                // lower case
  std::vector<std::string> words;  // ASCII: its words, truncation marks kept
};

}  // namespace

struct CqlQuery::Node {
  enum Op { And, Or, Not, Clause } op = Clause;
  std::unique_ptr<Node> left, right;
  // A clause: its index (canonical name) and relation.
  std::string index, relation;
  std::vector<Unit> units;         // text and name indexes
  std::vector<std::string> codes;  // classes and numbers, upper case
  int from = 0, to = 0;            // pd: the days, YYYYMMDD
  int terms = 0;                   // what the clause counts against the limits
};

namespace {

using Node = CqlQuery::Node;

struct Token {
  enum Type { Word, Quoted, Symbol, Open, Close, End } type = End;
  std::string text;
};

CqlError Invalid(const std::string& detail) { return CqlError(false, "The query provided is invalid, " + detail); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLetter(char c) { return IsUpper(c) || (c >= 'a' && c <= 'z'); }
bool IsAlnum(char c) { return IsLetter(c) || IsDigit(c); }
bool IsMark(char c) { return c == '*' || c == '?' || c == '#'; }

bool AllOf(const std::string& s, bool (*pred)(char)) { return !s.empty() && std::all_of(s.begin(), s.end(), pred); }

std::string Lower(std::string s) {
  for (char& c : s)
    if (IsUpper(c)) c = char(c + 32);
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

std::vector<Token> Tokens(const std::string& q) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < q.size()) {
    char c = q[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '(' || c == ')') {
      tokens.push_back({c == '(' ? Token::Open : Token::Close, std::string(1, c)});
      ++i;
    } else if (c == '"') {
      std::string text;
      for (++i; i < q.size() && q[i] != '"'; ++i) {
        if (q[i] == '\\' && i + 1 < q.size()) ++i;
        text += q[i];
      }
      if (i >= q.size()) throw Invalid("unterminated quoted string");
      ++i;
      tokens.push_back({Token::Quoted, text});
    } else if (c == '=' || c == '<' || c == '>') {
      std::string sym(1, c);
      if (i + 1 < q.size() && (q[i + 1] == '=' || (c == '<' && q[i + 1] == '>'))) sym += q[i + 1];
      i += sym.size();
      tokens.push_back({Token::Symbol, sym});
    } else {
      size_t start = i;
      while (i < q.size() && !IsBlank(q[i]) && std::string("()\"=<>").find(q[i]) == std::string::npos) ++i;
      tokens.push_back({Token::Word, q.substr(start, i - start)});
    }
  }
  tokens.push_back({Token::End, ""});
  return tokens;
}

// Index names and their canonical form.
const char* CanonicalIndex(const std::string& name) {
  static const std::map<std::string, const char*> kIndexes = {
      {"ti", "ti"},     {"title", "ti"},      {"ab", "ab"},     {"abstract", "ab"},
      {"ta", "ta"},     {"titleandabstract", "ta"}, {"txt", "txt"}, {"pa", "pa"},
      {"applicant", "pa"}, {"in", "in"},      {"inventor", "in"}, {"ia", "ia"},
      {"inventorandapplicant", "ia"}, {"ic", "ic"}, {"ipc", "ic"}, {"ci", "ic"},
      {"cn", "ic"},     {"ai", "ic"},         {"an", "ic"},     {"a", "ic"},
      {"c", "ic"},      {"cpc", "cpc"},       {"cpcc", "cpc"},  {"cpci", "cpci"},
      {"cpca", "cpca"}, {"cl", "cl"},         {"pn", "pn"},     {"publicationnumber", "pn"},
      {"spn", "pn"},    {"ap", "ap"},         {"applicationnumber", "ap"}, {"applicantnumber", "ap"},
      {"sap", "ap"},    {"pr", "pr"},         {"prioritynumber", "pr"}, {"spr", "pr"},
      {"num", "num"},   {"famn", "famn"},     {"pd", "pd"},     {"publicationdate", "pd"},
  };
  auto it = kIndexes.find(name);
  return it == kIndexes.end() ? nullptr : it->second;
}

bool IsTextIndex(const std::string& index) {
  return index == "ti" || index == "ab" || index == "ta" || index == "txt" || index == "pa" || index == "in" ||
         index == "ia";
}

bool IsClassIndex(const std::string& index) {
  return index == "ic" || index == "cpc" || index == "cpci" || index == "cpca" || index == "cl";
}

// The words of a value, as blanks and commas separate them.
std::vector<std::string> Split(const std::string& v) {
  std::vector<std::string> words;
  std::string cur;
  for (char c : v) {
    if (IsBlank(c) || c == ',') {
      if (!cur.empty()) words.push_back(cur), cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) words.push_back(cur);
  return words;
}

Unit UnitOf(const std::string& word) {
  Unit u;
  u.text = Lower(word);
  u.chinese = std::any_of(word.begin(), word.end(), [](char c) { return (unsigned char)c >= 0x80; });
  if (u.chinese) return u;
  std::string cur;
  for (char c : u.text + " ") {
    if (IsAlnum(c) || IsMark(c)) {
      cur += c;
    } else if (!cur.empty()) {
      u.words.push_back(cur);
      cur.clear();
    }
  }
  return u;
}

int DaysIn(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// The first and last day of a date in one of the forms OPS takes; false when it is none.
bool ReadDate(const std::string& value, int& from, int& to) {
  std::string y, m, d;
  const std::string& v = value;
  auto digits = [](const std::string& s, size_t n) { return s.size() == n && AllOf(s, IsDigit); };
  size_t slash = v.find('/'), dot = v.find('.');
  if (slash != std::string::npos || dot != std::string::npos) {
    // MM/yyyy, dd/MM/yyyy, MM.yyyy, dd.MM.yyyy
    char sep = slash != std::string::npos ? '/' : '.';
    std::vector<std::string> parts;
    for (size_t at = 0;;) {
      size_t next = v.find(sep, at);
      parts.push_back(v.substr(at, next == std::string::npos ? std::string::npos : next - at));
      if (next == std::string::npos) break;
      at = next + 1;
    }
    if (parts.size() == 2) m = parts[0], y = parts[1];
    else if (parts.size() == 3) d = parts[0], m = parts[1], y = parts[2];
    else return false;
  } else if (v.size() >= 7 && v[4] == '-') {
    // yyyy-MM, yyyy-MM-dd
    y = v.substr(0, 4), m = v.substr(5, 2);
    if (v.size() == 10 && v[7] == '-') d = v.substr(8);
    else if (v.size() != 7) return false;
  } else {
    // yyyy, yyyyMM, yyyyMMdd
    if (v.size() != 4 && v.size() != 6 && v.size() != 8) return false;
    y = v.substr(0, 4);
    if (v.size() >= 6) m = v.substr(4, 2);
    if (v.size() == 8) d = v.substr(6, 2);
  }
  if (!digits(y, 4) || (!m.empty() && !digits(m, 2)) || (!d.empty() && !digits(d, 2))) return false;
  int year = std::stoi(y), month = m.empty() ? 0 : std::stoi(m), day = d.empty() ? 0 : std::stoi(d);
  if (year < 1800 || (!m.empty() && (month < 1 || month > 12))) return false;
  if (!d.empty() && (day < 1 || day > DaysIn(year, month))) return false;
  from = year * 10000 + (month ? month : 1) * 100 + (day ? day : 1);
  to = year * 10000 + (month ? month : 12) * 100 + (day ? day : DaysIn(year, month ? month : 12));
  return true;
}

void DateRange(const std::string& value, int& from, int& to) {
  if (!ReadDate(value, from, to)) throw Invalid("bad date " + value);
}

// The index a term alone searches, from its form.
std::string IndexOfBareTerm(const std::string& term) {
  int from = 0, to = 0;
  if (term.size() == 2 && AllOf(term, IsUpper)) return "num";
  if (ReadDate(term, from, to)) return "pd";
  // x, xdd, xddw, xddwd, xddwdd, xddwdd/h: x a class section, d a digit, w a letter or
  // digit, h up to six hexadecimal digits
  std::string t = Upper(term);
  size_t slash = t.find('/');
  std::string head = t.substr(0, slash), tail = slash == std::string::npos ? "" : t.substr(slash + 1);
  auto at = [&](size_t i, bool (*pred)(char)) { return i >= head.size() || pred(head[i]); };
  bool section = !head.empty() && ((head[0] >= 'A' && head[0] <= 'H') || head[0] == 'Y');
  bool shaped = head.size() != 2 && head.size() <= 6 && at(1, IsDigit) && at(2, IsDigit) && at(3, IsAlnum) &&
                at(4, IsDigit) && at(5, IsDigit);
  bool hex = slash == std::string::npos ||
             (head.size() == 6 && !tail.empty() && tail.size() <= 6 &&
              AllOf(tail, [](char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }));
  if (section && shaped && hex) return "cl";
  // \w{2,4}\d+[a-zA-Z]?\d? or digits only
  size_t letters = 0;
  while (letters < t.size() && IsLetter(t[letters])) ++letters;
  size_t digitsEnd = letters;
  while (digitsEnd < t.size() && IsDigit(t[digitsEnd])) ++digitsEnd;
  std::string rest = t.substr(digitsEnd);
  bool numberTail = rest.empty() || (rest.size() == 1 && IsLetter(rest[0])) ||
                    (rest.size() == 2 && IsLetter(rest[0]) && IsDigit(rest[1]));
  if (AllOf(term, IsDigit) || (letters >= 2 && letters <= 4 && digitsEnd > letters && numberTail)) return "num";
  if (AllOf(term, IsLetter) && IsUpper(term[0])) return "ia";
  return "txt";
}

std::unique_ptr<Node> MakeClause(const std::string& indexName, const std::string& relation, const std::string& value) {
  auto n = std::make_unique<Node>();
  const char* canonical = CanonicalIndex(Lower(indexName));
  if (!canonical) throw CqlError(true, "The query provided is invalid. Invalid index name " + indexName);
  n->index = canonical;
  n->relation = Lower(relation);
  const std::string& r = n->relation;
  bool equality = r == "=" || r == "==" || r == "adj" || r == "exact";
  n->terms = 1;
  if (n->index == "pd") {
    std::vector<std::string> ends = Split(value);
    if (r == "within" || (equality && ends.size() == 2)) {
      if (ends.size() != 2) throw Invalid("within needs two dates");
      int ignored = 0;
      DateRange(ends[0], n->from, ignored);
      DateRange(ends[1], ignored, n->to);
      n->relation = "within";
    } else if (equality || r == "<" || r == ">" || r == "<=" || r == ">=") {
      DateRange(value, n->from, n->to);
    } else {
      throw Invalid("relation " + relation + " is not supported for pd");
    }
    return n;
  }
  if (!equality && r != "all" && r != "any") throw Invalid("relation " + relation + " is not supported for " + indexName);
  std::vector<std::string> words = Split(value);
  if (words.empty()) throw Invalid("empty value for " + indexName);
  n->terms = int(words.size());
  if (IsTextIndex(n->index)) {
    for (const std::string& w : words) n->units.push_back(UnitOf(w));
    // A phrase of English words: one unit of all its words in order.
    bool english = std::none_of(n->units.begin(), n->units.end(), [](const Unit& u) { return u.chinese; });
    if (equality && english && n->units.size() > 1) {
      Unit phrase;
      for (const Unit& u : n->units) phrase.words.insert(phrase.words.end(), u.words.begin(), u.words.end());
      n->units = {phrase};
    }
    std::erase_if(n->units, [](const Unit& u) { return !u.chinese && u.words.empty(); });
    if (n->units.empty()) throw Invalid("empty value for " + indexName);
  } else if (IsClassIndex(n->index) && equality) {
    std::string compact;
    for (const std::string& w : words) compact += w;
    n->codes.push_back(Upper(compact));
    n->terms = 1;
  } else {
    for (const std::string& w : words) n->codes.push_back(Upper(w));
  }
  return n;
}

class Parser {
 public:
  explicit Parser(const std::string& q) : tokens_(Tokens(q)) {}

  std::unique_ptr<Node> Whole() {
    if (Peek().type == Token::End) throw Invalid("empty query");
    auto n = Query();
    if (Peek().type != Token::End) throw Invalid("unexpected " + Peek().text);
    return n;
  }

 private:
  const Token& Peek(size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
  Token Take() { return tokens_[std::min(pos_++, tokens_.size() - 1)]; }

  static bool IsBoolean(const Token& t) {
    std::string w = Lower(t.text);
    return t.type == Token::Word && (w == "and" || w == "or" || w == "not");
  }
  static bool IsRelationWord(const Token& t) {
    std::string w = Lower(t.text);
    return t.type == Token::Word && (w == "all" || w == "any" || w == "within" || w == "adj" || w == "exact");
  }

  std::unique_ptr<Node> Query() {
    auto left = Term();
    while (IsBoolean(Peek())) {
      std::string op = Lower(Take().text);
      auto n = std::make_unique<Node>();
      n->op = op == "and" ? Node::And : op == "or" ? Node::Or : Node::Not;
      n->left = std::move(left);
      n->right = Term();
      left = std::move(n);
    }
    return left;
  }

  std::unique_ptr<Node> Term() {
    const Token& t = Peek();
    if (t.type == Token::Open) {
      Take();
      // Bounded, so a hostile query cannot exhaust the stack.
      if (++depth_ > 32) throw Invalid("too deeply nested");
      auto n = Query();
      --depth_;
      if (Take().type != Token::Close) throw Invalid("missing )");
      return n;
    }
    if (t.type != Token::Word && t.type != Token::Quoted) throw Invalid("unexpected " + (t.text.empty() ? "end" : t.text));
    if (IsBoolean(t)) throw Invalid("unexpected " + t.text);
    Token first = Take();
    if (first.type == Token::Word && (Peek().type == Token::Symbol || IsRelationWord(Peek()))) {
      std::string relation = Take().text;
      Token value = Take();
      if (value.type != Token::Word && value.type != Token::Quoted) throw Invalid("missing value after " + relation);
      return MakeClause(first.text, relation, value.text);
    }
    return MakeClause(first.type == Token::Quoted ? "txt" : IndexOfBareTerm(first.text), "=", first.text);
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
};

// The terms of the tree per index; throws when there are more than OPS takes.
void CountTerms(const Node& n, std::map<std::string, int>& perIndex, int& total) {
  if (n.op != Node::Clause) {
    CountTerms(*n.left, perIndex, total);
    CountTerms(*n.right, perIndex, total);
    return;
  }
  total += n.terms;
  if ((perIndex[n.index] += n.terms) > kCqlIndexTerms)
    throw Invalid("more than " + std::to_string(kCqlIndexTerms) + " terms for " + n.index);
  if (total > kCqlTerms) throw Invalid("more than " + std::to_string(kCqlTerms) + " terms");
}

// A word against a pattern with truncation: `*` any run, `?` one character or none, `#`
// exactly one. Linear in both lengths at each step, so no pattern takes long.
bool Glob(const std::string& pattern, const std::string& word) {
  std::vector<char> now(word.size() + 1, 0), next(word.size() + 1, 0);
  now[0] = 1;
  for (char p : pattern) {
    std::fill(next.begin(), next.end(), 0);
    for (size_t j = 0; j <= word.size(); ++j) {
      if (!now[j]) continue;
      if (p == '*') {
        for (size_t k = j; k <= word.size(); ++k) next[k] = 1;
        break;
      }
      if (p == '?') next[j] = 1;
      if (j < word.size() && (p == '?' || p == '#' || p == word[j])) next[j + 1] = 1;
    }
    now.swap(next);
  }
  return now[word.size()];
}

// A Chinese term with truncation: its pieces in order, anywhere in the text.
bool PiecesIn(const std::string& term, const std::string& text) {
  size_t at = 0, start = 0;
  while (start <= term.size()) {
    size_t end = term.find_first_of("*?#", start);
    std::string piece = term.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!piece.empty()) {
      at = text.find(piece, at);
      if (at == std::string::npos) return false;
      at += piece.size();
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

bool UnitIn(const Unit& u, const OpsIndexText& t) {
  if (u.chinese) return !t.lower.empty() && PiecesIn(u.text, t.lower);
  const auto& w = t.words;
  for (size_t at = 0; at + u.words.size() <= w.size(); ++at) {
    size_t k = 0;
    while (k < u.words.size() && Glob(u.words[k], w[at + k])) ++k;
    if (k == u.words.size()) return true;
  }
  return false;
}

// The texts an index looks in.
std::vector<const OpsIndexText*> TextsOf(const std::string& index, const OpsRecord& r, bool englishOnly) {
  std::vector<const OpsIndexText*> t;
  bool title = index == "ti" || index == "ta" || index == "txt", abstract = index == "ab" || index == "ta" || index == "txt";
  if (title) t.push_back(&r.titleEnIndex);
  if (title && !englishOnly) t.push_back(&r.titleOlIndex);
  if (abstract) t.push_back(&r.abstractEnIndex);
  if (abstract && !englishOnly) t.push_back(&r.abstractOlIndex);
  if (index == "pa" || index == "ia" || index == "txt") t.push_back(&r.applicantIndex);
  if (index == "in" || index == "ia" || index == "txt") t.push_back(&r.inventorIndex);
  return t;
}

template <typename T, typename F>
bool AnyOrAll(const std::string& relation, const std::vector<T>& items, F one) {
  bool any = relation == "any";
  for (const T& item : items) {
    bool hit = one(item);
    if (any && hit) return true;
    if (!any && !hit) return false;
  }
  return !any;
}

bool ClassAmong(const std::string& code, const std::vector<std::string>& classes, size_t from, size_t to) {
  std::string prefix = code;
  while (!prefix.empty() && prefix.back() == '*') prefix.pop_back();
  for (size_t i = from; i < std::min(to, classes.size()); ++i)
    if (classes[i].compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

bool ClassIs(const std::string& index, const std::string& code, const OpsRecord& r) {
  if (index == "ic") return ClassAmong(code, r.ipcs, 0, r.ipcs.size());
  if (index == "cpci") return ClassAmong(code, r.cpcs, 0, r.inventiveCpcs);
  if (index == "cpca") return ClassAmong(code, r.cpcs, r.inventiveCpcs, r.cpcs.size());
  if (index == "cpc") return ClassAmong(code, r.cpcs, 0, r.cpcs.size());
  return ClassAmong(code, r.ipcs, 0, r.ipcs.size()) || ClassAmong(code, r.cpcs, 0, r.cpcs.size());
}

// "CN" alone, or a CN publication number with or without its kind, in docdb or epodoc form.
bool PublicationIs(const std::string& w, const OpsRecord& r, const OpsPublication* pub) {
  std::string v;
  for (char c : w)
    if (c != '.') v += c;
  if (v.size() < 2 || v.compare(0, 2, "CN") != 0) return false;
  std::string rest = v.substr(2);
  if (rest.empty()) return true;
  size_t digits = rest.find_first_not_of("0123456789");
  std::string number = rest.substr(0, digits);
  std::string kind = digits == std::string::npos ? "" : rest.substr(digits);
  auto is = [&](const OpsPublication& p) { return p.number == number && (kind.empty() || kind[0] == p.kind); };
  if (pub) return is(*pub);
  return std::any_of(r.publications.begin(), r.publications.end(), is);
}

// A CN application with or without "CN", in docdb form (dots), with a check digit after
// a dot or a kind letter.
bool ApplicationIs(const std::string& w, const std::string& digits) {
  std::string v = w.compare(0, 2, "CN") == 0 ? w.substr(2) : w;
  if (v.size() > 1 && v[0] == '.') v.erase(0, 1);
  v = v.substr(0, v.find('.'));
  while (!v.empty() && !IsDigit(v.back())) v.pop_back();
  return v == digits;
}

bool PriorityIs(const std::string& w, const OpsRecord& r) {
  return std::any_of(r.priorities.begin(), r.priorities.end(), [&](const OpsPriority& p) {
    return w == p.Epodoc() || w == p.country + p.number || (p.country == "CN" && ApplicationIs(w, p.number));
  });
}

bool Evaluate(const Node& n, const OpsRecord& r, const OpsPublication* pub, const CqlOptions& o) {
  switch (n.op) {
    case Node::And: return Evaluate(*n.left, r, pub, o) && Evaluate(*n.right, r, pub, o);
    case Node::Or: return Evaluate(*n.left, r, pub, o) || Evaluate(*n.right, r, pub, o);
    case Node::Not: return Evaluate(*n.left, r, pub, o) && !Evaluate(*n.right, r, pub, o);
    case Node::Clause: break;
  }
  const std::string& index = n.index;
  if (index == "pd") {
    int d = pub ? pub->date : r.Latest().date;
    const std::string& rel = n.relation;
    if (rel == "<") return d < n.from;
    if (rel == "<=") return d <= n.to;
    if (rel == ">") return d > n.to;
    if (rel == ">=") return d >= n.from;
    return d >= n.from && d <= n.to;
  }
  if (IsTextIndex(index)) {
    const std::vector<const OpsIndexText*> texts = TextsOf(index, r, o.englishOnly);
    return AnyOrAll(n.relation, n.units, [&](const Unit& u) {
      return std::any_of(texts.begin(), texts.end(), [&](const OpsIndexText* t) { return UnitIn(u, *t); });
    });
  }
  return AnyOrAll(n.relation, n.codes, [&](const std::string& w) {
    if (IsClassIndex(index)) return ClassIs(index, w, r);
    if (index == "pn") return PublicationIs(w, r, pub);
    if (index == "ap") return ApplicationIs(w, r.application);
    if (index == "pr") return PriorityIs(w, r);
    if (index == "famn") return w == std::to_string(r.familyId);
    return PublicationIs(w, r, pub) || ApplicationIs(w, r.application) || PriorityIs(w, r);  // num
  });
}

}  // namespace

CqlQuery::CqlQuery(const std::string& text, CqlOptions options) : root_(Parser(text).Whole()), options_(options) {
  std::map<std::string, int> perIndex;
  int total = 0;
  CountTerms(*root_, perIndex, total);
}

CqlQuery::~CqlQuery() = default;

bool CqlQuery::Matches(const OpsRecord& record, const OpsPublication* pub) const {
  return Evaluate(*root_, record, pub, options_);
}
