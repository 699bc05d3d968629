// varnolt-cli download run as its own process from a program directory of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "tests/support/demosite.h"

extern char** environ;

namespace {

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A copy of the program with hosts.ini pointing at the site and savefile.ini at a data root.
class CliProgram {
 public:
  explicit CliProgram(const DemoSite& site) {
    namespace fs = std::filesystem;
    for (const char* f : {"varnolt-cli", "main.css"})
      fs::copy_file(std::string(VARNOLT_APP_DIR) + "/" + f, dir.File(f));
    site.WriteHostsIni(dir.File("hosts.ini"));
    WriteTextLines(dir.File("savefile.ini"), {"[savefile]", "savepath=" + data.Path()});
  }

  // Runs the copy with the arguments; killed after 180 s so a hang fails instead of blocking.
  CliResult Run(std::vector<std::string> args) const {
    args.insert(args.begin(), {dir.File("varnolt-cli"), "download"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    CliResult result;
    if (rc == 0) {
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
      pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
      int open = 2;
      while (open > 0) {
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0 || poll(fds, 2, left) <= 0) {
          kill(pid, SIGKILL);
          ADD_FAILURE() << "varnolt-cli did not end";
          break;
        }
        for (int i = 0; i < 2; ++i) {
          if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
          char buf[4096];
          ssize_t n = read(fds[i].fd, buf, sizeof buf);
          if (n > 0) {
            (i == 0 ? result.out : result.err).append(buf, size_t(n));
          } else {
            fds[i].fd = -1;
            --open;
          }
        }
      }
      int status = 0;
      waitpid(pid, &status, 0);
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(outPipe[0]);
    close(errPipe[0]);
    return result;
  }

  TempDir dir;
  TempDir data;
};

std::vector<std::string> Lines(const std::string& text) { return SplitLines(text); }

TEST(CliDownload, PrintsTheLinesAndTheReportPathAndExitsZero) {
  DemoSite site;
  CliProgram cli(site);
  WriteFileBytes(cli.data.File("list.txt"), "02123456\n200630012345\n");
  // The typed duplicate is ignored; the typed new number comes after the file's lines.
  CliResult r = cli.Run({"--file", cli.data.File("list.txt"), " 02123456 ", "01900123"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 11u) << r.out;
  EXPECT_EQ(lines[0], "开始检索，请稍候...");
  EXPECT_EQ(lines[1], "开始下载第1个记录(02123456)的相关文件");
  EXPECT_EQ(lines[4], "开始下载第2个记录(200630012345)的相关文件");
  EXPECT_EQ(lines[6], "开始下载第3个记录(01900123)的相关文件");
  EXPECT_EQ(lines[9], "处理完毕！");
  EXPECT_EQ(lines[10], cli.data.Path() + "/data/temp/index.html");
  EXPECT_TRUE(FileExists(lines[10]));
  EXPECT_TRUE(FileExists(Utf8ToGbk(cli.data.Path() + "/data/pdf/一种电池隔膜.pdf")));
  // The report links the stylesheet of the program directory it ran from.
  EXPECT_NE(ReadFileBytes(lines[10]).find("href=\"" + cli.dir.Path() + "/main.css\""), std::string::npos);
}

TEST(CliDownload, WrongArgumentsAndEmptyListsExitTwo) {
  DemoSite site;
  CliProgram cli(site);
  CliResult wrong = cli.Run({"02123456", "1234567"});
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_EQ(wrong.err, "对不起，您输入的申请号格式不正确！\n");
  EXPECT_EQ(wrong.out, "");

  CliResult none = cli.Run({});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_EQ(none.err, "您还尚未输入任何申请号/授权号！\n");

  WriteFileBytes(cli.data.File("empty.txt"), "");
  CliResult emptyFile = cli.Run({"--file", cli.data.File("empty.txt")});
  EXPECT_EQ(emptyFile.exitCode, 2);
  EXPECT_EQ(emptyFile.err, "您还尚未输入任何申请号/授权号！\n");

  EXPECT_EQ(cli.Run({"--file", cli.data.File("missing.txt")}).exitCode, 2);
  EXPECT_EQ(cli.Run({"--bogus"}).exitCode, 2);
  EXPECT_FALSE(DirectoryExists(cli.data.Path() + "/data")) << "nothing ran";
}

TEST(CliDownload, AnEarlyEndExitsOneWithoutAReport) {
  DemoSite site({"--fail", "recid=CN02123456"});
  CliProgram cli(site);
  CliResult r = cli.Run({"02123456", "03234567"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"开始检索，请稍候...", "开始下载第1个记录(02123456)的相关文件"}));
  EXPECT_FALSE(FileExists(cli.data.Path() + "/data/temp/index.html"));
}

}  // namespace
