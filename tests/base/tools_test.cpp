#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <fstream>

#include "base/files.h"
#include "base/gbk.h"
#include "base/tools.h"

using Args = std::vector<std::string>;

TEST(SplitCommandLine, QuotesGroupAndBlanksSeparate) {
  EXPECT_EQ(SplitCommandLine("\"/d/temp/000001.tif\" -a \"/d/temp/200510012345.tif\" -w 210 -l 297"),
            (Args{"/d/temp/000001.tif", "-a", "/d/temp/200510012345.tif", "-w", "210", "-l", "297"}));
  EXPECT_EQ(SplitCommandLine("  a\t\tb  "), (Args{"a", "b"}));
  EXPECT_EQ(SplitCommandLine(""), Args{});
  EXPECT_EQ(SplitCommandLine("\"\""), Args{""});
  EXPECT_EQ(SplitCommandLine("\"/my dir/\xb5\xe7 \xb3\xd8.pdf\""), Args{"/my dir/\xb5\xe7 \xb3\xd8.pdf"});
  EXPECT_EQ(SplitCommandLine("ab\"c d\"e"), Args{"abc de"});
}

TEST(SplitCommandLine, BackslashAndDoubledQuoteRules) {
  EXPECT_EQ(SplitCommandLine(R"(a\b c\\d)"), (Args{R"(a\b)", R"(c\\d)"}));  // literal
  EXPECT_EQ(SplitCommandLine(R"(\"x)"), Args{"\"x"});                       // \" is a quote
  EXPECT_EQ(SplitCommandLine(R"("a\\" b)"), (Args{R"(a\)", "b"}));          // 2n -> n, quote ends
  EXPECT_EQ(SplitCommandLine(R"("a\\\"b")"), Args{R"(a\"b)"});              // 2n+1 -> n and a quote
  EXPECT_EQ(SplitCommandLine(R"("say ""hi"" now")"), Args{R"(say "hi" now)"});
}

TEST(SplitCommandLine, InjectionStaysOneHarmlessArgument) {
  EXPECT_EQ(SplitCommandLine("\"/tmp/t/; rm -rf x; .pdf\""), Args{"/tmp/t/; rm -rf x; .pdf"});
  EXPECT_EQ(SplitCommandLine("\"$(touch x)`id`|&>\""), Args{"$(touch x)`id`|&>"});
}

namespace {

std::string MakeTemp() {
  char tmpl[] = "/tmp/varnolt-tools-XXXXXX";
  return ::mkdtemp(tmpl);
}

// A one-page bilevel TIFF whose first row is all black when `black`.
void WritePage(const std::string& path, bool black, int width) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, 8);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8);
  std::vector<unsigned char> row((width + 7) / 8, black ? 0xFF : 0x00);
  for (int y = 0; y < 8; ++y) TIFFWriteScanline(t, row.data(), y, 0);
  TIFFClose(t);
}

std::vector<int> PageWidths(const std::string& path) {
  std::vector<int> widths;
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (!t) return widths;
  do {
    uint32_t w = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    widths.push_back(static_cast<int>(w));
  } while (TIFFReadDirectory(t));
  TIFFClose(t);
  return widths;
}

}  // namespace

TEST(RunTool, RealTiffcpAppendsPagesInOrderThroughChinesePaths) {
  std::string dir = MakeTemp();
  ASSERT_TRUE(CreateDir(TPath::FromSystem(dir) + "/\xc1\xd9\xca\xb1 dir"));  // 临时 dir
  std::string utf8Dir = dir + "/临时 dir";
  WritePage(utf8Dir + "/000001.tif", true, 64);
  WritePage(utf8Dir + "/000002.tif", false, 128);
  for (const char* page : {"000001.tif", "000002.tif"}) {
    std::string params = "\"" + utf8Dir + "/" + page + "\" -a \"" + utf8Dir + "/200510012345.tif\" -w 210 -l 297";
    EXPECT_EQ(RunTool(ToolPath("tiffcp"), params), 0);
  }
  EXPECT_EQ(PageWidths(utf8Dir + "/200510012345.tif"), (std::vector<int>{64, 128}));
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(RunTool, MissingProgramIsAStatusAndArgumentsNeverReachAShell) {
  EXPECT_EQ(RunTool(TPath::FromSystem("/nonexistent/tool"), "a b"), kToolNotStarted);
  EXPECT_EQ(RunTool(TPath::FromSystem("no-such-tool-on-path-varnolt"), ""), kToolNotStarted);
  std::string dir = MakeTemp();
  std::string marker = dir + "/pwned";
  // A shell would run the touch; echo merely prints its arguments.
  EXPECT_EQ(RunTool(TPath::FromSystem("echo"), "\"; touch " + marker + "; \" $(touch " + marker + ")"), 0);
  EXPECT_FALSE(FileExists(TPath::FromSystem(marker)));
  EXPECT_EQ(RunTool(TPath::FromSystem("sh"), "-c \"exit 3\""), 3);
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(RunTool, OptionsSetTheToolsEnvironmentAndTakeItsOutput) {
  std::string dir = MakeTemp();
  TToolOptions options;
  options.environment = {"OMP_THREAD_LIMIT=1", "HOME=/elsewhere"};
  options.output = TPath::FromSystem(dir + "/out.txt");
  EXPECT_EQ(RunTool(TPath::FromSystem("sh"), "-c \"echo $OMP_THREAD_LIMIT $HOME; echo err >&2; test -n \"$PATH\"\"", 5000,
                    options),
            0);
  EXPECT_EQ(ReadFileBytes(options.output), "1 /elsewhere\nerr\n");
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(RunTool, AStuckToolIsKilledAtItsLimit) {
  EXPECT_EQ(RunTool(TPath::FromSystem("sleep"), "30", 200), kToolKilled);
}
