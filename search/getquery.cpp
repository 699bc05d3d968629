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
#include "search/searchreport.h"
#include "search/searchtexts.h"
#include "search/siteops.h"

using namespace getquerytext;

std::string BuildSearchExpression(const std::string& title, const std::string& abstractWords,
                                  const std::string& classification) {
  const std::string t = TrimBytes(title);
  const std::string a = TrimBytes(abstractWords);
  // Upper-cased before trimming, byte by byte: trail bytes of Chinese characters too.
  const std::string c = TrimBytes(UpperAscii(classification));
  std::string e;
  if (!t.empty()) e = kTitleTerm + t + ") ";
  if (!a.empty()) e = e.empty() ? kAbstractTerm + a + ")" : e + "and " + kAbstractTerm + a + ") ";
  if (!c.empty()) e = e.empty() ? kClassTerm + c + "%')" : e + "and " + kClassTerm + c + "%') ";
  return e;
}

TPath SearchReportPath(const TPath& root, const std::string& expression) {
  return datadir::FolderPath(root, datadir::Folder::Query) + "/" + FileNameFromText(expression, ".html");
}

getquery::getquery(RunHandOver* handOver, std::string query, bool withLegalStatus, bool withAbstract,
                   bool withFirstClaim, bool withPatentee, std::shared_ptr<TSearchResult> result)
    : handOver_(handOver),
      query_(std::move(query)),
      withLegalStatus_(withLegalStatus),
      withAbstract_(withAbstract),
      withFirstClaim_(withFirstClaim),
      withPatentee_(withPatentee),
      result_(result ? std::move(result) : std::make_shared<TSearchResult>()) {
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

void getquery::Run() {
  detailPage_.clear();
  std::string rows;
  report_ = SearchReportHead(query_, std::time(nullptr), ProgramDirectory());

  std::lock_guard<std::mutex> runLock(FamilyOf<getquery>().RunLock());
  Show(kStart);

  std::string page;
  try {
    page = PostResultList("100", query_);
  } catch (const std::exception& e) {
    result_->error = e.what();
    handOver_->GiveStartBack();
    return;
  }
  const int count = result_->count = ReadRecordCount(page);
  if (count == 0) {
    result_->error = kNone;
    Show(kNone);
    handOver_->GiveStartBack();
    return;
  }
  Show(kCountHead + std::to_string(count) + (count > 100 ? kCountTailOver : kCountTail));

  try {
    RecordLinks links(std::move(page));
    std::string link;
    for (int n = 1; links.Next(link); ++n) {
      rows += SearchRowOpening();
      Show(kRecordHead + std::to_string(n) + kRecordTail);
      const std::string number = ApplicationNumberFromLink(link);
      typeCode_ = TypeCodeOf(number);
      if (withAbstract_ || withFirstClaim_ || withPatentee_) detailPage_ = FetchDetailPage(link);
      SearchRecordCells cells;
      cells.n = n;
      cells.typeName = TypeNameOf(number);
      cells.number = number;
      cells.title = TitleFromLink(link);
      cells.classification = ClassFromLink(link);
      cells.legalStatus = withLegalStatus_ ? FetchLegalStatus(number) : kNotSearched;
      cells.patentee = withPatentee_ ? PatenteeFrom(detailPage_, typeCode_) : kNotSearched;
      rows += SearchRowCells(cells);
      TSearchRecord record{number, cells.typeName, cells.title, cells.classification};
      if (withLegalStatus_) record.legalStatus = cells.legalStatus;
      if (withPatentee_) record.patentee = cells.patentee;
      if (withAbstract_) rows += SearchAbstractRow(*(record.abstractText = AbstractFrom(detailPage_, typeCode_)));
      if (withFirstClaim_) rows += SearchFirstClaimRow(*(record.firstClaim = FirstClaimFrom(detailPage_, typeCode_)));
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

  // The root is read once, as a copy, at the moment the report is stored.
  const TPath root = datadir::Root();
  try {
    datadir::EnsureFolder(root, datadir::Folder::Query);
    WriteTextLines(SearchReportPath(root, query_), report_);
  } catch (const std::exception& e) {
    result_->error = e.what();
    handOver_->GiveStartBack();
    return;
  }
  handOver_->ShowProgress(kDone);
  handOver_->FinishRun();
}
