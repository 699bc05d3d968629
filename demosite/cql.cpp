#include "demosite/cql.h"

#include <vector>

struct CqlQuery::Node {
  enum Op { And, Or, Not, Clause } op = Clause;
  std::unique_ptr<Node> left, right;
  // A clause: its index (canonical name), relation and value.
  std::string index, relation, value;
  std::vector<std::string> words;  // text indexes: lower case; others: upper case
  int from = 0, to = 0;            // pd: the day range, YYYYMMDD
};

namespace {

using Node = CqlQuery::Node;

struct Token {
  enum Type { Word, Quoted, Symbol, Open, Close, End } type = End;
  std::string text;
};

CqlError Invalid(const std::string& detail) { return CqlError(false, "The query provided is invalid, " + detail); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
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
  static const struct {
    const char* name;
    const char* canonical;
  } kIndexes[] = {
      {"ti", "ti"},   {"title", "ti"}, {"ab", "ab"},   {"abstract", "ab"}, {"ta", "ta"}, {"titleandabstract", "ta"},
      {"txt", "txt"}, {"pa", "pa"},    {"applicant", "pa"}, {"ic", "ic"},  {"ipc", "ic"}, {"cpc", "ic"},
      {"cl", "ic"},   {"pn", "pn"},    {"publicationnumber", "pn"}, {"ap", "ap"}, {"applicationnumber", "ap"},
      {"pd", "pd"},   {"publicationdate", "pd"},
  };
  for (const auto& i : kIndexes)
    if (name == i.name) return i.canonical;
  return nullptr;
}

bool IsTextIndex(const std::string& index) {
  return index == "ti" || index == "ab" || index == "ta" || index == "txt" || index == "pa";
}

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

// The first and last day of YYYY, YYYYMM, YYYYMMDD, YYYY-MM or YYYY-MM-DD.
void DateRange(const std::string& value, int& from, int& to) {
  std::string d;
  for (char c : value)
    if (c != '-') d += c;
  bool digits = !d.empty() && d.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || (d.size() != 4 && d.size() != 6 && d.size() != 8)) throw Invalid("bad date " + value);
  int year = std::stoi(d.substr(0, 4));
  int month = d.size() >= 6 ? std::stoi(d.substr(4, 2)) : 0;
  int day = d.size() == 8 ? std::stoi(d.substr(6, 2)) : 0;
  if ((d.size() >= 6 && (month < 1 || month > 12)) || (d.size() == 8 && (day < 1 || day > 31)))
    throw Invalid("bad date " + value);
  from = year * 10000 + (month ? month : 1) * 100 + (day ? day : 1);
  to = year * 10000 + (month ? month : 12) * 100 + (day ? day : 31);
}

std::unique_ptr<Node> MakeClause(const std::string& indexName, const std::string& relation, const std::string& value) {
  auto n = std::make_unique<Node>();
  const char* canonical = CanonicalIndex(Lower(indexName));
  if (!canonical) throw CqlError(true, "The query provided is invalid. Invalid index name " + indexName);
  n->index = canonical;
  n->relation = Lower(relation);
  n->value = value;
  const std::string& r = n->relation;
  bool wordsRelation = r == "=" || r == "==" || r == "all" || r == "any" || r == "adj";
  if (n->index == "pd") {
    if (r == "within") {
      std::vector<std::string> ends = Split(value);
      if (ends.size() != 2) throw Invalid("within needs two dates");
      int ignored = 0;
      DateRange(ends[0], n->from, ignored);
      DateRange(ends[1], ignored, n->to);
    } else if (r == "=" || r == "==" || r == "<" || r == ">" || r == "<=" || r == ">=") {
      DateRange(value, n->from, n->to);
    } else {
      throw Invalid("relation " + relation + " is not supported for pd");
    }
    return n;
  }
  if (!wordsRelation) throw Invalid("relation " + relation + " is not supported for " + indexName);
  if (IsTextIndex(n->index)) {
    for (const std::string& w : Split(value)) n->words.push_back(Lower(w));
  } else if (n->index == "ic" && r != "any" && r != "all") {
    std::string compact;
    for (char c : value)
      if (!IsBlank(c)) compact += c;
    n->words.push_back(Upper(compact));
  } else {
    for (const std::string& w : Split(value)) n->words.push_back(Upper(w));
  }
  if (n->words.empty()) throw Invalid("empty value for " + indexName);
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
    return t.type == Token::Word && (w == "all" || w == "any" || w == "within" || w == "adj");
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
    return MakeClause("txt", "=", first.text);
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
};

// A word with "*", "?" or "#" truncation: its pieces in order, anywhere in the text.
bool WordIn(const std::string& word, const std::string& text) {
  size_t at = 0, start = 0;
  while (start <= word.size()) {
    size_t end = word.find_first_of("*?#", start);
    std::string piece = word.substr(start, end == std::string::npos ? std::string::npos : end - start);
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

bool AnyOrAll(const Node& n, bool (*one)(const std::string&, const OpsRecord&), const OpsRecord& r) {
  bool any = n.relation == "any";
  for (const std::string& w : n.words) {
    bool hit = one(w, r);
    if (any && hit) return true;
    if (!any && !hit) return false;
  }
  return !any;
}

bool TitleHas(const std::string& w, const OpsRecord& r) { return WordIn(w, r.findTitle); }
bool AbstractHas(const std::string& w, const OpsRecord& r) { return WordIn(w, r.findAbstract); }
bool TitleOrAbstractHas(const std::string& w, const OpsRecord& r) { return TitleHas(w, r) || AbstractHas(w, r); }
bool NamesHave(const std::string& w, const OpsRecord& r) { return WordIn(w, r.findNames); }
bool AnyTextHas(const std::string& w, const OpsRecord& r) { return TitleOrAbstractHas(w, r) || NamesHave(w, r); }

bool ClassIs(const std::string& w, const OpsRecord& r) {
  std::string prefix = w;
  while (!prefix.empty() && prefix.back() == '*') prefix.pop_back();
  return !r.ipc.empty() && r.ipc.compare(0, prefix.size(), prefix) == 0;
}

// "CN" alone, or a CN publication number with or without its kind.
bool PublicationIs(const std::string& w, const OpsRecord& r) {
  if (w.size() < 2 || w.compare(0, 2, "CN") != 0) return false;
  std::string rest = w.substr(2);
  if (rest.empty()) return true;
  size_t digits = rest.find_first_not_of("0123456789");
  std::string number = rest.substr(0, digits);
  std::string kind = digits == std::string::npos ? "" : rest.substr(digits);
  for (const OpsPublication& p : r.publications)
    if (p.number == number && (kind.empty() || kind[0] == p.kind)) return true;
  return false;
}

// With or without "CN", a check digit after a dot, or a kind letter.
bool ApplicationIs(const std::string& w, const OpsRecord& r) {
  std::string v = w.compare(0, 2, "CN") == 0 ? w.substr(2) : w;
  v = v.substr(0, v.find('.'));
  while (!v.empty() && (v.back() < '0' || v.back() > '9')) v.pop_back();
  return v == r.application;
}

bool Evaluate(const Node& n, const OpsRecord& r) {
  switch (n.op) {
    case Node::And: return Evaluate(*n.left, r) && Evaluate(*n.right, r);
    case Node::Or: return Evaluate(*n.left, r) || Evaluate(*n.right, r);
    case Node::Not: return Evaluate(*n.left, r) && !Evaluate(*n.right, r);
    case Node::Clause: break;
  }
  if (n.index == "pd") {
    int d = r.Latest().date;
    const std::string& rel = n.relation;
    if (rel == "<") return d < n.from;
    if (rel == "<=") return d <= n.to;
    if (rel == ">") return d > n.to;
    if (rel == ">=") return d >= n.from;
    return d >= n.from && d <= n.to;
  }
  if (n.index == "ti") return AnyOrAll(n, TitleHas, r);
  if (n.index == "ab") return AnyOrAll(n, AbstractHas, r);
  if (n.index == "ta") return AnyOrAll(n, TitleOrAbstractHas, r);
  if (n.index == "pa") return AnyOrAll(n, NamesHave, r);
  if (n.index == "txt") return AnyOrAll(n, AnyTextHas, r);
  if (n.index == "ic") return AnyOrAll(n, ClassIs, r);
  if (n.index == "pn") return AnyOrAll(n, PublicationIs, r);
  return AnyOrAll(n, ApplicationIs, r);
}

}  // namespace

CqlQuery::CqlQuery(const std::string& text) : root_(Parser(text).Whole()) {}

CqlQuery::~CqlQuery() = default;

bool CqlQuery::Matches(const OpsRecord& record) const { return Evaluate(*root_, record); }
