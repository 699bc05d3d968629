// varnolt-cli watch: adding, listing and removing watches and their wrong usage; runs
// against the demo's OPS role standing at two days (the news, the new documents, nothing
// twice, a notification), a run a quota ends and the run after it; and the schedule's files
// written and read back without a systemd to talk to.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <set>

#include "base/files.h"
#include "library/sqlite.h"
#include "library/watches.h"
#include "tests/support/cliprogram.h"
#include "tests/support/sessionbus.h"
#include "tests/support/textcheck.h"

namespace {

using nlohmann::json;
using Names = std::set<std::string>;

// The demo's OPS role standing at a day (its default without one), and the environment a
// run of varnolt-cli needs to reach it.
struct OpsSite {
  explicit OpsSite(std::vector<std::string> args)
      : site(std::move(args), true, true),
        ca("SSL_CERT_FILE", site.CaFile().Bytes()),
        key("VARNOLT_OPS_KEY", std::string(DemoSite::kOpsKey)),
        secret("VARNOLT_OPS_SECRET", std::string(DemoSite::kOpsSecret)) {}
  // The publications whose page images were asked for: "CN119678901A".
  Names Images() const {
    Names docs;
    for (const DemoLogEntry& e : site.Log()) {
      const size_t at = e.target.find("/images/CN/");
      if (at == std::string::npos) continue;
      const std::vector<std::string> parts = SplitPath(e.target.substr(at + 11));
      if (parts.size() >= 2) docs.insert("CN" + parts[0] + parts[1]);
    }
    return docs;
  }
  static std::vector<std::string> SplitPath(const std::string& s) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at; (at = s.find('/', from)) != std::string::npos; from = at + 1) parts.push_back(s.substr(from, at - from));
    parts.push_back(s.substr(from));
    return parts;
  }
  DemoSite site;
  ScopedEnv ca, key, secret;
};

json ReadJson(const CliProgram& cli, const std::string& name) {
  return json::parse(ReadFileBytes(cli.data + ("/" + name)));
}

Names NewNumbers(const json& run) {
  Names numbers;
  for (const json& r : run["new"]) numbers.insert(r["number"].get<std::string>());
  return numbers;
}

// "number what before -> after" of each change.
Names Changes(const json& run) {
  Names changes;
  for (const json& c : run["changed"])
    changes.insert(c["number"].get<std::string>() + " " + c["what"].get<std::string>() + " " +
                   c["before"].get<std::string>() + " -> " + c["after"].get<std::string>());
  return changes;
}

const Names kMakersAtNewYear = {"202310123456", "202320654321", "202210987654",
                                "202020111222", "202410555666", "202420555777"};

TEST(CliWatch, TwoDaysBringTheNewsAndTheirDocumentsOnceEach) {
  SessionBus bus;
  NotificationService shown(bus.Address());
  CliProgram cli;
  cli.environment = {"DBUS_SESSION_BUS_ADDRESS=" + bus.Address()};
  ASSERT_EQ(cli.Run({"watch", "add", "长江", "--applicant", "长江变速器", "--legal", "--download"}).exitCode, 0);
  {
    OpsSite was({"--ops-today", "20250101", "--pages", "1"});
    cli.PointAt(was.site);
    CliResult first = cli.Run({"watch", "run", "长江", "--json", (cli.data + "/1.json").Bytes()});
    ASSERT_EQ(first.exitCode, 0) << first.err << first.out;
    const json run = ReadJson(cli, "1.json");
    EXPECT_EQ(run["watch"], "长江");
    EXPECT_EQ(NewNumbers(run), kMakersAtNewYear);  // the first run: everything is new
    EXPECT_TRUE(run["changed"].empty());
    EXPECT_EQ(was.Images(), (Names{"CN116789012A", "CN219345678U", "CN115012345B", "CN211234567U", "CN118123456A",
                                   "CN221234567U"}));
    EXPECT_TRUE(shown.Received().empty());  // news of a run without --notify go to the terminal only
  }
  OpsSite now({"--pages", "1"});
  cli.PointAt(now.site);
  CliResult second = cli.Run({"watch", "run", "--all", "--notify", "--json", (cli.data + "/2.json").Bytes()});
  ASSERT_EQ(second.exitCode, 0) << second.err << second.out;
  const json run = ReadJson(cli, "2.json");
  EXPECT_EQ(NewNumbers(run), Names{"202411223344"});
  EXPECT_EQ(Changes(run), (Names{"202310123456 publication CN116789012A -> CN116789012A; CN116789012B",
                                 "202310123456 legal_state 审中：实质审查的生效 2023-10-27 -> 有效：授权 2025-04-15",
                                 "202320654321 legal_state 有效：授权 2023-08-22 -> 失效：专利权的主动放弃 2025-04-15",
                                 "202020111222 legal_state 有效：授权 2020-09-08 -> 失效：未缴年费专利权终止 2025-05-20"}));
  // Exactly the new documents: the new application's and the grant.
  EXPECT_EQ(now.Images(), (Names{"CN119678901A", "CN116789012B"}));
  EXPECT_NE(second.out.find("新申请\t202411223344\tCN119678901A\t"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find("新公布\t202310123456\tCN116789012B\t"), std::string::npos) << second.out;
  const std::string report = LastLine(second.out);
  EXPECT_EQ(report, run["report"].get<std::string>());
  const std::string page = ReadFileBytes(TPath::FromSystem(report));
  EXPECT_EQ(Count(page, "class=\"detail watchnew\""), 1);
  EXPECT_EQ(Count(page, "class=\"detail watchchanged\""), 3);
  EXPECT_NE(page.find("data-chart=\"legal\""), std::string::npos);
  ASSERT_EQ(shown.Received().size(), 1u);
  EXPECT_NE(shown.Received()[0].summary.find("长江"), std::string::npos);
  EXPECT_NE(shown.Received()[0].body.find("1"), std::string::npos);
  {
    // The narrowed search asked from a month before the newest publication the first run saw.
    TLibrary library(cli.data);
    TStatement q(library.Db(), "SELECT searched_from FROM watch_runs ORDER BY run_id");
    ASSERT_TRUE(q.Step());
    EXPECT_EQ(q.Text(0), "");
    ASSERT_TRUE(q.Step());
    EXPECT_EQ(q.Text(0), "2024-06-11");
    q.Reset();
  }

  // The same day again: nothing is news, nothing is fetched.
  const size_t images = now.Images().size();
  CliResult third = cli.Run({"watch", "run", "长江", "--notify", "--json", (cli.data + "/3.json").Bytes()});
  ASSERT_EQ(third.exitCode, 0) << third.err;
  EXPECT_TRUE(ReadJson(cli, "3.json")["new"].empty());
  EXPECT_TRUE(ReadJson(cli, "3.json")["changed"].empty());
  EXPECT_EQ(now.Images().size(), images);
  EXPECT_EQ(shown.Received().size(), 1u);
  EXPECT_NE(LastLine(third.out), report);  // a run of the same day keeps the earlier report
  CliResult list = cli.Run({"watch", "list"});
  EXPECT_NE(list.out.find("：新 0 条，变化 0 条\t已知 7 条"), std::string::npos) << list.out;
}

TEST(CliWatch, ARunAQuotaEndsKeepsWhatItSawAndTheNextFindsTheRest) {
  CliProgram cli;
  ASSERT_EQ(cli.Run({"watch", "add", "q", "--applicant", "长江变速器", "--legal-status"}).exitCode, 0);
  Names early;
  {
    OpsSite limited({"--ops-quota", "hour:4"});
    cli.PointAt(limited.site);
    CliResult r = cli.Run({"watch", "run", "q", "--json", (cli.data + "/1.json").Bytes()});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    const json run = ReadJson(cli, "1.json");
    early = NewNumbers(run);
    EXPECT_FALSE(run["ended_early"].is_null());
    EXPECT_LT(early.size(), 7u);
  }
  OpsSite open({});
  cli.PointAt(open.site);
  CliResult r = cli.Run({"watch", "run", "q", "--json", (cli.data + "/2.json").Bytes()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Names later = NewNumbers(ReadJson(cli, "2.json"));
  // Nothing twice, nothing lost.
  Names all = early;
  all.insert(later.begin(), later.end());
  EXPECT_EQ(all.size(), early.size() + later.size());
  Names expected = kMakersAtNewYear;
  expected.insert("202411223344");
  EXPECT_EQ(all, expected);
}

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
           {{"watch", "run", "没有"}, "没有这个名称的监视：没有\n"},
           {{"watch", "run"}, ""},
           {{"watch", "run", "--all", "伞"}, ""},
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
