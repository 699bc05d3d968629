#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "tests/support/demosite.h"

namespace {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// varnolt-cli reads hosts.ini and savefile.ini beside itself, so each test runs a copy in
// a program directory of its own.
class CliSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    fs::create_directory(app_.Path() + "/app");
    fs::copy_file(std::string(VARNOLT_APP_DIR) + "/varnolt-cli", app_.Path() + "/app/varnolt-cli");
    fs::copy_file(std::string(VARNOLT_APP_DIR) + "/main.css", app_.Path() + "/app/main.css");
    WriteTextLines(app_.Path() + "/app/savefile.ini", {"[savefile]", "savepath=" + data_.Path()});
  }

  CliResult Run(const std::string& args) {
    std::string errFile = app_.File("stderr.txt");
    std::string cmd = "'" + app_.Path() + "/app/varnolt-cli' search " + args + " 2>'" + errFile + "'";
    CliResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = ReadFileBytes(errFile);
    return r;
  }

  TempDir app_;
  TempDir data_;
};

std::string LastLine(const std::string& out) {
  std::string s = out;
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s.substr(s.rfind('\n') + 1);
}

}  // namespace

TEST_F(CliSearch, NormalRunPrintsProgressAndTheReportPathLast) {
  DemoSite site;
  site.WriteHostsIni(app_.Path() + "/app/hosts.ini");
  CliResult r = Run("--title '一种电池隔膜' --patentee");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\t开始检索,请稍候...\n"), std::string::npos);
  EXPECT_NE(r.out.find("\t**共检索到34条匹配记录**\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n处理完毕！\n"), std::string::npos);
  const std::string path = LastLine(r.out);
  EXPECT_EQ(path, data_.Path() + "/data/query/名称=(一种电池隔膜) .html");
  EXPECT_TRUE(FileExists(Utf8ToGbk(path)));
}

TEST_F(CliSearch, EmptyConditionAndBadArgumentsExitTwo) {
  CliResult r = Run("--title '   ' --legal-status");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "对不起，您还没有输入检索条件！\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Run("--bogus").status, 2);
  EXPECT_EQ(Run("--title").status, 2);
  CliResult help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--first-claim"), std::string::npos);
}

TEST_F(CliSearch, EarlyEndExitsOne) {
  DemoSite site({"--fail", "hyjs-jieguo"});
  site.WriteHostsIni(app_.Path() + "/app/hosts.ini");
  CliResult r = Run("--class h01m");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("开始检索,请稍候..."), std::string::npos);
  EXPECT_EQ(r.out.find("处理完毕"), std::string::npos);
  EXPECT_FALSE(DirectoryExists(data_.Path() + "/data/query"));
}
