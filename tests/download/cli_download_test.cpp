// varnolt-cli download run as its own process from a program directory of its own.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "tests/support/cliprogram.h"

namespace {

TEST(CliDownload, PrintsTheLinesAndTheReportPathAndExitsZero) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  WriteFileBytes(cli.data + "/list.txt", "02123456\n200630012345\n");
  // The typed duplicate is ignored; the typed new number comes after the file's lines.
  CliResult r = cli.Run({"download", "--file", (cli.data + "/list.txt").Bytes(), " 02123456 ", "01900123"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 11u) << r.out;
  EXPECT_EQ(lines[0], "开始检索，请稍候...");
  EXPECT_EQ(lines[1], "开始下载第1个记录(02123456)的相关文件");
  EXPECT_EQ(lines[4], "开始下载第2个记录(200630012345)的相关文件");
  EXPECT_EQ(lines[6], "开始下载第3个记录(01900123)的相关文件");
  EXPECT_EQ(lines[9], "处理完毕！");
  EXPECT_EQ(lines[10], (cli.data + "/data/temp/index.html").Bytes());
  EXPECT_TRUE(FileExists(cli.data + "/data/temp/index.html"));
  EXPECT_TRUE(FileExists(TPath::FromSystem(cli.data.Bytes() + "/data/pdf/一种电池隔膜.pdf")));
  // The report links the stylesheet of the program directory it ran from.
  EXPECT_NE(ReadFileBytes(cli.data + "/data/temp/index.html").find("href=\"" + cli.dir.Bytes() + "/main.css\""),
            std::string::npos);
}

TEST(CliDownload, WrongArgumentsAndEmptyListsExitTwo) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  CliResult wrong = cli.Run({"download", "02123456", "1234567"});
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_EQ(wrong.err, "对不起，您输入的申请号格式不正确！\n");
  EXPECT_EQ(wrong.out, "");

  CliResult none = cli.Run({"download"});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_EQ(none.err, "您还尚未输入任何申请号/授权号！\n");

  WriteFileBytes(cli.data + "/empty.txt", "");
  CliResult emptyFile = cli.Run({"download", "--file", (cli.data + "/empty.txt").Bytes()});
  EXPECT_EQ(emptyFile.exitCode, 2);
  EXPECT_EQ(emptyFile.err, "您还尚未输入任何申请号/授权号！\n");

  EXPECT_EQ(cli.Run({"download", "--file", (cli.data + "/missing.txt").Bytes()}).exitCode, 2);
  EXPECT_EQ(cli.Run({"download", "--bogus"}).exitCode, 2);
  EXPECT_FALSE(DirectoryExists(cli.data + "/data")) << "nothing ran";
}

TEST(CliDownload, AnEarlyEndExitsOneWithoutAReport) {
  DemoSite site({"--fail", "recid=CN02123456"});
  CliProgram cli;
  cli.PointAt(site);
  CliResult r = cli.Run({"download", "02123456", "03234567"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(SplitLines(r.out), (std::vector<std::string>{"开始检索，请稍候...", "开始下载第1个记录(02123456)的相关文件"}));
  EXPECT_FALSE(FileExists(cli.data + "/data/temp/index.html"));
}

}  // namespace
