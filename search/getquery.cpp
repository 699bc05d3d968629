#include "search/getquery.h"

#include <ctime>
#include <mutex>
#include <utility>

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/worker.h"
#include "recognition/claimcut.h"
#include "recognition/recognise.h"
#include "search/searchlibrary.h"
#include "search/searchreport.h"
#include "search/searchtexts.h"

using namespace getquerytext;

TPath SearchReportPath(const TPath& root, const std::string& expression) {
  return datadir::FolderPath(root, datadir::Folder::Query) + "/" + FileNameFromText(expression, ".html");
}

getquery::getquery(RunHandOver* handOver, std::string query, bool withLegalStatus, bool withAbstract,
                   bool withFirstClaim, bool withPatentee, std::shared_ptr<TSearchResult> result)
    : handOver_(handOver),
      query_(std::move(query)),
      result_(result ? std::move(result) : std::make_shared<TSearchResult>()) {
  ask_.legalStatus = withLegalStatus;
  ask_.abstractText = withAbstract;
  ask_.firstClaim = withFirstClaim;
  ask_.patentee = withPatentee;
  Start();
}

getquery::getquery(RunHandOver* handOver, TSourceKind source, const TSearchAsk& ask,
                   std::shared_ptr<TSearchResult> result)
    : handOver_(handOver),
      source_(source),
      ask_(ask),
      query_(SearchExpression(source, ask)),
      result_(result ? std::move(result) : std::make_shared<TSearchResult>()) {
  Start();
}

void getquery::Start() {
  // Last statement: once started, the thread owns the object and may delete it.
  FamilyOf<getquery>().Start([this] {
    Run();
    delete this;
  });
}

getquery::~getquery() = default;

void getquery::WaitAllDone() { FamilyOf<getquery>().WaitAll(); }

void getquery::Show(const std::string& text) {
  handOver_->ShowProgress(LongTime(std::time(nullptr)) + "\t" + text);
}

void getquery::RecogniseFirstClaim(TSearchSession& session, const TPath& workDir, TSearchHit& hit) {
  TPath page;
  try {
    // A page file of this search's own, named after a temporary file it holds: searches on
    // one data root run side by side.
    TTemporaryFile name(workDir);
    page = name.Path() + ".tif";
    if (session.FetchClaimsPage(page)) {
      const std::string claim = FirstClaimFromText(RecognisePage(page, workDir).Text());
      hit.firstClaim = kRecognised + (claim.empty() ? std::string(kNoClaimRecognised) : claim);
    }
  } catch (const std::exception& e) {
    // One record's page is lost to the cell alone; the run goes on (a source that stops
    // serving ends it at the next record).
    Show(kClaimOcrFailed + std::string(e.what()));
  }
  if (!page.Empty()) DeleteFileAt(page);
}

void getquery::Run() {
  std::string rows;
  report_ = SearchReportHead(query_, std::time(nullptr), ProgramDirectory());

  std::lock_guard<std::mutex> runLock(FamilyOf<getquery>().RunLock());
  Show(kStart);
  TSearchLibrary library(datadir::Root(), source_, query_, [this](const std::string& line) { Show(line); });

  std::unique_ptr<TSearchSession> session;
  long count = 0;
  try {
    session = OpenSearchSession(source_, ask_, query_, [this](const std::string& line) { Show(line); });
    count = session->Open();
  } catch (const std::exception& e) {
    result_->error = e.what();
    // The site's run has always ended silently here; OPS says why (no credentials, a refusal).
    if (source_ == TSourceKind::Ops) Show(e.what());
    handOver_->GiveStartBack();
    return;
  }
  result_->count = int(count);
  if (count == 0) {
    result_->error = kNone;
    Show(kNone);
    handOver_->GiveStartBack();
    return;
  }
  // First claims by recognition: checked once, so that a missing tool is one clear line
  // and the cells stay as without the option.
  std::optional<TPath> ocrDir;
  if (ask_.firstClaim && ask_.firstClaimOcr) {
    try {
      const TPath dir = datadir::EnsureFolder(datadir::Root(), datadir::Folder::Temp) + "/";
      std::string unavailable = OcrUnavailableReason(dir);
      if (unavailable.empty())
        ocrDir = dir;
      else
        result_->ocrUnavailable = unavailable;
    } catch (const std::exception& e) {
      result_->ocrUnavailable = e.what();
    }
    if (!result_->ocrUnavailable.empty()) Show(result_->ocrUnavailable);
  }
  const long limit = session->Limit();
  Show(kCountHead + std::to_string(count) + (count > limit ? kCountTailOverA + std::to_string(limit) + kCountTailOverB : kCountTail));

  try {
    for (int n = 1; session->Next(); ++n) {
      rows += SearchRowOpening();
      Show(kRecordHead + std::to_string(n) + kRecordTail);
      TSearchHit hit = session->Read();
      if (ocrDir) RecogniseFirstClaim(*session, *ocrDir, hit);
      library.Met(hit);
      SearchRecordCells cells;
      cells.n = n;
      cells.typeName = hit.typeName;
      cells.number = hit.number;
      cells.title = hit.title;
      cells.classification = hit.classification;
      cells.legalStatus = hit.legalStatus.value_or(kNotSearched);
      cells.patentee = hit.patentee.value_or(kNotSearched);
      cells.publication = hit.publication;
      cells.recordLink = hit.recordLink;
      rows += SearchRowCells(cells);
      TSearchRecord record;
      record.number = hit.number;
      record.typeName = hit.typeName;
      record.title = hit.title;
      record.classification = hit.classification;
      record.legalStatus = hit.legalStatus;
      record.patentee = hit.patentee;
      record.abstractText = hit.abstractText;
      record.firstClaim = hit.firstClaim;
      if (!hit.publication.empty()) record.publication = hit.publication;
      record.titleUtf8 = hit.titleUtf8;
      if (hit.abstractText) rows += SearchAbstractRow(*hit.abstractText);
      if (hit.firstClaim) rows += SearchFirstClaimRow(*hit.firstClaim);
      rows += SearchDividerRow();
      result_->records.push_back(std::move(record));
    }
  } catch (const std::exception& e) {
    result_->error = e.what();
    Show(kFailure);
    rows += "</tr>";
  }

  report_.push_back(rows);
  for (const std::string& item : SearchReportTail()) report_.push_back(item);
  if (source_ == TSourceKind::Ops) AddSearchCharts(report_, library.Records(), ask_.legalStatus);
  result_->patents = library.Records();

  // The root is read once, as a copy, at the moment the report is stored.
  const TPath root = datadir::Root();
  try {
    datadir::EnsureFolder(root, datadir::Folder::Query);
    WriteTextLines(SearchReportPath(root, query_), report_);
  } catch (const std::exception& e) {
    result_->error = e.what();
    library.Finish(count, result_->error);
    handOver_->GiveStartBack();
    return;
  }
  library.Finish(count, result_->error);
  handOver_->ShowProgress(kDone);
  handOver_->FinishRun();
}
