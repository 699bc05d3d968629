#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/gbk.h"
#include "tests/support/tempdir.h"
#include "tests/tools/sample.h"

namespace {

std::string Bytes(const char* text, size_t size) { return std::string(text, size - 1); }
#define TEXT(name) Bytes(name, sizeof(name))

struct TextcatRun {
  int status;
  std::string err;
};

// textcat on a catalogue with these lines; its messages as it printed them.
TextcatRun Textcat(const std::string& catalogue, const std::string& header) {
  std::FILE* p = popen(("'" VARNOLT_TEXTCAT "' '" + catalogue + "' '" + header + "' 2>&1").c_str(), "r");
  TextcatRun run{-1, ""};
  if (!p) return run;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) run.err.append(buf, n);
  int status = pclose(p);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(Textcat, HeaderHoldsTheCatalogueTextsInGbk) {
  EXPECT_EQ(TEXT(sampletext::kChinese), "\xd6\xd0\xb9\xfa\xd7\xa8\xc0\xfb");
  EXPECT_EQ(TEXT(kOutside), Utf8ToGbk("全局"));
  EXPECT_EQ(TEXT(othertext::kChinese), Utf8ToGbk("另一个"));
  EXPECT_EQ(TEXT(sampletext::kHexDigitsAfter), Utf8ToGbk("中A1f文b"));
  EXPECT_EQ(TEXT(sampletext::kQuoteAndBackslash), Utf8ToGbk("路径 \"C:\\data\""));
  EXPECT_EQ(TEXT(sampletext::kFullWidth), Utf8ToGbk("：（）“”！"));
  EXPECT_EQ(TEXT(sampletext::kHash), Utf8ToGbk("#不是注释"));
}

TEST(Textcat, BlanksAndEscapesAreExact) {
  EXPECT_EQ(TEXT(sampletext::kEnds), Utf8ToGbk(" 前后 "));
  EXPECT_EQ(TEXT(sampletext::kInnerBlanks), Utf8ToGbk("中  间"));
  EXPECT_EQ(TEXT(sampletext::kLeadingRun), Utf8ToGbk("    缩进"));
  EXPECT_EQ(TEXT(sampletext::kControls), Utf8ToGbk("甲\t乙\r\n"));
  EXPECT_EQ(TEXT(sampletext::kAligned), Utf8ToGbk("对齐"));
  EXPECT_EQ(sizeof(sampletext::kEmpty), 1u);
}

TEST(Textcat, FaultsNameTheCatalogueLineAndWriteNoHeader) {
  struct Case {
    std::string line;
    std::string reason;
  };
  const Case cases[] = {
      {"kBad = 笑😀", "GBK cannot write U+1F600"},
      {"kBad = \xff\xfe", "not UTF-8"},
      {"kBad = \\x41", "unknown escape \\x"},
      {"kBad = 甲\t乙", "tab"},
      {"kBad = 甲 ", "a blank ends the line"},
      {"kBad = 甲\\", "backslash ends the line"},
      {"kFirst = 再", "kFirst is named already on line 4"},
      {"kBad 甲", "expected: name = text"},
      {"1k = 甲", "not a C++ identifier"},
      {"[two words]", "a section is [name]"},
  };
  TempDir dir;
  const std::string catalogue = dir.File("bad.cat").Bytes();
  const std::string header = dir.File("bad.h").Bytes();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    // A header of an earlier good run must not outlive a failed one.
    WriteFile(header, "stale");
    WriteFile(catalogue, "# first lines\n\n[ns]\nkFirst = 好\n" + c.line + "\nkLast = 好\n");
    TextcatRun run = Textcat(catalogue, header);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(catalogue + ":5: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(header));
  }
}

TEST(Textcat, EveryFaultOfACatalogueIsReported) {
  TempDir dir;
  const std::string catalogue = dir.File("bad.cat").Bytes();
  WriteFile(catalogue, "kA = 😀\nkB = 好\nkC = \\q\n");
  TextcatRun run = Textcat(catalogue, dir.File("bad.h").Bytes());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(catalogue + ":1: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(catalogue + ":2: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(catalogue + ":3: "), std::string::npos) << run.err;
}
