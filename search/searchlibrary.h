#pragma once
// What a search run hands on beyond its report's rows: each hit as a record into the patent
// library (a library that cannot be written never fails the run), kept for the charts and
// exports of the run, and the charts of an OPS report.
#include <memory>
#include <string>
#include <vector>

#include "base/path.h"
#include "library/library.h"
#include "sources/source.h"

class TSearchLibrary {
 public:
  // The run's start; warn takes the one warning line (GBK). The library hears of the run
  // with its first record: a search that finds nothing leaves the data folder as it was.
  TSearchLibrary(const TPath& root, TSourceKind source, const std::string& gbkQuery, TLibrarySink::TWarn warn);
  // The run met the hit (as its report shows it).
  void Met(const TSearchHit& hit);
  // The hit as read so far, into the library only: a run killed later keeps it. Met takes
  // it again once its row is final.
  void Keep(const TSearchHit& hit);
  // The run's end: the count the source gave and why it ended early (GBK; "" when it did not).
  void Finish(long count, const std::string& gbkError);
  // The records met, in the report's order.
  const std::vector<TPatentRecord>& Records() const { return records_; }

 private:
  TPath root_;
  TSourceKind source_;
  TRunInfo run_;
  TLibrarySink::TWarn warn_;
  std::unique_ptr<TLibrarySink> sink_;
  std::vector<TPatentRecord> records_;

  void Write(const TPatentRecord& record);
};

// The report's page items with the charts of its records before the table of rows. The
// old site's report stays as it has always been: only OPS reports take charts.
void AddSearchCharts(std::vector<std::string>& report, const std::vector<TPatentRecord>& records, bool withLegal);
