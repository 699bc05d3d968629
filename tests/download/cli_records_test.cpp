// Results kept whole under real names and real interruptions, through varnolt-cli against
// the demo site: names that fit, PDFs that never replace each other, whole files only,
// one download run per data folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "base/files.h"
#include "base/gbk.h"
#include "tests/support/cliprogram.h"
#include "tests/support/pagereaders.h"
#include "tests/support/textcheck.h"

namespace {

const std::string kLongTitle =
    "一种具有自动调节伞面角度功能并且能够在低温高湿以及强风暴雨等恶劣天气条件下长期稳定可靠使用的可折叠收纳式"
    "双层防风防紫外线遮阳雨伞及其伞骨连接结构和制造工艺以及配套的手提收纳袋与挂钩";
const std::string kFormatLine = "文件下载完毕,正在进行格式处理，请稍候...";

// The names in a folder, sorted; with hidden ones (temporary files) only when asked.
std::vector<std::string> Names(const TPath& dir, bool hidden = false) {
  std::vector<std::string> names;
  for (const DirEntry& e : ListDirectory(dir))
    if (hidden || e.name[0] != '.') names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(KeptRecords, NamesTooLongForTheFileSystemAreShortenedAndStillDistinct) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  CliResult search = cli.Run({"search", "--title", kLongTitle});
  ASSERT_EQ(search.exitCode, 0) << search.err;
  const std::string query = cli.data.Bytes() + "/data/query/";
  const std::string report = LastLine(search.out);
  ASSERT_EQ(report.rfind(query, 0), 0u) << report;
  const std::string name = report.substr(query.size());
  EXPECT_LE(name.size(), kMaxFileNameBytes);
  EXPECT_EQ(name.rfind("名称=(一种具有自动调节", 0), 0u) << name;
  EXPECT_EQ(name.size() - name.rfind('('), std::string("(12345678).html").size()) << name;
  EXPECT_EQ(Names(cli.data + "/data/query"), std::vector<std::string>{name}) << "the printed file is the one written";

  CliResult download = cli.Run({"download", "201210033333"});
  ASSERT_EQ(download.exitCode, 0) << download.err;
  std::vector<std::string> pdfs = Names(cli.data + "/data/pdf");
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_LE(pdfs[0].size(), kMaxFileNameBytes);
  EXPECT_EQ(pdfs[0].rfind("一种具有自动调节", 0), 0u);
  EXPECT_EQ(pdfs[0].substr(pdfs[0].size() - 18), "(201210033333).pdf");
  EXPECT_EQ(PdfPageCount(cli.data.Entry("data").Entry("pdf").Entry(pdfs[0])), 2);
  // The report links the file by its shortened name.
  const std::string page = ReadFileBytes(cli.data + "/data/temp/index.html");
  EXPECT_NE(page.find(Utf8ToGbk(pdfs[0]) + "\"s>"), std::string::npos);

  // Two texts that differ only past the cut keep apart.
  const std::string a = Utf8ToGbk(kLongTitle), b = Utf8ToGbk(kLongTitle + "甲");
  EXPECT_NE(FileNameFromText(a, ".html"), FileNameFromText(b, ".html"));
  EXPECT_EQ(FileNameFromText(Utf8ToGbk("名称=(一种折叠伞) "), ".html"), Utf8ToGbk("名称=(一种折叠伞) .html"));
}

TEST(KeptRecords, PatentsOfOneTitleKeepTheirOwnPdfs) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const TPath pdf = cli.data + "/data/pdf/";
  auto pages = [&](const std::string& name) { return PdfPageCount(pdf + Utf8ToGbk(name)); };

  // One run: the second patent of the title gets its number in its name, and each row
  // links its own PDF.
  CliResult first = cli.Run({"download", "201120011111", "201120022222"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(Names(pdf), (std::vector<std::string>{"一种折叠伞(201120022222).pdf", "一种折叠伞.pdf"}));
  EXPECT_EQ(pages("一种折叠伞.pdf"), 2);
  EXPECT_EQ(pages("一种折叠伞(201120022222).pdf"), 3);
  const std::string report = ReadFileBytes(cli.data + "/data/temp/index.html");
  EXPECT_EQ(Count(report, Utf8ToGbk("/data/pdf/一种折叠伞.pdf\"s>")), 1);
  EXPECT_EQ(Count(report, Utf8ToGbk("/data/pdf/一种折叠伞(201120022222).pdf\"s>")), 1);

  // A later run: a third patent of the title, found by a part of its number (the PDF is
  // named for the record found), then the first and second again, each into the PDF it
  // already has.
  WriteFileBytes(cli.data + "/list.txt", "0425678\r\n201120011111\r\n201120022222\r\n");
  CliResult second = cli.Run({"download", "--file", (cli.data + "/list.txt").Bytes()});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(Names(pdf), (std::vector<std::string>{"一种折叠伞(04256789).pdf", "一种折叠伞(201120022222).pdf",
                                                  "一种折叠伞.pdf"}));
  EXPECT_EQ(pages("一种折叠伞.pdf"), 2);
  EXPECT_EQ(pages("一种折叠伞(201120022222).pdf"), 3);
  EXPECT_EQ(pages("一种折叠伞(04256789).pdf"), 4);
  EXPECT_EQ(Names(pdf, true).size(), 3u) << "no temporary file stays";
}

TEST(KeptRecords, AKilledRunLeavesOnlyWholeFilesAndTheNextRunClearsItsLeftovers) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const TPath pdfDir = cli.data + "/data/pdf";
  const std::vector<std::string> numbers = {"download", "200880001234", "02123456", "03234567"};
  // The run, with its tools, killed while pages come in, while the converting tool writes
  // (a file it did not find has appeared in the PDF folder), and at the next record.
  auto whileConverting = [&] {
    return [&, before = Names(pdfDir, true)](const std::string&) { return Names(pdfDir, true) != before; };
  };
  const std::vector<std::function<bool(const std::string&)>> points = {
      [](const std::string& out) { return Count(out, "\n") >= 2; },
      whileConverting(),
      [](const std::string& out) { return out.find("开始下载第2个记录") != std::string::npos; },
  };
  for (size_t i = 0; i < points.size(); ++i) {
    CliResult killed = cli.Run(numbers, points[i]);
    EXPECT_EQ(killed.exitCode, -1) << "point " << i << ": " << killed.out;
    for (const std::string& name : Names(pdfDir))
      EXPECT_GT(PdfPageCount(pdfDir.Entry(name)), 0) << name << " at point " << i;
    const TPath report = cli.data + "/data/temp/index.html";
    if (FileExists(report)) EXPECT_EQ(LastLine(ReadFileBytes(report)), "</html>\r") << "point " << i;
    if (i == 1) EXPECT_EQ(Names(pdfDir, true).size(), Names(pdfDir).size() + 1) << "the conversion's temporary file";
  }
  CliResult whole = cli.Run(numbers);
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_EQ(Names(pdfDir, true),
            (std::vector<std::string>{"一种数据传输方法.pdf", "一种电池隔膜.pdf", "一种自行车刹车装置.pdf"}));
  for (const std::string& name : Names(cli.data + "/data/temp", true)) EXPECT_NE(name[0], '.') << name;
}

TEST(KeptRecords, TwoRunsOnOneDataFolderTakeTurns) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  CliResult a, b;
  std::thread other([&] { a = cli.Run({"download", "200880001234", "03234567"}); });
  b = cli.Run({"download", "02123456", "01900123"});
  other.join();
  ASSERT_EQ(a.exitCode, 0) << a.err;
  ASSERT_EQ(b.exitCode, 0) << b.err;
  EXPECT_EQ(Count(a.out + b.out, "另一个下载正在使用此数据目录，等它结束后开始..."), 1) << a.out << b.out;
  const TPath pdf = cli.data + "/data/pdf/";
  for (auto [title, number, count] : {std::tuple{"一种数据传输方法", "200880001234", 40},
                                      {"一种自行车刹车装置", "03234567", 5},
                                      {"一种电池隔膜", "02123456", 3},
                                      {"一种洗衣机的固定装置", "01900123", 1}}) {
    const TPath file = pdf + Utf8ToGbk(std::string(title) + ".pdf");
    ASSERT_EQ(PdfPageCount(file), count) << title;
    // Every page is the record's own: the merged images were never shared.
    const TPath merged = cli.data + "/data/temp/" + number + ".tif";
    for (int page = 0; page < count; ++page) {
      auto mark = ReadTiffPageMark(merged, page);
      ASSERT_TRUE(mark) << number << " page " << page + 1;
      EXPECT_EQ(mark->number, number);
      EXPECT_EQ(mark->page, page + 1);
    }
  }
}

}  // namespace
