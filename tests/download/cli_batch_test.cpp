// Batches through varnolt-cli against the demo site: going on past failures, polite
// retries, resuming, records side by side, number forms, and the JSON descriptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "download/numberlist.h"
#include "sources/cnnumbers.h"
#include "tests/support/cliprogram.h"
#include "tests/support/pagereaders.h"
#include "tests/support/textcheck.h"

namespace {

// The requests of the site's log whose target holds piece.
size_t Requests(const DemoSite& site, const std::string& piece) {
  size_t n = 0;
  for (const DemoLogEntry& e : site.Log()) n += e.target.find(piece) != std::string::npos;
  return n;
}

TEST(Batch, KeepGoingReportsTheFailedNumberAndGoesOn) {
  DemoSite site({"--fail", "recid=CN03234567"});
  CliProgram cli;
  cli.PointAt(site);
  const std::string json = (cli.data + "/run.json").Bytes();
  CliResult r = cli.Run({"download", "--keep-going", "--json", json, "02123456", "03234567", "01900123", "12345678"});
  EXPECT_EQ(r.exitCode, 3) << r.err;
  EXPECT_EQ(r.err, "03234567: HTTP/1.1 500 Internal Server Error\n");
  EXPECT_NE(r.out.find("处理完毕！"), std::string::npos);
  EXPECT_EQ(PdfPageCount(TPath::FromSystem(cli.data.Bytes() + "/data/pdf/一种洗衣机的固定装置.pdf")), 1);
  EXPECT_EQ(ReadFileBytes(cli.data + "/data/temp/failed.txt"), "03234567\r\n");

  // The failed number's row says why in the title's place and links nothing.
  const std::vector<std::string> report = SplitLines(ReadFileBytes(cli.data + "/data/temp/index.html"));
  ASSERT_EQ(report.size(), 7u + 3 * 8u + 2u);
  EXPECT_EQ(report[7 + 8 + 3], "<td>03234567</td>");
  EXPECT_EQ(report[7 + 8 + 4], "<td>HTTP/1.1 500 Internal Server Error</td>");
  EXPECT_EQ(report[7 + 8 + 6], "<td></td>");
  EXPECT_EQ(report[7 + 16 + 1], "<td>3</td>");

  const std::string doc = ReadFileBytes(TPath::FromSystem(json));
  EXPECT_EQ(doc.rfind("[{\"number\":\"02123456\",\"title\":\"一种电池隔膜\",\"type\":\"发明\",\"class\":\"H01M2/16\","
                      "\"pages\":3,\"pdf\":\"" + cli.data.Bytes() + "/data/pdf/一种电池隔膜.pdf\",\"status\":\"done\","
                      "\"error\":null},", 0), 0u) << doc;
  EXPECT_NE(doc.find("{\"number\":\"03234567\",\"title\":\"一种自行车刹车装置\",\"type\":\"实用新型\",\"class\":\"B62L1/00\","
                     "\"pages\":null,\"pdf\":null,\"status\":\"failed\",\"error\":\"HTTP/1.1 500 Internal Server Error\"}"),
            std::string::npos) << doc;
  EXPECT_NE(doc.find("{\"number\":\"12345678\",\"title\":null,\"type\":\"外观设计\",\"class\":null,\"pages\":null,"
                     "\"pdf\":null,\"status\":\"design\",\"error\":null}]"), std::string::npos) << doc;

  // Taking failed.txt again tries just that number.
  CliResult again = cli.Run({"download", "--keep-going", "--file", (cli.data + "/data/temp/failed.txt").Bytes()});
  EXPECT_EQ(again.exitCode, 3);
  EXPECT_EQ(Count(again.out, "开始下载第"), 1);
}

TEST(Batch, BusySiteIsRetriedPolitelyOnlyWhenAsked) {
  {
    DemoSite site({"--busy", "2:hyjs-jieguo"});
    CliProgram cli;
    cli.PointAt(site);
    CliResult r = cli.Run({"download", "02123456"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "02123456: HTTP/1.1 503 Service Unavailable\n");
  }
  DemoSite site({"--busy", "2:hyjs-jieguo"});
  CliProgram cli;
  cli.PointAt(site);
  auto start = std::chrono::steady_clock::now();
  CliResult r = cli.Run({"download", "--retries", "3", "02123456"});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2], "02123456 检索记录失败(HTTP/1.1 503 Service Unavailable)，1.0秒后重试(1/3)");
  EXPECT_EQ(lines[3], "02123456 检索记录失败(HTTP/1.1 503 Service Unavailable)，1.0秒后重试(2/3)");
  EXPECT_GE(seconds, 2.0) << "the site's Retry-After was kept";
  EXPECT_EQ(PdfPageCount(TPath::FromSystem(cli.data.Bytes() + "/data/pdf/一种电池隔膜.pdf")), 3);
}

TEST(Batch, SkipExistingFetchesOnlyTheListAndLinksThePdfThere) {
  DemoSite site({}, true);
  CliProgram cli;
  cli.PointAt(site);
  ASSERT_EQ(cli.Run({"download", "02123456"}).exitCode, 0);
  const size_t before = site.Log().size();
  CliResult r = cli.Run({"download", "--skip-existing", "02123456", "01900123"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("02123456: 已有此记录的PDF文件，不再下载"), std::string::npos) << r.out;
  std::vector<DemoLogEntry> log = site.Log();
  log.erase(log.begin(), log.begin() + long(before));
  size_t pages02 = 0, details02 = 0;
  for (const DemoLogEntry& e : log) {
    pages02 += e.target.find("/books/02123456/") != std::string::npos;
    details02 += e.target.find("recid=CN02123456") != std::string::npos;
  }
  EXPECT_EQ(pages02 + details02, 0u);
  EXPECT_EQ(Requests(site, "/books/01900123/"), 1u);
  const std::string report = ReadFileBytes(cli.data + "/data/temp/index.html");
  EXPECT_NE(report.find(Utf8ToGbk("/data/pdf/一种电池隔膜.pdf\"s>")), std::string::npos);
}

TEST(Batch, JobsSideBySideKeepTheirPagesApartAndTheRowsInOrder) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const std::vector<std::string> numbers = {"200880001234", "02123456", "03234567", "01900123", "200510012345"};
  std::vector<std::string> args = {"download", "--jobs", "3"};
  args.insert(args.end(), numbers.begin(), numbers.end());
  CliResult r = cli.Run(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Every line of a record names it.
  for (const std::string& line : SplitLines(r.out)) {
    if (line == "开始检索，请稍候..." || line == "处理完毕！" || line[0] == '/') continue;
    EXPECT_EQ(line[0], '[') << line;
  }
  const std::vector<std::string> report = SplitLines(ReadFileBytes(cli.data + "/data/temp/index.html"));
  ASSERT_EQ(report.size(), 7u + 8 * numbers.size() + 2u);
  for (size_t i = 0; i < numbers.size(); ++i) {
    EXPECT_EQ(report[7 + 8 * i + 1], "<td>" + std::to_string(i + 1) + "</td>");
    EXPECT_EQ(report[7 + 8 * i + 3], "<td>" + numbers[i] + "</td>");
  }
  const std::vector<std::pair<std::string, int>> pdfs = {
      {"一种数据传输方法", 40}, {"一种电池隔膜", 3}, {"一种自行车刹车装置", 5}, {"一种洗衣机的固定装置", 1},
      {"一种锂离子电池及其制备方法", 12}};
  for (size_t i = 0; i < numbers.size(); ++i) {
    const auto& [title, count] = pdfs[i];
    EXPECT_EQ(PdfPageCount(TPath::FromSystem(cli.data.Bytes() + "/data/pdf/" + title + ".pdf")), count) << title;
    // The merged image, in the folder of whichever job took the number, holds its own pages.
    int found = 0;
    for (const char* job : {"job1", "job2", "job3"}) {
      const TPath merged = cli.data + "/data/temp/" + job + "/" + numbers[i] + ".tif";
      if (!FileExists(merged)) continue;
      ++found;
      ASSERT_EQ(TiffPageCount(merged), count);
      for (int page = 0; page < count; ++page) {
        auto mark = ReadTiffPageMark(merged, page);
        ASSERT_TRUE(mark) << numbers[i] << " page " << page + 1;
        EXPECT_EQ(mark->number, numbers[i]);
        EXPECT_EQ(mark->page, page + 1);
      }
    }
    EXPECT_EQ(found, 1) << numbers[i];
  }
}

TEST(Batch, PastedNumberFormsAreReadAndWrongOnesRefused) {
  std::string number, reason;
  EXPECT_EQ(ApplicationCheckDigit("201710601862"), '3');
  for (const std::string& entry : {std::string("CN201710601862.3"), std::string(" ZL201710601862 "),
                                   std::string("cn201710601862"), Utf8ToGbk("２０１７１０６０１８６２．３"),
                                   Utf8ToGbk("　CN201710601862　")}) {
    EXPECT_TRUE(ReadPastedNumber(entry, number, reason)) << entry;
    EXPECT_EQ(number, "201710601862");
  }
  EXPECT_FALSE(ReadPastedNumber("CN201710601862.4", number, reason));
  EXPECT_EQ(reason, Utf8ToGbk("校验位不对，应为3"));
  EXPECT_FALSE(ReadPastedNumber("CN2017106018", number, reason));
  EXPECT_EQ(reason, Utf8ToGbk("位数不对，应为8位或12位"));
  EXPECT_FALSE(ReadPastedNumber("CN20171060186A", number, reason));
  EXPECT_FALSE(ReadPastedNumber("201710601862 X", number, reason)) << "only blanks go from the ends";
  EXPECT_EQ(reason, Utf8ToGbk("含有不能识别的字符"));

  // Plain entries keep the dialog's rules: a file's duplicate stays, a pasted one goes.
  std::vector<std::string> list;
  std::string message;
  for (const char* entry : {"02123456", "02123456", "CN02123456", ""})
    EXPECT_EQ(AddCliEntry(list, entry, false, TSourceKind::Site, message), TCliEntry::Added);
  EXPECT_EQ(list, (std::vector<std::string>{"02123456", "02123456", ""}));
  EXPECT_EQ(AddCliEntry(list, "1234567", true, TSourceKind::Site, message), TCliEntry::WrongLength);

  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  CliResult r = cli.Run({"download", "CN0212345.6", "ＣＮ０２１２３４５６", "02123456"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "CN0212345.6: 位数不对，应为8位或12位\n");
  EXPECT_EQ(Count(r.out, "开始下载第"), 1) << "the typed duplicate adds nothing";
  EXPECT_NE(r.out.find("开始下载第1个记录(02123456)"), std::string::npos);
}

TEST(Batch, SearchJsonHoldsEveryCellAndNullForWhatWasNotFetched) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const std::string all = (cli.data + "/all.json").Bytes(), some = (cli.data + "/some.json").Bytes();
  CliResult r = cli.Run({"search", "--title", "一种电池隔膜", "--legal-status", "--abstract-info", "--first-claim",
                         "--patentee", "--json", all});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string doc = ReadFileBytes(TPath::FromSystem(all));
  EXPECT_EQ(doc.rfind("{\"expression\":\"名称=(一种电池隔膜) \",\"count\":34,\"records\":[{\"number\":\"02123456\","
                      "\"type\":\"发明\",\"title\":\"一种电池隔膜\",\"class\":\"H01M2/16\",\"legal_status\":"
                      "\"<font color=\\\"#FF0000\\\">专利权的终止</font><br>未缴年费专利权终止\",\"patentee\":\"王芳\","
                      "\"abstract\":\"本发明公开了一种电池隔膜", 0), 0u) << doc.substr(0, 400);
  EXPECT_EQ(Count(doc, "\"first_claim\":\"1．"), 34);
  EXPECT_EQ(doc.substr(doc.size() - 4), "}]}\n");

  ASSERT_EQ(cli.Run({"search", "--title", "一种电池隔膜", "--json", some}).exitCode, 0);
  const std::string bare = ReadFileBytes(TPath::FromSystem(some));
  EXPECT_EQ(Count(bare, "\"legal_status\":null,\"patentee\":null,\"abstract\":null,\"first_claim\":null}"), 34);

  // A run that ends early says why on stderr.
  DemoSite failing({"--fail", "hyjs-jieguo"});
  cli.PointAt(failing);
  CliResult early = cli.Run({"search", "--title", "x"});
  EXPECT_EQ(early.exitCode, 1);
  EXPECT_EQ(early.err, "HTTP/1.1 500 Internal Server Error\n");
}

}  // namespace
