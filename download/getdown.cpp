#include "download/getdown.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/worker.h"
#include "download/downerrors.h"
#include "download/downlibrary.h"
#include "download/downreport.h"
#include "download/downtexts.h"
#include "download/pages.h"
#include "download/pdfdoc.h"
#include "download/pdfstore.h"
#include "download/requestgate.h"
#include "download/textlayer.h"
#include "recognition/recognise.h"
#include "http/httpclient.h"

namespace {

using namespace getdowntext;

constexpr int kDesignPatent = 3;
constexpr int kMaxJobs = 8;

TRecordFacts RecordFactsOf(const TSourceDocument& document) {
  TRecordFacts facts;
  facts.title = document.plainTitle.empty() ? document.title : document.plainTitle;
  facts.patentee = document.patentee;
  facts.application = document.application;
  facts.publication = document.publication;
  facts.classification = document.classification;
  facts.owner = document.owner;
  return facts;
}

// The outline of the sections the source located, in page order (a section that starts on
// the page of the one before it comes after it, as the source listed them).
std::vector<TOutlineEntry> SectionOutline(const std::vector<TDocumentSection>& sections) {
  std::vector<TOutlineEntry> outline;
  for (const TDocumentSection& s : sections) {
    switch (s.kind) {
      case TDocumentSection::TKind::Abstract: outline.push_back({kSectionAbstract, s.page}); break;
      case TDocumentSection::TKind::Description: outline.push_back({kSectionDescription, s.page}); break;
      case TDocumentSection::TKind::Claims: outline.push_back({kSectionClaims, s.page}); break;
      case TDocumentSection::TKind::Drawings: outline.push_back({kSectionDrawings, s.page}); break;
    }
  }
  std::stable_sort(outline.begin(), outline.end(),
                   [](const TOutlineEntry& a, const TOutlineEntry& b) { return a.page < b.page; });
  return outline;
}

}  // namespace

// One document's row of the report, drawn when every outcome of the run has settled: a
// link to its PDF, or why it has none.
struct getdown::TReportRow {
  std::string title, classification;
  TPath pdf;
  std::string publication;
  std::string application;  // for the type of a publication's record; "" otherwise
  std::string failure;      // why the document got no PDF; "" when it has one
};

// What the jobs of one run share.
struct getdown::TRun {
  TRun(const TPath& pdfFolder, const TBatchOptions& options, std::function<void(const std::string&)> onWait)
      : pdfDir(pdfFolder), names(pdfFolder), gate(options.retries, options.delayMs, std::move(onWait)) {}
  std::unique_ptr<TDownloadSource> source;
  std::vector<std::string> numbers;
  TPath pdfDir;  // ends with "/"
  TPdfNames names;
  TRequestGate gate;
  // Report rows by list position; a deque keeps each row where it is for a conversion
  // still to settle it.
  std::vector<std::deque<TReportRow>> rows;
  std::vector<TNumberOutcome> outcomes;        // by list position
  std::atomic<bool> ended{false};              // the run ends early: no further number starts
  std::atomic<bool> stopped{false};            // the source stopped serving: failed.txt still written
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::atomic<int> finished{0};                // records done with, for the time left
  std::mutex mutex;
  std::string endError;
  std::mutex settle;                           // outcomes and rows, also settled by conversions
  std::unique_ptr<TOcrRun> ocr;                // when the PDFs get a text layer
  std::unique_ptr<TDownloadLibrary> library;   // what the run meets, into the patent library

  // Whether the source has stopped serving (a used-up quota): the run then ends with its reason.
  bool SourceStopped() {
    const std::string reason = source->StopReason();
    if (reason.empty()) return false;
    stopped = true;
    std::lock_guard<std::mutex> lock(mutex);
    if (endError.empty()) endError = reason;
    return true;
  }
};

// One number of a run at its job: what the steps of its documents share.
struct getdown::TNumberRun {
  TRun& run;
  int position;
  const std::string& number;
  TNumberOutcome& outcome;
  std::deque<TReportRow>& rows;
  THttpClient& client;
  const TPath& tempDir;
  TLookup* prepared;
  std::future<void>* converting;
  TRunRequest request;
  bool allDone = true;
  bool ocrSettles = false;      // a document went to the OCR pool, which settles the outcome
  bool convertingLast = false;  // the last document's conversion runs on: it settles the outcome
  bool goOn = true;             // false: the run ends at this number
};

getdown::getdown(RunHandOver* handOver, std::vector<std::string> numbers, TBatchOptions options,
                 std::shared_ptr<TDownloadResult> result)
    : handOver_(handOver), numbers_(std::move(numbers)), options_(options), result_(std::move(result)) {
  options_.jobs = std::clamp(options_.jobs, 1, kMaxJobs);
  // Last statement: once started, the thread owns the object and may delete it.
  FamilyOf<getdown>().Start([this] {
    Execute();
    delete this;
  });
}

void getdown::WaitAllDone() { FamilyOf<getdown>().WaitAll(); }

getdown::~getdown() = default;

void getdown::Report(const std::string& line) { handOver_->ShowProgress(line); }

void getdown::Report(const std::string& number, const std::string& line) {
  Report(options_.jobs > 1 ? "[" + number + "] " + line : line);
}

void getdown::Execute() {
  std::lock_guard<std::mutex> runLock(FamilyOf<getdown>().RunLock());
  bool finished = false;
  try {
    finished = RunNumbers();
  } catch (const std::exception& e) {
    // An unforeseen failure (the report cannot be written) must not keep the start button.
    finished = false;
    if (result_) result_->error = e.what();
  }
  if (finished) {
    handOver_->FinishRun();
  } else {
    handOver_->GiveStartBack();
  }
}

struct getdown::TLookup {
  std::vector<TSourceDocument> documents;
  std::exception_ptr findFailure;
  std::vector<std::exception_ptr> listFailures;  // by document; empty when not listed ahead
};

getdown::TLookup getdown::Lookup(TRun& run, size_t index) {
  TLookup lookup;
  const std::string& number = run.numbers[index];
  if (!run.source->DownloadsDesigns() && TypeCodeOf(number) == kDesignPatent) return lookup;
  const TRunRequest request = [&](TRequestStep step, const std::function<void()>& attempt) {
    run.gate.Run(number + (step == TRequestStep::Record ? kListRequest : kDetailRequest), attempt);
  };
  try {
    lookup.documents = run.source->Find(number, options_.keepGoing, request);
  } catch (...) {
    lookup.findFailure = std::current_exception();
    return lookup;
  }
  // A PDF that is there already needs no page list: only listed ahead when none is skipped.
  if (options_.skipExisting) return lookup;
  for (TSourceDocument& document : lookup.documents) {
    try {
      run.source->ListPages(document, request);
      lookup.listFailures.push_back(nullptr);
    } catch (...) {
      lookup.listFailures.push_back(std::current_exception());
    }
  }
  return lookup;
}

bool getdown::RunNumbers() {
  const std::vector<std::string>& numbers = numbers_;
  const TPath root = datadir::Root();
  const TPath tempDir = datadir::EnsureFolder(root, datadir::Folder::Temp) + "/";
  TRun run(datadir::EnsureFolder(root, datadir::Folder::Pdf) + "/", options_,
           [this](const std::string& line) { Report(line); });
  try {
    run.source = MakeDownloadSource(options_.source, options_.document, [this](const std::string& line) { Report(line); });
  } catch (const std::exception& e) {
    // Only OPS can refuse here (no credentials): the dialog shows why.
    Report(e.what());
    if (result_) result_->error = e.what();
    return false;
  }
  // One run per data folder across processes: runs share the page files of the temp folder.
  TFolderLock folderLock(datadir::FolderPath(root, datadir::Folder::Data), [this] { Report(kWaitForOtherRun); });
  run.library = std::make_unique<TDownloadLibrary>(root, options_.source, numbers,
                                                   [this](const std::string& line) { Report(line); });
  if (options_.ocr) {
    // Without the tool the downloads still run, and the user learns why the text is missing.
    std::string unavailable = OcrUnavailableReason(tempDir);
    if (unavailable.empty()) {
      run.ocr = std::make_unique<TOcrRun>(
          tempDir + "ocr", [this](const std::string& number, const std::string& line) { Report(number, line); });
    } else {
      Report(unavailable);
      if (result_) result_->ocrUnavailable = unavailable;
    }
  }
  std::vector<std::string> report = DownloadReportHead(ProgramDirectory(), std::time(nullptr));
  run.numbers = numbers;
  run.rows.resize(numbers.size());
  run.outcomes.resize(numbers.size());
  for (size_t i = 0; i < numbers.size(); ++i) {
    run.outcomes[i].number = numbers[i];
    run.outcomes[i].typeName = TypeNameOf(numbers[i]);
  }

  // A job takes the next number until none is left or the run ends, with one client for
  // every page image: its connection and cookies carry over from page to page.
  std::atomic<size_t> next{0};
  const bool overlap = options_.jobs == 1 && run.source->OverlapsRecords();
  auto job = [&](const TPath& dir) {
    THttpClient pageClient;
    // One job finds the next record while this one's pages come in, and converts this one
    // while the next one's come in. Every thread it starts is awaited before the job ends.
    std::future<TLookup> ahead;
    std::future<void> converting;
    for (size_t i; !run.ended && (i = next++) < numbers.size();) {
      std::optional<TLookup> prepared;
      if (ahead.valid()) prepared = ahead.get();
      if (overlap && i + 1 < numbers.size())
        ahead = std::async(std::launch::async, [this, &run, i] { return Lookup(run, i + 1); });
      // The same number again merges into the same image: its conversion must be done.
      if (converting.valid() && i > 0 && numbers[i] == numbers[i - 1]) converting.get();
      if (!RunNumber(run, i, pageClient, dir, prepared ? &*prepared : nullptr, overlap ? &converting : nullptr))
        run.ended = true;
    }
    if (ahead.valid()) ahead.wait();  // a run that ended early drops what it found
    if (converting.valid()) converting.get();
  };
  if (options_.jobs == 1) {
    job(tempDir);
  } else {
    // Jobs side by side, each in a temp folder of its own, so that records running at once
    // never share a page file or a merged image.
    std::vector<std::thread> jobs;
    for (int k = 1; k <= options_.jobs && size_t(k) <= numbers.size(); ++k) {
      const TPath jobDir = tempDir + ("job" + std::to_string(k));
      CreateDir(jobDir);
      RemoveStaleTemporaryFiles(jobDir);
      jobs.emplace_back(job, jobDir + "/");
    }
    for (std::thread& t : jobs) t.join();
  }
  // The records still being recognised end before the run does.
  if (run.ocr) run.ocr->WaitAll();
  if (result_) result_->numbers = run.outcomes;
  FinishLibrary(run);
  if (run.stopped) {
    Report(run.endError);  // the dialog's memo says why the run ended
    // The source will serve no more for now: every number without its PDF, for a later run.
    std::vector<std::string> left;
    for (const TNumberOutcome& o : run.outcomes)
      if (o.status == TNumberOutcome::TStatus::Failed || o.status == TNumberOutcome::TStatus::Pending)
        left.push_back(o.number);
    WriteTextLines(tempDir + "failed.txt", left);
  }
  if (run.ended) {
    if (result_) result_->error = run.endError;
    return false;
  }

  for (size_t i = 0; i < numbers.size(); ++i) {
    for (const TReportRow& row : run.rows[i]) {
      if (row.failure.empty())
        AppendDownloadReportRow(report, int(i) + 1, numbers[i], row.title, row.classification, row.pdf,
                                row.publication, row.application);
      else
        AppendDownloadFailureRow(report, int(i) + 1, numbers[i], row.failure, row.classification,
                                 row.publication, row.application);
    }
  }
  AppendDownloadReportTail(report);
  // The root is read again: a directory chosen during the run receives the report.
  SaveDownloadReport(datadir::Root(), report);
  if (options_.keepGoing) {
    // The failed entries, one a line, for a later run to take with --file.
    std::vector<std::string> failed;
    for (const TNumberOutcome& o : run.outcomes)
      if (o.status == TNumberOutcome::TStatus::Failed) failed.push_back(o.number);
    const TPath list = tempDir + "failed.txt";
    if (failed.empty())
      DeleteFileAt(list);
    else
      WriteTextLines(list, failed);
  }
  ShowStanding(run, 0, 0);
  Report(kRunDone);
  return true;
}

void getdown::ShowStanding(TRun& run, int page, int pages) {
  TRunStanding standing;
  standing.records = run.finished;
  standing.recordsTotal = long(run.numbers.size());
  standing.pages = page;
  standing.pagesTotal = pages;
  const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - run.started).count();
  standing.secondsLeft = SecondsLeft(spent, run.finished, standing.recordsTotal);
  handOver_->ShowStanding(standing);
}

std::string getdown::StartLine(TRun& run, int position, const std::string& number) {
  ShowStanding(run, 0, 0);
  std::string line = kStartA + std::to_string(position) + kStartB + number + kStartC;
  if (!run.source->TellsTimeLeft()) return line;
  const size_t total = run.numbers.size();
  const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - run.started).count();
  // Wall time per record so far already counts the jobs side by side.
  return line + StandingText(position, long(total), SecondsLeft(spent, run.finished, long(total)));
}

bool getdown::LookupFailed(TNumberRun& n, const std::string& reason) {
  TRun& run = n.run;
  {
    std::lock_guard<std::mutex> lock(run.settle);
    n.outcome.status = TNumberOutcome::TStatus::Failed;
    n.outcome.error = reason;
  }
  if (run.SourceStopped()) return false;
  if (!options_.keepGoing) {
    // No record found or no page list: the whole run ends here.
    std::lock_guard<std::mutex> lock(run.mutex);
    if (run.endError.empty()) run.endError = n.number + ": " + reason;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(run.settle);
    n.rows.push_back({reason, n.outcome.classification.value_or(""), {}, "", "", reason});
  }
  Report(n.number, kLookupFailed + reason);
  return true;
}

bool getdown::DocumentFailed(TNumberRun& n, TReportRow& row, const std::string& reason) {
  TRun& run = n.run;
  Report(n.number, kRecordFailed);
  {
    std::lock_guard<std::mutex> lock(run.settle);
    n.outcome.status = TNumberOutcome::TStatus::Failed;
    n.outcome.error = reason;
    row.failure = reason;
  }
  n.allDone = false;
  return !run.SourceStopped();
}

std::optional<std::vector<TSourceDocument>> getdown::FindDocuments(TNumberRun& n) {
  try {
    if (n.prepared && n.prepared->findFailure) std::rethrow_exception(n.prepared->findFailure);
    std::vector<TSourceDocument> documents =
        n.prepared ? n.prepared->documents : n.run.source->Find(n.number, options_.keepGoing, n.request);
    if (documents.empty()) throw EDownloadException(kNotFound);
    return documents;
  } catch (const std::exception& e) {
    n.goOn = LookupFailed(n, e.what());
    return std::nullopt;
  }
}

bool getdown::RunNumber(TRun& run, size_t index, THttpClient& client, const TPath& tempDir, TLookup* prepared,
                        std::future<void>* converting) {
  using TStatus = TNumberOutcome::TStatus;
  const std::string& number = run.numbers[index];
  TNumberRun n{run, int(index) + 1, number, run.outcomes[index], run.rows[index], client, tempDir,
               prepared, converting, {}};
  n.request = [&run, &number](TRequestStep step, const std::function<void()>& attempt) {
    run.gate.Run(number + (step == TRequestStep::Record ? kListRequest : kDetailRequest), attempt);
  };
  struct TFinished {
    std::atomic<int>& count;
    ~TFinished() { ++count; }
  } finished{run.finished};
  Report(number, StartLine(run, n.position, number));
  if (!run.source->DownloadsDesigns() && TypeCodeOf(number) == kDesignPatent) {
    Report(number, number + kDesignSkipped);
    n.outcome.status = TStatus::Design;
    return true;
  }
  std::optional<std::vector<TSourceDocument>> documents = FindDocuments(n);
  if (!documents) return n.goOn;
  // A publication number names no type; the application found does.
  if (!documents->front().publication.empty()) n.outcome.typeName = TypeNameOf(documents->front().owner);
  for (size_t d = 0; d < documents->size(); ++d)
    if (!RunDocument(n, (*documents)[d], d, d + 1 == documents->size())) return false;
  if (n.convertingLast) return true;
  std::lock_guard<std::mutex> lock(run.settle);
  if (n.allDone && !n.ocrSettles && n.outcome.status != TStatus::Skipped) n.outcome.status = TStatus::Done;
  return true;
}

bool getdown::SkipExisting(TNumberRun& n, const TSourceDocument& document) {
  const std::string& nameTitle = document.nameTitle.empty() ? document.title : document.nameTitle;
  std::optional<std::string> name = n.run.names.ExistingFor(nameTitle, document.owner);
  if (!name) return false;
  const TPath pdf = PdfPathIn(n.run.pdfDir, *name);
  {
    std::lock_guard<std::mutex> lock(n.run.settle);
    n.outcome.pdf = pdf;
    n.outcome.status = TNumberOutcome::TStatus::Skipped;
    n.rows.push_back({document.title, document.classification, pdf, document.publication,
                      document.publication.empty() ? "" : document.owner, ""});
  }
  Report(n.number, n.number + ": " + kSkipped);
  n.run.library->InPlace(document, pdf);
  return true;
}

bool getdown::RunDocument(TNumberRun& n, TSourceDocument& document, size_t d, bool last) {
  TRun& run = n.run;
  const bool listed = n.prepared && d < n.prepared->listFailures.size();
  run.library->Found(document);
  n.outcome.title = document.title;
  n.outcome.classification = document.classification;
  if (!document.publication.empty())
    n.outcome.publication =
        n.outcome.publication ? *n.outcome.publication + ", " + document.publication : document.publication;
  TRecordPages record;
  record.tempDir = n.tempDir;
  record.number = n.number;
  record.owner = document.owner;
  const std::string& nameTitle = document.nameTitle.empty() ? document.title : document.nameTitle;
  try {
    if (options_.skipExisting && SkipExisting(n, document)) return true;
    record.pdf = PdfPathIn(run.pdfDir, run.names.NameFor(nameTitle, record.owner));
    if (!listed)
      run.source->ListPages(document, n.request);
    else if (n.prepared->listFailures[d])
      std::rethrow_exception(n.prepared->listFailures[d]);
    record.pageCount = document.pageCount;
    record.info = RecordPdfInfo(RecordFactsOf(document));
    record.outline = SectionOutline(document.sections);
  } catch (const std::exception& e) {
    if (!LookupFailed(n, e.what())) return false;
    n.allDone = false;
    return true;
  }
  TReportRow* row;
  {
    std::lock_guard<std::mutex> lock(run.settle);
    row = &n.rows.emplace_back(TReportRow{document.title, document.classification, record.pdf, document.publication,
                                          document.publication.empty() ? "" : document.owner, ""});
  }
  n.outcome.pages = record.pageCount;
  n.outcome.pdf = record.pdf;
  Report(n.number, kPagesA + std::to_string(record.pageCount) + kPagesB);
  return FetchAndConvert(n, document, record, *row, last);
}

bool getdown::FetchAndConvert(TNumberRun& n, const TSourceDocument& document, const TRecordPages& record,
                              TReportRow& row, bool last) {
  using TStatus = TNumberOutcome::TStatus;
  TRun& run = n.run;
  TNumberOutcome& outcome = n.outcome;
  const std::string number = n.number;
  std::shared_ptr<TRecordFinish> finish;  // none: the PDF is finished at once
  if (run.ocr) {
    // The document ends when its text is in: on the OCR pool, while this job goes on.
    n.ocrSettles = true;
    finish = run.ocr->Record(record, [this, &run, &outcome, &row, number, document,
                                      pdf = record.pdf](const std::string& error) {
      if (!error.empty()) Report(number, kRecordFailed);
      if (error.empty()) run.library->InPlace(document, pdf);
      std::lock_guard<std::mutex> lock(run.settle);
      if (!error.empty()) {
        outcome.status = TStatus::Failed;
        outcome.error = error;
        row.failure = error;
      } else if (outcome.status != TStatus::Failed) {
        outcome.status = TStatus::Done;
        outcome.textLayer = true;
      }
    });
  }
  try {
    std::function<void()> convert = FetchAndMergePages(
        n.client, run.gate, record, *run.source, document, [&](const std::string& line) { Report(number, line); },
        std::move(finish), [&](int page) { ShowStanding(run, page, record.pageCount); });
    if (n.converting && last) {
      // The conversion runs while the next record's pages come in; it settles the outcome.
      if (n.converting->valid()) n.converting->get();
      *n.converting = std::async(std::launch::async, [this, &run, &outcome, &row, number, convert, document,
                                                      pdf = record.pdf, allDone = n.allDone,
                                                      ocrSettles = n.ocrSettles] {
        try {
          convert();
          if (!ocrSettles) run.library->InPlace(document, pdf);
          std::lock_guard<std::mutex> lock(run.settle);
          if (allDone && !ocrSettles && outcome.status != TStatus::Skipped) outcome.status = TStatus::Done;
        } catch (const std::exception& e) {
          Report(number, kRecordFailed);
          std::lock_guard<std::mutex> lock(run.settle);
          outcome.status = TStatus::Failed;
          outcome.error = e.what();
          row.failure = e.what();
        }
      });
      n.convertingLast = true;
      return true;
    }
    convert();
    if (!run.ocr) run.library->InPlace(document, record.pdf);
  } catch (const std::exception& e) {
    return DocumentFailed(n, row, e.what());
  }
  return true;
}

void getdown::FinishLibrary(TRun& run) {
  int failures = 0;
  for (const TNumberOutcome& o : run.outcomes) failures += o.status == TNumberOutcome::TStatus::Failed;
  std::lock_guard<std::mutex> lock(run.mutex);
  run.library->Finish(failures, run.endError);
}
