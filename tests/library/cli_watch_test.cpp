// varnolt-cli watch: adding, listing and removing watches and their wrong usage, and the
// schedule's files written and read back without a systemd to talk to.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/files.h"
#include "library/watches.h"
#include "tests/support/cliprogram.h"
#include "tests/support/textcheck.h"

namespace {

TEST(CliWatch, AddListRemoveAndWrongUsage) {
  CliProgram cli;
  CliResult added = cli.Run({"watch", "add", "变速箱", "--title", "gearbox", "--legal-status", "--legal", "--ocr",
                             "--document", "both", "--max", "300"});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  EXPECT_EQ(cli.Run({"watch", "add", "伞", "--title", "umbrella"}).exitCode, 0);
  {
    TLibrary library(cli.data);
    std::optional<TWatch> w = TWatchStore(library).Find("变速箱");
    ASSERT_TRUE(w);
    // The search kept as typed, the watch's own options apart.
    EXPECT_EQ(w->search, (std::vector<std::string>{"--title", "gearbox", "--legal-status", "--max", "300"}));
    EXPECT_TRUE(w->download && w->ocr && w->legal);
    EXPECT_EQ(w->document, "both");
  }
  CliResult list = cli.Run({"watch", "list"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out,
            "伞\t--title umbrella\t尚未运行\t已知 0 条\n"
            "变速箱\t--title gearbox --legal-status --max 300 --download --document both --ocr --legal\t尚未运行\t"
            "已知 0 条\n");

  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {{"watch", "add", "伞", "--title", "x"}, "已有同名的监视：伞\n"},
           {{"watch", "add", "空", "--legal-status", "--download"}, "对不起，您还没有输入检索条件！\n"},
           {{"watch", "add", "a/b", "--title", "x"}, "监视的名称不能含有“/”或控制字符\n"},
           {{"watch", "add", "--title", "x"}, "监视的名称不能以“-”开头\n"},
           {{"watch", "add", "site", "--title", "x", "--source", "site"}, "监视只检索 EPO OPS：--source site 不能用于监视\n"},
           {{"watch", "add", "x", "--title", "x", "--document", "all"}, ""},
           {{"watch", "add", "x", "--title"}, ""},
           {{"watch", "add", "x", "--title", "x", "--json", "f"}, ""},
           {{"watch", "remove", "伞", "没有"}, "没有这个名称的监视：没有\n"},
           {{"watch", "schedule", "hourly"}, ""},
           {{"watch", "frobnicate"}, ""},
           {{"watch"}, ""},
       }) {
    CliResult r = cli.Run(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args.back();
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(r.out, "");
  }
  // Nothing of the refused ones was added or removed.
  CliResult removed = cli.Run({"watch", "remove", "伞"});
  EXPECT_EQ(removed.exitCode, 0);
  EXPECT_EQ(removed.out, "已删除监视：伞\n");
  list = cli.Run({"watch", "list"});
  EXPECT_EQ(Count(list.out, "\n"), 1) << list.out;
  EXPECT_EQ(list.out.rfind("变速箱\t", 0), 0u);
}

// A link as systemctl enable makes it: where it points.
std::string LinkTarget(const TPath& link) {
  char buf[4096];
  const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
  return n < 0 ? "" : std::string(buf, size_t(n));
}

TEST(CliWatch, ScheduleFilesWrittenAndReadBackWithoutSystemd) {
  CliProgram cli;
  TempDir config, runtime;
  // A user manager out of reach, whatever the machine has: systemctl --user fails to connect.
  cli.environment = {"XDG_CONFIG_HOME=" + config.Path().Bytes(), "XDG_RUNTIME_DIR=" + runtime.Path().Bytes(),
                     "DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime.Path().Bytes() + "/bus"};
  const TPath units = config.Path() + "/systemd/user";
  const std::string program = cli.dir.Bytes() + "/varnolt-cli";

  EXPECT_EQ(cli.Run({"watch", "schedule"}).out, "不定时运行\n");
  CliResult weekly = cli.Run({"watch", "schedule", "weekly"});
  EXPECT_EQ(weekly.exitCode, 1);
  EXPECT_NE(weekly.err.find("无法连接 systemd 的用户服务管理器"), std::string::npos) << weekly.err;
  EXPECT_EQ(LastLine(weekly.err), "0 9 * * 1 " + program + " watch run --all --notify");
  // Not installed: the units are written naming this program; the timer as packaged.
  const std::string service = ReadFileBytes(units + "/varnolt-watch.service");
  EXPECT_NE(service.find("\nExecStart=\"" + program + "\" watch run --all --notify\n"), std::string::npos) << service;
  const std::string timer = ReadFileBytes(units + "/varnolt-watch.timer");
  for (const char* line : {"\nOnCalendar=daily\n", "\nPersistent=true\n", "\nWantedBy=timers.target\n"})
    EXPECT_NE(timer.find(line), std::string::npos) << line;
  EXPECT_NE(ReadFileBytes(units + "/varnolt-watch.timer.d/schedule.conf").find("\nOnCalendar=\nOnCalendar=weekly\n"),
            std::string::npos);
  EXPECT_EQ(LinkTarget(units + "/timers.target.wants/varnolt-watch.timer"), units.Bytes() + "/varnolt-watch.timer");
  EXPECT_EQ(cli.Run({"watch", "schedule"}).out, "每周运行一次（systemd 用户计时器 varnolt-watch.timer）\n");

  EXPECT_EQ(cli.Run({"watch", "schedule", "daily"}).exitCode, 1);
  EXPECT_FALSE(FileExists(units + "/varnolt-watch.timer.d/schedule.conf"));
  EXPECT_EQ(cli.Run({"watch", "schedule"}).out, "每天运行一次（systemd 用户计时器 varnolt-watch.timer）\n");

  // Off holds without a manager: the link and the units written here are gone, a unit of
  // the user's own stays.
  WriteFileBytes(units + "/other.timer", "[Timer]\n");
  CliResult off = cli.Run({"watch", "schedule", "off"});
  EXPECT_EQ(off.exitCode, 0) << off.err;
  EXPECT_EQ(off.out, "不定时运行\n");
  EXPECT_FALSE(FileExists(units + "/timers.target.wants/varnolt-watch.timer"));
  EXPECT_FALSE(FileExists(units + "/varnolt-watch.service"));
  EXPECT_FALSE(FileExists(units + "/varnolt-watch.timer"));
  EXPECT_TRUE(FileExists(units + "/other.timer"));
}

}  // namespace
