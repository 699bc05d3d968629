// Whole download runs of the worker against the demo site: lines, report, merged images,
// PDFs, failures and the page client's one connection.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "download/downerrors.h"
#include "download/downreport.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "download/pages.h"
#include "download/requestgate.h"
#include "http/httpclient.h"
#include "tests/support/demosite.h"
#include "tests/support/pagereaders.h"

namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

std::string StartLine(int position, const std::string& number) {
  return G("开始下载第") + std::to_string(position) + G("个记录(") + number + G(")的相关文件");
}
std::string PagesLine(int count) { return G("该记录共有") + std::to_string(count) + G("个文件，立即开始下载"); }
const std::string kFormatLine = G("文件下载完毕,正在进行格式处理，请稍候...");
const std::string kFailedLine = G("文件转换过程中遇到意外,请稍后再试！");
const std::string kDoneLine = G("处理完毕！");

struct RunOutcome {
  std::vector<std::string> lines;
  int finished = 0;
  int startBack = 0;
};

// Starts a worker on the numbers and waits (bounded) for its end.
RunOutcome RunDownload(std::vector<std::string> numbers) {
  auto* handOver = new DirectHandOver;
  new getdown(handOver, std::move(numbers));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
  while (handOver->FinishCount() + handOver->StartBackCount() == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the download run did not end";
      return {};  // the hand-over stays alive for the worker
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // The worker is still in its hand-over: gone only when its thread has ended.
  getdown::WaitAllDone();
  RunOutcome outcome{handOver->Lines(), handOver->FinishCount(), handOver->StartBackCount()};
  delete handOver;
  return outcome;
}

// The mark of one PDF page rendered by pdftoppm.
std::optional<pagemark::Mark> PdfPageMark(const TPath& path, int page, const TempDir& dir) {
  std::string out = dir.Path().Bytes() + "/render";
  std::string cmd = "pdftoppm -gray -r 50 -f " + std::to_string(page) + " -l " + std::to_string(page) +
                    " -singlefile '" + path.Bytes() + "' '" + out + "'";
  if (std::system(cmd.c_str()) != 0) return std::nullopt;
  return ReadPgmPageMark(out + ".pgm");
}

// Checks that the merged image holds the record's pages 1..pages in order.
void ExpectMergedPages(const TPath& path, const std::string& number, int pages) {
  ASSERT_EQ(TiffPageCount(path), pages) << path;
  for (int i = 0; i < pages; ++i) {
    auto mark = ReadTiffPageMark(path, i);
    ASSERT_TRUE(mark) << "page " << i + 1;
    EXPECT_EQ(mark->number, number);
    EXPECT_EQ(mark->page, i + 1);
    EXPECT_EQ(mark->document, 1);
  }
}

class DownloadRun : public ::testing::Test {
 protected:
  void SetUp() override { datadir::SetRoot(root.Path()); }
  void TearDown() override { datadir::SetRoot(TPath()); }
  TPath Temp() const { return root.Path() + "/data/temp/"; }
  TPath Pdf() const { return root.Path() + "/data/pdf/"; }

  TempDir root;
};

TEST_F(DownloadRun, ThreeNumbersWithADesignPatentSecond) {
  DemoSite site({}, true);
  RunOutcome run = RunDownload({"200510012345", "200630012345", "02123456"});
  EXPECT_EQ(run.finished, 1);
  EXPECT_EQ(run.startBack, 0);
  EXPECT_EQ(run.lines, (std::vector<std::string>{StartLine(1, "200510012345"), PagesLine(12), kFormatLine,
                                                 StartLine(2, "200630012345"), "200630012345" + G("为外观,程序已经忽略"),
                                                 StartLine(3, "02123456"), PagesLine(3), kFormatLine, kDoneLine}));

  // The report: head, rows 1 and 3, tail; byte for byte apart from the run's time.
  std::string bytes = ReadFileBytes(Temp() + "index.html");
  std::vector<std::string> lines = SplitLines(bytes);
  ASSERT_EQ(lines.size(), 7u + 16u + 2u);
  EXPECT_EQ(JoinLinesCrLf(lines), bytes) << "every line ends with CR LF";
  std::vector<std::string> head = DownloadReportHead(ProgramDirectory(), 0);
  for (size_t i : {0, 2, 3, 5, 6}) EXPECT_EQ(lines[i], head[i]);
  std::vector<std::string> expected;
  AppendDownloadReportRow(expected, 1, "200510012345", G("一种锂离子电池及其制备方法"), "H01M10/0525",
                          Pdf() + G("一种锂离子电池及其制备方法.pdf"));
  AppendDownloadReportRow(expected, 3, "02123456", G("一种电池隔膜"), "H01M2/16", Pdf() + G("一种电池隔膜.pdf"));
  AppendDownloadReportTail(expected);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.end()), expected);
  EXPECT_EQ(lines[8], "<td>1</td>");
  EXPECT_EQ(lines[16], "<td>3</td>");
  EXPECT_EQ(lines[13], "<td><a href=\"" + Pdf().Bytes() + G("一种锂离子电池及其制备方法.pdf") + "\"s>" + G("查看") + "</a></td>");

  // Merged images page by page (the second call of the granted invention: document 1).
  ExpectMergedPages(Temp() + "200510012345.tif", "200510012345", 12);
  ExpectMergedPages(Temp() + "02123456.tif", "02123456", 3);
  EXPECT_FALSE(FileExists(Temp() + "200630012345.tif"));
  const TPath pdf = Pdf() + G("一种锂离子电池及其制备方法.pdf");
  EXPECT_EQ(PdfPageCount(pdf), 12);
  EXPECT_EQ(PdfPageCount(Pdf() + G("一种电池隔膜.pdf")), 3);
  auto rendered = PdfPageMark(pdf, 7, root);
  ASSERT_TRUE(rendered);
  EXPECT_EQ(rendered->number, "200510012345");
  EXPECT_EQ(rendered->page, 7);

  // Page images go over one kept-alive connection that carries the site's cookie.
  std::vector<DemoLogEntry> books;
  for (const DemoLogEntry& e : site.Log())
    if (e.target.rfind("/books/", 0) == 0) books.push_back(e);
  ASSERT_EQ(books.size(), 15u);
  EXPECT_EQ(books[0].target, "/books/200510012345/1/000001.tif");
  EXPECT_EQ(books[0].cookie, "");
  for (size_t i = 1; i < books.size(); ++i) {
    EXPECT_EQ(books[i].connection, books[0].connection) << books[i].target;
    EXPECT_EQ(books[i].cookie, "tifsession=" + std::to_string(books[0].connection)) << books[i].target;
  }
  EXPECT_EQ(books[12].target, "/books/02123456/1/000001.tif");
}

TEST_F(DownloadRun, ASecondRunReplacesTheMergedImageInsteadOfAppending) {
  DemoSite site;
  for (int run = 0; run < 2; ++run) {
    RunOutcome outcome = RunDownload({"02123456"});
    EXPECT_EQ(outcome.finished, 1);
    ExpectMergedPages(Temp() + "02123456.tif", "02123456", 3);
    EXPECT_EQ(PdfPageCount(Pdf() + G("一种电池隔膜.pdf")), 3) << "run " << run + 1;
  }
}

TEST_F(DownloadRun, AFailedPageEndsOnlyItsRecord) {
  DemoSite site({"--fail", "03234567/1/000002.tif"});
  RunOutcome run = RunDownload({"03234567", "02123456"});
  EXPECT_EQ(run.finished, 1);
  EXPECT_EQ(run.lines, (std::vector<std::string>{StartLine(1, "03234567"), PagesLine(5), kFailedLine,
                                                 StartLine(2, "02123456"), PagesLine(3), kFormatLine, kDoneLine}));
  // Page 1 was merged before page 2 failed; no conversion was started for the record.
  ExpectMergedPages(Temp() + "03234567.tif", "03234567", 1);
  EXPECT_FALSE(FileExists(Pdf() + G("一种自行车刹车装置.pdf")));
  EXPECT_EQ(PdfPageCount(Pdf() + G("一种电池隔膜.pdf")), 3);
  std::string report = ReadFileBytes(Temp() + "index.html");
  EXPECT_NE(report.find("<td>03234567</td>"), std::string::npos) << "the failed record keeps its row";
}

TEST_F(DownloadRun, ADetailFailureEndsTheRunAndKeepsTheEarlierReport) {
  DemoSite site({"--fail", "recid=CN02123456"});
  ASSERT_TRUE(ForceDirectories(Temp()));
  WriteFileBytes(Temp() + "index.html", "earlier report");
  RunOutcome run = RunDownload({"200510012345", "02123456", "03234567"});
  EXPECT_EQ(run.finished, 0);
  EXPECT_EQ(run.startBack, 1);
  EXPECT_EQ(run.lines, (std::vector<std::string>{StartLine(1, "200510012345"), PagesLine(12), kFormatLine,
                                                 StartLine(2, "02123456")}));
  EXPECT_EQ(ReadFileBytes(Temp() + "index.html"), "earlier report");
  EXPECT_EQ(PdfPageCount(Pdf() + G("一种锂离子电池及其制备方法.pdf")), 12);
  EXPECT_FALSE(FileExists(Temp() + "03234567.tif"));
}

TRequestGate gate;  // every request once, at once

TRecordPages Record(const TPath& dir, int pages, const std::string& imageBase) {
  TRecordPages r;
  r.tempDir = dir;
  r.pdf = dir + "t.pdf";
  r.number = r.owner = "02123456";
  r.pageCount = pages;
  r.imageBase = imageBase;
  return r;
}

TEST_F(DownloadRun, PageTextWithLineBreaksNeverReachesTheWire) {
  // The unknown number's cut fragment would send a request line and header of the page's choosing.
  DemoSite site({"--no-hit-row", "x HTTP/1.1\r\nX-Chosen: 1\r\n\r\nGET /sipo/zljs/chosen.jsp?"}, true);
  RunOutcome run = RunDownload({"02123456", "99999999", "03234567"});
  // Refused like a failed detail request: the run ends at that number.
  EXPECT_EQ(run.finished, 0);
  EXPECT_EQ(run.startBack, 1);
  EXPECT_EQ(run.lines, (std::vector<std::string>{StartLine(1, "02123456"), PagesLine(3), kFormatLine,
                                                 StartLine(2, "99999999")}));
  std::vector<DemoLogEntry> log = site.Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().method, "POST") << log.back().target;
  for (const DemoLogEntry& e : log) EXPECT_EQ(e.target.find("chosen"), std::string::npos) << e.target;

  // A page address from a viewer call is refused the same way; the worker reports such a
  // record as failed and goes on.
  THttpClient client;
  const std::string base = "http://" + site.Address() + "/books/02123456/1/\r\nX-Chosen: 1\r\n\r\nGET /";
  EXPECT_THROW(DownloadRecordPages(client, gate, Record(root.Path() + "/", 3, base), [](const std::string&) {}),
               ENetUnsafeRequest);
  EXPECT_EQ(site.Log().size(), log.size());
}

TEST_F(DownloadRun, ImportedEmptyAndSevenDigitEntriesAreSearchedUnchanged) {
  DemoSite site;
  WriteFileBytes(root.File("numbers.txt"), "\r\n0212345\r\n");
  RunOutcome run = RunDownload(ImportNumberFile(root.File("numbers.txt")));
  EXPECT_EQ(run.finished, 1);
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[0], StartLine(1, ""));
  EXPECT_EQ(run.lines.back(), kDoneLine);

  std::vector<std::string> report = SplitLines(ReadFileBytes(Temp() + "index.html"));
  ASSERT_EQ(report.size(), 7u + 16u + 2u);
  EXPECT_EQ(report[9], G("<td>未知</td>"));
  EXPECT_EQ(report[10], "<td></td>");
  EXPECT_EQ(report[17], G("<td>未知</td>"));
  EXPECT_EQ(report[18], "<td>0212345</td>");
  EXPECT_EQ(report[19], G("<td>一种电池隔膜</td>"));
  EXPECT_EQ(PdfPageCount(Pdf() + G("一种电池隔膜.pdf")), 3);
}

// No file but the page files may stay: no merged image of an earlier run, no PDF, no
// half-written temporary file.
void ExpectOnlyPageFiles(const TPath& dir, size_t pages) {
  std::vector<DirEntry> entries = ListDirectory(dir);
  for (const DirEntry& e : entries) EXPECT_EQ(e.name.size(), 10u) << e.name;
  EXPECT_EQ(entries.size(), pages);
}

TEST(DownloadRecordPages, NoPagesReportsThenFailsTheConversionLeavingNothing) {
  TempDir dir;
  const TPath temp = dir.Path() + "/";
  WriteFileBytes(temp + "02123456.tif", "left from an earlier run");
  THttpClient client;  // must not be used: the image base points nowhere
  std::vector<std::string> lines;
  EXPECT_THROW(DownloadRecordPages(client, gate, Record(temp, 0, "http://127.0.0.1:1/"),
                                   [&](const std::string& line) { lines.push_back(line); }),
               EConversionError);
  EXPECT_EQ(lines, std::vector<std::string>{kFormatLine});
  ExpectOnlyPageFiles(temp, 0);
}

TEST(DownloadRecordPages, APageFileThatCannotBeCreatedFails) {
  TempDir dir;
  THttpClient client;
  EXPECT_THROW(DownloadRecordPages(client, gate, Record(dir.Path() + "/missing/", 2, "http://127.0.0.1:1/"),
                                   [](const std::string&) {}),
               std::exception);
}

TEST(DownloadRecordPages, FailingToolsFailTheRecordAndLeaveNoPdf) {
  DemoSite site;
  TempDir programDir, data;
  const TPath dir = data.Path() + "/";
  const std::string base = "http://" + site.Address() + "/books/02123456/1/";
  SetProgramDirectoryForTesting(programDir.Path());
  THttpClient client;
  std::vector<std::string> lines;
  auto report = [&](const std::string& line) { lines.push_back(line); };

  // A converting tool that writes half a file and fails: the real merging tool runs, and
  // the half file goes with the failure. The program directory's tools come first.
  WriteFileBytes(programDir.File("tiff2pdf"),
                 "#!/bin/sh\nwhile [ $# -gt 0 ] && [ \"$1\" != -o ]; do shift; done\necho '%PDF-1.1 half' > \"$2\"\nexit 1\n");
  ASSERT_EQ(::chmod(programDir.File("tiff2pdf").c_str(), 0755), 0);
  EXPECT_THROW(DownloadRecordPages(client, gate, Record(dir, 3, base), report), EConversionError);
  EXPECT_EQ(lines, std::vector<std::string>{kFormatLine});
  EXPECT_EQ(TiffPageCount(dir + "02123456.tif"), 3);
  DeleteFileAt(dir + "02123456.tif");
  ExpectOnlyPageFiles(dir, 3);

  // A merging tool that cannot start: the record ends at its first page.
  lines.clear();
  WriteFileBytes(programDir.File("tiffcp"), "not a program");
  EXPECT_THROW(DownloadRecordPages(client, gate, Record(dir, 3, base), report), EConversionError);
  SetProgramDirectoryForTesting(TPath());
  EXPECT_TRUE(lines.empty());
  ExpectOnlyPageFiles(dir, 3);
}

}  // namespace
