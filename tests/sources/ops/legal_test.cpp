// The 法律状态 cell from legal events, and the code table built in.
#include <gtest/gtest.h>

#include "base/gbk.h"
#include "sources/ops/opslegal.h"

namespace {

TOpsLegalEvent E(const char* code, const char* date) { return {code, ' ', date, ""}; }

std::string Cell(const std::vector<TOpsLegalEvent>& events) { return GbkToUtf8(LegalStatusCell(events)); }

TEST(LegalEventClass, FromTheBuiltInTable) {
  const std::pair<const char*, char> classes[] = {
      {"PB01", 'Q'}, {"C06 ", 'Q'}, {"SE01", 'D'}, {"GR01", 'F'}, {"C14", 'F'}, {"CF01", 'H'}, {"C19", 'H'},
      {"CX01", 'H'}, {"AV01", 'H'}, {"WD01", 'B'}, {"C02", 'B'}, {"RJ01", 'B'}, {"TR01", 'R'}, {"EE01", 'S'},
      {"ASS", 'R'},  {"RA01", 'K'}, {"REIN", 'C'}, {"WW01", 'B'}, {"CE01", 'H'}, {"C44", 0},   {"ZZ99", 0},
  };
  for (const auto& [code, cls] : classes) EXPECT_EQ(LegalEventClass(code), cls) << code;
  EXPECT_EQ(GbkToUtf8(LegalEventChineseName("CF01")), "未缴年费专利权终止");
  EXPECT_EQ(GbkToUtf8(LegalEventChineseName("EXSB")), "实质审查的生效");
  EXPECT_EQ(GbkToUtf8(LegalEventChineseName("LIC")), "许可和质押");  // by its class
  EXPECT_EQ(GbkToUtf8(LegalEventChineseName("C44")), "其他法律事件 C44");
  EXPECT_EQ(GbkToUtf8(LegalEventChineseName("<b>")), "其他法律事件 b");
}

TEST(LegalStatusCell, ValidLapsedPendingOrUnknownThenTheLatestEvent) {
  EXPECT_EQ(Cell({}), "未知");
  EXPECT_EQ(Cell({E("PB01", "2018-01-05"), E("SE01", "2018-02-01")}), "审中：实质审查的生效 2018-02-01");
  EXPECT_EQ(Cell({E("C06", "2010-12-08"), E("C10", "2011-02-02"), E("GR01", "2016-09-14"), E("TR01", "2020-01-03")}),
            "有效：专利权的转移 2020-01-03");
  EXPECT_EQ(Cell({E("PB01", "2015-01-01"), E("GR01", "2017-01-01"), E("CF01", "2020-03-01"), E("TR01", "2020-05-01")}),
            "失效：专利权的转移 2020-05-01");
  EXPECT_EQ(Cell({E("PB01", "2015-01-01"), E("SE01", "2015-06-01"), E("WD01", "2018-01-01")}),
            "失效：发明专利申请公布后的视为撤回 2018-01-01");
  EXPECT_EQ(Cell({E("PB01", "2015-01-01"), E("RJ01", "2017-01-01")}), "失效：发明专利申请公布后的驳回 2017-01-01");
  // Events come in any order; the dates decide.
  EXPECT_EQ(Cell({E("CX01", "2036-01-01"), E("GR01", "2017-01-01")}), "失效：专利权有效期届满 2036-01-01");
  // A cessation before a later grant does not count; a restored right is in force again.
  EXPECT_EQ(Cell({E("C19", "2001-01-01"), E("C14", "2003-01-01")}), "有效：授权 2003-01-01");
  EXPECT_EQ(Cell({E("GR01", "2017-01-01"), E("CF01", "2019-01-01"), E("RA01", "2019-06-01")}),
            "有效：专利权的恢复 2019-06-01");
  EXPECT_EQ(Cell({E("PB01", "")}), "审中：公开");
  EXPECT_EQ(Cell({E("PB01", "2015-01-01"), E("XX42", "2016-01-01")}), "审中：其他法律事件 XX42 2016-01-01");
}

}  // namespace
