#pragma once
#include <map>
#include <string>
#include <string_view>

// OPS accepts at most ten terms per field and twenty in a whole query.
constexpr int kOpsTermsPerField = 10;
constexpr int kOpsTermsInAll = 20;

// The terms of a CQL query, in all and per index (lower case, long names as their short
// ones: title is ti). Each word of a quoted term counts, and so does a term not quoted;
// indexes, relations, modifiers, and/or/not/prox and parentheses do not. Both ends of a
// `within` range count: how OPS counts them is not documented, and counting more can only
// refuse a query OPS would take, never send one it refuses. A term without an index counts
// under "".
struct TCqlTermCount {
  int total = 0;
  std::map<std::string, int> byIndex;
  // Within both limits.
  bool Fits() const;
};
TCqlTermCount CqlTermCount(std::string_view cql);
