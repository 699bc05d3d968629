#pragma once
// The whole query of an OPS search: the text fields through the glossary, names, classes,
// a number and a publication-date range, checked against OPS's limits before anything is
// sent.
#include <optional>
#include <string>
#include <vector>

#include "sources/ops/glossary.h"
#include "sources/ops/opscql.h"

// What a search asks, as typed (GBK).
struct TOpsQueryFields {
  std::string title, abstractWords, ipcClass;
  std::string applicant, inventor, text, cpc, number;
  std::string from, to;  // publication dates, both included
  bool translate = true;  // Chinese words of ti/ab/ta also as their English equivalents
};

struct TOpsQuery {
  std::string cql;                // UTF-8, without the date range
  std::optional<TDateRange> dates;  // the range asked; nothing when no date was given
  std::vector<TGlossaryDrop> dropped;       // equivalents left out to stay within OPS's limits
  std::vector<TOpsTextField> untranslated;  // fields sent as typed for the same reason
  std::string problem;            // GBK: why the query cannot be sent; "" when it can
  bool empty = true;              // no field holds a condition

  // The query as sent: the range as a `pd within` clause.
  std::string Sent() const { return dates ? CqlWithin(cql, *dates) : cql; }
};

// The query of the fields; today (YYYYMMDD) closes a range given only its start. Clauses in
// the order ti, ab, ta, pa, in, ic, cpc, num, then pn=CN: a search with the three old fields
// alone and no Chinese word reads as it always has.
TOpsQuery BuildOpsQuery(const TOpsQueryFields& fields, int today);

// A date of the range as typed: YYYY, YYYY-MM, YYYY-MM-DD or YYYYMMDD (blanks around
// ignored). The first day it names, or with end the last, as YYYYMMDD; nothing when it does
// not read or names no real day.
std::optional<int> ReadQueryDate(const std::string& text, bool end);

// The estimated end of a CN right from its application number's type and its filing date
// (YYYYMMDD): 20 years for an invention, 10 for a utility model, for a design 10 when filed
// before 2021-06-01 and 15 from then on; the term runs to the day before the anniversary.
// "YYYY-MM-DD"; "" when the type or the date is unknown.
std::string ExpiryEstimate(const std::string& application, const std::string& filingDate);
