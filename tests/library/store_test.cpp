// The library file as runs write it: each record and document once, the merge of what
// several runs met, the documented view, a writer killed mid-run, two processes at once,
// and a library that cannot be used never failing the run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "library/schema.h"
#include "tests/library/librarytest.h"
#include "tests/support/tempdir.h"

namespace {

TDocumentRecord SampleDocument(const std::string& application, const std::string& name) {
  TDocumentRecord d;
  d.application = application;
  d.publication = "CN101591226B";
  d.path = "data/pdf/" + name;
  d.pages = 3;
  d.sections = {{"abstract", 1}, {"claims", 2}};
  d.hasTextLayer = true;
  d.pageTexts = {"第一页的文字", "", "1．一种电池隔膜，其特征在于"};
  return d;
}

TEST(LibraryStore, ARunWritesItsRecordsAndDocumentsOnceAndTheViewShowsThem) {
  TempDir root;
  {
    TLibraryWriter run(root.Path(), {"download", "ops", "200810105070", ""});
    TPatentRecord r = SampleRecord("200810105070", "一种电池隔膜的制造方法");
    run.Met(r);
    run.Met(r);  // met again in the same run (a second publication's PDF)
    run.Met(SampleRecord("200510012345", "一种折叠伞"));
    run.Document(SampleDocument("200810105070", "隔膜 CN101591226B.pdf"));
    run.Document(SampleDocument("200810105070", "隔膜 CN101591226B.pdf"));  // written again: replaced
    run.Finish({2, 0, "done"});
    EXPECT_EQ(run.AddedRecords(), 2);
    EXPECT_EQ(run.AddedDocuments(), 1);
  }
  TLibrary lib(root.Path());
  EXPECT_TRUE(FileExists(root.Path() + "/data/library.db"));
  EXPECT_EQ(lib.SchemaVersion(), int(LibraryMigrations().size()));
  EXPECT_EQ(Count(lib, "records"), 2);
  EXPECT_EQ(Count(lib, "publications"), 4);
  EXPECT_EQ(Count(lib, "documents"), 1);
  EXPECT_EQ(Count(lib, "page_texts"), 2);  // the empty page keeps no row
  EXPECT_EQ(Count(lib, "run_records"), 2);
  EXPECT_EQ(Scalar(lib, "SELECT records || '/' || documents || '/' || found || '/' || outcome FROM runs"), "2/2/2/done");
  EXPECT_EQ(Scalar(lib, "SELECT journal_mode FROM pragma_journal_mode"), "wal");

  TStatement view(lib.Db(),
                  "SELECT application, publications, title, title_en, applicants, inventors, application_date, "
                  "publication_date, grant_date, ipc, cpc, legal_status, family_id, pdf FROM patents "
                  "WHERE application = '200810105070'");
  ASSERT_TRUE(view.Step());
  EXPECT_EQ(view.Text(1), "CN1105070A; CN1105070B");
  EXPECT_EQ(view.Text(2), "一种电池隔膜的制造方法");
  EXPECT_TRUE(view.IsNull(3));
  EXPECT_EQ(view.Text(4), "华为技术有限公司");
  EXPECT_EQ(view.Text(5), "王芳; 李强");
  EXPECT_EQ(view.Text(6), "2008-03-01");  // written as 20080301
  EXPECT_EQ(view.Text(7), "2009-01-07");  // the first publication's date, no source gave one
  EXPECT_TRUE(view.IsNull(8));
  EXPECT_EQ(view.Text(9), "H01M2/16; H01M10/05");
  EXPECT_EQ(view.Text(13), "data/pdf/隔膜 CN101591226B.pdf");
  view.Reset();

  const std::vector<std::string> pages = lib.PageTexts("data/pdf/隔膜 CN101591226B.pdf");
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[2], "1．一种电池隔膜，其特征在于");
  EXPECT_EQ(Scalar(lib, "SELECT sections FROM documents"), R"([{"kind":"abstract","page":1},{"kind":"claims","page":2}])");
}

TEST(LibraryStore, NewerFactsReplaceOlderOnesFillGapsAndEmptyNeverClears) {
  TempDir root;
  TPatentRecord first = SampleRecord("200810105070", "一种电池隔膜的制造方法");
  first.abstractText = "旧摘要";
  {
    TLibraryWriter run(root.Path(), {"search", "ops", "q", "2020-01-01 10:00:00"});
    run.Met(first);
  }
  {
    // A later site search: another title, no abstract, no dates.
    TPatentRecord later;
    later.application = "200810105070";
    later.title = "电池隔膜的制造方法";
    later.legalStatus = "专利权的终止";
    later.publications = {{"CN1105070B", "2011-05-04"}};
    TLibraryWriter run(root.Path(), {"search", "site", "q", "2021-01-01 10:00:00"});
    run.Met(later);
    // An import of an older report: it may only fill what is still empty.
    TPatentRecord older;
    older.application = "CN200810105070.8";
    older.title = "更旧的名称";
    older.familyId = "38890001";
    run.Met(older, "2019-06-01 00:00:00");
  }
  TLibrary lib(root.Path());
  std::optional<TPatentRecord> r = lib.Record("200810105070");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->title, "电池隔膜的制造方法");
  EXPECT_EQ(r->abstractText, "旧摘要");
  EXPECT_EQ(r->legalStatus, "专利权的终止");
  EXPECT_EQ(r->familyId, "38890001");
  EXPECT_EQ(r->inventors, (std::vector<std::string>{"王芳", "李强"}));
  ASSERT_EQ(r->publications.size(), 2u);
  EXPECT_EQ(r->publications[1].number, "CN1105070B");
  EXPECT_EQ(r->publications[1].date, "2011-05-04");
  EXPECT_EQ(r->applicationOriginal, "CN200810105070.X");
  EXPECT_EQ(Count(lib, "runs"), 2);
  EXPECT_EQ(Count(lib, "run_records"), 2);
  // The full-text index followed every change.
  EXPECT_EQ(Scalar(lib, "SELECT count(*) FROM record_index WHERE record_index MATCH '\"更旧的名称\"'"), "0");
  EXPECT_EQ(Scalar(lib, "SELECT count(*) FROM record_index WHERE record_index MATCH '\"电池隔膜的制造\"'"), "1");
  lib.Db().Exec("INSERT INTO record_index(record_index) VALUES('integrity-check')");
}

// Writes records in a child process until told to stop, one line to fd per record written.
[[noreturn]] void WriteForever(const TPath& root, int fd, int from) {
  try {
    TLibraryWriter run(root, {"search", "ops", "child", ""});
    for (int i = from;; ++i) {
      TPatentRecord r = SampleRecord(std::to_string(200810000000L + i), "一种电池隔膜" + std::to_string(i));
      run.Met(r);
      TDocumentRecord d;
      d.application = r.application;
      d.path = "data/pdf/" + std::to_string(i) + ".pdf";
      d.pages = 2;
      d.pageTexts = {"第" + std::to_string(i) + "页文字", "电池"};
      run.Document(d);
      if (::write(fd, "x", 1) != 1) break;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "child: %s\n", e.what());
  }
  _exit(3);
}

TEST(LibraryStore, AWriterKilledMidRunLeavesALibraryThatOpensWithWholeRecords) {
  TempDir root;
  TLibrary(root.Path());  // the schema first, so the child's time goes to records
  int pipeFd[2];
  ASSERT_EQ(::pipe(pipeFd), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFd[0]);
    WriteForever(root.Path(), pipeFd[1], 0);
  }
  ::close(pipeFd[1]);
  char c;
  for (int n = 0; n < 40; ++n) ASSERT_EQ(::read(pipeFd[0], &c, 1), 1);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(pipeFd[0]);
  ASSERT_TRUE(WIFSIGNALED(status));

  TLibrary lib(root.Path());
  EXPECT_EQ(Scalar(lib, "PRAGMA integrity_check"), "ok");
  lib.Db().Exec("INSERT INTO record_index(record_index) VALUES('integrity-check');"
                "INSERT INTO page_index(page_index) VALUES('integrity-check')");
  const long records = Count(lib, "records");
  EXPECT_GE(records, 40);
  // Whatever was committed is whole: every record with both publications, every document
  // with its two pages; at most the record in hand is missing its document.
  EXPECT_EQ(Scalar(lib, "SELECT count(*) FROM records r WHERE (SELECT count(*) FROM publications p "
                        "WHERE p.record_id = r.id) <> 2"), "0");
  EXPECT_EQ(Scalar(lib, "SELECT count(*) FROM documents d WHERE (SELECT count(*) FROM page_texts p "
                        "WHERE p.document_id = d.id) <> 2"), "0");
  EXPECT_GE(Count(lib, "documents"), records - 1);
  EXPECT_TRUE(Scalar(lib, "SELECT ended FROM runs").empty());  // a killed run has no end
  // And it takes the next run.
  TLibraryWriter next(root.Path(), {"import", "", "", ""});
  next.Met(SampleRecord("200910000001", "又一个"));
  EXPECT_EQ(Count(lib, "records"), records + 1);
}

TEST(LibraryStore, TwoProcessesWritingAtOnceBothGetEveryRecordIn) {
  TempDir root;
  constexpr int kEach = 120;
  pid_t children[2];
  for (int k = 0; k < 2; ++k) {
    children[k] = ::fork();
    if (children[k] == 0) {
      int code = 0;
      try {
        // Overlapping halves: records 60..119 are met by both.
        TLibraryWriter run(root.Path(), {"search", "ops", "child" + std::to_string(k), ""});
        for (int i = 0; i < kEach; ++i) {
          const int n = k * kEach / 2 + i;
          run.Met(SampleRecord(std::to_string(200810000000L + n), "一种电池隔膜" + std::to_string(n)));
        }
        run.Finish({kEach, 0, "done"});
      } catch (const std::exception& e) {
        std::fprintf(stderr, "child %d: %s\n", k, e.what());
        code = 3;
      }
      _exit(code);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  TLibrary lib(root.Path());
  EXPECT_EQ(Count(lib, "records"), kEach * 3 / 2);
  EXPECT_EQ(Scalar(lib, "SELECT group_concat(records) FROM runs"), "120,120");
  EXPECT_EQ(Count(lib, "run_records"), 2 * kEach);
}

TEST(LibraryStore, ALibraryThatCannotBeUsedWarnsOnceAndTheRunGoesOn) {
  TempDir root;
  // "data" is a file: no library can be made below it.
  WriteFileBytes(root.Path() + "/data", "not a folder");
  std::vector<std::string> lines;
  TLibrarySink sink(root.Path(), {"search", "site", "q", ""}, [&](const std::string& l) { lines.push_back(l); });
  sink.Met(SampleRecord("200810105070", "一种"));
  sink.Document(TDocumentRecord{});
  sink.Finish({});
  EXPECT_TRUE(sink.Failed());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind(Utf8ToGbk("资料库无法写入，本次运行的记录未存入资料库："), 0), 0u) << GbkToUtf8(lines[0]);

  // A library that opens but refuses one record warns once and keeps the others.
  TempDir good;
  lines.clear();
  TLibrarySink ok(good.Path(), {"search", "site", "q", ""}, [&](const std::string& l) { lines.push_back(l); });
  TPatentRecord noNumber;
  noNumber.title = "无申请号";
  ok.Met(noNumber);
  ok.Met(noNumber);
  ok.Met(SampleRecord("200810105070", "一种"));
  EXPECT_EQ(lines.size(), 1u);
  EXPECT_EQ(Count(*std::make_unique<TLibrary>(good.Path()), "records"), 1);
}

TEST(LibraryStore, AFileOfANewerProgramIsRefusedWithItsVersion) {
  TempDir root;
  { TLibrary(root.Path()).Db().Exec("PRAGMA user_version = 7"); }
  try {
    TLibrary lib(root.Path());
    FAIL() << "opened";
  } catch (const ELibraryError& e) {
    EXPECT_NE(GbkToUtf8(e.Message()).find("版本7"), std::string::npos) << GbkToUtf8(e.Message());
  }
}

}  // namespace
