// Recognition of the demo site's pages: the first claim cut from a recognised claims page,
// what the pages of a record read as, drawings and blank pages, and the reason given when
// a model is missing (a missing library: tests/download/cli_ocr_test.cpp).
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <filesystem>

#include "base/files.h"
#include "base/gbk.h"
#include "recognition/claimcut.h"
#include "recognition/recognise.h"
#include "tests/support/demosite.h"
#include "tests/support/pagereaders.h"
#include "tests/support/tempdir.h"

namespace {

// The folder of the installed models, as the tool names it.
std::string ModelsFolder() {
  std::string out;
  if (FILE* p = popen("tesseract --list-langs 2>&1", "r")) {
    char buf[512];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  size_t open = out.find('"'), close = out.find('"', open + 1);
  return open == std::string::npos || close == std::string::npos ? "" : out.substr(open + 1, close - open - 1);
}

// The drawn text of a claims page from claim 1 to claim 2, as one line.
std::string DrawnFirstClaim(const std::string& pageText) {
  size_t start = pageText.find("1．"), end = pageText.find("\n2．");
  std::string claim;
  for (char c : pageText.substr(start, end - start))
    if (c != '\n') claim += c;
  return claim;
}

// What the demo site drew on a page (UTF-8), and the page image.
std::string Drawn(const DemoSite& site, const std::string& number, int page) {
  char target[64];
  snprintf(target, sizeof target, "/books/%s/1/%06d.txt", number.c_str(), page);
  return GbkToUtf8(site.RawRequest("GET", target).body);
}

std::string Image(const DemoSite& site, const std::string& number, int page) {
  char target[64];
  snprintf(target, sizeof target, "/books/%s/1/%06d.tif", number.c_str(), page);
  return site.RawRequest("GET", target).body;
}

TEST(Ocr, FirstClaimIsCutFromTheRecognisedClaimsPage) {
  DemoSite site;
  const std::string drawn = Drawn(site, "200510012345", 2);
  ASSERT_NE(drawn.find("权利要求书"), std::string::npos) << drawn;
  const std::string claim = DrawnFirstClaim(drawn);
  ASSERT_EQ(claim.rfind("1．一种锂离子电池，其特征在于", 0), 0u) << claim;

  TRecognitionEngine engine;
  const TRecognisedPage page = engine.Recognise(Image(site, "200510012345", 2));
  const std::string cut = GbkToUtf8(FirstClaimFromText(page.Text()));
  EXPECT_GE(CharacterRecall(claim, cut), 0.9) << cut;
  // No more than claim 1: what it holds is the claim's, and claim 2's opening is not in it.
  EXPECT_GE(CharacterRecall(cut, claim), 0.9) << cut;
  EXPECT_EQ(cut.find("根据权利要求"), std::string::npos) << cut;
  // Each word stands in its line's box, in the pixels of the 300 dpi page, on its baseline.
  EXPECT_EQ(page.width, 2550);
  EXPECT_EQ(page.height, 3300);
  size_t words = 0;
  for (const TRecognisedLine& line : page.lines) {
    EXPECT_GT(line.baselineLeft, line.box.top);
    EXPECT_LE(line.baselineLeft, line.box.top + line.box.height + 2);
    for (const TRecognisedWord& w : line.words) {
      ++words;
      EXPECT_GE(w.box.left, line.box.left);
      EXPECT_LE(w.box.left + w.box.width, line.box.left + line.box.width);
      EXPECT_GT(w.box.height, 0);
    }
  }
  EXPECT_GT(words, 20u);
}

TEST(Ocr, PagesReadAsWellAsBeforeDrawingsFindTheirLabelsAndBlankPagesNothing) {
  DemoSite site;
  TRecognitionEngine engine;
  // A record of five pages: its last one the drawings, as its sections tell.
  std::string drawn, found;
  for (int p = 1; p <= 4; ++p) {
    drawn += Drawn(site, "03234567", p);
    found += GbkToUtf8(engine.Recognise(Image(site, "03234567", p)).Text());
  }
  // A process of tesseract a page read 0.95 of these pages' characters.
  EXPECT_GE(CharacterRecall(drawn, found), 0.95) << found;

  const std::string labels = Drawn(site, "03234567", 5);
  ASSERT_NE(labels.find("说明书附图"), std::string::npos) << labels;
  const std::string read = GbkToUtf8(engine.Recognise(Image(site, "03234567", 5), TPageKind::Drawings).Text());
  // As scattered text: the heading and most of the figure's labels (read as a page of text,
  // a fifth of these pages' labels are lost).
  EXPECT_NE(read.find("说明书附图"), std::string::npos) << read;
  EXPECT_GE(CharacterRecall(labels, read), 0.8) << read;

  // A page with no ink: no lines, but its size.
  TempDir dir;
  std::vector<unsigned char> row((2550 + 7) / 8, 0);
  TIFF* tif = TIFFOpen(dir.File("blank.tif").c_str(), "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2550);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 3300);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3300);
  for (uint32_t y = 0; y < 3300; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
  TIFFClose(tif);
  const TRecognisedPage blank = engine.Recognise(ReadFileBytes(dir.File("blank.tif")));
  EXPECT_TRUE(blank.lines.empty());
  EXPECT_EQ(blank.width, 2550);

  // Bytes that are no image say so.
  try {
    engine.Recognise("not an image");
    ADD_FAILURE() << "bytes that are no image were recognised";
  } catch (const EOcrError& e) {
    EXPECT_EQ(GbkToUtf8(e.Message()), "tesseract未能识别：the page image does not read");
  }
}

TEST(Ocr, AMissingModelIsNamed) {
  EXPECT_EQ(OcrUnavailableReason(), "");
  TempDir dir;
  // A models folder with the English model only.
  std::filesystem::create_directory(dir.File("models").Bytes());
  std::filesystem::create_symlink(ModelsFolder() + "/eng.traineddata", dir.File("models/eng.traineddata").Bytes());
  ScopedEnv models("TESSDATA_PREFIX", dir.File("models").Bytes());
  const std::string why = "tesseract缺少语言包chi_sim，本次下载的PDF不加文字层（请安装tesseract-ocr-chi-sim和tesseract-ocr-eng）";
  EXPECT_EQ(GbkToUtf8(OcrUnavailableReason()), why);
  try {
    TRecognitionEngine engine;
    ADD_FAILURE() << "an engine started without its model";
  } catch (const EOcrError& e) {
    EXPECT_EQ(GbkToUtf8(e.Message()), why);
  }
}

}  // namespace
