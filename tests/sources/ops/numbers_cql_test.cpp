// Number forms, request paths, CQL queries and the date split of large result sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "base/gbk.h"
#include "sources/ops/opscql.h"
#include "sources/ops/opsnumbers.h"
#include "sources/ops/opspaths.h"

namespace {

TOpsNumber Read(const std::string& utf8) {
  TOpsNumber n;
  std::string reason;
  EXPECT_TRUE(ReadOpsNumber(Utf8ToGbk(utf8), n, reason)) << utf8 << ": " << GbkToUtf8(reason);
  return n;
}

TEST(ReadOpsNumber, ApplicationsInEveryPastedForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"201710601862", "201710601862"},   {"201710601862.3", "201710601862"}, {"CN201710601862.3", "201710601862"},
      {"ZL201210343937.X", "201210343937"}, {" cn02123456 ", "02123456"},     {"０２１２３４５６", "02123456"},
      {"ＣＮ２０１７１０６０１８６２．３", "201710601862"}, {"92112602.6", "92112602"},
  };
  for (const auto& [entry, digits] : cases) {
    const TOpsNumber n = Read(entry);
    EXPECT_EQ(n.form, TOpsNumber::TForm::Application) << entry;
    EXPECT_EQ(n.application.digits, digits) << entry;
  }
}

TEST(ReadOpsNumber, PublicationsWithOrWithoutCountryAndWithSuffixes) {
  const std::tuple<const char*, const char*, char> cases[] = {
      {"CN101911042B", "101911042", 'B'}, {"CN1234567A", "1234567", 'A'},   {"CN201234567U", "201234567", 'U'},
      {"101911042B", "101911042", 'B'},   {"cn100520025c", "100520025", 'C'}, {"CN101911042B1", "101911042", 'B'},
      {"CN 101911042 B", "101911042", 'B'}, {"CN.101911042.B", "101911042", 'B'}, {"ＣＮ３０１２３４５６７Ｓ", "301234567", 'S'},
      {"CN2345678Y", "2345678", 'Y'},     {"CN3456789D", "3456789", 'D'},
  };
  for (const auto& [entry, number, kind] : cases) {
    const TOpsNumber n = Read(entry);
    EXPECT_EQ(n.form, TOpsNumber::TForm::Publication) << entry;
    EXPECT_EQ(n.publication, (TOpsPublication{number, kind})) << entry;
  }
}

TEST(ReadOpsNumber, RefusesWithTheReasonOfTheNumberReader) {
  for (const char* entry : {"", "CN1019110", "CN101911042X", "CN101911042E", "CN12345A", "201710601862.4",
                            "CN2017106018621234A", "号201710601862", "CN101911042BB"}) {
    TOpsNumber n;
    std::string reason;
    EXPECT_FALSE(ReadOpsNumber(Utf8ToGbk(entry), n, reason)) << entry;
    EXPECT_FALSE(reason.empty()) << entry;
  }
}

TEST(OpsNumbers, FormsOfApplicationsAndPublications) {
  const TOpsApplication app{"201710601862"};
  EXPECT_EQ(app.Docdb(), "CN.201710601862.A");
  EXPECT_EQ(app.Epodoc(), "CN201710601862");
  EXPECT_EQ(app.Original(), "201710601862.3");
  EXPECT_EQ(app.TypeDigit(), 1);
  EXPECT_EQ(TOpsApplication{"201210343937"}.Original(), "201210343937.X");
  EXPECT_EQ(TOpsApplication{"02123456"}.TypeDigit(), 1);
  EXPECT_EQ(TOpsApplication{"92212602"}.TypeDigit(), 2);
  EXPECT_EQ(TOpsApplication{"201920123456"}.DocdbKinds(), (std::vector<char>{'U', 'A'}));
  EXPECT_EQ(TOpsApplication{"201930123456"}.DocdbKinds(), (std::vector<char>{'S', 'A'}));
  EXPECT_EQ(TOpsApplication{"201880123456"}.DocdbKinds(), std::vector<char>{'A'});

  const TOpsPublication b{"101911042", 'B'}, a{"101911042", 'A'};
  EXPECT_EQ(b.Docdb(), "CN.101911042.B");
  EXPECT_EQ(b.Epodoc(), "CN101911042B");
  EXPECT_EQ(a.Epodoc(), "CN101911042");
  EXPECT_EQ(a.Shown(), "CN101911042A");
  EXPECT_TRUE(b.IsGrant());
  EXPECT_FALSE(a.IsGrant());

  TOpsApplication read;
  for (const char* text : {"201710601862", "CN201710601862", "201710601862.3"}) {
    EXPECT_TRUE(ReadReplyApplication(text, read)) << text;
    EXPECT_EQ(read, app);
  }
  for (const char* text : {"201710601862.4", "2008US86578", "CN", "1234567890"})
    EXPECT_FALSE(ReadReplyApplication(text, read)) << text;
}

TEST(ChoosePublications, GrantPreferredApplicationOnRequestBothWhenAsked) {
  const TOpsPublication a{"101911042", 'A'}, b{"101911042", 'B'}, c{"1234567", 'C'}, u{"201234567", 'U'};
  using V = std::vector<TOpsPublication>;
  EXPECT_EQ(ChoosePublications({a, b}, TOpsDocument::Grant), V{b});
  EXPECT_EQ(ChoosePublications({a}, TOpsDocument::Grant), V{a});
  EXPECT_EQ(ChoosePublications({a, b}, TOpsDocument::Application), V{a});
  EXPECT_EQ(ChoosePublications({a, b}, TOpsDocument::Both), (V{a, b}));
  EXPECT_EQ(ChoosePublications({b, a}, TOpsDocument::Both), (V{a, b}));
  // A utility model has only its grant: every choice takes it.
  for (TOpsDocument d : {TOpsDocument::Grant, TOpsDocument::Application, TOpsDocument::Both})
    EXPECT_EQ(ChoosePublications({u}, d), V{u});
  EXPECT_EQ(ChoosePublications({a, c, b}, TOpsDocument::Grant), V{b});
  EXPECT_TRUE(ChoosePublications({}, TOpsDocument::Both).empty());
}

TEST(OpsPaths, RequestsOfTheSource) {
  const TOpsApplication app{"201710601862"};
  const TOpsPublication pub{"101911042", 'B'};
  EXPECT_EQ(opspaths::Url("127.0.0.1:8443", opspaths::Token()), "https://127.0.0.1:8443/3.2/auth/accesstoken");
  EXPECT_EQ(opspaths::Search("ti all \"a b\" and pn=CN", 101, 200),
            "rest-services/published-data/search/biblio?q=ti%20all%20%22a%20b%22%20and%20pn%3DCN&Range=101-200");
  EXPECT_EQ(opspaths::ApplicationBiblioDocdb(app, 'U'),
            "rest-services/published-data/application/docdb/CN.201710601862.U/biblio");
  EXPECT_EQ(opspaths::ApplicationBiblioEpodoc(app), "rest-services/published-data/application/epodoc/CN201710601862/biblio");
  EXPECT_EQ(opspaths::ApplicationCql(app), "ap=CN201710601862");
  EXPECT_EQ(opspaths::PublicationBiblioEpodoc(pub), "rest-services/published-data/publication/epodoc/CN101911042B/biblio");
  EXPECT_EQ(opspaths::Legal(pub), "rest-services/legal/publication/docdb/CN.101911042.B");
  EXPECT_EQ(opspaths::ImageInquiry(pub), "rest-services/published-data/publication/docdb/CN.101911042.B/images");
  EXPECT_EQ(opspaths::FullDocumentPage(pub, 3),
            "rest-services/published-data/images/CN/101911042/B/fullimage.tiff?Range=3");
}

TEST(OpsCql, FieldsToAQueryRestrictedToCn) {
  auto cql = [](const char* title, const char* abstract, const char* ipc) {
    return OpsCql({Utf8ToGbk(title), Utf8ToGbk(abstract), Utf8ToGbk(ipc)});
  };
  EXPECT_EQ(cql("lithium battery", "", ""), "ti all \"lithium battery\" and pn=CN");
  EXPECT_EQ(cql("", "graphene", "H01M"), "ab all \"graphene\" and ic=H01M and pn=CN");
  EXPECT_EQ(cql("  锂电池　 隔膜 ", "石墨烯", "h01m 10/0525"),
            "ti all \"锂电池 隔膜\" and ab all \"石墨烯\" and ic=\"H01M10/0525\" and pn=CN");
  EXPECT_EQ(cql("", "", ""), "pn=CN");
  // The user's quotes and backslashes stay inside the term.
  EXPECT_EQ(cql("a\" or pn=US or ti=\"b", "c\\", ""),
            "ti all \"a\\\" or pn=US or ti=\\\"b\" and ab all \"c\\\\\" and pn=CN");
  EXPECT_EQ(cql("", "", "H01M\" or x=\"y"), "ic=\"H01M\\\"ORX=\\\"Y\" and pn=CN");
}

TEST(OpsCql, QueryValueEncodingAndDateSlices) {
  EXPECT_EQ(QueryValueEncoded("ti all \"电\" and ic=\"H01M10/05\"&Range=1"),
            "ti%20all%20%22%E7%94%B5%22%20and%20ic%3D%22H01M10%2F05%22%26Range%3D1");
  EXPECT_EQ(QueryValueEncoded("a-b.c_d~e+f"), "a-b.c_d~e%2Bf");
  EXPECT_EQ(CqlWithin("pn=CN", {20170101, 20171231}), "pn=CN and pd within \"20170101 20171231\"");
  EXPECT_EQ(AllPublicationDates(20260315), (TDateRange{19850101, 20261231}));
}

TEST(SplitRange, YearsThenMonthsThenDaysOlderHalfFirst) {
  using P = std::pair<TDateRange, TDateRange>;
  EXPECT_EQ(*SplitRange({19850101, 20261231}), (P{{19850101, 20051231}, {20060101, 20261231}}));
  EXPECT_EQ(*SplitRange({20170101, 20181231}), (P{{20170101, 20171231}, {20180101, 20181231}}));
  EXPECT_EQ(*SplitRange({20170101, 20171231}), (P{{20170101, 20170630}, {20170701, 20171231}}));
  EXPECT_EQ(*SplitRange({20160101, 20160331}), (P{{20160101, 20160229}, {20160301, 20160331}}));
  EXPECT_EQ(*SplitRange({21000101, 21000228}), (P{{21000101, 21000131}, {21000201, 21000228}}));
  EXPECT_EQ(*SplitRange({20170201, 20170228}), (P{{20170201, 20170214}, {20170215, 20170228}}));
  EXPECT_EQ(*SplitRange({20170214, 20170215}), (P{{20170214, 20170214}, {20170215, 20170215}}));
  EXPECT_FALSE(SplitRange({20170214, 20170214}));
}

// A corpus of hits by publication day, counted as OPS would: capped at 10000.
struct TCorpus {
  std::map<int, long> perDay;
  int asked = 0;
  std::map<TDateRange, int> askedFor;
  long True(const TDateRange& r) const {
    long n = 0;
    for (auto it = perDay.lower_bound(r.from); it != perDay.end() && it->first <= r.to; ++it) n += it->second;
    return n;
  }
  TOpsSlicer::TCounter Counter() {
    return [this](const TDateRange& r) {
      ++asked;
      ++askedFor[r];
      return std::min(True(r), kOpsCountCap);
    };
  }
};

TEST(OpsSlicer, SlicesNewestFirstEachServedWholeCoveringEveryHit) {
  TCorpus corpus;
  // Few hits in old years, many in recent ones, one day with more than OPS serves.
  for (int y = 1990; y <= 2025; ++y)
    for (int m = 1; m <= 12; ++m) corpus.perDay[y * 10000 + m * 100 + 7] = y < 2015 ? 3 : 900;
  corpus.perDay[20240510] = 2600;
  const TDateRange whole = AllPublicationDates(20260101);
  const long truth = corpus.True(whole);
  ASSERT_GT(truth, kOpsCountCap);

  TOpsSlicer slicer(whole, kOpsCountCap, corpus.Counter());
  std::vector<TOpsSlice> slices;
  while (auto s = slicer.Next()) slices.push_back(*s);
  long sum = 0;
  for (size_t i = 0; i < slices.size(); ++i) {
    const TOpsSlice& s = slices[i];
    EXPECT_EQ(s.count, corpus.True(s.range));
    EXPECT_TRUE(s.count <= kOpsServedHits || s.range.from == s.range.to) << s.range.from;
    if (i > 0) {
      EXPECT_LT(s.range.to, slices[i - 1].range.from);
    }
    sum += s.count;
  }
  EXPECT_EQ(sum, truth);
  // The newest hit comes first.
  EXPECT_TRUE(slices.front().range.from <= 20251207 && slices.front().range.to >= 20251207);
  EXPECT_TRUE(std::any_of(slices.begin(), slices.end(),
                          [](const TOpsSlice& s) { return s.range == TDateRange{20240510, 20240510}; }));
  for (const auto& [range, times] : corpus.askedFor) EXPECT_EQ(times, 1) << range.from << "-" << range.to;
  EXPECT_EQ(corpus.askedFor.count(whole), 0u);

  // The total splits only while counts sit at the cap, reusing what was counted.
  const int before = corpus.asked;
  EXPECT_EQ(slicer.Total(), truth);
  EXPECT_LT(corpus.asked - before, 10);
}

TEST(OpsSlicer, StopsWhereTheRunStopsAndBoundsWhatALyingCountCosts) {
  TCorpus corpus;
  for (int d = 1; d <= 28; ++d) corpus.perDay[20250200 + d] = 500;
  TOpsSlicer slicer(AllPublicationDates(20250601), 14000, corpus.Counter());
  EXPECT_EQ(slicer.Total(), 14000);
  const auto first = slicer.Next();
  ASSERT_TRUE(first);
  EXPECT_LE(first->count, kOpsServedHits);
  EXPECT_GE(first->range.from, 20250201);
  const int asked = corpus.asked;
  EXPECT_LT(asked, 40);

  // Every count at the cap: the total is a lower bound reached with a bounded number of requests.
  int lies = 0;
  TOpsSlicer liar(AllPublicationDates(20250601), kOpsCountCap, [&](const TDateRange&) {
    ++lies;
    return kOpsCountCap;
  });
  EXPECT_GE(liar.Total(), kOpsCountCap);
  EXPECT_LE(lies, TOpsSlicer::kTotalCounts);

  // A count of nothing at all gives no slice.
  TOpsSlicer none(AllPublicationDates(20250601), 0, [](const TDateRange&) { return 0L; });
  EXPECT_FALSE(none.Next());
  EXPECT_EQ(none.Total(), 0);
}

}  // namespace
