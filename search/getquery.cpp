#include "search/getquery.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
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

void getquery::RecogniseFirstClaim(TSearchSession& session, const TPath& workDir, TRecognitionEngine& engine,
                                   TSearchHit& hit) {
  TPath page;
  try {
    // A page file of this search's own, named after a temporary file it holds: searches on
    // one data root run side by side.
    TTemporaryFile name(workDir);
    page = name.Path() + ".tif";
    if (session.FetchClaimsPage(page)) {
      const std::string claim = FirstClaimFromText(engine.Recognise(ReadFileBytes(page)).Text());
      hit.firstClaim = kRecognised + (claim.empty() ? std::string(kNoClaimRecognised) : claim);
    }
  } catch (const std::exception& e) {
    // One record's page is lost to the cell alone; the run goes on (a source that stops
    // serving ends it at the next record).
    Show(kClaimOcrFailed + std::string(e.what()));
  }
  if (!page.Empty()) DeleteFileAt(page);
}

TSearchRecord getquery::RecordOf(TSearchSession& session, const std::optional<TPath>& ocrDir) {
  TSearchRecord record;
  static_cast<TSearchHit&>(record) = session.Read();
  if (ocrDir) RecogniseFirstClaim(session, *ocrDir, *engine_, record);
  return record;
}

void getquery::ReadSiteRecords(TSearchSession& session, const std::optional<TPath>& ocrDir, std::string& rows,
                               TSearchLibrary& library) {
  try {
    for (int n = 1; session.Next(); ++n) {
      rows += SearchRowOpening();
      Show(kRecordHead + std::to_string(n) + kRecordTail);
      TSearchRecord record = RecordOf(session, ocrDir);
      SearchRecordCells cells;
      cells.n = n;
      cells.typeName = record.typeName;
      cells.number = record.number;
      cells.title = record.title;
      cells.classification = record.classification;
      cells.legalStatus = record.legalStatus.value_or(kNotSearched);
      cells.patentee = record.patentee.value_or(kNotSearched);
      rows += SearchRowCells(cells);
      if (record.abstractText) rows += SearchAbstractRow(*record.abstractText);
      if (record.firstClaim) rows += SearchFirstClaimRow(*record.firstClaim);
      rows += SearchDividerRow();
      library.Met(record);
      result_->records.push_back(std::move(record));
    }
  } catch (const std::exception& e) {
    result_->error = e.what();
    Show(kFailure);
    rows += "</tr>";
  }
}

namespace {

// The records of one family as one row: each family's first record takes the later ones
// as its twins.
void CollapseFamilies(std::vector<TSearchRecord>& records) {
  std::vector<TSearchRecord> rows;
  std::map<std::string, size_t> rowOfFamily;
  for (TSearchRecord& r : records) {
    const std::string family = r.facts ? r.facts->familyId : std::string();
    auto it = family.empty() ? rowOfFamily.end() : rowOfFamily.find(family);
    if (it != rowOfFamily.end()) {
      rows[it->second].twins.push_back(std::move(r));
      continue;
    }
    if (!family.empty()) rowOfFamily.emplace(family, rows.size());
    rows.push_back(std::move(r));
  }
  records = std::move(rows);
}

}  // namespace

void getquery::ReadOpsRecords(TSearchSession& session, const std::optional<TPath>& ocrDir, long count,
                              TSearchLibrary& library) {
  std::vector<TSearchRecord>& records = result_->records;
  std::map<std::string, size_t> byNumber;
  auto joinLate = [&] {
    for (const TLatePublication& late : session.TakeLatePublications()) {
      auto it = byNumber.find(late.number);
      if (it != byNumber.end() && records[it->second].facts) records[it->second].facts->Add(late.publication);
    }
  };
  const auto started = std::chrono::steady_clock::now();
  long n = 0;
  try {
    while (session.Next()) {
      joinLate();
      ++n;
      const long expected = std::max(n, session.Expected());
      const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      const long left = SecondsLeft(spent, n - 1, expected);
      Show(kRecordHead + std::to_string(n) + kRecordTail + StandingText(n, expected, left));
      handOver_->ShowStanding({n - 1, expected, 0, 0, left});
      TSearchRecord record = RecordOf(session, ocrDir);
      library.Keep(record);
      byNumber.emplace(record.number, records.size());
      records.push_back(std::move(record));
    }
  } catch (const std::exception& e) {
    result_->error = e.what();
    Show(kFailure);
  }
  joinLate();
  handOver_->ShowStanding({n, n, 0, 0, 0});
  // The publication a record is known by, now that its late ones have joined it.
  for (TSearchRecord& r : records)
    if (r.facts && r.facts->Main()) r.publication = r.facts->Main()->shown;
  result_->applications = session.Applications();
  result_->applicationsExact = session.ReadEveryHit() && result_->error.empty();
  if (ask_.collapseFamily) CollapseFamilies(records);
  report_ = OpsReportHead(query_, started_, ProgramDirectory(), count, result_->applications,
                          result_->applicationsExact, ask_.family);
  report_.push_back(OpsReportRows(records, ask_.family));
}

void getquery::Run() {
  std::string rows;
  started_ = std::time(nullptr);
  report_ = SearchReportHead(query_, started_, ProgramDirectory());

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
  // First claims by recognition: one engine for the search, its models loaded once; a
  // missing library or model is one clear line and the cells stay as without the option.
  std::optional<TPath> ocrDir;
  if (ask_.firstClaim && ask_.firstClaimOcr) {
    try {
      engine_ = std::make_unique<TRecognitionEngine>();
      ocrDir = datadir::EnsureFolder(datadir::Root(), datadir::Folder::Temp) + "/";
    } catch (const EOcrError& e) {
      result_->ocrUnavailable = e.Message();
    } catch (const std::exception& e) {
      result_->ocrUnavailable = e.what();
    }
    if (!result_->ocrUnavailable.empty()) Show(result_->ocrUnavailable);
  }
  const long limit = session->Limit();
  Show(kCountHead + std::to_string(count) + (count > limit ? kCountTailOverA + std::to_string(limit) + kCountTailOverB : kCountTail));

  if (source_ == TSourceKind::Ops) {
    ReadOpsRecords(*session, ocrDir, count, library);
  } else {
    ReadSiteRecords(*session, ocrDir, rows, library);
    report_.push_back(rows);
  }
  // OPS's records into the library as their rows show them, late publications joined.
  if (source_ == TSourceKind::Ops) {
    std::function<void(const TSearchRecord&)> met = [&](const TSearchRecord& r) {
      library.Met(r);
      for (const TSearchRecord& twin : r.twins) met(twin);
    };
    for (const TSearchRecord& r : result_->records) met(r);
  }
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
