#include "download/getdown.h"

#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/worker.h"
#include "download/downerrors.h"
#include "download/downreport.h"
#include "download/downtexts.h"
#include "download/ocr.h"
#include "download/pages.h"
#include "download/pdfdoc.h"
#include "download/pdfstore.h"
#include "download/requestgate.h"
#include "http/httpclient.h"
#include "search/siteops.h"

namespace {

using namespace getdowntext;

constexpr int kDesignPatent = 3;
constexpr int kMaxJobs = 8;

// The application number as the record link gives it, country prefix and check digit
// included ("CN200510012345.X"); empty when the link holds none.
std::string ApplicationFromLink(const std::string& link) {
  size_t start = link.find("recid=");
  if (start == std::string::npos) return {};
  start += 6;
  size_t end = link.find("&leixin", start);
  return link.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

// What the jobs of one run share.
struct getdown::TRun {
  TRun(const TPath& pdfFolder, const TBatchOptions& options, std::function<void(const std::string&)> onWait)
      : pdfDir(pdfFolder), names(pdfFolder), gate(options.retries, options.delayMs, std::move(onWait)) {}
  std::vector<std::string> numbers;
  TPath pdfDir;  // ends with "/"
  TPdfNames names;
  TRequestGate gate;
  std::vector<std::vector<std::string>> rows;  // report rows by list position
  std::vector<TNumberOutcome> outcomes;        // by list position
  std::atomic<bool> ended{false};              // the run ends early: no further number starts
  std::mutex mutex;
  std::string endError;
  std::unique_ptr<TOcrRun> ocr;                // when the PDFs get a text layer
};

getdown::getdown(RunHandOver* handOver, std::string numbersText, TBatchOptions options,
                 std::shared_ptr<TDownloadResult> result)
    : handOver_(handOver), numbersText_(std::move(numbersText)), options_(options), result_(std::move(result)) {
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
    finished = RunNumbers(SplitLines(numbersText_));
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

bool getdown::RunNumbers(const std::vector<std::string>& numbers) {
  const TPath root = datadir::Root();
  const TPath tempDir = datadir::EnsureFolder(root, datadir::Folder::Temp) + "/";
  TRun run(datadir::EnsureFolder(root, datadir::Folder::Pdf) + "/", options_,
           [this](const std::string& line) { Report(line); });
  // One run per data folder across processes: runs share the page files of the temp folder.
  TFolderLock folderLock(datadir::FolderPath(root, datadir::Folder::Data), [this] { Report(kWaitForOtherRun); });
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
  auto job = [&](const TPath& dir) {
    THttpClient pageClient;
    for (size_t i; !run.ended && (i = next++) < numbers.size();) {
      if (!RunNumber(run, i, pageClient, dir)) run.ended = true;
    }
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
  if (run.ended) {
    if (result_) result_->error = run.endError;
    return false;
  }

  for (std::vector<std::string>& rows : run.rows) report.insert(report.end(), rows.begin(), rows.end());
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
  Report(kRunDone);
  return true;
}

bool getdown::RunNumber(TRun& run, size_t index, THttpClient& client, const TPath& tempDir) {
  using TStatus = TNumberOutcome::TStatus;
  const int position = int(index) + 1;
  const std::string& number = run.numbers[index];
  TNumberOutcome& outcome = run.outcomes[index];
  std::vector<std::string>& row = run.rows[index];
  Report(number, kStartA + std::to_string(position) + kStartB + number + kStartC);
  if (TypeCodeOf(number) == kDesignPatent) {
    Report(number, number + kDesignSkipped);
    outcome.status = TStatus::Design;
    return true;
  }
  TRecordPages record;
  record.tempDir = tempDir;
  record.number = number;
  try {
    std::string page;
    run.gate.Run(number + kListRequest, [&] { page = PostResultList("1", kExpressionA + number + kExpressionB); });
    if (options_.keepGoing && ReadRecordCount(page) == 0) throw EDownloadException(kNotFound);
    const std::string link = FirstRecordLink(page);
    outcome.title = TitleFromLink(link);
    outcome.classification = ClassFromLink(link);
    // The PDF belongs to the record found, whatever the entry held.
    record.owner = ApplicationNumberFromLink(link);
    if (options_.skipExisting) {
      if (std::optional<std::string> name = run.names.ExistingFor(*outcome.title, record.owner)) {
        outcome.pdf = run.pdfDir + *name;
        outcome.status = TStatus::Skipped;
        AppendDownloadReportRow(row, position, number, *outcome.title, *outcome.classification, *outcome.pdf);
        Report(number, number + ": " + kSkipped);
        return true;
      }
    }
    record.pdf = run.pdfDir + run.names.NameFor(*outcome.title, record.owner);
    std::string detail;
    run.gate.Run(number + kDetailRequest, [&] { detail = FetchDetailPage(link); });
    TPageList pages = ReadPageList(detail);
    record.pageCount = pages.pageCount;
    record.imageBase = pages.imageBase;
    TRecordFacts facts;
    facts.title = *outcome.title;
    facts.patentee = PatenteeFrom(detail, TypeCodeOf(number));
    facts.application = ApplicationFromLink(link);
    facts.classification = *outcome.classification;
    facts.owner = record.owner;
    record.info = RecordPdfInfo(facts);
  } catch (const std::exception& e) {
    outcome.status = TStatus::Failed;
    outcome.error = e.what();
    if (!options_.keepGoing) {
      // No record found or no page list: the whole run ends here.
      std::lock_guard<std::mutex> lock(run.mutex);
      if (run.endError.empty()) run.endError = number + ": " + e.what();
      return false;
    }
    AppendDownloadFailureRow(row, position, number, e.what(), outcome.classification.value_or(""));
    Report(number, kLookupFailed + outcome.error);
    return true;
  }
  AppendDownloadReportRow(row, position, number, *outcome.title, *outcome.classification, record.pdf);
  outcome.pages = record.pageCount;
  outcome.pdf = record.pdf;
  Report(number, kPagesA + std::to_string(record.pageCount) + kPagesB);
  std::unique_ptr<TRecordFinish> finish;  // none: the PDF is finished at once
  if (run.ocr) {
    // The record ends when its text is in: on the OCR pool, while this job goes on.
    finish = run.ocr->Record(record, [this, &outcome, number](const std::string& error) {
      outcome.status = error.empty() ? TStatus::Done : TStatus::Failed;
      outcome.error = error;
      outcome.textLayer = error.empty();
      if (!error.empty()) Report(number, kRecordFailed);
    });
  }
  try {
    DownloadRecordPages(
        client, run.gate, record, [&](const std::string& line) { Report(number, line); }, finish.get());
    if (!run.ocr) outcome.status = TStatus::Done;
  } catch (const std::exception& e) {
    Report(number, kRecordFailed);
    outcome.status = TStatus::Failed;
    outcome.error = e.what();
  }
  return true;
}
