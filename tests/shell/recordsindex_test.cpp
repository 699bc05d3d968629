#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "base/files.h"
#include "shell/recordsindex.h"
#include "tests/support/tempdir.h"

namespace {

const TPath kApp = TPath::FromSystem("/opt/app");

class RecordsIndex : public ::testing::Test {
 protected:
  void Touch(const std::string& rel) { WriteFileBytes(root_ + rel, "x"); }
  TempDir dir_;
  const TPath root_ = dir_.Path();
};

const char kHead[] =
    "<html>\r\n<head><title>index</title>\r\n"
    "<link rel=\"stylesheet\" type=\"text/css\" href=\"/opt/app/main.css\" />\r\n"
    "</head><body>\r\n"
    "<div class=\"notetitle\">\xd2\xd4\xcf\xc2\xce\xaa\xbc\xec\xcb\xf7\xbc\xc7\xc2\xbc\xc1\xd0\xb1\xed\xa3\xba</div>\r\n";
const char kMiddle[] =
    "<hr>\r\n<div class=\"notetitle\">\xd2\xd4\xcf\xc2\xce\xaaPDF\xce\xc4\xbc\xfe\xc1\xd0\xb1\xed\xa3\xba</div>\r\n";
const char kTail[] = "</body>\r\n</html>\r\n";

TEST_F(RecordsIndex, MissingOrEmptyFoldersGiveHeadingsAndRuleOnly) {
  ASSERT_TRUE(CreateDir(root_ + "/data"));
  TPath page = recordsindex::Build(root_, kApp);
  EXPECT_EQ(page, root_ + "/data/index.html");
  EXPECT_EQ(ReadFileBytes(page), std::string(kHead) + kMiddle + kTail);

  ASSERT_TRUE(CreateDir(root_ + "/data/query"));
  ASSERT_TRUE(CreateDir(root_ + "/data/pdf"));
  recordsindex::Build(root_, kApp);
  EXPECT_EQ(ReadFileBytes(page), std::string(kHead) + kMiddle + kTail);
}

TEST_F(RecordsIndex, ListsFilesOfAnyExtensionButNoSubdirectories) {
  ASSERT_TRUE(ForceDirectories(root_ + "/data/query/sub"));
  ASSERT_TRUE(ForceDirectories(root_ + "/data/pdf"));
  // GBK name: 名称=(电池).html
  const std::string report = "\xc3\xfb\xb3\xc6=(\xb5\xe7\xb3\xd8).html";
  Touch("/data/query/" + report);
  Touch("/data/query/sub/inner.html");
  Touch("/data/pdf/a.pdf");
  Touch("/data/pdf/.hidden");
  Touch("/data/pdf/notes.txt");

  std::string page = ReadFileBytes(recordsindex::Build(root_, kApp));
  std::string q = root_.Bytes() + "/data/query/";
  EXPECT_NE(page.find("<li><a href=\"" + q + report + "\">" + report + "</a></li>\r\n"), std::string::npos);
  EXPECT_EQ(page.find("sub"), std::string::npos);
  EXPECT_EQ(page.find("inner.html"), std::string::npos);
  for (const char* name : {"a.pdf", ".hidden", "notes.txt"}) {
    std::string line = "<li><a href=\"" + root_.Bytes() + "/data/pdf/" + name + "\">" + name + "</a></li>\r\n";
    size_t at = page.find(line);
    ASSERT_NE(at, std::string::npos) << name;
    EXPECT_GT(at, page.find("<hr>")) << "PDF files belong to the second section";
  }
}

TEST_F(RecordsIndex, NamesStayUnchangedWhileLinkTargetsEscapeAddressCharacters) {
  ASSERT_TRUE(ForceDirectories(root_ + "/data/query"));
  const std::string name = "\xb7\xd6\xc0\xe0\xba\xc5=('%B60L%') & <b> #1?.html";  // 分类号=...
  Touch("/data/query/" + name);
  std::string page = ReadFileBytes(recordsindex::Build(root_, kApp));
  std::string target = root_.Bytes() + "/data/query/\xb7\xd6\xc0\xe0\xba\xc5=('%25B60L%25') & <b> %231%3F.html";
  EXPECT_NE(page.find("<li><a href=\"" + target + "\">" + name + "</a></li>"), std::string::npos) << page;
}

// GBK byte order, ASCII letters without regard to case; the second byte of a Chinese
// character is no letter (乑 is 81 5A, 乤 is 81 61: folding 5A to 7A would swap them).
TEST_F(RecordsIndex, EntriesSortedByGbkNameWithoutRegardToAsciiCase) {
  ASSERT_TRUE(ForceDirectories(root_ + "/data/query"));
  const std::vector<std::string> sorted = {"a.html", "B.html", "c.html", "乑.html", "乤.html", "阿.html", "电池.html"};
  for (const std::string& name : {sorted[5], sorted[1], sorted[6], sorted[3], sorted[2], sorted[4], sorted[0]})
    WriteFileBytes(root_.Entry("data").Entry("query").Entry(name), "x");
  std::vector<std::string> lines = recordsindex::ListingLines(root_ + "/data/query");
  ASSERT_EQ(lines.size(), sorted.size());
  for (size_t i = 0; i < sorted.size(); ++i)
    EXPECT_NE(lines[i].find(">" + PageTextOf(sorted[i]) + "</a>"), std::string::npos) << i << ": " << lines[i];
}

TEST_F(RecordsIndex, MissingDataFolderFailsWithoutWriting) {
  EXPECT_THROW(recordsindex::Build(root_, kApp), EFileError);
  EXPECT_FALSE(DirectoryExists(root_ + "/data"));
}


}  // namespace
