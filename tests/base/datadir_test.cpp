// The data root and savefile.ini, the folders below the root, the links pages make, and
// paths whose names GBK cannot write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"

namespace {

// Names GBK cannot hold: a Latin letter outside GBK, an emoji, a byte that is not UTF-8.
const std::string kJorg = "J\xc3\xb6rg";
const std::string kEmoji = "\xf0\x9f\x98\x80";
const std::string kNotUtf8 = "x\xff";

class DataRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/varnolt-root-XXXXXX";
    dir_ = TPath::FromSystem(::mkdtemp(tmpl));
    SetProgramDirectoryForTesting(dir_);
  }
  void TearDown() override {
    SetProgramDirectoryForTesting(TPath());
    std::system(("rm -rf '" + dir_.Bytes() + "'").c_str());
  }
  TPath dir_;
};

TEST_F(DataRoot, ProgramDirectoryWhenNoFileOrEmptyValue) {
  EXPECT_EQ(datadir::LoadRootAtStart(), dir_);
  WriteFileBytes(dir_ + "/savefile.ini", "[savefile]\r\nsavepath=\r\n");
  EXPECT_EQ(datadir::LoadRootAtStart(), dir_);
}

TEST_F(DataRoot, SettingsValueTakenUnchanged) {
  datadir::WriteRootSetting(TPath::FromSystem("/no/such/place/"));
  EXPECT_EQ(ReadFileBytes(dir_ + "/savefile.ini"), "[savefile]\r\nsavepath=/no/such/place/\r\n");
  EXPECT_EQ(datadir::LoadRootAtStart(), TPath::FromSystem("/no/such/place/"));
  EXPECT_EQ(datadir::Root(), TPath::FromSystem("/no/such/place/"));
  // The download dialog's choice in the same file stays when a root is written.
  WriteFileBytes(dir_ + "/savefile.ini", "[savefile]\r\nsavepath=/a\r\n[download]\r\nocr=1\r\n");
  datadir::WriteRootSetting(TPath::FromSystem("/b"));
  EXPECT_EQ(ReadFileBytes(dir_ + "/savefile.ini"), "[savefile]\r\nsavepath=/b\r\n[download]\r\nocr=1\r\n");
  // A hand-edited GBK value names the folder whose UTF-8 name holds the same text.
  WriteFileBytes(dir_ + "/savefile.ini", "[savefile]\r\nsavepath=/d/\xca\xfd\xbe\xdd\r\n");
  EXPECT_EQ(datadir::LoadRootAtStart(), TPath::FromSystem("/d/数据"));
}

TEST_F(DataRoot, RootsGbkCannotWriteAreStoredAsFileUrlsAndReadBackUnchanged) {
  datadir::WriteRootSetting(TPath::FromSystem("/d/数据"));
  EXPECT_EQ(ReadFileBytes(datadir::SettingsFile()), "[savefile]\r\nsavepath=/d/\xca\xfd\xbe\xdd\r\n");
  datadir::WriteRootSetting(TPath::FromSystem("/home/" + kJorg + " 1"));
  EXPECT_EQ(ReadFileBytes(datadir::SettingsFile()), "[savefile]\r\nsavepath=file:///home/J%C3%B6rg%201\r\n");
  for (const std::string& name : {kJorg, std::string("数据✓"), kEmoji, kNotUtf8, std::string(" blank "), std::string("file://x"),
                                  std::string("%41"), std::string("two\r\nlines")}) {
    const TPath root = TPath::FromSystem("/tmp/" + name);
    datadir::WriteRootSetting(root);
    EXPECT_EQ(datadir::LoadRootAtStart(), root) << datadir::SettingValue(root);
  }
}

TEST_F(DataRoot, ReadersNeverSeeATornValue) {
  const TPath a = TPath::FromSystem(std::string(300, 'a')), b = TPath::FromSystem(std::string(500, 'b'));
  datadir::SetRoot(a);
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) datadir::SetRoot(i % 2 ? a : b);
  });
  for (int i = 0; i < 20000; ++i) {
    TPath v = datadir::Root();
    ASSERT_TRUE(v == a || v == b);
  }
  writer.join();
}

TEST_F(DataRoot, FoldersBelowAnyRootAndTheirCreation) {
  using datadir::Folder;
  const TPath r = TPath::FromSystem("/r/" + kEmoji);
  EXPECT_EQ(datadir::FolderPath(r, Folder::Query).Bytes(), "/r/" + kEmoji + "/data/query");
  EXPECT_EQ(datadir::FolderPath(r, Folder::Pdf).Bytes(), "/r/" + kEmoji + "/data/pdf");
  EXPECT_EQ(datadir::IndexPagePath(r).Bytes(), "/r/" + kEmoji + "/data/index.html");
  // The file-system root gets no doubled separator, which a browser would read as a host.
  EXPECT_EQ(datadir::FolderPath(TPath::FromSystem("/"), Folder::Temp).Bytes(), "/data/temp");

  const TPath root = dir_.Entry(kNotUtf8);
  ASSERT_TRUE(CreateDir(root));
  EXPECT_EQ(datadir::EnsureFolder(root, Folder::Temp), root.Entry("data").Entry("temp"));
  EXPECT_TRUE(DirectoryExists(root.Entry("data").Entry("temp")));
  EXPECT_FALSE(DirectoryExists(root.Entry("data").Entry("pdf")));
}

TEST(PagePaths, LinksKeepGbkAndEscapeTheRestWhileTextUsesReferences) {
  EXPECT_EQ(datadir::LinkTarget(TPath::FromText("/a b/&<>'\"x")), "/a b/&<>'%22x");
  EXPECT_EQ(datadir::LinkTarget(TPath::FromText("%#?\"")), "%25%23%3F%22");
  // GBK second bytes never collide with the escaped characters.
  EXPECT_EQ(datadir::LinkTarget(TPath::FromText("\xb5\xe7\xb3\xd8")), "\xb5\xe7\xb3\xd8");
  EXPECT_EQ(datadir::LinkTarget(TPath::FromSystem("/电池/" + kJorg + "/" + kEmoji + "%/" + kNotUtf8)),
            "/\xb5\xe7\xb3\xd8/J%C3%B6rg/%F0%9F%98%80%25/x%FF");

  EXPECT_EQ(PageTextOf("电池" + kEmoji + ".html"), "\xb5\xe7\xb3\xd8&#128512;.html");
  EXPECT_EQ(PageTextOf(kNotUtf8), "x&#65533;");
  EXPECT_EQ(TPath::FromSystem(kNotUtf8).Shown(), "x\xef\xbf\xbd");
  EXPECT_EQ(TPath::FromSystem("/电池" + kEmoji).ShownText(), "/\xb5\xe7\xb3\xd8?");
  // Below the file-system root, and below a root written with a leading "//" (the same
  // folder to the system), links never start with "//", which a browser reads as a host.
  EXPECT_EQ(datadir::LinkTarget(datadir::FolderPath(TPath::FromSystem("/"), datadir::Folder::Query) + "/a.html"),
            "/data/query/a.html");
  EXPECT_EQ(datadir::LinkTarget(TPath::FromSystem("///srv/r/data/pdf/b.pdf")), "/srv/r/data/pdf/b.pdf");
  EXPECT_EQ(datadir::StylesheetLine(TPath::FromSystem("/opt/a#b")),
            "<link rel=\"stylesheet\" type=\"text/css\" href=\"/opt/a%23b/main.css\" />");
}

TEST(GbkForms, ExactOnlyWhenEveryCharacterRoundTrips) {
  std::string gbk = "unchanged";
  EXPECT_TRUE(Utf8ToGbkExact("电池 a", gbk));
  EXPECT_EQ(gbk, "\xb5\xe7\xb3\xd8 a");
  gbk = "unchanged";
  for (const std::string& s : {kJorg, kEmoji, kNotUtf8, std::string("\xe6\x95"), std::string("\xc0\xaf")}) {
    EXPECT_FALSE(Utf8ToGbkExact(s, gbk)) << s;
    EXPECT_EQ(gbk, "unchanged");
  }
  // Overlong forms and surrogates are not UTF-8.
  EXPECT_EQ(ValidUtf8("\xc0\xaf" "a\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd" "a\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_EQ(Utf8ToGbkWithReferences("a" + kEmoji + "\xc3\xb6"), "a&#128512;&#246;");
}

}  // namespace
