#pragma once
// The CQL the OPS role understands: clauses `index relation value` joined by and/or/not
// (left to right, as CQL has them) and parentheses. Indexes ti, ab, ta, txt, pa (words,
// case-blind substrings of the English or the Chinese text, `*` truncating), ic/ipc, cpc,
// cl (class prefix, blanks ignored), pn, ap (numbers), pd (publication date of the latest
// publication: =, within, <, <=, >, >= on YYYY, YYYYMM, YYYYMMDD or YYYY-MM-DD). A bare
// term searches txt.
#include <memory>
#include <stdexcept>
#include <string>

#include "demosite/opscorpus.h"

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

class CqlQuery {
 public:
  // Throws CqlError.
  explicit CqlQuery(const std::string& text);
  ~CqlQuery();
  bool Matches(const OpsRecord& record) const;

  struct Node;

 private:
  std::unique_ptr<Node> root_;
};
