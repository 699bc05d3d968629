#include "search/searchlibrary.h"

#include <utility>

#include "base/gbk.h"
#include "library/charts.h"
#include "library/runrecords.h"

TSearchLibrary::TSearchLibrary(const TPath& root, TSourceKind source, const std::string& gbkQuery,
                               TLibrarySink::TWarn warn)
    : root_(root),
      source_(source),
      run_{"search", SourceName(source), GbkToUtf8(gbkQuery), LibraryTimeNow()},
      warn_(std::move(warn)) {}

void TSearchLibrary::Met(const TSearchHit& hit) {
  records_.push_back(RecordOfHit(source_, hit));
  Write(records_.back());
}

void TSearchLibrary::Keep(const TSearchHit& hit) { Write(RecordOfHit(source_, hit)); }

void TSearchLibrary::Write(const TPatentRecord& record) {
  if (record.application.empty()) return;
  if (!sink_) sink_ = std::make_unique<TLibrarySink>(root_, run_, warn_);
  sink_->Met(record);
}

void TSearchLibrary::Finish(long count, const std::string& gbkError) {
  if (sink_) sink_->Finish(TRunEnd{count, 0, gbkError.empty() ? "done" : GbkToUtf8(gbkError)});
}

void AddSearchCharts(std::vector<std::string>& report, const std::vector<TPatentRecord>& records, bool withLegal) {
  for (auto item = report.begin(); item != report.end(); ++item)
    if (item->rfind("<table", 0) == 0) {
      report.insert(item, ReportCharts(records, withLegal));
      return;
    }
}
