// The OPS search's whole query: dates as people type them, the clauses of every field
// through the glossary, what is refused before anything is sent; and the expiry estimate.
#include <gtest/gtest.h>

#include "base/gbk.h"
#include "sources/ops/opsquery.h"

namespace {

TOpsQuery Query(TOpsQueryFields f) {
  for (std::string* s : {&f.title, &f.abstractWords, &f.ipcClass, &f.applicant, &f.inventor, &f.text, &f.cpc, &f.number,
                         &f.from, &f.to})
    *s = Utf8ToGbk(*s);
  return BuildOpsQuery(f, 20260315);
}

TEST(ReadQueryDate, EveryFormItsFirstAndLastDayAndWhatDoesNotRead) {
  struct Case {
    const char* text;
    int from, to;  // 0: does not read
  };
  for (const Case& c : std::initializer_list<Case>{
           {"2023", 20230101, 20231231},        {" 2024-02 ", 20240201, 20240229},
           {"2023-02", 20230201, 20230228},     {"2023-06-15", 20230615, 20230615},
           {"20230615", 20230615, 20230615},    {"2000-02-29", 20000229, 20000229},
           {"1900-02-29", 0, 0},                {"2023-02-30", 0, 0},
           {"2023-13", 0, 0},                   {"2023-00", 0, 0},
           {"20230100", 0, 0},                  {"2023/06/15", 0, 0},
           {"23", 0, 0},                        {"2023-6-15", 0, 0},
           {"", 0, 0},                          {"二〇二三", 0, 0}}) {
    EXPECT_EQ(ReadQueryDate(c.text, false).value_or(0), c.from) << c.text;
    EXPECT_EQ(ReadQueryDate(c.text, true).value_or(0), c.to) << c.text;
  }
}

TEST(ExpiryEstimate, TermByTypeAndFilingDate) {
  EXPECT_EQ(ExpiryEstimate("202310123456", "20230315"), "2043-03-14");  // invention: 20 years
  EXPECT_EQ(ExpiryEstimate("201880012345", "20180101"), "2037-12-31");  // PCT invention, year end
  EXPECT_EQ(ExpiryEstimate("202320654321", "20230315"), "2033-03-14");  // utility model: 10
  EXPECT_EQ(ExpiryEstimate("02123456", "20020301"), "2022-02-28");      // old 8-digit invention
  EXPECT_EQ(ExpiryEstimate("202030012345", "20210531"), "2031-05-30");  // design before 2021-06-01: 10
  EXPECT_EQ(ExpiryEstimate("202130012345", "20210601"), "2036-05-31");  // from then on: 15
  EXPECT_EQ(ExpiryEstimate("201210012345", "20120229"), "2032-02-28");  // a leap day filing
  EXPECT_EQ(ExpiryEstimate("201310012345", "20130301"), "2033-02-28");
  EXPECT_EQ(ExpiryEstimate("202310123456", ""), "");
  EXPECT_EQ(ExpiryEstimate("202350123456", "20230315"), "");  // no known type
}

TEST(BuildOpsQuery, EveryFieldInItsOrderAndTheDatesAsARange) {
  TOpsQuery q = Query({"gearbox", "", "F16H", "长江变速器", "吴刚", "shift", "F16H61/32", "CN116789012A", "2023", "2024-06"});
  EXPECT_TRUE(q.problem.empty()) << q.problem;
  EXPECT_EQ(q.cql,
            "ti all \"gearbox\" and ta all \"shift\" and pa all \"长江变速器\" and in all \"吴刚\" and ic=F16H and "
            "cpc=\"F16H61/32\" and pn=CN116789012A and pn=CN");
  EXPECT_EQ(q.Sent(), q.cql + " and pd within \"20230101 20240630\"");
  EXPECT_EQ(Query({.number = "CN202310123456"}).cql, "ap=CN202310123456 and pn=CN");
  // One end alone: from 1985, or to the end of this year.
  EXPECT_EQ(Query({.to = "2010"}).dates, (TDateRange{19850101, 20101231}));
  EXPECT_EQ(Query({.from = "2025-07"}).dates, (TDateRange{20250701, 20261231}));
  EXPECT_FALSE(Query({.from = "2025-07"}).empty);
  EXPECT_TRUE(Query({.title = "  "}).empty);
  // Three fields alone, no Chinese: the query as it always was.
  EXPECT_EQ(Query({"lithium battery", "", "h01m 10/0525"}).Sent(), "ti all \"lithium battery\" and ic=\"H01M10/0525\" and pn=CN");
}

TEST(BuildOpsQuery, ChineseWordsWithTheirEquivalentsUnlessAskedNotTo) {
  const TOpsQuery q = Query({.title = "电池隔膜"});
  EXPECT_EQ(q.cql.rfind("(ti all \"电池隔膜\" or ((ti=\"battery\"", 0), 0u) << q.cql;
  EXPECT_TRUE(q.dropped.empty());
  EXPECT_EQ(Query({.title = "电池隔膜", .translate = false}).cql, "ti all \"电池隔膜\" and pn=CN");
  // Names are never translated.
  EXPECT_EQ(Query({.applicant = "电池"}).cql, "pa all \"电池\" and pn=CN");
  // Many terms besides: equivalents go first, and the query still fits.
  const TOpsQuery tight =
      Query({.title = "锂电池隔膜", .abstractWords = "a b c d e f g h i j", .applicant = "x y z", .from = "2020"});
  ASSERT_EQ(tight.dropped.size(), 2u) << tight.Sent();
  EXPECT_EQ(tight.dropped[0].equivalent, "diaphragm");
  EXPECT_TRUE(tight.problem.empty()) << tight.problem;
}

TEST(BuildOpsQuery, WhatCannotBeSentSaysWhich) {
  auto problem = [](TOpsQueryFields f) { return GbkToUtf8(Query(std::move(f)).problem); };
  EXPECT_EQ(problem({.title = "x", .from = "2023-02-30"}).find("起始日期"), 0u);
  EXPECT_EQ(problem({.title = "x", .to = "June"}).find("截止日期无法识别"), 0u);
  EXPECT_EQ(problem({.title = "x", .from = "2024", .to = "2023"}), "截止日期早于起始日期：2023");
  EXPECT_EQ(problem({.number = "CN12"}).find("号码无法识别"), 0u);
  EXPECT_EQ(problem({.title = "a b c d e f g h i j k"}), "检索词超过 OPS 的限制：ti 有 11 个，最多 10 个");
  EXPECT_EQ(problem({.title = "a b c d e f g", .abstractWords = "h i j k l m n", .text = "o p q r s t u"}),
            "检索词超过 OPS 的限制：整个检索式 有 22 个，最多 20 个");
  // The date range's two ends count too.
  EXPECT_NE(problem({.title = "a b c d e f g h i", .abstractWords = "j k l m n o p q r", .from = "2020"}), "");
  EXPECT_EQ(problem({.title = "a b c d e f g h i", .abstractWords = "j k l m n o p q"}), "");
}

}  // namespace
