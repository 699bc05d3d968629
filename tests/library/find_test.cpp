// Find over a library of known records: Chinese words of one, two and four characters,
// English without regard to case, words across fields and page texts, best first.
#include <gtest/gtest.h>

#include <set>

#include "tests/library/librarytest.h"
#include "tests/support/tempdir.h"

namespace {

class LibraryFind : public ::testing::Test {
 protected:
  void SetUp() override {
    TLibraryWriter run(root_.Path(), {"search", "ops", "q", ""});
    TPatentRecord a = SampleRecord("200810105070", "一种电池隔膜的制造方法");
    a.abstractText = "本发明公开了一种电池隔膜的制造方法，提高了生产效率。";
    run.Met(a);
    TDocumentRecord d;
    d.application = a.application;
    d.path = "data/pdf/隔膜.pdf";
    d.pages = 3;
    d.pageTexts = {"说明书摘要", "锂离子电池的隔膜在高温下收缩\n背景技术", ""};
    run.Document(d);

    TPatentRecord b = SampleRecord("200510012345", "一种折叠伞");
    b.titleEn = "Folding umbrella";
    b.abstractText = "本实用新型公开了一种折叠伞，伞骨可收拢。";
    b.applicants = {"杭州天堂伞业有限公司"};
    run.Met(b);

    TPatentRecord c = SampleRecord("200910000003", "电池管理系统");
    c.abstractText = "所述隔膜与外壳相连。";
    c.inventors = {"张伟"};
    run.Met(c);

    TPatentRecord e;
    e.application = "200910000004";
    e.titleEn = "Battery separator with ceramic coating";
    e.inventors = {"LI QIANG"};
    run.Met(e);

    // The four words only in a page of a long document.
    TPatentRecord f = SampleRecord("200910000005", "一种连接装置");
    run.Met(f);
    TDocumentRecord g;
    g.application = f.application;
    g.path = "data/pdf/连接装置.pdf";
    g.pages = 2;
    g.pageTexts = {"第一页", "本装置可用于电池隔膜的生产线上"};
    run.Document(g);
  }

  std::vector<std::string> Applications(const std::vector<std::string>& words) {
    std::vector<std::string> out;
    for (const TFindHit& h : Library().Find(words)) out.push_back(h.application);
    return out;
  }
  TLibrary& Library() {
    if (!lib_) lib_ = std::make_unique<TLibrary>(root_.Path());
    return *lib_;
  }

  TempDir root_;
  std::unique_ptr<TLibrary> lib_;
};

TEST_F(LibraryFind, ChineseWordsOfOneTwoAndFourCharacters) {
  EXPECT_EQ(Applications({"伞"}), (std::vector<std::string>{"200510012345"}));
  const std::vector<std::string> two = Applications({"隔膜"});
  EXPECT_EQ(std::set<std::string>(two.begin(), two.end()),
            (std::set<std::string>{"200810105070", "200910000003", "200910000005"}));
  // Four characters: the title holding them ranks before the page holding them once.
  EXPECT_EQ(Applications({"电池隔膜"}), (std::vector<std::string>{"200810105070", "200910000005"}));
  EXPECT_TRUE(Applications({"不存在的词"}).empty());
  EXPECT_TRUE(Applications({"伞", "电池"}).empty());  // every word must be held
}

TEST_F(LibraryFind, EnglishWithoutRegardToCaseAndWordsAcrossFields) {
  std::vector<TFindHit> hits = Library().Find({"BATTERY", "ceramic"});
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].application, "200910000004");
  EXPECT_EQ(hits[0].title, "Battery separator with ceramic coating");
  ASSERT_EQ(hits[0].places.size(), 1u);
  EXPECT_EQ(hits[0].places[0].field, "title_en");
  EXPECT_EQ(hits[0].places[0].snippet, "【Battery】 separator with 【ceramic】 coating");
  // A long and a short word in different fields: the title and an inventor.
  hits = Library().Find({"电池管理", "张"});
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].places[0].field, "title");
  EXPECT_EQ(hits[0].places[1].field, "inventors");
  EXPECT_EQ(hits[0].places[1].snippet, "【张】伟");
  EXPECT_EQ(Applications({"li qiang"}), (std::vector<std::string>{"200910000004"}));
}

TEST_F(LibraryFind, PageTextsNameTheirPageAndDocument) {
  std::vector<TFindHit> hits = Library().Find({"高温下收缩"});
  ASSERT_EQ(hits.size(), 1u);
  ASSERT_EQ(hits[0].places.size(), 1u);
  const TFindPlace& p = hits[0].places[0];
  EXPECT_EQ(p.field, "page");
  EXPECT_EQ(p.document, "data/pdf/隔膜.pdf");
  EXPECT_EQ(p.page, 2);
  EXPECT_NE(p.snippet.find("【高温下收缩】"), std::string::npos) << p.snippet;
  // A two-character word only a page holds: found by the scan, its page named.
  hits = Library().Find({"背景"});
  ASSERT_EQ(hits.size(), 1u);
  ASSERT_EQ(hits[0].places.size(), 1u);
  EXPECT_EQ(hits[0].places[0].page, 2);
  EXPECT_EQ(hits[0].places[0].snippet, "…电池的隔膜在高温下收缩 【背景】技术");
  // The limit keeps the best.
  TFindOptions one;
  one.limit = 1;
  hits = Library().Find({"电池隔膜"}, one);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].application, "200810105070");
}

}  // namespace
