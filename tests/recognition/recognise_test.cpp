// The OCR tool on the demo site's pages: the first claim cut from a recognised claims
// page, and the reasons given when the tool or its models are missing.
#include <gtest/gtest.h>

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

TEST(Ocr, FirstClaimIsCutFromTheRecognisedClaimsPage) {
  DemoSite site;
  TempDir dir;
  WriteFileBytes(dir.File("claims.tif"), site.RawRequest("GET", "/books/200510012345/1/000002.tif").body);
  const std::string drawn = GbkToUtf8(site.RawRequest("GET", "/books/200510012345/1/000002.txt").body);
  ASSERT_NE(drawn.find("权利要求书"), std::string::npos) << drawn;
  const std::string claim = DrawnFirstClaim(drawn);
  ASSERT_EQ(claim.rfind("1．一种锂离子电池，其特征在于", 0), 0u) << claim;

  const TRecognisedPage page = RecognisePage(dir.File("claims.tif"), dir.Path());
  const std::string cut = GbkToUtf8(FirstClaimFromText(page.Text()));
  EXPECT_GE(CharacterRecall(claim, cut), 0.9) << cut;
  // No more than claim 1: what it holds is the claim's, and claim 2's opening is not in it.
  EXPECT_GE(CharacterRecall(cut, claim), 0.9) << cut;
  EXPECT_EQ(cut.find("根据权利要求"), std::string::npos) << cut;
  // Each word stands in its line's box, and the tool's files are gone.
  size_t words = 0;
  for (const TRecognisedLine& line : page.lines) {
    for (const TRecognisedWord& w : line.words) {
      ++words;
      EXPECT_GE(w.box.left, line.box.left);
      EXPECT_LE(w.box.left + w.box.width, line.box.left + line.box.width);
      EXPECT_GT(w.box.height, 0);
    }
  }
  EXPECT_GT(words, 20u);
  EXPECT_EQ(ListDirectory(dir.Path()).size(), 1u);
}

TEST(Ocr, MissingToolOrModelsAreNamedAndAFailedPageSaysWhy) {
  TempDir dir;
  EXPECT_EQ(OcrUnavailableReason(dir.Path()), "");
  {
    // A models folder with the English model only.
    std::filesystem::create_directory(dir.File("models").Bytes());
    std::filesystem::create_symlink(ModelsFolder() + "/eng.traineddata", dir.File("models/eng.traineddata").Bytes());
    ScopedEnv models("TESSDATA_PREFIX", dir.File("models").Bytes());
    const std::string reason = GbkToUtf8(OcrUnavailableReason(dir.Path()));
    EXPECT_EQ(reason, "tesseract缺少语言包chi_sim，本次下载的PDF不加文字层（请安装tesseract-ocr-chi-sim和tesseract-ocr-eng）");
    // The tool's answer does not stay behind.
    EXPECT_EQ(ListDirectory(dir.Path()).size(), 1u);
    WriteFileBytes(dir.File("page.tif"), "not an image");
    try {
      RecognisePage(dir.File("page.tif"), dir.Path());
      ADD_FAILURE() << "a page without its model was recognised";
    } catch (const EOcrError& e) {
      EXPECT_EQ(GbkToUtf8(e.Message()).rfind("tesseract退出码", 0), 0u) << GbkToUtf8(e.Message());
    }
  }
  {
    ScopedEnv path("PATH", dir.Path().Bytes());
    EXPECT_EQ(GbkToUtf8(OcrUnavailableReason(dir.Path())),
              "未找到文字识别程序tesseract，本次下载的PDF不加文字层（请安装tesseract-ocr）");
  }
}

}  // namespace
