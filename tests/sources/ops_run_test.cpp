// varnolt-cli against the demo site's OPS role over HTTPS: searches with every option and
// past 2000 hits, downloads in every number form and document choice, pages that are
// missing or wrong, the pace OPS asks for, the quota's end, and the account kept out of
// everything the program writes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <set>

#include "base/files.h"
#include "base/gbk.h"
#include "recognition/claimcut.h"
#include "download/pdfstore.h"
#include "tests/support/cliprogram.h"
#include "tests/support/pagereaders.h"
#include "tests/support/tempdir.h"
#include "tests/support/textcheck.h"

namespace {

using nlohmann::json;

// varnolt-cli in a copy pointed at a demo site with its OPS role, trusting its CA, with
// an account in the environment (the demo's unless told otherwise).
struct OpsRun {
  explicit OpsRun(std::vector<std::string> demoArgs = {}, std::optional<std::string> key = DemoSite::kOpsKey,
                  std::string secret = DemoSite::kOpsSecret)
      : site(std::move(demoArgs), true, true),
        ca("SSL_CERT_FILE", site.CaFile().Bytes()),
        key_("VARNOLT_OPS_KEY", key),
        secret_("VARNOLT_OPS_SECRET", secret) {
    cli.PointAt(site);
  }

  CliResult Run(std::vector<std::string> args) const {
    args.insert(args.begin() + 1, {"--source", "ops"});
    return cli.Run(args);
  }
  json Json(const std::string& name) const { return json::parse(ReadFileBytes(cli.data + ("/" + name))); }
  size_t Requests(const std::string& piece) const {
    size_t n = 0;
    for (const DemoLogEntry& e : site.Log()) n += e.target.find(piece) != std::string::npos;
    return n;
  }
  TPath Pdf(const std::string& name) const { return TPath::FromSystem(cli.data.Bytes() + "/data/pdf/" + name); }

  DemoSite site;
  ScopedEnv ca, key_, secret_;
  CliProgram cli;
};

// Every file below dir.
void FilesBelow(const TPath& dir, std::vector<TPath>& files) {
  for (const DirEntry& e : ListDirectory(dir)) {
    if (e.isDirectory)
      FilesBelow(dir.Entry(e.name), files);
    else
      files.push_back(dir.Entry(e.name));
  }
}

std::string Path(const CliProgram& cli, const char* name) { return (cli.data + ("/" + std::string(name))).Bytes(); }

// The value of a "Key:   value" line of pdfinfo's output.
std::string InfoValue(const std::string& info, const std::string& key) {
  const std::string lines = "\n" + info;
  const size_t at = lines.find("\n" + key + ":");
  if (at == std::string::npos) return {};
  const size_t from = lines.find_first_not_of(' ', at + key.size() + 2);
  return lines.substr(from, lines.find('\n', from) - from);
}

TEST(OpsSearch, EveryOptionFillsItsCellAndTheReportLinksEachPublication) {
  OpsRun ops;
  CliResult r = ops.Run({"search", "--title", "battery", "--legal-status", "--abstract-info", "--patentee",
                         "--first-claim", "--max", "12", "--json", Path(ops.cli, "s.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("**共检索到159条匹配记录,程序仅返回12条记录信息"), std::string::npos) << r.out;
  const json doc = ops.Json("s.json");
  EXPECT_EQ(doc["expression"], "ti all \"battery\" and pn=CN");
  EXPECT_EQ(doc["count"], 159);
  ASSERT_EQ(doc["records"].size(), 12u);
  std::set<std::string> states;
  for (const json& rec : doc["records"]) {
    const std::string pub = rec["publication"];
    EXPECT_EQ(pub.rfind("CN", 0), 0u) << pub;
    const std::string legal = rec["legal_status"];
    states.insert(legal.substr(0, legal.find("：")));
    EXPECT_EQ(std::string(rec["abstract"]).find("[0001]"), std::string::npos);
    EXPECT_EQ(rec["first_claim"], "EPO OPS 不提供中国专利的权利要求文字，请看全文的权利要求书页");
    EXPECT_FALSE(std::string(rec["patentee"]).empty());
  }
  EXPECT_TRUE(states.count("有效")) << *states.begin();
  // The report: GBK, each record's number with its publication linked to Espacenet.
  const std::string lastLine = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
  const std::string report = ReadFileBytes(TPath::FromSystem(lastLine.substr(0, lastLine.size() - 1)));
  const std::string first = doc["records"][0]["publication"];
  EXPECT_NE(report.find("<a href=\"https://worldwide.espacenet.com/patent/search?q=pn%3D" + first + "\""),
            std::string::npos);
  EXPECT_EQ(Count(report, "worldwide.espacenet.com"), 12);
  EXPECT_NE(report.find(Utf8ToGbk("法律状态")), std::string::npos);
  // Its charts, each bar or slice against the rows.
  std::map<std::string, std::map<std::string, int>> counts;  // chart, label, records
  for (const json& rec : doc["records"]) {
    const std::string number = rec["number"], legal = rec["legal_status"];
    ++counts["years"][number.substr(0, 4)];
    ++counts["legal"][legal.substr(0, legal.find("："))];
    for (const char* chart : {"applicants", "ipc"}) {
      std::set<std::string> labels;
      const std::string list = rec[chart == std::string("ipc") ? "class" : "patentee"];
      for (size_t at = 0; at <= list.size();) {
        const size_t end = std::min(list.find("; ", at), list.size());
        labels.insert(chart == std::string("ipc") ? list.substr(at, 4) : list.substr(at, end - at));
        at = end + 2;
      }
      for (const std::string& l : labels) ++counts[chart][l];
    }
  }
  const std::string charts = GbkWithReferencesToUtf8(report.substr(report.find("<div class=\"charts\">")));
  ASSERT_LT(charts.find("<div"), report.find("<table"));
  for (const char* chart : {"years", "applicants", "ipc", "legal"}) {
    const size_t from = charts.find(std::string("data-chart=\"") + chart + "\"");
    ASSERT_NE(from, std::string::npos) << chart;
    const std::string svg = charts.substr(from, charts.find("</svg>", from) - from);
    int bars = 0, sum = 0;
    for (size_t at = 0; (at = svg.find("data-label=\"", at)) != std::string::npos; ++bars) {
      at += 12;
      const std::string label = svg.substr(at, svg.find('"', at) - at);
      const int value = std::stoi(svg.substr(svg.find("data-value=\"", at) + 12));
      EXPECT_EQ(value, counts[chart][label]) << chart << " " << label;
      sum += value;
    }
    EXPECT_GT(bars, 0) << chart;
    // Every record counts once in the years and legal states.
    if (chart == std::string("legal") || chart == std::string("years")) EXPECT_EQ(sum, 12) << chart;
  }
  // One token for the whole run; the search asked 12 hits at once.
  EXPECT_EQ(ops.Requests("auth/accesstoken"), 1u);
  EXPECT_EQ(ops.Requests("Range=1-12"), 1u);
}

TEST(OpsSearch, NoLegalDataIsUnknownAndNoHitsIsAskedTwiceThenNone) {
  OpsRun ops;
  CliResult r = ops.Run({"search", "--title", "一种折叠伞", "--legal-status", "--json", Path(ops.cli, "s.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  bool unknown = false;
  const json doc = ops.Json("s.json");
  for (const json& rec : doc["records"])
    unknown |= rec["publication"] == "CN219612333U" && rec["legal_status"] == "未知";
  EXPECT_TRUE(unknown);

  CliResult none = ops.Run({"search", "--title", "nosuchwordanywhere"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.out.find("没有检索到匹配记录"), std::string::npos);
  EXPECT_EQ(ops.Requests("nosuchwordanywhere"), 2u);
}

TEST(OpsSearch, PastTwoThousandHitsTheQueryIsSplitAndTheTotalIsTrue) {
  OpsRun ops({"--ops-extra", "3000", "--ops-limit", "search=1200"});
  CliResult r = ops.Run({"search", "--class", "H01M", "--max", "2150", "--json", Path(ops.cli, "s.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const json doc = ops.Json("s.json");
  EXPECT_EQ(doc["count"], 3138);
  std::set<std::string> pubs;
  for (const json& rec : doc["records"]) pubs.insert(rec["publication"]);
  EXPECT_EQ(pubs.size(), 2150u);
  // No request ever asked past the 2000th hit of a query.
  for (const DemoLogEntry& e : ops.site.Log()) {
    const size_t at = e.target.find("Range=");
    if (at != std::string::npos) {
      EXPECT_LE(std::stol(e.target.substr(e.target.find('-', at) + 1)), 2000) << e.target;
    }
  }
}

TEST(OpsDownload, EveryNumberFormAndDocumentChoice) {
  OpsRun ops({"--ops-revoke-after", "8"});
  // Grant by default from a 12-digit application, an old 8-digit one with its check digit and
  // ZL prefix, a publication number, and a design.
  CliResult r = ops.Run({"download", "--json", Path(ops.cli, "d.json"), "200510012345", "ZL02123456.6", "CN2698668Y",
                         "200630012345"});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("开始下载第2个记录(02123456)的相关文件 2/4，预计还需"), std::string::npos) << r.out;
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种锂离子电池及其制备方法 CN101257323B.pdf")), 12);
  EXPECT_EQ(PdfOwner(ops.Pdf("一种锂离子电池及其制备方法 CN101257323B.pdf")), "200510012345");
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种电池隔膜 CN100953206C.pdf")), 3);
  EXPECT_EQ(PdfOwner(ops.Pdf("一种自行车刹车装置 CN2698668Y.pdf")), "03234567");
  const json doc = ops.Json("d.json");
  EXPECT_EQ(doc[1]["publication"], "CN100953206C");
  EXPECT_EQ(doc[2]["type"], "实用新型");
  EXPECT_EQ(doc[3]["status"], "done");  // designs too, when OPS has their images
  EXPECT_EQ(doc[3]["pages"], 2);
  // The token was revoked mid-run: renewed, the request sent again, nothing failed.
  EXPECT_GE(ops.Requests("auth/accesstoken"), 2u);

  CliResult a = ops.Run({"download", "--document", "application", "200510012345"});
  ASSERT_EQ(a.exitCode, 0) << a.err;
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种锂离子电池及其制备方法 CN101257323A.pdf")), 6);
  CliResult both = ops.Run({"download", "--document", "both", "--json", Path(ops.cli, "b.json"), "02123456"});
  ASSERT_EQ(both.exitCode, 0) << both.err;
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种电池隔膜 CN1830574A.pdf")), 15);
  EXPECT_EQ(ops.Json("b.json")[0]["publication"], "CN1830574A, CN100953206C");
  // A publication number names its record: both means both of its documents; grant, the
  // one it names.
  CliResult named = ops.Run({"download", "--document", "both", "--json", Path(ops.cli, "p.json"), "CN100953206C"});
  ASSERT_EQ(named.exitCode, 0) << named.err;
  EXPECT_EQ(ops.Json("p.json")[0]["publication"], "CN1830574A, CN100953206C");
  CliResult one = ops.Run({"download", "--json", Path(ops.cli, "g.json"), "CN1830574A"});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(ops.Json("g.json")[0]["publication"], "CN1830574A");
  // The PCT record's inquiry lists the WO document first: the CN one is taken.
  CliResult pct = ops.Run({"download", "200880001234"});
  ASSERT_EQ(pct.exitCode, 0) << pct.err;
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种数据传输方法 CN101176171A.pdf")), 40);
}

TEST(OpsDownload, ThePdfHasTheSectionsOfTheInquiryAndTheRecordsInformation) {
  OpsRun ops;
  CliResult r = ops.Run({"download", "200510012345", "CN2698668Y", "04256789"});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  // A title with a character GBK lacks names its PDF with that character itself.
  int named = 0;
  for (const DirEntry& e : ListDirectory(ops.cli.data + "/data/pdf"))
    named += e.name.rfind("一种三折•自动折叠伞 CN", 0) == 0 && e.name.ends_with(".pdf");
  EXPECT_EQ(named, 1) << r.out;
  // The demo's inquiry: front page 1, claims 2, description 3, drawings on the last page;
  // the outline lists them in page order.
  const TPath twelve = ops.Pdf("一种锂离子电池及其制备方法 CN101257323B.pdf");
  EXPECT_EQ(PdfOutline(twelve),
            (std::vector<std::pair<std::string, int>>{{"摘要", 1}, {"权利要求书", 2}, {"说明书", 3}, {"附图", 12}}));
  // The applicant's name holds a character GBK lacks; it still reaches the viewer.
  const std::string info = PdfInfoText(ops.Pdf("一种自行车刹车装置 CN2698668Y.pdf"));
  EXPECT_EQ(InfoValue(info, "Title"), "一种自行车刹车装置") << info;
  EXPECT_EQ(InfoValue(info, "Author"), "约翰•史密斯") << info;
  // The application number as the office writes it, check digit and all, as for the site.
  const std::string subject = InfoValue(info, "Subject");
  EXPECT_EQ(subject.rfind("申请号：CN03234567.4；公开号：CN2698668Y；分类号：", 0), 0u) << subject;
  EXPECT_EQ(InfoValue(info, "Keywords").rfind("CN03234567", 0), 0u) << info;
}

TEST(OpsSearch, FirstClaimsAreRecognisedFromTheClaimsPageAloneOrSaidToBeMissing) {
  OpsRun ops;
  // Each search's claims page is its own: a fixed name in the temp folder, which another
  // search on the same data root may hold, is not taken (here a folder stands there).
  CreateDir(ops.cli.data + "/data");
  CreateDir(ops.cli.data + "/data/temp");
  CreateDir(ops.cli.data + "/data/temp/claimpage.tif");
  const std::string noClaims = "EPO OPS 不提供中国专利的权利要求文字，请看全文的权利要求书页";
  CliResult r = ops.Run({"search", "--title", "电池隔膜", "--first-claim-ocr", "--max", "3", "--json",
                         Path(ops.cli, "s.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const json doc = ops.Json("s.json");
  ASSERT_EQ(doc["records"].size(), 3u);
  // The first record is one page long: its inquiry lists no claims, and no page is fetched.
  EXPECT_EQ(doc["records"][0]["first_claim"], noClaims);
  for (size_t i = 1; i < 3; ++i) {
    const std::string cell = doc["records"][i]["first_claim"];
    ASSERT_EQ(cell.rfind("（文字识别）", 0), 0u) << cell << r.out;
    // What the demo drew as claim 1 on the claims page (the site's page 2 is the same page).
    const std::string number = doc["records"][i]["number"];
    const RawReply drawn = ops.site.RawRequest("GET", "/books/" + number + "/1/000002.txt");
    ASSERT_EQ(drawn.status, 200) << number;
    const std::string claim = GbkToUtf8(FirstClaimFromText(drawn.body));
    ASSERT_FALSE(claim.empty());
    EXPECT_GE(CharacterRecall(claim, cell), 0.9) << claim << "\n" << cell;
  }
  // Per record one inquiry, and one page where the claims start.
  EXPECT_EQ(ops.Requests("/images") - ops.Requests("published-data/images/"), 3u);
  EXPECT_EQ(ops.Requests("/fullimage"), 2u);
  EXPECT_EQ(ops.Requests("/fullimage.tiff?Range=2"), 2u);

  // Without the recognition tool: one clear line, and the cells as without the option.
  ops.cli.environment = {"PATH=" + (ops.cli.data + "/nothing").Bytes()};
  CliResult none = ops.Run({"search", "--title", "电池隔膜", "--first-claim-ocr", "--max", "3", "--json",
                            Path(ops.cli, "n.json")});
  ASSERT_EQ(none.exitCode, 0) << none.err;
  EXPECT_NE(none.err.find("tesseract"), std::string::npos) << none.err;
  const json noOcr = ops.Json("n.json");  // kept: a range over a temporary's member would dangle
  for (const json& rec : noOcr["records"]) EXPECT_EQ(rec["first_claim"], noClaims);
  EXPECT_EQ(ops.Requests("/fullimage"), 2u);
}

TEST(OpsDownload, AMissingOrWrongPageFailsItsRecordAndTheOthersFinish) {
  OpsRun ops({"--ops-missing-page", "CN101257323B:4", "--ops-bad-page", "CN2698668Y:2", "--ops-two-page",
              "CN100953206C:1"});
  CliResult r = ops.Run({"download", "--keep-going", "--jobs", "2", "200510012345", "03234567", "02123456",
                         "201120011111"});
  EXPECT_EQ(r.exitCode, 3) << r.err;
  EXPECT_NE(r.err.find("200510012345: OPS 没有这一页：第 4 页"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("03234567: OPS 发来的页面不是 TIFF 图像：第 2 页"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("02123456: OPS 发来的页面不是单页 TIFF：第 1 页"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(ops.cli.data + "/data/temp/failed.txt"), "200510012345\r\n03234567\r\n02123456\r\n");
  // Only the whole record has a PDF, under any name.
  const std::vector<DirEntry> pdfs = ListDirectory(ops.cli.data + "/data/pdf");
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_EQ(pdfs[0].name, "一种折叠伞 CN219467528U.pdf");
  // Their rows say why, as the rows of numbers not found do, and link no PDF.
  const std::string report = GbkToUtf8(ReadFileBytes(ops.cli.data + "/data/temp/index.html"));
  EXPECT_EQ(Count(report, "查看</a>"), 1) << report;
  EXPECT_NE(report.find("<td>OPS 没有这一页：第 4 页</td>"), std::string::npos) << report;
  EXPECT_NE(report.find("<td>OPS 发来的页面不是单页 TIFF：第 1 页</td>"), std::string::npos) << report;
}

TEST(OpsDownload, ABusyTokenServiceIsRetriedAndANumberWithoutItsPdfExitsThree) {
  OpsRun ops({"--busy", "1:accesstoken", "--ops-missing-page", "CN101257323B:4"});
  // OPS answers 503 now and then, to the token request too: the run's retries take it.
  CliResult busy = ops.Run({"download", "--retries", "3", "02123456"});
  EXPECT_EQ(busy.exitCode, 0) << busy.err << busy.out;
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种电池隔膜 CN100953206C.pdf")), 3);
  EXPECT_EQ(ops.Requests("auth/accesstoken"), 2u);
  // Without --keep-going too, a number that got no PDF is a failure to any script.
  CliResult missing = ops.Run({"download", "200510012345", "02123456"});
  EXPECT_EQ(missing.exitCode, 3) << missing.err << missing.out;
  EXPECT_NE(missing.err.find("200510012345: OPS 没有这一页：第 4 页"), std::string::npos) << missing.err;
}

TEST(OpsDownload, BlackWaitsItsRetryAfterAndAUsedUpQuotaEndsTheRunKeepingWhatIsDone) {
  OpsRun ops({"--ops-black", "images:3:2000", "--ops-quota", "hour:22"});
  CliResult r = ops.Run({"download", "--keep-going", "201120011111", "02123456", "200510012345", "03234567"});
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("OPS 限速：images 服务暂停，等待 2 秒"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("OPS 本小时的流量配额已用完"), std::string::npos) << r.err;
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种折叠伞 CN219467528U.pdf")), 2);
  EXPECT_EQ(PdfPageCount(ops.Pdf("一种电池隔膜 CN100953206C.pdf")), 3);
  const std::string failed = ReadFileBytes(ops.cli.data + "/data/temp/failed.txt");
  EXPECT_NE(failed.find("03234567"), std::string::npos) << failed;
  EXPECT_EQ(failed.find("02123456"), std::string::npos) << failed;
}

TEST(OpsAccount, MissingCredentialsSayWhereAndTheAccountIsInNoOutput) {
  OpsRun ops({"--ops-key", "k3y-Zq81xv", "--ops-secret", "s3cr3t-Wp02"}, std::nullopt, "s3cr3t-Wp02");
  CliResult none = ops.Run({"search", "--title", "battery"});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("https://developers.epo.org/"), std::string::npos);
  EXPECT_NE(none.err.find((ops.cli.dir + "/ops.ini").Bytes()), std::string::npos) << none.err;

  ScopedEnv key("VARNOLT_OPS_KEY", std::string("k3y-Zq81xv"));
  std::vector<CliResult> runs = {
      ops.Run({"search", "--title", "battery", "--legal-status", "--max", "3", "--json", Path(ops.cli, "s.json")}),
      ops.Run({"download", "--keep-going", "--json", Path(ops.cli, "d.json"), "02123456", "99999999"})};
  {
    // A wrong secret: refused, and the refusal says so without the account.
    ScopedEnv wrong("VARNOLT_OPS_SECRET", std::string("s3cr3t-Wp02x"));
    runs.push_back(ops.Run({"download", "02123456"}));
    EXPECT_NE(runs.back().err.find("401"), std::string::npos) << runs.back().err;
  }
  EXPECT_EQ(runs[0].exitCode, 0) << runs[0].err;
  std::vector<std::string> texts;
  for (const CliResult& r : runs) texts.insert(texts.end(), {r.out, r.err});
  std::vector<TPath> files;
  FilesBelow(ops.cli.data, files);
  for (const TPath& f : files) texts.push_back(ReadFileBytes(f));
  for (const std::string& t : texts) {
    EXPECT_EQ(t.find("k3y-Zq81xv"), std::string::npos) << t.substr(0, 300);
    EXPECT_EQ(t.find("s3cr3t-Wp02"), std::string::npos) << t.substr(0, 300);
  }
  EXPECT_GE(texts.size(), 8u);
}

}  // namespace
