#include "download/getdown.h"

#include <ctime>
#include <mutex>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/worker.h"
#include "download/downreport.h"
#include "download/pages.h"
#include "download/pdfstore.h"
#include "http/httpclient.h"
#include "search/siteops.h"

namespace {

// The run's progress texts (GBK).
const char kStartA[] = "\xbf\xaa\xca\xbc\xcf\xc2\xd4\xd8\xb5\xda";               // 开始下载第
const char kStartB[] = "\xb8\xf6\xbc\xc7\xc2\xbc(";                               // 个记录(
const char kStartC[] = ")\xb5\xc4\xcf\xe0\xb9\xd8\xce\xc4\xbc\xfe";              // )的相关文件
const char kDesignSkipped[] =                                                      // 为外观,程序已经忽略
    "\xce\xaa\xcd\xe2\xb9\xdb,\xb3\xcc\xd0\xf2\xd2\xd1\xbe\xad\xba\xf6\xc2\xd4";
const char kPagesA[] = "\xb8\xc3\xbc\xc7\xc2\xbc\xb9\xb2\xd3\xd0";                // 该记录共有
const char kPagesB[] =                                                             // 个文件，立即开始下载
    "\xb8\xf6\xce\xc4\xbc\xfe\xa3\xac\xc1\xa2\xbc\xb4\xbf\xaa\xca\xbc\xcf\xc2\xd4\xd8";
const char kRecordFailed[] =                                                       // 文件转换过程中遇到意外,请稍后再试！
    "\xce\xc4\xbc\xfe\xd7\xaa\xbb\xbb\xb9\xfd\xb3\xcc\xd6\xd0\xd3\xf6\xb5\xbd\xd2\xe2\xcd\xe2,"
    "\xc7\xeb\xc9\xd4\xba\xf3\xd4\xd9\xca\xd4\xa3\xa1";
const char kRunDone[] = "\xb4\xa6\xc0\xed\xcd\xea\xb1\xcf\xa3\xa1";               // 处理完毕！
// 另一个下载正在使用此数据目录，等它结束后开始...
const char kWaitForOtherRun[] =
    "\xc1\xed\xd2\xbb\xb8\xf6\xcf\xc2\xd4\xd8\xd5\xfd\xd4\xda\xca\xb9\xd3\xc3\xb4\xcb\xca\xfd\xbe\xdd\xc4\xbf"
    "\xc2\xbc\xa3\xac\xb5\xc8\xcb\xfc\xbd\xe1\xca\xf8\xba\xf3\xbf\xaa\xca\xbc...";
const char kExpressionA[] = "\xc9\xea\xc7\xeb\xba\xc5=('CN%";                      // 申请号=('CN%
const char kExpressionB[] = "%') ";

constexpr int kDesignPatent = 3;

}  // namespace

getdown::getdown(RunHandOver* handOver, std::string numbersText)
    : handOver_(handOver), numbersText_(std::move(numbersText)) {
  // Last statement: once started, the thread owns the object and may delete it.
  FamilyOf<getdown>().Start([this] {
    Execute();
    delete this;
  });
}

void getdown::WaitAllDone() { FamilyOf<getdown>().WaitAll(); }

getdown::~getdown() = default;

void getdown::Report(const std::string& line) { handOver_->ShowProgress(line); }

void getdown::Execute() {
  std::lock_guard<std::mutex> runLock(FamilyOf<getdown>().RunLock());
  bool finished = false;
  try {
    finished = RunNumbers(SplitLines(numbersText_));
  } catch (const std::exception&) {
    // An unforeseen failure (the report cannot be written) must not keep the start button.
    finished = false;
  }
  if (finished) {
    handOver_->FinishRun();
  } else {
    handOver_->GiveStartBack();
  }
}

bool getdown::RunNumbers(const std::vector<std::string>& numbers) {
  std::vector<std::string> report;
  {
    THttpClient pageClient;  // one client for every page image: connection and cookies carry over
    const TPath root = datadir::Root();
    const TPath pdfDir = datadir::EnsureFolder(root, datadir::Folder::Pdf) + "/";
    const TPath tempDir = datadir::EnsureFolder(root, datadir::Folder::Temp) + "/";
    // One run per data folder across processes: runs share the page files of the temp folder.
    TFolderLock folderLock(datadir::FolderPath(root, datadir::Folder::Data), [this] { Report(kWaitForOtherRun); });
    TPdfNames pdfNames(pdfDir);
    report = DownloadReportHead(ProgramDirectory(), std::time(nullptr));

    int position = 0;
    for (const std::string& number : numbers) {
      ++position;
      Report(kStartA + std::to_string(position) + kStartB + number + kStartC);
      if (TypeCodeOf(number) == kDesignPatent) {
        Report(number + kDesignSkipped);
        continue;
      }
      TRecordPages record;
      record.tempDir = tempDir;
      record.number = number;
      try {
        std::string link = FirstRecordLink(PostResultList("1", kExpressionA + number + kExpressionB));
        const std::string title = TitleFromLink(link);
        // The PDF belongs to the record found, whatever the entry held.
        record.owner = ApplicationNumberFromLink(link);
        record.pdf = pdfDir + pdfNames.NameFor(title, record.owner);
        AppendDownloadReportRow(report, position, number, title, ClassFromLink(link), record.pdf);
        TPageList pages = ReadPageList(FetchDetailPage(link));
        record.pageCount = pages.pageCount;
        record.imageBase = pages.imageBase;
      } catch (const std::exception&) {
        return false;  // no record found or no page list: the whole run ends here
      }
      Report(kPagesA + std::to_string(record.pageCount) + kPagesB);
      try {
        DownloadRecordPages(pageClient, record, [this](const std::string& line) { Report(line); });
      } catch (const std::exception&) {
        Report(kRecordFailed);
      }
    }
  }
  AppendDownloadReportTail(report);
  // The root is read again: a directory chosen during the run receives the report.
  SaveDownloadReport(datadir::Root(), report);
  Report(kRunDone);
  return true;
}
