#pragma once
// The CQL the OPS role understands, as OPS documents it: clauses `index relation term`
// joined by and, or, not (left to right, as CQL has them; `not` never first) and
// parentheses. A term alone takes its index from its form: a country code or a number
// num, a date pd, a class cl, a capitalised word ia, anything else txt.
//   ti, ab, ta, txt (title, abstract, either, either or a name) and the names pa, in, ia
//   match words, case-blind, `*` `?` `#` truncating; a Chinese term matches within the
//   text. `all`: every word; `any`: one of them; `=` (`==`, `adj`, `exact`): the words
//   as a phrase.
//   ic/ipc, cpc (cpci inventive, cpca additional), cl (either): a class and what lies
//   below it, blanks ignored.
//   pn, ap, pr, num (any of them): numbers in docdb or epodoc form; famn the family.
//   pd: the publication date, `=` `within` `<` `<=` `>` `>=` on yyyy, yyyyMM, yyyyMMdd,
//   yyyy-MM, yyyy-MM-dd, MM/yyyy, dd/MM/yyyy, MM.yyyy, dd.MM.yyyy.
// At most kCqlIndexTerms terms for one index and kCqlTerms in all: a term is a word of a
// value (a date range one).
#include <memory>
#include <stdexcept>
#include <string>

#include "demosite/opscorpus.h"

constexpr int kCqlIndexTerms = 10;
constexpr int kCqlTerms = 20;

// What OPS answers with 400: the query does not parse (CLIENT.CQL) or names an index it
// does not know (CLIENT.InvalidIndex).
class CqlError : public std::runtime_error {
 public:
  CqlError(bool unknownIndex, const std::string& message)
      : std::runtime_error(message), unknownIndex_(unknownIndex) {}
  bool UnknownIndex() const { return unknownIndex_; }

 private:
  bool unknownIndex_;
};

struct CqlOptions {
  // ti, ab, ta and the texts of txt look at the English title and abstract only, as the
  // real indexes are said to (the Chinese ones are not searched).
  bool englishOnly = false;
};

class CqlQuery {
 public:
  // Throws CqlError.
  explicit CqlQuery(const std::string& text, CqlOptions options = {});
  ~CqlQuery();
  // Whether the record matches: as one of its publications (its date and number), or
  // with pub null as the application (the date of its latest publication, any number).
  bool Matches(const OpsRecord& record, const OpsPublication* pub = nullptr) const;

  struct Node;

 private:
  std::unique_ptr<Node> root_;
  CqlOptions options_;
};
