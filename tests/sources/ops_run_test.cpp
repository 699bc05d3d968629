// varnolt-cli against the demo site's OPS role over HTTPS: searches with every option and
// past 2000 hits, downloads in every number form and document choice, pages that are
// missing or wrong, the pace OPS asks for, the quota's end, and the account kept out of
// everything the program writes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
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
  // OPS counts publications (an A and its B are two hits); the run reads 12 applications.
  EXPECT_NE(r.out.find("**共检索到202条匹配记录,程序仅返回12条记录信息"), std::string::npos) << r.out;
  const json doc = ops.Json("s.json");
  EXPECT_EQ(doc["expression"], "ti all \"battery\" and pn=CN");
  EXPECT_EQ(doc["count"], 202);
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
  size_t publications = 0;
  for (const json& rec : doc["records"]) publications += rec["publications"].size();
  EXPECT_EQ(Count(report, "worldwide.espacenet.com"), int(publications));
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
  // One token for the whole run; the search asked one whole page, whatever the limit.
  EXPECT_EQ(ops.Requests("auth/accesstoken"), 1u);
  EXPECT_EQ(ops.Requests("Range=1-100"), 1u);
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
  EXPECT_EQ(doc["count"], 4299);  // publications: 3138 applications
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

// A record of a --json document by its application number; null when it has none.
json RecordOf(const json& doc, const std::string& number) {
  for (const json& r : doc["records"])
    if (r["number"] == number) return r;
  return nullptr;
}

std::set<std::string> Strings(const json& array) {
  std::set<std::string> all;
  for (const json& s : array) all.insert(s);
  return all;
}

TEST(OpsAnalyst, OneRecordPerApplicationWithItsFieldsFamilyAndEstimatedExpiry) {
  OpsRun ops;
  CliResult r = ops.Run({"search", "--title", "gearbox", "--legal-status", "--family", "--json", Path(ops.cli, "g.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Every hit came on the first page: the run knows how many records it reads.
  EXPECT_NE(r.out.find("开处理第1条记录 1/8\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("开处理第2条记录 2/8，预计还需"), std::string::npos) << r.out;
  const json doc = ops.Json("g.json");
  // Eleven publications, eight applications: the A and B of one application are one record.
  EXPECT_EQ(doc["count"], 11);
  EXPECT_EQ(doc["applications"], 8);
  EXPECT_EQ(doc["applications_exact"], true);
  ASSERT_EQ(doc["records"].size(), 8u);
  const json twin = RecordOf(doc, "202310123456");
  ASSERT_FALSE(twin.is_null());
  EXPECT_EQ(Strings(twin["publications"]), (std::set<std::string>{"CN116789012A", "CN116789012B"}));
  EXPECT_EQ(twin["publication"], "CN116789012B");
  EXPECT_EQ(twin["application_date"], "2023-03-15");
  EXPECT_EQ(twin["grant_date"], "2025-04-15");
  EXPECT_LT(std::string(twin["publication_date"]), "2025-04-15");
  EXPECT_EQ(twin["expiry_estimate"], "2043-03-14");
  EXPECT_EQ(twin["family_id"], "18303614");
  EXPECT_EQ(twin["cited_count"], 1);
  EXPECT_EQ(twin["applicants_latin"][0], "CHONGQING CHANGJIANG TRANSMISSION CO LTD");
  EXPECT_EQ(twin["applicants"][0], "重庆长江变速器有限公司");
  EXPECT_FALSE(twin["inventors"].empty());
  EXPECT_FALSE(twin["cpc"].empty());
  const json abroad = RecordOf(doc, "202210987654");
  EXPECT_EQ(abroad["family_size"], 8);
  EXPECT_EQ(Strings(abroad["family_countries"]), (std::set<std::string>{"CN", "WO", "EP", "US", "JP", "KR"}));
  ASSERT_EQ(abroad["family_publications"].size(), 6u);
  for (const json& p : abroad["family_publications"])
    EXPECT_NE(std::string(p["link"]).find(std::string(p["publication"])), std::string::npos);
  EXPECT_EQ(abroad["priorities"][0], (json{{"number", "CN202210987654"}, {"date", "2022-05-20"}}));
  EXPECT_EQ(abroad["cited_count"], 4);
  // A lapsed right has no expiry to foresee.
  const json lapsed = RecordOf(doc, "202020111222");
  EXPECT_EQ(std::string(lapsed["legal_status"]).rfind("失效", 0), 0u);
  EXPECT_TRUE(lapsed["expiry_estimate"].is_null());
  // One family request per family, legal events and all; no legal request besides.
  std::set<std::string> families;
  for (const json& rec : doc["records"]) families.insert(rec["family_id"]);
  EXPECT_EQ(ops.Requests("rest-services/family/"), families.size());
  EXPECT_EQ(ops.Requests("rest-services/legal/"), 0u);
  // The report: the counts in its head, both publications of the twin linked in its row,
  // the analysts' columns.
  const std::string lastLine = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
  const std::string report = GbkToUtf8(ReadFileBytes(TPath::FromSystem(lastLine.substr(0, lastLine.size() - 1))));
  EXPECT_NE(report.find("匹配的公开文本：11 件，涉及申请：8 件"), std::string::npos);
  EXPECT_NE(report.find("202310123456<br><a href=\"https://worldwide.espacenet.com/patent/search?q=pn%3DCN116789012B\""),
            std::string::npos);
  EXPECT_NE(report.find("q=pn%3DCN116789012A\""), std::string::npos);
  for (const char* column : {"申请日", "发明人", "预计届满日", "同族", "EP4312345A1", "2043-03-14"})
    EXPECT_NE(report.find(column), std::string::npos) << column;

  // One row per family: the same-day utility model and invention twins become one.
  CliResult c = ops.Run({"search", "--title", "gearbox", "--collapse", "family", "--max", "5", "--json",
                         Path(ops.cli, "c.json")});
  ASSERT_EQ(c.exitCode, 0) << c.err;
  const json rows = ops.Json("c.json");
  ASSERT_EQ(rows["records"].size(), 5u);
  EXPECT_EQ(RecordOf(rows, "202310123456")["family_applications"][0]["number"], "202320654321");
  EXPECT_EQ(RecordOf(rows, "202410555666")["family_applications"][0]["number"], "202420555777");
  EXPECT_TRUE(RecordOf(rows, "202420555777").is_null());
}

TEST(OpsAnalyst, EveryNewOptionNarrowsTheQueryByAnd) {
  OpsRun ops;
  struct Case {
    std::vector<std::string> args;
    std::string expression;
    std::function<bool(const json&)> holds;
  };
  auto has = [](const json& array, const std::string& piece) {
    for (const json& s : array)
      if (std::string(s).find(piece) != std::string::npos) return true;
    return false;
  };
  const std::vector<Case> cases = {
      {{"--applicant", "长江变速器", "--inventor", "吴刚"},
       "pa all \"长江变速器\" and in all \"吴刚\" and pn=CN",
       [&](const json& r) { return has(r["applicants"], "长江变速器") && has(r["inventors"], "吴刚"); }},
      // The oil pump twins by their titles, the hydraulic system by its abstract.
      {{"--text", "oil pump"}, "ta all \"oil pump\" and pn=CN",
       [](const json& r) {
         return r["number"] == "202410555666" || r["number"] == "202420555777" || r["number"] == "202210987654";
       }},
      {{"--cpc", "F16H61/32", "--title", "gearbox"}, "ti all \"gearbox\" and cpc=\"F16H61/32\" and pn=CN",
       [&](const json& r) { return has(r["cpc"], "F16H61/32"); }},
      {{"--number", "CN116789012A"}, "pn=CN116789012A and pn=CN",
       [](const json& r) { return r["publications"] == json::array({"CN116789012A"}); }},
      {{"--title", "gearbox", "--from", "2023", "--to", "2023-12"},
       "ti all \"gearbox\" and pn=CN and pd within \"20230101 20231231\"",
       [](const json& r) { return std::string(r["publication_date"]).rfind("2023-", 0) == 0; }},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"search", "--json", Path(ops.cli, "o.json")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliResult r = ops.Run(args);
    ASSERT_EQ(r.exitCode, 0) << c.expression << r.err;
    const json doc = ops.Json("o.json");
    EXPECT_EQ(doc["expression"], c.expression);
    EXPECT_FALSE(doc["records"].empty()) << c.expression;
    for (const json& rec : doc["records"]) EXPECT_TRUE(c.holds(rec)) << c.expression << " " << rec["number"];
  }
}

TEST(OpsAnalyst, ADateRangePastTwoThousandIsSplitInsideIt) {
  OpsRun ops({"--ops-extra", "3000", "--ops-limit", "search=1200"});
  CliResult r = ops.Run({"search", "--class", "H01M", "--from", "2015", "--to", "2015", "--max", "2100", "--json",
                         Path(ops.cli, "s.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("检索已按公开日拆分"), std::string::npos);
  const json doc = ops.Json("s.json");
  EXPECT_GT(doc["count"], 2000);
  EXPECT_EQ(doc["expression"], "ic=H01M and pn=CN and pd within \"20150101 20151231\"");
  std::set<std::string> numbers;
  for (const json& rec : doc["records"]) {
    numbers.insert(rec["number"]);
    EXPECT_EQ(std::string(rec["publication_date"]).rfind("2015-", 0), 0u) << rec["publication_date"];
  }
  EXPECT_EQ(numbers.size(), 2100u);
  // Every query stays inside the range, and none asks past the 2000th hit.
  for (const DemoLogEntry& e : ops.site.Log()) {
    if (e.target.find("search") == std::string::npos) continue;
    const size_t within = e.target.find("within%20%22");
    ASSERT_NE(within, std::string::npos) << e.target;
    const std::string from = e.target.substr(within + 12, 8), to = e.target.substr(within + 23, 8);
    EXPECT_GE(from, "20150101") << e.target;
    EXPECT_LE(to, "20151231") << e.target;
    const size_t range = e.target.find("Range=");
    EXPECT_LE(std::stol(e.target.substr(e.target.find('-', range) + 1)), 2000) << e.target;
  }
}

TEST(OpsAnalyst, WhatOpsWouldRefuseExitsTwoAndSendsNothing) {
  OpsRun ops;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--title", "gearbox", "--from", "2023-02-30"}, "起始日期无法识别"},
      {{"--title", "gearbox", "--to", "last year"}, "截止日期无法识别"},
      {{"--title", "gearbox", "--from", "2024", "--to", "2023"}, "截止日期早于起始日期"},
      {{"--title", "a b c d e f g h i j k"}, "ti 有 11 个，最多 10 个"},
      {{"--title", "a b c d e f g", "--abstract", "h i j k l m n", "--text", "o p q r s t u"}, "整个检索式 有 22 个"},
  };
  for (const auto& [options, message] : cases) {
    std::vector<std::string> args = {"search"};
    args.insert(args.end(), options.begin(), options.end());
    CliResult r = ops.Run(args);
    EXPECT_EQ(r.exitCode, 2) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  EXPECT_TRUE(ops.site.Log().empty());
  // The site takes none of OPS's options.
  CliResult site = ops.cli.Run({"search", "--source", "site", "--title", "x", "--family"});
  EXPECT_EQ(site.exitCode, 2);
  EXPECT_NE(site.err.find("--family needs --source ops"), std::string::npos) << site.err;
}

TEST(OpsAnalyst, ChineseWordsReachEnglishTitlesThroughTheGlossary) {
  OpsRun ops({"--ops-english-index"});
  CliResult r = ops.Run({"search", "--title", "电池隔膜", "--max", "5", "--json", Path(ops.cli, "z.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const json doc = ops.Json("z.json");
  const std::string expression = doc["expression"];
  EXPECT_EQ(expression.rfind("(ti all \"电池隔膜\" or ((ti=\"battery\"", 0), 0u) << expression;
  EXPECT_EQ(doc["applications"], 36);
  bool english = false;
  for (const json& rec : doc["records"]) english |= std::string(rec["title"]).find("eparator") != std::string::npos;
  EXPECT_TRUE(english);
  // The report's head shows the query sent.
  const std::string lastLine = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
  const std::string report = GbkToUtf8(ReadFileBytes(TPath::FromSystem(lastLine.substr(0, lastLine.size() - 1))));
  EXPECT_NE(report.find("<h2>检索式：(ti all &quot;电池隔膜&quot;"), std::string::npos) << report.substr(0, 600);
  // As typed, nothing is found in an English index.
  CliResult typed = ops.Run({"search", "--title", "电池隔膜", "--no-translate"});
  EXPECT_EQ(typed.exitCode, 1);
  EXPECT_NE(typed.out.find("没有检索到匹配记录"), std::string::npos);
  // Equivalents left out to stay within OPS's limits are said.
  CliResult tight = ops.Run(
      {"search", "--title", "锂电池隔膜", "--abstract", "a b c d e f g h i j", "--applicant", "x y z", "--from", "2020"});
  EXPECT_NE(tight.out.find("检索词受 OPS 条数限制：“隔膜”的英文对应词“diaphragm”未加入检索式"), std::string::npos)
      << tight.out;
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
  CliResult r = ops.Run({"search", "--title", "电池隔膜", "--no-translate", "--first-claim-ocr", "--max", "3", "--json",
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
