// varnolt-cli download --ocr against the demo site: the text layer is found on its pages
// and leaves the pictures alone, a PDF never appears without its text, and a missing
// library costs the text only.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/files.h"
#include "base/gbk.h"
#include "tests/support/cliprogram.h"
#include "tests/support/pagereaders.h"
#include "tests/support/textcheck.h"

namespace {

const std::string kBattery = "一种电池隔膜";      // 02123456, 3 pages
const std::string kWasher = "一种洗衣机的固定装置";  // 01900123, 1 page

TPath PdfOf(const CliProgram& cli, const std::string& title) {
  return TPath::FromSystem(cli.data.Bytes() + "/data/pdf/" + title + ".pdf");
}

// What the demo site drew on a page (UTF-8).
std::string Drawn(const DemoSite& site, const std::string& number, int page) {
  char target[64];
  snprintf(target, sizeof target, "/books/%s/1/%06d.txt", number.c_str(), page);
  return GbkToUtf8(site.RawRequest("GET", target).body);
}

TEST(CliOcr, TextLayerIsFoundOnItsPagesAndLeavesThePixelsAlone) {
  DemoSite site;
  CliProgram plain, ocr;
  plain.PointAt(site);
  ocr.PointAt(site);
  ASSERT_EQ(plain.Run({"download", "02123456", "01900123"}).exitCode, 0);
  const std::string json = (ocr.data + "/run.json").Bytes();
  CliResult r = ocr.Run({"download", "--ocr", "--json", json, "02123456", "01900123"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (int page = 1; page <= 3; ++page)
    EXPECT_EQ(Count(r.out, "记录(02123456)第" + std::to_string(page) + "页文字识别完毕，共3页（已识别"), 1) << r.out;
  // Each page says how far the recognition is behind the downloads; the last one, nowhere.
  const size_t last = r.out.rfind("页文字识别完毕");
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(r.out.compare(r.out.find('\n', last) - std::strlen("（已识别4页/已下载4页）"),
                          std::strlen("（已识别4页/已下载4页）"), "（已识别4页/已下载4页）"),
            0)
      << r.out;
  EXPECT_EQ(Count(r.out, "记录(02123456)的PDF已加入文字层\n"), 1);
  EXPECT_EQ(Count(r.out, "记录(01900123)的PDF已加入文字层\n"), 1);
  // The run ends after the last text is in.
  EXPECT_GT(r.out.find("处理完毕！"), r.out.rfind("文字"));
  EXPECT_EQ(Count(ReadFileBytes(TPath::FromSystem(json)), "\"textLayer\":true"), 2);

  // Most of what a page shows is found on that page, and what only that page says.
  std::string drawn, found;
  const std::pair<int, std::string> pageWords[] = {{1, "本发明公开了一种电池隔膜，包括基膜"}, {2, "根据权利要求"}, {3, "技术领域"}};
  for (const auto& [page, words] : pageWords) {
    EXPECT_NE(PdfText(PdfOf(ocr, kBattery), page).find(words), std::string::npos) << page << " " << words;
  }
  for (const auto& [number, title, pages] : {std::tuple{std::string("02123456"), kBattery, 3},
                                             std::tuple{std::string("01900123"), kWasher, 1}}) {
    ASSERT_EQ(PdfPageCount(PdfOf(ocr, title)), pages);
    for (int page = 1; page <= pages; ++page) {
      const std::string without = RenderedPage(PdfOf(plain, title), page, 300);
      ASSERT_GT(without.size(), 2550u * 3300u) << title << page;
      EXPECT_TRUE(RenderedPage(PdfOf(ocr, title), page, 300) == without) << title << " page " << page;
      EXPECT_EQ(PdfText(PdfOf(plain, title), page).find_first_not_of(" \n\f"), std::string::npos);
      const std::string text = PdfText(PdfOf(ocr, title), page);
      EXPECT_GE(CharacterRecall(Drawn(site, number, page), text), 0.85) << title << " page " << page << ":\n" << text;
      drawn += Drawn(site, number, page);
      found += text;
    }
  }
  EXPECT_GE(CharacterRecall(drawn, found), 0.9);

  const std::string info = PdfInfoText(PdfOf(ocr, kBattery));
  for (const std::string& line : {"Title:           一种电池隔膜\n", "Author:          王芳\n",
                                  "Subject:         申请号：CN02123456.6；分类号：H01M2/16\n",
                                  "Keywords:        CN02123456\n", "Creator:         Varnolt 20080106\n"})
    EXPECT_NE(info.find(line), std::string::npos) << line << info;
  EXPECT_EQ(PdfInfoText(PdfOf(plain, kBattery)).substr(0, info.find("Producer")), info.substr(0, info.find("Producer")));
}

TEST(CliOcr, ARunKilledWhileRecognisingNeverLeavesAPartialPdf) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const TPath pdfDir = cli.data + "/data/pdf";
  // Killed while the pages are recognised: no PDF, and the next run clears what the killed
  // one left half written.
  CliResult k = cli.Run({"download", "--ocr", "02123456"},
                        [](const std::string& out) { return out.find("文字识别完毕") != std::string::npos; });
  EXPECT_EQ(k.exitCode, -1);
  EXPECT_FALSE(FileExists(PdfOf(cli, kBattery)));
  ASSERT_EQ(cli.Run({"download", "01900123"}).exitCode, 0);
  std::vector<DirEntry> left = ListDirectory(pdfDir);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].name, kWasher + ".pdf");
}

TEST(CliOcr, WithoutTheLibraryTheDownloadsRunAndSayWhy) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  // The program without its recognition module: as on a system without tesseract's library.
  std::filesystem::remove((cli.dir + "/varnolt-tesseract.so").Bytes());
  const std::string json = (cli.data + "/run.json").Bytes();
  CliResult r = cli.Run({"download", "--ocr", "--json", json, "01900123"});
  const std::string why = "未找到文字识别库tesseract，本次下载的PDF不加文字层（请安装libtesseract5）\n";
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, why);
  EXPECT_EQ(Count(r.out, why), 1) << r.out;
  EXPECT_EQ(PdfPageCount(PdfOf(cli, kWasher)), 1);
  EXPECT_EQ(PdfText(PdfOf(cli, kWasher)).find_first_not_of(" \n\f"), std::string::npos);
  EXPECT_EQ(Count(ReadFileBytes(TPath::FromSystem(json)), "\"textLayer\":false"), 1);
}

}  // namespace
