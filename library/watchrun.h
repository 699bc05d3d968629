#pragma once
// One run of a watch: its search again (narrowed by publication date to what can be new),
// the legal status of the applications it knows besides (with --legal), what is news against
// what it knew, the new documents downloaded (with --download), what it learnt committed
// application by application, the report of the news and the run in the library.
#include <string>
#include <vector>

#include "base/path.h"
#include "library/record.h"
#include "library/watches.h"
#include "library/watchnews.h"
#include "search/getquery.h"
#include "sources/source.h"

// The next run's search starts this many days before the newest publication a complete run
// saw: the EPO's database takes CN gazettes in weeks after their day, so a publication may
// come to light after a run that searched past its date.
constexpr int kWatchMarginDays = 31;

// One application that is news to the watch.
struct TWatchNews {
  TPatentRecord record;               // as the run met it
  bool fresh = false;                 // an application the watch had not seen
  std::vector<TWatchChange> changes;  // a known one's
  TSearchRecord row;                  // as the report shows it: all the library knows of it
};

struct TWatchRunResult {
  std::string name;
  std::vector<TWatchNews> news;  // the new applications first, then the changed ones
  TPath report;                  // data/watch/<name>/<date>.html; empty when none was written
  std::string error;             // why the run ended early (GBK); "" when it did not
  int Fresh() const;
  int Changed() const;
};

// The watch's arguments after its name, as `varnolt-cli watch add` takes them (UTF-8).
std::vector<std::string> WatchArguments(const TWatch& watch);
// Its last run as the list and the window say it (GBK): when, its news, how it ended.
std::string WatchLastRunText(const TWatch& watch);

// The first publication day the watch's next search asks for (YYYY-MM-DD): kWatchMarginDays
// before the day it searched through; "" when it has none (every publication).
std::string WatchSearchFrom(const TWatch& watch);

// Runs the watch of that name on the data root of the process, progress lines (GBK) to
// progress as they come; a run of the same watch going on elsewhere is waited for, and the
// watch is read again after it. A run that ends early keeps what it learnt (the library's records, the PDFs, what
// the watch saw of each application it finished) and does not mark what it did not reach as
// seen, so the next run finds it again. Throws ELibraryError when the library cannot be used.
TWatchRunResult RunWatch(const TWatch& watch, const TProgress& progress);

// What the report's head says of the run's search.
struct TWatchSearchCounts {
  long publications = 0;  // the publications the search matched
  long applications = 0;  // the applications they are
  bool exact = false;     // every hit was read
};

// The report page of a run's news: an OPS search report's look, each row marked new or
// with what changed (and the PDFs it brought), the charts of the records where there are
// some to compare. Items as WriteTextLines writes them (GBK).
std::vector<std::string> WatchReportPage(const TWatch& watch, const std::string& expression,
                                         const TWatchSearchCounts& counts, const std::vector<TWatchNews>& news,
                                         const std::string& error);
