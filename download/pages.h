#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/path.h"
#include "download/pdfdoc.h"
#include "sources/source.h"

class THttpClient;
class TRequestGate;
class TTemporaryFile;

// The merged image of one record in the temp directory, named after the list entry by
// the base file-name rule, so an entry holding "/" never leaves its directory.
std::string MergedImageName(const std::string& number);

// The parameter texts of the merging tool (page n of the temp directory, which ends with
// "/") and of the converting tool (the merged image into out, with the record's number in
// the PDF's keywords), in the system's bytes.
std::string MergeToolParams(const TPath& tempDir, int page, const std::string& number);
std::string ConvertToolParams(const TPath& mergedImage, const TPath& out, const std::string& owner);

// What DownloadRecordPages needs of one record.
struct TRecordPages {
  TPath tempDir;          // page files and the merged image; ends with "/"
  TPath pdf;              // where the record's PDF goes
  std::string number;     // the list entry: names the merged image
  std::string owner;      // the record's application number, written into the PDF
  int pageCount = 0;
  std::string imageBase;  // the site's first page address without its file name (below)
  TPdfInfo info;                       // the PDF's document information
  std::vector<TOutlineEntry> outline;  // its sections, when the source tells them
};

// What becomes of a record's converted PDF, told of each page as it comes in.
class TRecordFinish {
 public:
  virtual ~TRecordFinish() = default;
  // Page n of the record is in file (it is replaced by the next record's page n later).
  virtual void PageFetched(int n, const TPath& file) = 0;
  // The converting tool's PDF, a temporary file now owned here: it becomes the record's
  // PDF, whole, or goes. Throws EConversionError when that fails here and now.
  virtual void Converted(std::unique_ptr<TTemporaryFile> converted) = 0;
};

// The finish without a text layer: the record's PDF gets its document information and
// outline, and then appears under its name.
class TPdfFinish : public TRecordFinish {
 public:
  explicit TPdfFinish(TRecordPages record) : record_(std::move(record)) {}
  void PageFetched(int, const TPath&) override {}
  void Converted(std::unique_ptr<TTemporaryFile> converted) override;

 private:
  TRecordPages record_;  // a copy: the conversion may run after the caller's record is gone
};

// Fetches the record's pages into the temp directory with the job's one client, through
// the run's request gate, merges each into the record's merged image (started afresh)
// while the next page comes in, reports the format line through `report`, converts the
// merged image into a temporary PDF and hands it to finish (a TPdfFinish when none is
// given). Each merge ends before the next starts and the last one before the conversion,
// so the PDF holds every page in order; a PDF appears under its name only whole. Throws
// when a page file cannot be created, a page cannot be fetched, a tool fails or finish
// fails (EConversionError).
// The pages of the old site at record.imageBase.
void DownloadRecordPages(THttpClient& pageClient, TRequestGate& gate, const TRecordPages& record,
                         const std::function<void(const std::string&)>& report, TRecordFinish* finish = nullptr);
// The pages come from the source (page n of document); a source that checks page counts
// has the merged image hold exactly pageCount pages, or no PDF is written (EConversionError).
void DownloadRecordPages(THttpClient& pageClient, TRequestGate& gate, const TRecordPages& record,
                         TDownloadSource& source, const TSourceDocument& document,
                         const std::function<void(const std::string&)>& report, TRecordFinish* finish = nullptr);
// DownloadRecordPages up to the conversion, which it hands back: run it (on another thread,
// say) before the record's merged image is used again; it throws as the conversion would.
// The conversion keeps finish alive until it has run. pageFetched hears each page that came.
std::function<void()> FetchAndMergePages(THttpClient& pageClient, TRequestGate& gate, const TRecordPages& record,
                                         TDownloadSource& source, const TSourceDocument& document,
                                         const std::function<void(const std::string&)>& report,
                                         std::shared_ptr<TRecordFinish> finish = nullptr,
                                         const std::function<void(int page)>& pageFetched = {});

// Wall time spent in the two tools by this process so far, for the download benchmark.
struct TToolTimes {
  int64_t mergeNs = 0;
  int64_t convertNs = 0;
  int64_t merges = 0;
  int64_t converts = 0;
};
TToolTimes ToolTimesSoFar();
