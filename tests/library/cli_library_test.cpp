// varnolt-cli library against a data root filled by real runs on the demo site: what the
// runs wrote into the library themselves; then, as before the library, both sources'
// search reports and PDFs with a text layer imported (twice), found again by a word of a
// page, exported; and its exit codes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/files.h"
#include "library/library.h"
#include "library/sqlite.h"
#include "tests/library/librarytest.h"
#include "tests/support/cliprogram.h"
#include "tests/support/textcheck.h"

namespace {

TEST(CliLibrary, ImportTwiceThenFindAPageWordAndExport) {
  DemoSite site({}, false, true);
  ScopedEnv ca("SSL_CERT_FILE", site.CaFile().Bytes());
  ScopedEnv key("VARNOLT_OPS_KEY", std::string(DemoSite::kOpsKey));
  ScopedEnv secret("VARNOLT_OPS_SECRET", std::string(DemoSite::kOpsSecret));
  CliProgram cli;
  cli.PointAt(site);
  for (const std::vector<std::string>& run :
       std::vector<std::vector<std::string>>{{"download", "--source", "site", "--ocr", "02123456"},
                                             {"download", "--source", "ops", "--ocr", "--document", "grant", "03234567"},
                                             {"search", "--source", "site", "--title", "隔膜", "--legal-status",
                                              "--abstract-info", "--first-claim", "--patentee", "--export",
                                              (cli.data + "/s.csv").Bytes()},
                                             {"search", "--source", "ops", "--title", "battery", "--legal-status",
                                              "--abstract-info", "--first-claim", "--patentee", "--max", "5"}}) {
    const CliResult r = cli.Run(run);
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  }
  {
    // The runs themselves wrote what they met: each record once per run, each PDF once
    // with the text of its pages, and the claims page's first claim.
    TLibrary lib(cli.data);
    TStatement runs(lib.Db(), "SELECT group_concat(kind || ' ' || source || ' ' || records || ' ' || documents || ' ' || "
                              "outcome || ' ' || (ended IS NOT NULL), ', ') FROM (SELECT * FROM runs ORDER BY id)");
    ASSERT_TRUE(runs.Step());
    EXPECT_EQ(runs.Text(0),
              "download site 1 1 done 1, download ops 1 1 done 1, search site 40 0 done 1, search ops 5 0 done 1");
    runs.Reset();
    EXPECT_EQ(Scalar(lib, "SELECT count(*) || '/' || sum(has_text_layer) || '/' || sum(pages) FROM documents"), "2/2/8");
    EXPECT_EQ(Scalar(lib, "SELECT count(*) FROM page_texts"), "8");
    std::optional<TPatentRecord> site = lib.Record("02123456");
    ASSERT_TRUE(site);
    EXPECT_EQ(site->legalStatus, "专利权的终止 未缴年费专利权终止");
    EXPECT_EQ(site->applicants, (std::vector<std::string>{"王芳"}));
    EXPECT_EQ(site->title, "一种电池隔膜");
    EXPECT_FALSE(site->abstractText.empty());
    EXPECT_FALSE(site->firstClaim.empty());
    EXPECT_EQ(site->pdfs, (std::vector<std::string>{"data/pdf/一种电池隔膜.pdf"}));
    std::optional<TPatentRecord> ops = lib.Record("03234567");
    ASSERT_TRUE(ops);
    EXPECT_EQ(ops->firstClaim.rfind("1", 0), 0u) << ops->firstClaim;
    EXPECT_EQ(ops->publications.size(), 1u);
    // The OPS search's records with their publication, applicants and abstract.
    EXPECT_EQ(Scalar(lib, "SELECT count(*) FROM run_records rr JOIN records r ON r.id = rr.record_id WHERE rr.run_id = 4 "
                          "AND r.source = 'ops' AND r.applicants <> '[]' AND r.abstract || r.abstract_en <> '' AND "
                          "EXISTS (SELECT 1 FROM publications p WHERE p.record_id = r.id)"),
              "5");
  }
  {
    // The site search's export: its records, with the PDF the library knew of one.
    TempDir dir;
    const nlohmann::json rows = nlohmann::json::parse(Python(dir, R"(
import csv, json
with open(')" + (cli.data + "/s.csv").Bytes() + R"(', encoding='utf-8-sig', newline='') as f:
    print(json.dumps(list(csv.reader(f, strict=True))))
)"));
    ASSERT_EQ(rows.size(), 41u);
    bool seen = false;
    for (const nlohmann::json& row : rows) {
      if (row[0] != "02123456") continue;
      seen = true;
      EXPECT_EQ(row[2], "一种电池隔膜");
      EXPECT_EQ(row[3], "王芳");
      const std::string pdf = row[13];
      EXPECT_EQ(pdf.substr(pdf.rfind("/data/")), "/data/pdf/一种电池隔膜.pdf");
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(cli.Run({"search", "--source", "site", "--title", "隔膜", "--export", "s.txt"}).exitCode, 2);
  }
  // From here on a data root as it was before the library: its reports and PDFs alone.
  for (const char* file : {"library.db", "library.db-wal", "library.db-shm"}) DeleteFileAt(cli.data + "/data/" + file);

  CliResult first = cli.Run({"library", "import"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("已读检索报告 2 份（45 条记录），PDF 2 个"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("新增文档 2 个；未能识别的文件 0 个"), std::string::npos) << first.out;
  CliResult second = cli.Run({"library", "import"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_NE(second.out.find("新增记录 0 条，新增文档 0 个"), std::string::npos) << second.out;
  {
    TLibrary lib(cli.data);
    TStatement q(lib.Db(), "SELECT (SELECT count(*) FROM records), (SELECT count(*) FROM documents), "
                           "(SELECT count(*) FROM page_texts), (SELECT count(*) FROM publications)");
    ASSERT_TRUE(q.Step());
    EXPECT_EQ(q.Int(1), 2);
    EXPECT_EQ(q.Int(2), 3 + 5);  // every page of both PDFs has text
    const std::string counts = q.Text(0) + "/" + q.Text(2) + "/" + q.Text(3);
    q.Reset();
    // The second import added nothing: compare with a third.
    ASSERT_EQ(cli.Run({"library", "import"}).exitCode, 0);
    ASSERT_TRUE(q.Step());
    EXPECT_EQ(q.Text(0) + "/" + q.Text(2) + "/" + q.Text(3), counts);
    q.Reset();
    // A record known from its PDF alone: the claims page gave the first claim.
    std::optional<TPatentRecord> ops = lib.Record("03234567");
    ASSERT_TRUE(ops);
    EXPECT_EQ(ops->firstClaim.rfind("1", 0), 0u) << ops->firstClaim;
    EXPECT_EQ(ops->source, "ops");
    EXPECT_EQ(ops->pdfs, (std::vector<std::string>{"data/pdf/一种自行车刹车装置 CN2698668Y.pdf"}));
    std::optional<TPatentRecord> site = lib.Record("02123456");
    ASSERT_TRUE(site);
    EXPECT_EQ(site->legalStatus, "专利权的终止 未缴年费专利权终止");
    EXPECT_EQ(site->applicants, (std::vector<std::string>{"王芳"}));
  }

  // A word only the description page of the site's PDF holds.
  CliResult found = cli.Run({"library", "find", "技术领域", "--json", (cli.data + "/f.json").Bytes()});
  EXPECT_EQ(found.exitCode, 0) << found.err;
  EXPECT_NE(found.out.find("02123456\t一种电池隔膜\t第3页 一种电池隔膜.pdf"), std::string::npos) << found.out;
  EXPECT_NE(ReadFileBytes(cli.data + "/f.json").find("\"page\":3"), std::string::npos);
  EXPECT_EQ(cli.Run({"library", "find", "没有这个词的记录"}).exitCode, 1);
  EXPECT_EQ(cli.Run({"library", "find"}).exitCode, 2);
  EXPECT_EQ(cli.Run({"library", "find", "隔膜", "--limit", "x"}).exitCode, 2);
  EXPECT_EQ(cli.Run({"library", "frobnicate"}).exitCode, 2);

  const TPath sheet = cli.data + "/found.xlsx";
  CliResult exported = cli.Run({"library", "export", sheet.Bytes(), "技术领域"});
  EXPECT_EQ(exported.exitCode, 0) << exported.err;
  EXPECT_EQ(LastLine(exported.out), sheet.Bytes());
  EXPECT_TRUE(FileExists(sheet));
  EXPECT_EQ(cli.Run({"library", "export", (cli.data + "/all.txt").Bytes()}).exitCode, 2);
  EXPECT_EQ(cli.Run({"library", "export", (cli.data + "/none.csv").Bytes(), "没有这个词的记录"}).exitCode, 1);
}

}  // namespace
