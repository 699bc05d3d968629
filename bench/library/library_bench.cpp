// Library benchmark: a library of synthetic records with ten page texts each, written
// through TLibraryWriter one transaction per record; then
//   - find of a rare and of a common Chinese word (median of many runs) against
//     `grep -rlF` over the same page texts written as one file each (median of a few);
//   - the export of every record to .xlsx against Python's openpyxl (write-only mode, its
//     fastest) writing the same rows.
//
//   build/bin/library_bench [RECORDS] [DIR]     (100000 records; DIR defaults to a temporary folder)
//
// Prints the insert rate, the library's size, each timing and the ratios. Goals: find at
// least 100 times faster than grep, the export at least twice as fast as openpyxl.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/files.h"
#include "library/export.h"
#include "library/library.h"
#include "library/sqlite.h"
#include "tests/support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

constexpr int kPages = 10;
// A page is made of words of two halves; each word shows up on roughly one page in eight.
const char* const kHeads[] = {"电池", "隔膜", "基膜", "涂层", "连接", "固定", "传动", "控制", "传感", "散热", "导电", "绝缘",
                              "正极", "负极", "电解", "微孔", "密封", "滑动", "转动", "显示", "通信", "温度", "压力", "流量",
                              "锂离"};
const char* const kTails[] = {"装置", "结构", "组件", "单元", "模块", "系统", "方法", "材料", "部件", "机构", "电路", "层",
                              "板", "轴", "件", "器", "体", "片", "座", "架", "管", "阀", "泵", "圈", "环"};
constexpr int kHeadCount = sizeof kHeads / sizeof kHeads[0], kTailCount = sizeof kTails / sizeof kTails[0];
const char kRare[] = "石墨烯气凝胶";  // on 12 pages only
const char kCommon[] = "连接装置";      // one of the words

std::string PageText(std::mt19937& rng, bool rare) {
  std::uniform_int_distribution<int> head(0, kHeadCount - 1), tail(0, kTailCount - 1);
  std::string text;
  for (int w = 0; w < 55; ++w) {
    text += std::string(kHeads[head(rng)]) + kTails[tail(rng)];
    if (w % 7 == 6) text += "，";
    if (w % 19 == 18) text += "。\n";
    if (rare && w == 20) text += kRare;
  }
  return text;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? long(st.st_size) : 0;
}

// Wall time of a shell command.
double TimeCommand(const std::string& command) {
  const auto t = Clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return Since(t);
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
  std::unique_ptr<TempDir> temp;
  TPath root;
  if (argc > 2) {
    root = TPath::FromSystem(argv[2]);
    ForceDirectories(root);
  } else {
    temp = std::make_unique<TempDir>();
    root = temp->Path();
  }
  const std::string texts = root.Bytes() + "/texts";
  std::printf("library benchmark: %d records, %d page texts, in %s\n", records, records * kPages, root.c_str());

  // ---- Inserting ----
  std::mt19937 rng(20080106);
  std::uniform_int_distribution<int> rarePick(0, records * kPages - 1);
  std::vector<int> rarePages;
  for (int i = 0; i < 12; ++i) rarePages.push_back(rarePick(rng));
  double insertSeconds = 0, fileSeconds = 0;
  {
    TLibraryWriter run(root, {"import", "", "benchmark", ""});
    for (int r = 0; r < records; ++r) {
      TPatentRecord rec;
      rec.application = std::to_string(200810000000L + r);
      rec.title = std::string("一种") + kHeads[r % kHeadCount] + kTails[(r / 7) % kTailCount];
      rec.abstractText = PageText(rng, false);
      rec.abstractText.resize(rec.abstractText.find('\n'));
      rec.applicants = {"公司" + std::to_string(r % 997)};
      rec.inventors = {"发明人" + std::to_string(r % 4999)};
      rec.ipc = {"H01M2/16"};
      rec.applicationDate = "2008-03-01";
      rec.publications = {{"CN" + std::to_string(101000000 + r) + "A", "2009-01-07"}};
      TDocumentRecord doc;
      doc.application = rec.application;
      doc.path = "data/pdf/" + std::to_string(r) + ".pdf";
      doc.pages = kPages;
      doc.hasTextLayer = true;
      for (int p = 0; p < kPages; ++p)
        doc.pageTexts.push_back(PageText(rng, std::count(rarePages.begin(), rarePages.end(), r * kPages + p) > 0));
      auto t = Clock::now();
      run.Met(rec);
      run.Document(doc);
      insertSeconds += Since(t);
      // The same texts as files for grep, a folder per record.
      t = Clock::now();
      const TPath dir = TPath::FromSystem(texts + "/" + std::to_string(r / 1000) + "/" + std::to_string(r));
      ForceDirectories(dir);
      for (int p = 0; p < kPages; ++p) WriteFileBytes(dir + ("/" + std::to_string(p + 1) + ".txt"), doc.pageTexts[p]);
      fileSeconds += Since(t);
      if ((r + 1) % 10000 == 0) std::fprintf(stderr, "  %d records\n", r + 1);
    }
    run.Finish({records, 0, "done"});
  }
  const std::string db = TLibrary::FilePath(root).Bytes();
  auto tidyStart = Clock::now();
  TLibrary(root).Tidy(-1);
  const double tidySeconds = Since(tidyStart);
  TLibrary(root).Db().Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  std::printf("insert: %.1f s, %.0f records/s (%.0f page texts/s), one transaction per record and per document\n",
              insertSeconds, records / insertSeconds, records * kPages / insertSeconds);
  std::printf("tidy (merging the index segments, as an import ends): %.1f s\n", tidySeconds);
  std::printf("library size: %.1f MB (page text %.1f MB as files' contents)\n", FileSize(db) / 1e6,
              double(records) * kPages * PageText(rng, false).size() / 1e6);

  // ---- Find against grep ----
  TLibrary lib(root);
  for (const char* word : {kRare, kCommon, "电解"}) {
    std::vector<double> finds;
    size_t hits = 0;
    for (int i = 0; i < 21; ++i) {
      const auto t = Clock::now();
      hits = lib.Find({word}).size();
      finds.push_back(Since(t));
    }
    std::vector<double> greps;
    for (int i = 0; i < 3; ++i)
      greps.push_back(TimeCommand("grep -rlF '" + std::string(word) + "' " + texts + " | wc -l > " + root.Bytes() + "/grep.out"));
    const std::string matched = ReadFileBytes(TPath::FromSystem(root.Bytes() + "/grep.out"));
    std::printf("find %s: %zu records shown (limit 50), median %.4f s of 21; grep -rlF: %s files, median %.2f s of 3; "
                "grep / find = %.0f x\n",
                word, hits, Median(finds), std::to_string(std::atol(matched.c_str())).c_str(), Median(greps),
                Median(greps) / Median(finds));
  }

  // ---- Export against openpyxl ----
  const std::string xlsx = root.Bytes() + "/all.xlsx", csv = root.Bytes() + "/all.csv";
  std::vector<double> exports;
  for (int i = 0; i < 3; ++i) {
    const auto t = Clock::now();
    ExportRecords(lib.Records(), TPath::FromSystem(xlsx), root);
    exports.push_back(Since(t));
  }
  ExportRecords(lib.Records(), TPath::FromSystem(csv), root);
  // The same rows, read from the CSV before the clock starts, written by openpyxl.
  const std::string script = root.Bytes() + "/write.py";
  WriteFileBytes(TPath::FromSystem(script),
                 "import csv, sys, time, openpyxl\n"
                 "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))\n"
                 "t = time.perf_counter()\n"
                 "wb = openpyxl.Workbook(write_only=True)\n"
                 "ws = wb.create_sheet('patents')\n"
                 "for row in rows: ws.append(row)\n"
                 "wb.save(sys.argv[2])\n"
                 "print('%.3f' % (time.perf_counter() - t))\n");
  std::vector<double> pythons;
  for (int i = 0; i < 3; ++i) {
    const std::string out = root.Bytes() + "/py.out";
    TimeCommand("/usr/bin/python3 " + script + " " + csv + " " + root.Bytes() + "/py.xlsx > " + out);
    pythons.push_back(std::atof(ReadFileBytes(TPath::FromSystem(out)).c_str()));
  }
  std::printf("export of %d records to xlsx: median %.2f s of 3 (reading the library included, %.1f MB); "
              "openpyxl write-only: median %.2f s of 3; openpyxl / export = %.1f x\n",
              records, Median(exports), FileSize(xlsx) / 1e6, Median(pythons), Median(pythons) / Median(exports));
  return 0;
}
