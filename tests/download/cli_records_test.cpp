// Results kept whole under real names and real interruptions, through varnolt-cli against
// the demo site: names that fit, PDFs that never replace each other, whole files only,
// one download run per data folder.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "base/errors.h"
#include "base/files.h"
#include "base/gbk.h"
#include "tests/support/cliprogram.h"
#include "tests/support/pagereaders.h"
#include "tests/support/textcheck.h"

namespace {

const std::string kLongTitle =
    "一种具有自动调节伞面角度功能并且能够在低温高湿以及强风暴雨等恶劣天气条件下长期稳定可靠使用的可折叠收纳式"
    "双层防风防紫外线遮阳雨伞及其伞骨连接结构和制造工艺以及配套的手提收纳袋与挂钩";
const std::string kFormatLine = "文件下载完毕,正在进行格式处理，请稍候...";

// The names in a folder, sorted; with hidden ones (temporary files) only when asked.
std::vector<std::string> Names(const TPath& dir, bool hidden = false) {
  std::vector<std::string> names;
  for (const DirEntry& e : ListDirectory(dir))
    if (hidden || e.name[0] != '.') names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(KeptRecords, NamesTooLongForTheFileSystemAreShortenedAndStillDistinct) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  CliResult search = cli.Run({"search", "--title", kLongTitle});
  ASSERT_EQ(search.exitCode, 0) << search.err;
  const std::string query = cli.data.Bytes() + "/data/query/";
  const std::string report = LastLine(search.out);
  ASSERT_EQ(report.rfind(query, 0), 0u) << report;
  const std::string name = report.substr(query.size());
  EXPECT_LE(name.size(), kMaxFileNameBytes);
  EXPECT_EQ(name.rfind("名称=(一种具有自动调节", 0), 0u) << name;
  EXPECT_EQ(name.size() - name.rfind('('), std::string("(12345678).html").size()) << name;
  EXPECT_EQ(Names(cli.data + "/data/query"), std::vector<std::string>{name}) << "the printed file is the one written";

  CliResult download = cli.Run({"download", "201210033333"});
  ASSERT_EQ(download.exitCode, 0) << download.err;
  std::vector<std::string> pdfs = Names(cli.data + "/data/pdf");
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_LE(pdfs[0].size(), kMaxFileNameBytes);
  EXPECT_EQ(pdfs[0].rfind("一种具有自动调节", 0), 0u);
  EXPECT_EQ(pdfs[0].substr(pdfs[0].size() - 18), "(201210033333).pdf");
  EXPECT_EQ(PdfPageCount(cli.data.Entry("data").Entry("pdf").Entry(pdfs[0])), 2);
  // The report links the file by its shortened name.
  const std::string page = ReadFileBytes(cli.data + "/data/temp/index.html");
  EXPECT_NE(page.find(Utf8ToGbk(pdfs[0]) + "\"s>"), std::string::npos);

  // Two texts that differ only past the cut keep apart.
  const std::string a = Utf8ToGbk(kLongTitle), b = Utf8ToGbk(kLongTitle + "甲");
  EXPECT_NE(FileNameFromText(a, ".html"), FileNameFromText(b, ".html"));
  EXPECT_EQ(FileNameFromText(Utf8ToGbk("名称=(一种折叠伞) "), ".html"), Utf8ToGbk("名称=(一种折叠伞) .html"));
}

TEST(KeptRecords, PatentsOfOneTitleKeepTheirOwnPdfs) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const TPath pdf = cli.data + "/data/pdf/";
  auto pages = [&](const std::string& name) { return PdfPageCount(pdf + Utf8ToGbk(name)); };

  // One run: the second patent of the title gets its number in its name, and each row
  // links its own PDF.
  CliResult first = cli.Run({"download", "201120011111", "201120022222"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(Names(pdf), (std::vector<std::string>{"一种折叠伞(201120022222).pdf", "一种折叠伞.pdf"}));
  EXPECT_EQ(pages("一种折叠伞.pdf"), 2);
  EXPECT_EQ(pages("一种折叠伞(201120022222).pdf"), 3);
  const std::string report = ReadFileBytes(cli.data + "/data/temp/index.html");
  EXPECT_EQ(Count(report, Utf8ToGbk("/data/pdf/一种折叠伞.pdf\"s>")), 1);
  EXPECT_EQ(Count(report, Utf8ToGbk("/data/pdf/一种折叠伞(201120022222).pdf\"s>")), 1);

  // A later run: a third patent of the title, found by a part of its number (the PDF is
  // named for the record found), then the first and second again, each into the PDF it
  // already has.
  WriteFileBytes(cli.data + "/list.txt", "0425678\r\n201120011111\r\n201120022222\r\n");
  CliResult second = cli.Run({"download", "--file", (cli.data + "/list.txt").Bytes()});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(Names(pdf), (std::vector<std::string>{"一种折叠伞(04256789).pdf", "一种折叠伞(201120022222).pdf",
                                                  "一种折叠伞.pdf"}));
  EXPECT_EQ(pages("一种折叠伞.pdf"), 2);
  EXPECT_EQ(pages("一种折叠伞(201120022222).pdf"), 3);
  EXPECT_EQ(pages("一种折叠伞(04256789).pdf"), 4);
  EXPECT_EQ(Names(pdf, true).size(), 3u) << "no temporary file stays";
}

TEST(KeptRecords, AKilledRunLeavesOnlyWholeFilesAndTheNextRunClearsItsLeftovers) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const TPath pdfDir = cli.data + "/data/pdf";
  const std::vector<std::string> numbers = {"download", "200880001234", "02123456", "03234567"};
  // The run, with its tools, killed while pages come in, while the converting tool writes
  // (a file it did not find has appeared in the PDF folder), and at the next record.
  auto whileConverting = [&] {
    return [&, before = Names(pdfDir, true)](const std::string&) { return Names(pdfDir, true) != before; };
  };
  const std::vector<std::function<bool(const std::string&)>> points = {
      [](const std::string& out) { return Count(out, "\n") >= 2; },
      whileConverting(),
      [](const std::string& out) { return out.find("开始下载第2个记录") != std::string::npos; },
  };
  for (size_t i = 0; i < points.size(); ++i) {
    CliResult killed = cli.Run(numbers, points[i]);
    EXPECT_EQ(killed.exitCode, -1) << "point " << i << ": " << killed.out;
    for (const std::string& name : Names(pdfDir))
      EXPECT_GT(PdfPageCount(pdfDir.Entry(name)), 0) << name << " at point " << i;
    const TPath report = cli.data + "/data/temp/index.html";
    if (FileExists(report)) EXPECT_EQ(LastLine(ReadFileBytes(report)), "</html>\r") << "point " << i;
    if (i == 1) EXPECT_EQ(Names(pdfDir, true).size(), Names(pdfDir).size() + 1) << "the conversion's temporary file";
  }
  CliResult whole = cli.Run(numbers);
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_EQ(Names(pdfDir, true),
            (std::vector<std::string>{"一种数据传输方法.pdf", "一种电池隔膜.pdf", "一种自行车刹车装置.pdf"}));
  for (const std::string& name : Names(cli.data + "/data/temp", true)) EXPECT_NE(name[0], '.') << name;
}

// A process named `name` that has a file open in dir whose name starts with prefix, and
// that file; {-1, ""} when there is none.
std::pair<pid_t, TPath> ProcessWithFileOpen(const std::string& name, const TPath& dir, const std::string& prefix) {
  for (const DirEntry& proc : ListDirectory(TPath::FromSystem("/proc"))) {
    if (proc.name.find_first_not_of("0123456789") != std::string::npos) continue;
    const TPath base = TPath::FromSystem("/proc/" + proc.name);
    std::string comm;
    try {
      comm = ReadFileBytes(base + "/comm");
    } catch (const EFileError&) {
      continue;
    }
    if (comm != name + "\n") continue;
    for (const DirEntry& fd : ListDirectory(base + "/fd")) {
      char target[4096];
      ssize_t n = readlink((base + "/fd/" + fd.name).c_str(), target, sizeof target);
      const std::string open(target, n > 0 ? size_t(n) : 0);
      if (open.rfind(dir.Bytes() + "/" + prefix, 0) == 0) return {pid_t(std::stol(proc.name)), TPath::FromSystem(open)};
    }
  }
  return {-1, TPath()};
}

// Whether a process has ended: gone, or a zombie that nobody has reaped yet.
bool Ended(pid_t pid) {
  std::string stat;
  try {
    stat = ReadFileBytes(TPath::FromSystem("/proc/" + std::to_string(pid) + "/stat"));
  } catch (const EFileError&) {
    return true;
  }
  size_t paren = stat.rfind(')');
  return paren == std::string::npos || stat.compare(paren + 1, 3, " Z ") == 0 || stat.compare(paren + 1, 3, " X ") == 0;
}

// Waits until every thread of the process is stopped (or it has ended); a stop signal
// reaches the threads one by one. A thread that started a tool by vfork waits for it in
// the kernel (D) while the tool is stopped before its exec: it stops on its way out, so
// it counts as stopped. False when that takes more than 10 s.
bool Stopped(pid_t pid) {
  const TPath tasks = TPath::FromSystem("/proc/" + std::to_string(pid) + "/task");
  for (int i = 0; i < 10000; ++i) {
    bool all = true;
    for (const DirEntry& task : ListDirectory(tasks)) {
      std::string stat;
      try {
        stat = ReadFileBytes(tasks + "/" + task.name + "/stat");
      } catch (const EFileError&) {
        continue;  // the thread has ended
      }
      size_t paren = stat.rfind(')');
      if (paren != std::string::npos && stat.size() > paren + 2 && std::string("TtZXD").find(stat[paren + 2]) == std::string::npos)
        all = false;
    }
    if (all) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return false;
}

TEST(KeptRecords, ARunKilledWhileItsConvertingToolWritesLeavesTheNextRunOnlyWholePdfs) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  const TPath pdfDir = cli.data + "/data/pdf";
  // However loaded the machine, the kill must find the converting tool writing. So the
  // run's process group (the run and its tools) is stopped once the conversion is
  // announced or its temporary file is there, and from then on let go some tens of
  // microseconds at a time until the tool's output holds bytes. It runs at the lowest
  // priority meanwhile, so that it can hardly get ahead while this test waits for a
  // processor. The tool is held still there, and the run alone is killed, as a user
  // kills it; it stays a zombie.
  pid_t run = -1;  // stored by Run when the run starts
  pid_t tool = -1;
  TPath partial;
  bool overshot = false;
  auto whileWriting = [&](const std::string& out) {
    if (run <= 0) return false;
    if (out.find(kFormatLine) == std::string::npos && Names(pdfDir, true).empty()) return false;
    kill(-run, SIGSTOP);
    setpriority(PRIO_PGRP, id_t(run), 19);  // the tool started later inherits it
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline && Stopped(run)) {
      auto [pid, file] = ProcessWithFileOpen("tiff2pdf", pdfDir, ".varnolt-");
      if (pid > 0 && Stopped(pid) && FileExists(file) && !ReadFileBytes(file).empty()) {
        tool = pid;
        partial = file;
        return true;
      }
      if (!Names(pdfDir).empty() || Ended(run)) break;  // the conversion is over already
      kill(-run, SIGCONT);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      kill(-run, SIGSTOP);
    }
    overshot = true;
    kill(-run, SIGCONT);
    return true;
  };
  CliResult killed = cli.Run({"download", "200880001234"}, whileWriting, &run);
  ASSERT_FALSE(overshot) << "the converting tool was never seen writing: " << killed.out;
  ASSERT_GT(tool, 0) << killed.out;
  ASSERT_GT(run, 0);
  // The tool does not outlive the run, stopped as it is.
  for (int i = 0; i < 1000 && !Ended(tool); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(Ended(tool));
  EXPECT_EQ(kill(run, 0), 0) << "the killed run is still there to be found";
  const std::string left = ReadFileBytes(partial);
  ASSERT_EQ(left.rfind("%PDF", 0), 0u) << "a partial PDF is left";

  CliResult next = cli.Run({"download", "02123456"});
  ASSERT_EQ(next.exitCode, 0) << next.err;
  EXPECT_FALSE(FileExists(partial));
  for (const std::string& name : Names(pdfDir, true)) {
    const TPath file = pdfDir.Entry(name);
    if (ReadFileBytes(file).rfind("%PDF", 0) == 0) EXPECT_GT(PdfPageCount(file), 0) << name << " is not whole";
  }
  EXPECT_EQ(Names(pdfDir, true), (std::vector<std::string>{"一种电池隔膜.pdf"}));
  waitpid(run, nullptr, 0);
}

TEST(KeptRecords, TwoRunsOnOneDataFolderTakeTurns) {
  DemoSite site;
  CliProgram cli;
  cli.PointAt(site);
  CliResult a, b;
  std::thread other([&] { a = cli.Run({"download", "200880001234", "03234567"}); });
  b = cli.Run({"download", "02123456", "01900123"});
  other.join();
  ASSERT_EQ(a.exitCode, 0) << a.err;
  ASSERT_EQ(b.exitCode, 0) << b.err;
  EXPECT_EQ(Count(a.out + b.out, "另一个下载正在使用此数据目录，等它结束后开始..."), 1) << a.out << b.out;
  const TPath pdf = cli.data + "/data/pdf/";
  for (auto [title, number, count] : {std::tuple{"一种数据传输方法", "200880001234", 40},
                                      {"一种自行车刹车装置", "03234567", 5},
                                      {"一种电池隔膜", "02123456", 3},
                                      {"一种洗衣机的固定装置", "01900123", 1}}) {
    const TPath file = pdf + Utf8ToGbk(std::string(title) + ".pdf");
    ASSERT_EQ(PdfPageCount(file), count) << title;
    // Every page is the record's own: the merged images were never shared.
    const TPath merged = cli.data + "/data/temp/" + number + ".tif";
    for (int page = 0; page < count; ++page) {
      auto mark = ReadTiffPageMark(merged, page);
      ASSERT_TRUE(mark) << number << " page " << page + 1;
      EXPECT_EQ(mark->number, number);
      EXPECT_EQ(mark->page, page + 1);
    }
  }
}

}  // namespace
