#include <gtest/gtest.h>

#include "base/files.h"
#include "tests/support/cliprogram.h"
#include "tests/support/textcheck.h"

namespace {

// varnolt-cli reads hosts.ini and savefile.ini beside itself, so each test runs a copy in
// a program directory of its own.
class CliSearch : public ::testing::Test {
 protected:
  CliResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"search"};
    all.insert(all.end(), args.begin(), args.end());
    return cli_.Run(all);
  }
  CliProgram cli_;
};

}  // namespace

TEST_F(CliSearch, NormalRunPrintsProgressAndTheReportPathLast) {
  DemoSite site;
  cli_.PointAt(site);
  CliResult r = Run({"--title", "一种电池隔膜", "--patentee"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\t开始检索,请稍候...\n"), std::string::npos);
  EXPECT_NE(r.out.find("\t**共检索到34条匹配记录**\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n处理完毕！\n"), std::string::npos);
  const std::string path = LastLine(r.out);
  EXPECT_EQ(path, cli_.data.Bytes() + "/data/query/名称=(一种电池隔膜) .html");
  EXPECT_TRUE(FileExists(TPath::FromSystem(path)));
}

TEST_F(CliSearch, EmptyConditionAndBadArgumentsExitTwo) {
  CliResult r = Run({"--title", "   ", "--legal-status"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "对不起，您还没有输入检索条件！\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Run({"--bogus"}).exitCode, 2);
  EXPECT_EQ(Run({"--title"}).exitCode, 2);
  CliResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--first-claim"), std::string::npos);
}

TEST_F(CliSearch, EarlyEndExitsOne) {
  DemoSite site({"--fail", "hyjs-jieguo"});
  cli_.PointAt(site);
  CliResult r = Run({"--class", "h01m"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("开始检索,请稍候..."), std::string::npos);
  EXPECT_EQ(r.out.find("处理完毕"), std::string::npos);
  EXPECT_FALSE(DirectoryExists(cli_.data + "/data/query"));
}
