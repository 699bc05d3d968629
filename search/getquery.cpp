#include "search/getquery.h"

#include <ctime>
#include <mutex>

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/worker.h"
#include "search/searchreport.h"
#include "search/siteops.h"

namespace {

// Progress texts (GBK).
const char kStart[] = "\xbf\xaa\xca\xbc\xbc\xec\xcb\xf7,\xc7\xeb\xc9\xd4\xba\xf2...";  // 开始检索,请稍候...
const char kNone[] = "**\xc3\xbb\xd3\xd0\xbc\xec\xcb\xf7\xb5\xbd\xc6\xa5\xc5\xe4\xbc\xc7\xc2\xbc**";  // **没有检索到匹配记录**
const char kCountHead[] = "**\xb9\xb2\xbc\xec\xcb\xf7\xb5\xbd";  // **共检索到
const char kCountTail[] = "\xcc\xf5\xc6\xa5\xc5\xe4\xbc\xc7\xc2\xbc**";  // 条匹配记录**
// 条匹配记录,程序仅返回100条记录信息，请缩小检索范围**
const char kCountTailOver[] =
    "\xcc\xf5\xc6\xa5\xc5\xe4\xbc\xc7\xc2\xbc,\xb3\xcc\xd0\xf2\xbd\xf6\xb7\xb5\xbb\xd8"
    "100\xcc\xf5\xbc\xc7\xc2\xbc\xd0\xc5\xcf\xa2\xa3\xac\xc7\xeb\xcb\xf5\xd0\xa1\xbc\xec\xcb\xf7\xb7\xb6\xce\xa7**";
const char kRecordHead[] = "\xbf\xaa\xb4\xa6\xc0\xed\xb5\xda";  // 开处理第
const char kRecordTail[] = "\xcc\xf5\xbc\xc7\xc2\xbc";            // 条记录
// 意外终止，请检查网络或者稍后再试
const char kFailure[] =
    "\xd2\xe2\xcd\xe2\xd6\xd5\xd6\xb9\xa3\xac\xc7\xeb\xbc\xec\xb2\xe9\xcd\xf8\xc2\xe7\xbb\xf2\xd5\xdf\xc9\xd4\xba\xf3\xd4\xd9\xca\xd4";
const char kDone[] = "\xb4\xa6\xc0\xed\xcd\xea\xb1\xcf\xa3\xa1";  // 处理完毕！
const char kNotSearched[] = "\xce\xb4\xbc\xec\xcb\xf7";          // 未检索

}  // namespace

std::string BuildSearchExpression(const std::string& title, const std::string& abstractWords,
                                  const std::string& classification) {
  const std::string t = TrimBytes(title);
  const std::string a = TrimBytes(abstractWords);
  // Upper-cased before trimming, byte by byte: trail bytes of Chinese characters too.
  const std::string c = TrimBytes(UpperAscii(classification));
  const std::string titleTerm = "\xc3\xfb\xb3\xc6=(";        // 名称=(
  const std::string abstractTerm = "\xd5\xaa\xd2\xaa=(";     // 摘要=(
  const std::string classTerm = "\xb7\xd6\xc0\xe0\xba\xc5=('%";  // 分类号=('%
  std::string e;
  if (!t.empty()) e = titleTerm + t + ") ";
  if (!a.empty()) e = e.empty() ? abstractTerm + a + ")" : e + "and " + abstractTerm + a + ") ";
  if (!c.empty()) e = e.empty() ? classTerm + c + "%')" : e + "and " + classTerm + c + "%') ";
  return e;
}

TPath SearchReportPath(const TPath& root, const std::string& expression) {
  return datadir::FolderPath(root, datadir::Folder::Query) + "/" + FileNameFromText(expression, ".html");
}

getquery::getquery(RunHandOver* handOver, std::string query, bool withLegalStatus, bool withAbstract,
                   bool withFirstClaim, bool withPatentee)
    : handOver_(handOver),
      query_(std::move(query)),
      withLegalStatus_(withLegalStatus),
      withAbstract_(withAbstract),
      withFirstClaim_(withFirstClaim),
      withPatentee_(withPatentee) {
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
  } catch (const std::exception&) {
    handOver_->GiveStartBack();
    return;
  }
  const int count = ReadRecordCount(page);
  if (count == 0) {
    Show(kNone);
    handOver_->GiveStartBack();
    return;
  }
  Show(kCountHead + std::to_string(count) + (count > 100 ? kCountTailOver : kCountTail));

  try {
    RecordLinks links(page);
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
      if (withAbstract_) rows += SearchAbstractRow(AbstractFrom(detailPage_, typeCode_));
      if (withFirstClaim_) rows += SearchFirstClaimRow(FirstClaimFrom(detailPage_, typeCode_));
      rows += SearchDividerRow();
    }
  } catch (const std::exception&) {
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
  } catch (const std::exception&) {
    handOver_->GiveStartBack();
    return;
  }
  handOver_->ShowProgress(kDone);
  handOver_->FinishRun();
}
