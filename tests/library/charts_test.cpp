// The charts' bars and slices against the records they were drawn from, in the GBK page
// too; and the readings of dates, numbers and legal statuses the charts rely on.
#include <gtest/gtest.h>

#include <map>

#include "base/gbk.h"
#include "library/charts.h"
#include "tests/library/librarytest.h"

namespace {

// data-label → data-value of every element of the chart whose data-chart is name.
std::map<std::string, int> Drawn(const std::string& svgs, const std::string& name) {
  std::map<std::string, int> values;
  const size_t start = svgs.find("data-chart=\"" + name + "\"");
  if (start == std::string::npos) return values;
  const size_t end = svgs.find("</svg>", start);
  for (size_t at = start; (at = svgs.find("data-label=\"", at)) < end;) {
    at += 12;
    const std::string label = svgs.substr(at, svgs.find('"', at) - at);
    const size_t v = svgs.find("data-value=\"", at) + 12;
    values[label] = std::stoi(svgs.substr(v, svgs.find('"', v) - v));
  }
  return values;
}

std::vector<TPatentRecord> Records() {
  std::vector<TPatentRecord> rs;
  auto add = [&](const std::string& app, std::vector<std::string> applicants, std::vector<std::string> ipc,
                 const std::string& legal) {
    TPatentRecord r;
    r.application = app;
    r.applicants = std::move(applicants);
    r.ipc = std::move(ipc);
    r.legalStatus = legal;
    rs.push_back(r);
  };
  add("200810105070", {"华为技术有限公司"}, {"H01M2/16", "H01M10/05"}, "有效：授权 2011-05-04");
  add("200810105071", {"华为技术有限公司", "A&B <Ltd>"}, {"h01m 4/02"}, "<font>专利权的终止</font>");
  add("201010105072", {"\xf0\xaa\x9a\xa5明公司"}, {"B62J1/00"}, "实质审查的生效");
  add("02123456", {"华为技术有限公司", "\xf0\xaa\x9a\xa5明公司"}, {"G06F"}, "");
  rs.back().applicationDate = "2006-05-01";  // the date counts before the number's year
  for (int i = 0; i < 11; ++i) add("2012100000" + std::to_string(10 + i), {"公司" + std::to_string(i)}, {}, "公开");
  return rs;
}

TEST(Charts, BarsAndSlicesCarryTheRecordsCounts) {
  const std::vector<TPatentRecord> rs = Records();
  std::string svgs;
  for (TChartKind k : {TChartKind::Years, TChartKind::Applicants, TChartKind::Ipc, TChartKind::Legal})
    svgs += ChartSvg(k, rs);
  EXPECT_EQ(Drawn(svgs, "years"), (std::map<std::string, int>{
                                      {"2006", 1}, {"2007", 0}, {"2008", 2}, {"2009", 0}, {"2010", 1}, {"2011", 0}, {"2012", 11}}));
  const std::map<std::string, int> applicants = Drawn(svgs, "applicants");
  EXPECT_EQ(applicants.size(), 10u);
  EXPECT_EQ(applicants.at("华为技术有限公司"), 3);
  EXPECT_EQ(applicants.at("A&amp;B &lt;Ltd&gt;"), 1);  // escaped as markup
  EXPECT_EQ(Drawn(svgs, "ipc"), (std::map<std::string, int>{{"H01M", 2}, {"B62J", 1}, {"G06F", 1}}));
  EXPECT_EQ(Drawn(svgs, "legal"), (std::map<std::string, int>{{"有效", 1}, {"失效", 1}, {"审中", 12}, {"未知", 1}}));
  EXPECT_EQ(svgs.find("<script"), std::string::npos);
  EXPECT_NE(svgs.find("<svg class=\"chart\" data-chart=\"legal\""), std::string::npos);

  // The report page's form: GBK, the character GBK lacks as a reference, no legal chart
  // when the run did not ask for legal status.
  const std::string page = ReportCharts(rs, false);
  EXPECT_EQ(Drawn(GbkWithReferencesToUtf8(page), "ipc").at("H01M"), 2);
  EXPECT_NE(page.find(Utf8ToGbk("每年申请量")), std::string::npos);
  EXPECT_EQ(page.find("data-chart=\"legal\""), std::string::npos);
  EXPECT_NE(page.find("&#173733;"), std::string::npos);
  EXPECT_NE(ChartSvg(TChartKind::Years, {}).find("无数据"), std::string::npos);
}

TEST(Charts, ReadingsOfDatesNumbersClassesAndStates) {
  EXPECT_EQ(NormalDate("20080301"), "2008-03-01");
  EXPECT_EQ(NormalDate("2008.03.01"), "2008-03-01");
  EXPECT_EQ(NormalDate("2008-03-01 10:00"), "2008-03-01");
  EXPECT_EQ(NormalDate("2008-13-01"), "");
  EXPECT_EQ(NormalDate("March"), "");
  EXPECT_EQ(ApplicationDigits("CN200510012345.X"), "200510012345");
  EXPECT_EQ(ApplicationDigits("ZL 02123456.6"), "02123456");
  EXPECT_EQ(ApplicationDigits("021234566"), "02123456");
  EXPECT_EQ(ApplicationDigits("12345"), "");
  EXPECT_EQ(IpcSubclass(" h01m 2/16"), "H01M");
  EXPECT_EQ(IpcSubclass("2/16"), "");
  for (const auto& [text, state] : std::vector<std::pair<std::string, TLegalState>>{
           {"有效：专利权的转移 2020-03-28", TLegalState::Valid},
           {"失效：未缴年费", TLegalState::Lapsed},
           {"授权<br>专利权人的姓名或者名称、地址的变更", TLegalState::Valid},
           {"专利权的终止 未缴年费专利权终止", TLegalState::Lapsed},
           {"授权 专利权有效期届满", TLegalState::Lapsed},
           {"实质审查的生效", TLegalState::Pending},
           {"未知", TLegalState::Unknown},
           {"变更", TLegalState::Unknown}})
    EXPECT_EQ(LegalStateOf(text), state) << text;
  TPatentRecord r;
  r.application = "95139956";
  EXPECT_EQ(ApplicationYear(r), 1995);
}

}  // namespace
