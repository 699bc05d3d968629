#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The CQL queries of the OPS search, and the split of a query that has more hits than
// OPS serves (2000) into publication-date slices that each fit.

// The search dialog's three fields as typed (GBK).
struct TOpsSearchFields {
  std::string titleWords;
  std::string abstractWords;
  std::string ipcClass;
};

// The query (UTF-8): `ti all "<words>"`, `ab all "<words>"`, `ic=<class>` for the fields
// that hold something, joined by " and ", then " and pn=CN". Words are trimmed and their
// blanks (full-width ones too) collapsed; an IPC class loses its blanks ("H01M 10/0525" is
// "H01M10/0525") and is quoted unless it is letters and digits only. Empty fields give
// "pn=CN" alone.
std::string OpsCql(const TOpsSearchFields& fields);

// text (UTF-8) as a quoted CQL term: a quote or a backslash in it escaped by a backslash,
// so that the user's words can never end the term or add clauses.
std::string CqlQuoted(const std::string& text);

// text (UTF-8) as a URL query value: everything but letters, digits and "-._~" as %XX.
std::string QueryValueEncoded(const std::string& text);

// Publication dates from..to, both days included, as YYYYMMDD numbers.
struct TDateRange {
  int from = 0;
  int to = 0;
  friend auto operator<=>(const TDateRange&, const TDateRange&) = default;
};

// cql restricted to the range: cql + ` and pd within "from to"`.
std::string CqlWithin(const std::string& cql, const TDateRange& range);

// Every CN publication up to the end of the year of today (YYYYMMDD): 1985 to that year.
TDateRange AllPublicationDates(int today);

// The range halved along its coarsest unit: years while it spans several, then months,
// then days; the older half first. Nothing for a single day.
std::optional<std::pair<TDateRange, TDateRange>> SplitRange(const TDateRange& range);

// How many hits OPS serves for one query, and how many its count can show (a count at the
// cap may stand for more).
constexpr long kOpsServedHits = 2000;
constexpr long kOpsCountCap = 10000;

// A slice of a query and the hits OPS counts in it.
struct TOpsSlice {
  TDateRange range;
  long count = 0;
};

// Splits a query's date range, newest slices first, as far as the run needs. counter asks
// OPS for the count of one range (a search with Range=1-1, say); each range is counted
// once. The slicer never asks for the whole range: its count is given.
class TOpsSlicer {
 public:
  using TCounter = std::function<long(const TDateRange&)>;
  TOpsSlicer(TDateRange whole, long wholeCount, TCounter counter);

  // The true number of hits: the whole range's count while it is under the cap, else the
  // sum over halves split until each count is under it. A single day at the cap counts as
  // the cap, and so does every piece left once kTotalCounts counts have been asked for
  // (the total is then a lower bound): a count that lies cannot cost thousands of requests.
  long Total();
  static constexpr int kTotalCounts = 64;

  // The next slice, newest first, whose count OPS serves whole (at most kOpsServedHits);
  // a single day that holds more is given as it is, and only its first kOpsServedHits can
  // be had. Empty slices are skipped. Nothing when every slice has been given.
  std::optional<TOpsSlice> Next();

 private:
  long CountOf(const TDateRange& range);
  long SumUnder(const TDateRange& range);

  TCounter counter_;
  std::map<TDateRange, long> counts_;
  std::vector<TDateRange> pending_;  // the newest on top
  TDateRange whole_;
  int totalBudget_ = kTotalCounts;
};
