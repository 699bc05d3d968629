#pragma once
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/handover.h"
#include "base/path.h"
#include "sources/source.h"

struct TRecordPages;

// What a batch asks beyond the plain run of the dialog; the defaults are the plain run.
struct TBatchOptions {
  bool keepGoing = false;     // a number that fails does not end the run
  int retries = 0;            // passing failures are tried again (see TRequestGate)
  bool skipExisting = false;  // a number whose PDF is already there is not fetched again
  int jobs = 1;               // records downloaded at once, each on its own connection
  int delayMs = 0;            // at least this long between the starts of any two requests
  TSourceKind source = TSourceKind::Site;
  TDocumentChoice document = TDocumentChoice::Grant;  // which publications (OPS)
  bool ocr = false;           // every PDF gets a text layer (see download/textlayer.h)
};

// What became of one number of a run. Texts are GBK.
struct TNumberOutcome {
  enum class TStatus { Pending, Done, Skipped, Design, Failed };
  std::string number;  // the entry
  std::string typeName;
  std::optional<std::string> title;
  std::optional<std::string> classification;
  std::optional<int> pages;
  std::optional<TPath> pdf;
  std::optional<std::string> publication;  // OPS: the publications downloaded, ", " between
  TStatus status = TStatus::Pending;
  std::string error;  // the failure's message; empty when none
  bool textLayer = false;  // the PDF holds the recognised text of its pages
};

// What a run leaves its caller beyond the progress lines; complete when the run has
// handed its end over.
struct TDownloadResult {
  std::vector<TNumberOutcome> numbers;  // in input order
  std::string error;                    // why the run ended early; empty when it did not
  std::string ocrUnavailable;           // why the PDFs got no text layer though asked to
};

// One download run. Create it with new: the constructor copies its arguments and starts
// the thread at once; the object deletes itself when its run ends. The hand-over must
// outlive the run (the dialog owns it).
class getdown {
 public:
  // numbers: the list's entries in order, as the dialog or varnolt-cli took them (GBK).
  getdown(RunHandOver* handOver, std::vector<std::string> numbers, TBatchOptions options = {},
          std::shared_ptr<TDownloadResult> result = nullptr);
  getdown(const getdown&) = delete;
  getdown& operator=(const getdown&) = delete;

  // Blocks until every download run of the process has ended and its thread is gone.
  static void WaitAllDone();

 private:
  struct TRun;
  struct TLookup;
  struct TNumberRun;
  struct TReportRow;
  ~getdown();
  void Execute();
  // The run proper; false when it ended early (record search, detail page or page list).
  bool RunNumbers();
  // One number of the run, at index of the list, with the job's client and temp folder;
  // false when the run must end here. prepared: its lookup, made ahead (else made now);
  // converting: where the record's last conversion is left to run on (a source whose run
  // overlaps records, one job); inline when null.
  bool RunNumber(TRun& run, size_t index, class THttpClient& client, const TPath& tempDir,
                 TLookup* prepared = nullptr, std::future<void>* converting = nullptr);
  // The documents the number names; nothing when the lookup failed (see LookupFailed).
  std::optional<std::vector<TSourceDocument>> FindDocuments(TNumberRun& n);
  // One document of the number, from its PDF's name to its conversion; false when the run
  // must end here.
  bool RunDocument(TNumberRun& n, TSourceDocument& document, size_t d, bool last);
  // The document's PDF is there already (skipExisting): its row and outcome say so.
  bool SkipExisting(TNumberRun& n, const TSourceDocument& document);
  // Fetches and merges the document's pages and converts them (on converting when last);
  // false when the run must end here.
  bool FetchAndConvert(TNumberRun& n, const TSourceDocument& document, const TRecordPages& record,
                       TReportRow& row, bool last);
  // A failure of the number's lookup or page list: with keepGoing its row says why and
  // the run goes on; false when the run ends here.
  bool LookupFailed(TNumberRun& n, const std::string& reason);
  // Where the run stands for the dialog's bars: the records finished, the page just come
  // of the record in hand (0 of 0 between records), the time left.
  void ShowStanding(TRun& run, int page, int pages);
  // A document whose PDF did not come: its row says why; false when the source stopped.
  bool DocumentFailed(TNumberRun& n, TReportRow& row, const std::string& reason);
  // The requests that find a number's documents and their pages, made ahead while the
  // record before downloads: its failures are kept for the number's turn.
  TLookup Lookup(TRun& run, size_t index);
  // The run's end into the patent library.
  void FinishLibrary(TRun& run);
  // The first progress line of a record: with where the run is and the time left when the
  // source's runs are long.
  std::string StartLine(TRun& run, int position, const std::string& number);
  // A progress line of a record: with jobs side by side each line names its number.
  void Report(const std::string& number, const std::string& line);
  void Report(const std::string& line);

  RunHandOver* handOver_;
  std::vector<std::string> numbers_;
  TBatchOptions options_;
  std::shared_ptr<TDownloadResult> result_;
};
