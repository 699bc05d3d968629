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
    report = DownloadReportHead(ProgramDirectory(), std::time(nullptr));

    int position = 0;
    for (const std::string& number : numbers) {
      ++position;
      Report(kStartA + std::to_string(position) + kStartB + number + kStartC);
      if (TypeCodeOf(number) == kDesignPatent) {
        Report(number + kDesignSkipped);
        continue;
      }
      std::string title;
      TPageList pages;
      try {
        std::string link = FirstRecordLink(PostResultList("1", kExpressionA + number + kExpressionB));
        title = TitleFromLink(link);
        AppendDownloadReportRow(report, position, number, title, ClassFromLink(link), pdfDir);
        pages = ReadPageList(FetchDetailPage(link));
      } catch (const std::exception&) {
        return false;  // no record found or no page list: the whole run ends here
      }
      Report(kPagesA + std::to_string(pages.pageCount) + kPagesB);
      try {
        DownloadRecordPages(pageClient, tempDir, pdfDir, number, title, pages.pageCount, pages.imageBase,
                            [this](const std::string& line) { Report(line); });
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
