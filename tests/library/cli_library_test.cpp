// varnolt-cli library against a data root filled by real runs on the demo site: both
// sources' search reports and PDFs with a text layer imported (twice), found again by a
// word of a page, exported; and its exit codes.
#include <gtest/gtest.h>

#include "base/files.h"
#include "library/library.h"
#include "library/sqlite.h"
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
       std::vector<std::vector<std::string>>{{"search", "--source", "site", "--title", "隔膜", "--legal-status",
                                              "--abstract-info", "--first-claim", "--patentee"},
                                             {"search", "--source", "ops", "--title", "battery", "--legal-status",
                                              "--abstract-info", "--first-claim", "--patentee", "--max", "5"},
                                             {"download", "--source", "site", "--ocr", "02123456"},
                                             {"download", "--source", "ops", "--ocr", "--document", "grant", "03234567"}}) {
    const CliResult r = cli.Run(run);
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  }

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
